#include "common/dialogs.h"
#include "common/heaptrim.h"
#include "common/shell.h"
#include "player/desktoplaunch.h"
#include "player/form1.h"
#include "settings/settingsstore.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvela"));
    QApplication::setDesktopFileName(QStringLiteral("quorvela"));

    // Files given to a launch go to the window already running, if there is one.
    quorvela::DesktopLaunch launch(quorvela::DesktopLaunch::commandLine(argc, argv));
    if (launch.handOver())
        return 0;

    quorvela::DesktopDialogs dialogs;
    quorvela::DesktopShell shell;
    quorvela::SettingsStore settings;
    quorvela::Form1 window({dialogs, shell, settings});
    window.show();
    window.publishMediaControls();
    launch.serve(window);
    quorvela::trimHeapAfterStartUp();
    return QApplication::exec();
}
