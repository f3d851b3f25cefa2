// Drives the real player window for the end-to-end audio test: lists a folder, double-clicks
// one of its files and waits until the track has played to its end on the sound device.
// Usage: e2e_play FOLDER FILE_NAME. Exits 0 when the file played and its name was shown.
#include "components/filelistbox.h"
#include "components/mediaplayer.h"
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "support/fakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <cstdio>

using namespace quorvela;

namespace {
int failWith(const QString& message) {
    std::fprintf(stderr, "e2e_play: %s\n", qPrintable(message));
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3)
        return failWith(QStringLiteral("usage: e2e_play FOLDER FILE_NAME"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);

    test::TestEnvironment environment;
    environment.store(settings::LastFolder, folder);
    Form1 window(environment.services());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return failWith(QStringLiteral("the window was never shown"));

    const int row = window.File1->entries().indexOf(name);
    if (row < 0)
        return failWith(QStringLiteral("%1 is not listed in %2").arg(name, folder));
    const QModelIndex index = window.File1->model()->index(row, 0);
    window.File1->scrollTo(index);
    const QPoint at = window.File1->visualRect(index).center();
    QWidget* viewport = window.File1->viewport();
    // A list view needs the press of a first click before it takes a double-click.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);

    MediaPlayer* player = window.MediaPlayer1;
    if (!environment.dialogs.messages.isEmpty())
        return failWith(QStringLiteral("the window said: %1 (%2)")
                            .arg(environment.dialogs.messages.first().text, player->errorString()));
    if (player->state() != MediaPlayer::State::Playing)
        return failWith(QStringLiteral("the double-click did not start playing"));

    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = static_cast<qint64>(player->duration() * 1000) + 5000;
    while (player->state() != MediaPlayer::State::Stopped && clock.elapsed() < limitMs)
        QTest::qWait(50);
    if (player->state() != MediaPlayer::State::Stopped)
        return failWith(QStringLiteral("the track did not end"));
    std::printf("played %s (%.3f s) in %.3f s; Label1 \"%s\", lblTotalTime \"%s\"\n",
                qPrintable(name), player->duration(), clock.elapsed() / 1000.0,
                qPrintable(window.Label1->text()), qPrintable(window.lblTotalTime->text()));
    if (window.Label1->text() != name)
        return failWith(QStringLiteral("Label1 shows \"%1\"").arg(window.Label1->text()));
    return 0;
}
