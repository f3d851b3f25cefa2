#include "audio/playbackengine.h"
#include "common/applicationid.h"
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
    QApplication::setDesktopFileName(QString::fromLatin1(quorvela::ApplicationId));

    // Files given to a launch go to the window already running, if there is one.
    quorvela::DesktopLaunch launch(quorvela::DesktopLaunch::commandLine(argc, argv));
    if (launch.handOver())
        return 0;

    quorvela::DesktopDialogs dialogs;
    quorvela::DesktopShell shell;
    quorvela::SettingsStore settings;
    // One engine plays for the window's controls and for the desktop's media controls alike;
    // it outlives both.
    quorvela::PlaybackEngine engine;
    quorvela::Form1 window({dialogs, shell, settings, engine});
    window.show();
    window.publishMediaControls();
    launch.serve(window);
    quorvela::trimHeapAfterStartUp();
    return QApplication::exec();
}
