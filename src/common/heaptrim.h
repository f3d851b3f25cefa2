#pragma once

namespace quorvela {

// Hands back to the system, once start-up has settled, the heap pages that start-up used and
// freed (the folder scan, font and style look-ups, the first paint): glibc keeps freed pages
// inside its heap mapped, so they would stay resident for as long as the program runs.
void trimHeapAfterStartUp();

} // namespace quorvela
