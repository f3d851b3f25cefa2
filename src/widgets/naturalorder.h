#pragma once

#include <QString>

namespace quorvela {

// Orders names as people read them: runs of digits by their value ("2 x" before "10 x"),
// letters without regard to case. Needs no locale, so it works the same under C/POSIX.
[[nodiscard]] int naturalCompare(const QString& a, const QString& b);
[[nodiscard]] inline bool naturalLess(const QString& a, const QString& b) {
    return naturalCompare(a, b) < 0;
}

} // namespace quorvela
