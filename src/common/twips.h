#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Window layouts are given in twips (1/1440 inch). At 96 logical DPI that is 15 twips to a
// logical pixel; Qt's device-pixel ratio takes care of high-DPI screens.
namespace quorvela {

inline constexpr int TwipsPerPixel = 15;

[[nodiscard]] constexpr int twipsToPixels(int twips) {
    return twips / TwipsPerPixel;
}
[[nodiscard]] constexpr int pixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}
[[nodiscard]] constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}
[[nodiscard]] constexpr QSize twipsSize(int width, int height) {
    return {twipsToPixels(width), twipsToPixels(height)};
}
[[nodiscard]] constexpr QPoint twipsPoint(int left, int top) {
    return {twipsToPixels(left), twipsToPixels(top)};
}

} // namespace quorvela
