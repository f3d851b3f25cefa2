#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <cstdint>
#include <optional>

// Colours are kept as 32-bit values: a plain colour 0x00BBGGRR, or a system colour
// 0x80000000 + index that follows the desktop's colour scheme. As text they are the decimal
// digits of the value read as a signed 32-bit integer.
namespace quorvela::color {

using Value = std::uint32_t;

inline constexpr Value SystemFlag = 0x80000000U;
inline constexpr Value WindowBackground = SystemFlag | 0x05U;
inline constexpr Value WindowText = SystemFlag | 0x08U;
inline constexpr Value ButtonFace = SystemFlag | 0x0FU;
inline constexpr Value ButtonText = SystemFlag | 0x12U;
// The classic system colour indices run from 0 (scroll bar) to 24 (tooltip background).
inline constexpr Value LastSystemIndex = 24;

[[nodiscard]] constexpr bool isSystem(Value v) {
    return (v & SystemFlag) != 0;
}
[[nodiscard]] constexpr bool isValid(Value v) {
    if (isSystem(v))
        return (v & ~SystemFlag) <= LastSystemIndex;
    return (v & 0xFF000000U) == 0;
}
[[nodiscard]] constexpr Value fromRgb(int red, int green, int blue) {
    return static_cast<Value>(red & 0xFF) | (static_cast<Value>(green & 0xFF) << 8) |
           (static_cast<Value>(blue & 0xFF) << 16);
}
[[nodiscard]] Value fromQColor(const QColor& c);

// "-2147483640" for 0x80000008, "16711680" for pure blue.
[[nodiscard]] QString toText(Value v);
// The value written by toText, or nothing for text that is not a decimal signed 32-bit
// integer naming a colour value.
[[nodiscard]] std::optional<Value> fromText(const QString& text);

// What the value looks like on screen under the given palette.
[[nodiscard]] QColor resolve(Value v, const QPalette& palette);

} // namespace quorvela::color
