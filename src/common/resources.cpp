#include "common/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function of the global namespace.
static void registerDataResource() {
    Q_INIT_RESOURCE(data);
}

namespace quorvela {

void ensureIconResources() {
    static const bool registered = [] {
        registerDataResource();
        return true;
    }();
    (void)registered;
}

} // namespace quorvela
