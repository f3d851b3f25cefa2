// Drives the real player window for the end-to-end MPRIS test: lists a folder, offers the
// player on the session bus and, while a script drives it through an MPRIS client, keeps
// writing what the window shows to a file the script reads.
// Usage: e2e_mpris FOLDER FILE_NAME STATE_FILE. Double-clicks FILE_NAME once a file named
// STATE_FILE.doubleclick appears, and minimises the window once STATE_FILE.minimize appears.
// Runs until the client calls Quit, then exits 0 when the window was unloaded (its settings
// saved) on the way out.
#include "app/mediacontrols.h"
#include "mpris/mprisservice.h"
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "support/shownwindow.h"
#include "support/widgetdriver.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QSaveFile>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

using namespace quorvela;

namespace {
int failWith(const QString& message) {
    std::fprintf(stderr, "e2e_mpris: %s\n", qPrintable(message));
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 4)
        return failWith(QStringLiteral("usage: e2e_mpris FOLDER FILE_NAME STATE_FILE"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QString stateFile = QString::fromLocal8Bit(argv[3]);

    test::ShownWindow shown;
    if (const QString why = shown.open(folder, name); !why.isEmpty())
        return failWith(why);
    Form1& window = shown.window();
    test::TestEnvironment& environment = shown.environment();
    const int row = window.File1->entries().indexOf(name);
    const auto controls = publishMediaControls(window, environment.engine());
    if (!controls)
        return failWith(QStringLiteral("the player could not register on the session bus"));

    bool clicked = false;
    bool minimized = false;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        if (!clicked && QFile::exists(stateFile + QStringLiteral(".doubleclick"))) {
            clicked = true;
            test::doubleClickRow(window.File1, row);
        }
        if (!minimized && QFile::exists(stateFile + QStringLiteral(".minimize"))) {
            minimized = true;
            window.showMinimized();
        }
        QSaveFile out(stateFile);
        if (!out.open(QIODevice::WriteOnly))
            return;
        const QString text =
            QStringLiteral("bus=%1\nclicked=%2\nlabel1=%3\nelapsed=%4\ntotal=%5\nvolume=%6\n"
                           "messages=%7\nminimized=%8\nentries=%9\nmuted=%10\nrow=%11\n")
                .arg(controls->busName())
                .arg(clicked ? 1 : 0)
                .arg(window.Label1->text(), window.lblElapsedTime->text(),
                     window.lblTotalTime->text())
                .arg(window.MediaPlayer1->sldVolume->value())
                .arg(environment.dialogs.messages.size())
                .arg(window.isMinimized() || !window.isVisible() ? 1 : 0)
                .arg(window.playlistEntries().size())
                .arg(window.MediaPlayer1->cmdMute->isChecked() ? 1 : 0)
                .arg(window.List1->currentIndex().row());
        out.write(text.toUtf8());
        out.commit();
    });
    report.start(40);
    QApplication::exec();
    std::printf("the program ended; window unloaded: %s, lastdir saved: %s\n",
                window.isUnloaded() ? "yes" : "no",
                qPrintable(environment.stored(settings::LastFolder)));
    return window.isUnloaded() && environment.stored(settings::LastFolder) == folder ? 0 : 1;
}
