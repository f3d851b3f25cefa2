#include "common/heaptrim.h"

#include <QTimer>

#include <malloc.h>

namespace quorvela {

namespace {
// The window has been shown and painted well within this time; trimming earlier would keep
// what the first paint frees.
constexpr int SettleMs = 1000;
} // namespace

void trimHeapAfterStartUp() {
    QTimer::singleShot(SettleMs, [] { malloc_trim(0); });
}

} // namespace quorvela
