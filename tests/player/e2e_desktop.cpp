// The real player window for e2e_desktop.sh: shown over a folder and served on the session bus
// as the program does, it keeps writing what it holds to a file the script reads, and ends as
// File > Exit does once STATE_FILE.quit appears. Given files, it launches as the program does:
// it hands them to the window holding the application's name, if any, and ends.
// Usage: e2e_desktop FOLDER STATE_FILE [FILE...]
#include "common/applicationid.h"
#include "player/desktoplaunch.h"
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "support/fakes.h"
#include "widgets/mediaplayer.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QLabel>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

using namespace quorvela;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvela"));
    QApplication::setDesktopFileName(QString::fromLatin1(ApplicationId));
    if (argc < 3) {
        std::fprintf(stderr, "usage: e2e_desktop FOLDER STATE_FILE [FILE...]\n");
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString stateFile = QString::fromLocal8Bit(argv[2]);
    DesktopLaunch launch(DesktopLaunch::itemsOf(QList<QByteArray>(argv + 3, argv + argc)), {});
    if (launch.handOver())
        return 0;

    test::TestEnvironment environment;
    environment.store(settings::LastFolder, folder);
    Form1 window(environment.services());
    window.show();
    launch.serve(window);

    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        if (QFile::exists(stateFile + QStringLiteral(".quit"))) {
            window.exitProgram();
            return;
        }
        const QDBusConnection bus = QDBusConnection::sessionBus();
        const bool serving =
            bus.isConnected() &&
            bus.interface()->serviceOwner(QString::fromLatin1(DesktopLaunch::ApplicationId)) ==
                bus.baseService();
        QSaveFile out(stateFile);
        if (!out.open(QIODevice::WriteOnly))
            return;
        const QString text =
            QStringLiteral("serving=%1\nentries=%2\nlabel1=%3\nfile=%4\nplaying=%5\nmessages=%6\n")
                .arg(serving ? 1 : 0)
                .arg(window.playlistEntries().join(QLatin1Char('|')), window.Label1->text(),
                     window.MediaPlayer1->fileName())
                .arg(window.MediaPlayer1->state() == MediaPlayer::State::Playing ? 1 : 0)
                .arg(environment.dialogs.messages.size());
        out.write(text.toUtf8());
        out.commit();
    });
    report.start(40);
    return QApplication::exec();
}
