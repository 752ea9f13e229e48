#pragma once
// Colours arrive as the classic 32-bit colour values (0x00BBGGRR); 0 in a style record means "keep".
#include <QColor>
#include <cstdint>

namespace sw::ui {

inline QColor FromTColor(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

inline std::uint32_t ToTColor(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
         (static_cast<std::uint32_t>(c.blue()) << 16);
}

}  // namespace sw::ui
