#pragma once
// The system's texts are 8-bit Windows-1252. These convert them for Qt's
// widgets and for UTF-8 output.

#include <QString>
#include <string>
#include <string_view>

namespace quenor {

QString FromCp1252(std::string_view text);
// Characters that Windows-1252 cannot hold become '?'.
std::string ToCp1252(const QString& text);

std::string Cp1252ToUtf8(std::string_view text);
std::string Utf8ToCp1252(std::string_view text);

}  // namespace quenor
