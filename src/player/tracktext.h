#pragma once

#include <QString>

namespace quorvela {

// A folder and a file name joined by exactly one "/": no second separator after a folder
// that already ends in one (the root folder).
[[nodiscard]] QString joinPath(const QString& folder, const QString& name);

// The now-playing caption: the name itself up to 27 characters, else its first 27
// characters and "...". Characters, not bytes, are counted; a character outside the basic
// plane counts once and is never cut in half.
[[nodiscard]] QString nowPlayingCaption(const QString& name);

// Minutes and seconds, each at least two digits ("03:25", "100:00"). The time is rounded to
// whole seconds once, a half going up; minutes never carry into hours. A negative or
// non-finite time reads "00:00".
[[nodiscard]] QString timeText(double seconds);

} // namespace quorvela
