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

namespace {
QIcon iconFrom(const char* name) {
    ensureIconResources();
    QIcon icon;
    for (const char* size : {"-16", "-32", ""})
        icon.addFile(
            QStringLiteral(":/icons/%1%2.png").arg(QLatin1String(name), QLatin1String(size)));
    return icon;
}
} // namespace

QIcon programIcon() {
    return iconFrom("quorvela");
}

QIcon helpIcon() {
    return iconFrom("help");
}

} // namespace quorvela
