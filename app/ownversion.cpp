#include "app/ownversion.h"

#include "quenor_version.h"

namespace quenor {

OwnVersionInfo GetOwnVersionInfo()
{
#ifdef QUENOR_VERSION_BUILD
    constexpr std::uint32_t build = QUENOR_VERSION_BUILD;
#else
    constexpr std::uint32_t build = 0;
#endif
#ifdef QUENOR_VERSION_BETA
    constexpr std::uint32_t flags = 1;
#else
    constexpr std::uint32_t flags = 0;
#endif
    OwnVersionInfo info;
    info.signature = 0xFEEF04BD;
    info.structVersion = 0x00010000;
    info.fileVersionMS = (std::uint32_t{QUENOR_VERSION_MAJOR} << 16) | std::uint32_t{QUENOR_VERSION_MINOR};
    info.fileVersionLS = (std::uint32_t{QUENOR_VERSION_PATCH} << 16) | build;
    info.productVersionMS = info.fileVersionMS;
    info.productVersionLS = info.fileVersionLS;
    info.fileFlagsMask = 0x3F;
    info.fileFlags = flags;
    info.fileOS = 0x00040004;
    info.fileType = 1;  // an application
    return info;
}

std::string BuildDateText()
{
    // __DATE__ is "Mmm dd yyyy" with the day padded by a blank.
    return __DATE__;
}

std::string AboutVersionText(const OwnVersionInfo& info)
{
    return std::to_string(info.productVersionMS >> 16) + "." + std::to_string(info.productVersionMS & 0xFFFF);
}

std::string AboutVersionHint(const OwnVersionInfo& info, const std::string& buildDate)
{
    return buildDate + " - Build " + std::to_string(info.productVersionLS & 0xFFFF);
}

std::string AboutBetaText(const OwnVersionInfo& info)
{
    if ((info.fileFlags & 1) == 0)
        return {};
    return "Beta " + std::to_string(info.productVersionLS >> 16);
}

}  // namespace quenor
