#pragma once

#include <QIcon>

namespace quorvela {

// The icons live in a resource compiled into a static library; nothing else would pull them
// into the program, so each window that shows one registers them first (once is enough).
void ensureIconResources();

// The program's icon (a loudspeaker) and the Help window's (a speech bubble), at every size
// drawn for them.
[[nodiscard]] QIcon programIcon();
[[nodiscard]] QIcon helpIcon();

} // namespace quorvela
