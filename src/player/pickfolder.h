#pragma once

#include <QString>

class QWidget;

namespace quorvela {

class Dialogs;

// Asks the user for a folder with the desktop's folder chooser, opening at the top of the
// tree with nothing preselected. The chosen folder's full path, or empty text on cancel.
[[nodiscard]] QString PickFolder(Dialogs& dialogs, QWidget* ownerWindow, const QString& prompt);

} // namespace quorvela
