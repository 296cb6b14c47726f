#pragma once
// Colours are kept as 0x00BBGGRR (red in the low byte), as the stored records
// and scope files hold them.

#include <QColor>
#include <cstdint>

namespace quenor {

inline QColor ColorFromRef(std::uint32_t c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

inline std::uint32_t RefFromColor(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8
           | static_cast<std::uint32_t>(rgb.blue()) << 16;
}

}  // namespace quenor
