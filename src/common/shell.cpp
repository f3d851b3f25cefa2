#include "common/shell.h"

#include <QDesktopServices>
#include <QProcess>

namespace quorvela {

bool DesktopShell::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::startProgram(const QString& path) {
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(path, {});
}

} // namespace quorvela
