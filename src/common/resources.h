#pragma once

namespace quorvela {

// The icons live in a resource compiled into a static library; nothing else would pull them
// into the program, so each window that shows one registers them first (once is enough).
void ensureIconResources();

} // namespace quorvela
