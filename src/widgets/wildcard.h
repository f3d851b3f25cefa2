#pragma once

#include <QStringView>

namespace quorvela {

// Whether a file name matches a pattern such as "*.mp3": '*' stands for any run of characters,
// '?' for any one, everything else for itself without regard to case. Matched by hand rather
// than through QDir's name filters, which compile each pattern to a regular expression and
// so load and warm up a regular-expression engine that nothing else here needs.
[[nodiscard]] bool matchesWildcard(QStringView pattern, QStringView name);

} // namespace quorvela
