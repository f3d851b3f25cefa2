#include "common/dialogs.h"
#include "common/heaptrim.h"
#include "common/shell.h"
#include "player/form1.h"
#include "settings/settingsstore.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvela"));
    QApplication::setDesktopFileName(QStringLiteral("quorvela"));

    quorvela::DesktopDialogs dialogs;
    quorvela::DesktopShell shell;
    quorvela::SettingsStore settings;
    quorvela::Form1 window({dialogs, shell, settings});
    window.show();
    window.publishMediaControls();
    quorvela::trimHeapAfterStartUp();
    return QApplication::exec();
}
