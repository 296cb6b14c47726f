#pragma once
// The program's own version, in the layout of a fixed file version record,
// and the texts the about box makes of it.

#include <cstdint>
#include <string>

namespace quenor {

struct OwnVersionInfo {
    std::uint32_t signature = 0;
    std::uint32_t structVersion = 0;
    std::uint32_t fileVersionMS = 0;     // major << 16 | minor
    std::uint32_t fileVersionLS = 0;     // third << 16 | build
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;         // bit 0: a beta (debug) build
    std::uint32_t fileOS = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateMS = 0;
    std::uint32_t fileDateLS = 0;
};

// The version of this build (the project version; build number 0).
OwnVersionInfo GetOwnVersionInfo();
// The date this build was compiled: "Mmm dd yyyy", the day padded with a blank.
std::string BuildDateText();

// "major.minor" of the product version.
std::string AboutVersionText(const OwnVersionInfo& info);
// The build date, " - Build " and the product version's fourth number.
std::string AboutVersionHint(const OwnVersionInfo& info, const std::string& buildDate);
// "Beta " and the third number when the beta flag is set; empty otherwise.
std::string AboutBetaText(const OwnVersionInfo& info);

}  // namespace quenor
