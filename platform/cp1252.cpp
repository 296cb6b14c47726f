#include "platform/cp1252.h"

#include <array>

namespace quenor {
namespace {

// 0x80..0x9F of Windows-1252; 0 where the code page leaves a byte undefined
// (those bytes map to the C1 control of the same value, as Windows does).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

char16_t Decode(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] != 0)
        return kHigh[c - 0x80];
    return c;
}

char Encode(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == u)
            return static_cast<char>(0x80 + i);
        if (kHigh[i] == 0 && u == 0x80 + i)
            return static_cast<char>(u);
    }
    return '?';
}

}  // namespace

QString FromCp1252(std::string_view text)
{
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text)
        out.append(QChar(Decode(static_cast<unsigned char>(c))));
    return out;
}

std::string ToCp1252(const QString& text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            out.push_back('?');
            continue;
        }
        out.push_back(Encode(ch.unicode()));
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view text) { return FromCp1252(text).toStdString(); }

std::string Utf8ToCp1252(std::string_view text)
{
    return ToCp1252(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace quenor
