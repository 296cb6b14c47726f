#pragma once
// The maker's name, address and links, shown by the about and company boxes.

namespace quenor::company {

inline constexpr const char* kName = "Tovik Automation A/S";
inline constexpr const char* kNotice = "Copyright \xA9 Tovik Automation A/S";
inline constexpr const char* kPostalAddress =
    "Tovik Automation A/S\nExample Street 1\nDK-0000 Example Town\nDenmark\n\nPhone: +45 00 00 00 00\nFax: +45 00 00 00 01";
inline constexpr const char* kHomePageText = "www.example.com";
inline constexpr const char* kHomePageUrl = "https://www.example.com/";
inline constexpr const char* kEmail = "support@example.com";

}  // namespace quenor::company
