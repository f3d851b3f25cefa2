#include "app/mediacontrols.h"
#include "audio/playbackengine.h"
#include "common/applicationid.h"
#include "common/dialogs.h"
#include "common/heaptrim.h"
#include "common/shell.h"
#include "mpris/mprisservice.h"
#include "player/commandline.h"
#include "player/desktoplaunch.h"
#include "player/form1.h"
#include "settings/settingsstore.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // --help and --version are answered before the toolkit starts: on any terminal, with no
    // window and without touching the window already running.
    if (const auto answered =
            quorvela::answerOnTerminal(quorvela::readCommandLine(argc, argv, false)))
        return *answered;
    // Before QApplication, which takes DESKTOP_STARTUP_ID out of the environment on X11.
    const QVariantMap launchData = quorvela::DesktopLaunch::launchPlatformData();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvela"));
    QApplication::setDesktopFileName(QString::fromLatin1(quorvela::ApplicationId));

    // Files given to a launch go to the window already running, if there is one. Qt has taken
    // its own options out of argv by now; any other unknown option is an error.
    const quorvela::CommandLine line = quorvela::readCommandLine(argc, argv, true);
    if (const auto answered = quorvela::answerOnTerminal(line))
        return *answered;
    quorvela::DesktopLaunch launch(quorvela::DesktopLaunch::itemsOf(line.files), launchData);
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
    // Gone before the window and the engine it answers for.
    const auto mediaControls = quorvela::publishMediaControls(window, engine);
    launch.serve(window);
    quorvela::trimHeapAfterStartUp();
    return QApplication::exec();
}
