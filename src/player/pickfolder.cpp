#include "player/pickfolder.h"

#include "common/dialogs.h"

#include <QDir>

namespace quorvela {

QString PickFolder(Dialogs& dialogs, QWidget* ownerWindow, const QString& prompt) {
    const QString chosen = dialogs.chooseFolder(ownerWindow, prompt);
    if (chosen.isEmpty())
        return {};
    // A full path with a trailing "/" only for the root folder.
    return QDir::cleanPath(QDir(chosen).absolutePath());
}

} // namespace quorvela
