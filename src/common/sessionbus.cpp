#include "common/sessionbus.h"

#include <QFileInfo>
#include <QString>

namespace quorvela {

bool sessionBusNamed() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // Where libdbus looks for the bus of the user's session when no address is given.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace quorvela
