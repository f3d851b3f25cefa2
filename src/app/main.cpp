#include "audio/playbackengine.h"
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
    // One engine plays for the window's controls and for the desktop's media controls alike;
    // it outlives both.
    quorvela::PlaybackEngine engine;
    quorvela::Form1 window({dialogs, shell, settings, engine});
    window.show();
    window.publishMediaControls();
    quorvela::trimHeapAfterStartUp();
    return QApplication::exec();
}
