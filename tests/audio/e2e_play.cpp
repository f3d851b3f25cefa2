// Drives the real player window for the end-to-end audio test.
// Usage: e2e_play FOLDER FILE_NAME [LOSE_COMMAND RESTORE_COMMAND [HANG_COMMAND RESUME_COMMAND]]
//  1. Lists FOLDER and double-clicks FILE_NAME; pauses the moment the elapsed label turns
//     "00:01" and prints "PAUSED_AT <seconds heard>"; goes on half a second later and waits
//     for the track's end.
//  2. With the commands: plays the file again, runs LOSE_COMMAND (which takes the sound device
//     away, and at last the stream) while it plays, checks that the window kept answering and
//     that it stopped, its elapsed label back at "00:00"; runs RESTORE_COMMAND (a new device)
//     and plays the file once more to its end.
//  3. With the last two commands, which stop and resume the sound server: a double-click while
//     it stands still never stalls the window, which then says that the server did not answer;
//     one that goes on within a second simply plays.
// Exits 0 when every step did what it should.
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "support/shownwindow.h"
#include "support/stallwatch.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <cstdio>

using namespace quorvela;
using State = MediaPlayer::State;

namespace {

int failWith(const QString& message) {
    std::fprintf(stderr, "e2e_play: %s\n", qPrintable(message));
    return 1;
}

void doubleClick(Form1& window, const QString& name) {
    const int row = window.File1->entries().indexOf(name);
    const QModelIndex index = window.File1->model()->index(row, 0);
    window.File1->scrollTo(index);
    const QPoint at = window.File1->visualRect(index).center();
    QWidget* viewport = window.File1->viewport();
    // A list view needs the press of a first click before it takes a double-click.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

// Waits, serving events, until done() or the time is up; false on time-out.
template <typename Done> bool waitFor(Done done, qint64 limitMs, int stepMs = 5) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QTest::qWait(stepMs);
    }
    return true;
}

bool playToTheEnd(Form1& window, const QString& name, QString* error) {
    MediaPlayer* player = window.MediaPlayer1;
    const qint64 limitMs = static_cast<qint64>(player->duration() * 1000) + 5000;
    QElapsedTimer clock;
    clock.start();
    if (!waitFor([&] { return player->state() == State::Stopped; }, limitMs, 50)) {
        *error = QStringLiteral("the track did not end");
        return false;
    }
    std::printf("played %s (%.3f s) to its end in %.3f s; Label1 \"%s\", lblTotalTime \"%s\"\n",
                qPrintable(name), player->duration(), clock.elapsed() / 1000.0,
                qPrintable(window.Label1->text()), qPrintable(window.lblTotalTime->text()));
    if (window.Label1->text() != name) {
        *error = QStringLiteral("Label1 shows \"%1\"").arg(window.Label1->text());
        return false;
    }
    return true;
}

bool runCommand(const QString& command) {
    return QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), command}) == 0;
}

// Step 3: the sound server stands still. When the play fails and how the labels then read is
// server_playback's and tst_form1's to check; here, that the whole window keeps answering.
int serverHangs(Form1& window, test::TestEnvironment& environment, const QString& name,
                const QString& hang, const QString& resume) {
    auto& messages = environment.dialogs.messages;
    messages.clear();
    if (!runCommand(hang))
        return failWith(QStringLiteral("the command stopping the server failed"));
    qint64 longestStallMs = 0;
    bool told = false;
    {
        const test::StallWatch stalls;
        doubleClick(window, name);
        told = waitFor([&] { return !messages.isEmpty(); }, 8000, 10);
        longestStallMs = stalls.longestMs();
    }
    if (!runCommand(resume))
        return failWith(QStringLiteral("the command resuming the server failed"));
    std::printf(
        "server standing still: the window stalled at most %lld ms and said \"%s\" (\"%s\")\n",
        static_cast<long long>(longestStallMs),
        told ? qPrintable(messages.first().text) : "nothing",
        told ? qPrintable(messages.first().informative) : "");
    if (longestStallMs > 100)
        return failWith(QStringLiteral("the window stood still for %1 ms").arg(longestStallMs));
    if (!told || messages.first().text != QLatin1String("Error playing file!") ||
        messages.first().informative != QLatin1String("The sound server did not answer."))
        return failWith(QStringLiteral("the window did not say that the server did not answer"));

    // A server that goes on within a second is merely slow.
    messages.clear();
    if (!runCommand(hang))
        return failWith(QStringLiteral("the command stopping the server failed"));
    doubleClick(window, name);
    QTest::qWait(1000);
    if (!runCommand(resume))
        return failWith(QStringLiteral("the command resuming the server failed"));
    if (!waitFor([&] { return window.MediaPlayer1->currentPosition() > 0.3; }, 3000) ||
        !messages.isEmpty())
        return failWith(QStringLiteral("a server slow to answer did not play the track"));
    std::printf("server slow to answer: played\n");
    std::fflush(stdout);
    window.MediaPlayer1->stop();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 5 && argc != 7)
        return failWith(
            QStringLiteral("usage: e2e_play FOLDER FILE_NAME [LOSE RESTORE [HANG RESUME]]"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);

    test::ShownWindow shown;
    if (const QString why = shown.open(folder, name); !why.isEmpty())
        return failWith(why);
    Form1& window = shown.window();
    test::TestEnvironment& environment = shown.environment();
    MediaPlayer* player = window.MediaPlayer1;
    QString error;

    // 1. What the elapsed label shows is what is heard, and a pause is heard at once.
    doubleClick(window, name);
    if (!environment.dialogs.messages.isEmpty())
        return failWith(QStringLiteral("the window said: %1 (%2)")
                            .arg(environment.dialogs.messages.first().text, player->errorString()));
    if (player->state() != State::Playing)
        return failWith(QStringLiteral("the double-click did not start playing"));
    if (!waitFor([&] { return window.lblElapsedTime->text() == QLatin1String("00:01"); }, 5000, 1))
        return failWith(QStringLiteral("the elapsed label never showed 00:01"));
    player->cmdPlayPause->click();
    if (player->state() != State::Paused)
        return failWith(QStringLiteral("the play button did not pause"));
    const double pausedAt = player->currentPosition();
    std::printf("PAUSED_AT %.4f\n", pausedAt);
    std::fflush(stdout);
    QTest::qWait(500);
    if (player->currentPosition() != pausedAt || window.lblElapsedTime->text() != "00:01")
        return failWith(QStringLiteral("the position moved while paused"));
    player->cmdPlayPause->click();
    if (player->state() != State::Playing)
        return failWith(
            QStringLiteral("the play button did not go on: %1").arg(player->errorString()));
    if (!playToTheEnd(window, name, &error))
        return failWith(error);
    if (argc == 3)
        return 0;

    // 2. The device goes away while playing.
    QTest::qWait(500);
    doubleClick(window, name);
    if (!waitFor([&] { return player->currentPosition() > 0.5; }, 3000))
        return failWith(
            QStringLiteral("the second play did not start: %1").arg(player->errorString()));
    QProcess lose;
    lose.setProcessChannelMode(QProcess::ForwardedChannels);
    lose.start(QStringLiteral("bash"), {QStringLiteral("-c"), QString::fromLocal8Bit(argv[3])});
    // The window must keep answering meanwhile: a timer of its event loop keeps ticking.
    qint64 longestStallMs = 0;
    {
        const test::StallWatch stalls;
        if (!waitFor([&] { return lose.state() == QProcess::NotRunning; }, 10000))
            return failWith(QStringLiteral("the command taking the device away did not end"));
        if (lose.exitCode() != 0)
            return failWith(QStringLiteral("the command taking the device away failed"));
        QTest::qWait(300);
        longestStallMs = stalls.longestMs();
    }
    std::printf("after losing the device: %s (%s), elapsed \"%s\", longest stall %lld ms\n",
                player->state() == State::Stopped ? "stopped" : "not stopped",
                qPrintable(player->errorString()), qPrintable(window.lblElapsedTime->text()),
                static_cast<long long>(longestStallMs));
    if (longestStallMs > 500)
        return failWith(QStringLiteral("the window stood still for %1 ms").arg(longestStallMs));
    if (player->state() != State::Stopped || player->errorString().isEmpty())
        return failWith(QStringLiteral("the player did not stop when its stream was dropped"));
    std::printf("the status bar says: %s\n", qPrintable(window.StatusBar1->currentMessage()));
    if (window.StatusBar1->currentMessage() !=
        QStringLiteral("Playing stopped. %1").arg(player->errorString()))
        return failWith(QStringLiteral("the window did not say why the sound stopped"));
    if (window.lblElapsedTime->text() != QLatin1String("00:00"))
        return failWith(QStringLiteral("stopped, but the elapsed label shows %1")
                            .arg(window.lblElapsedTime->text()));

    // 3. A new device; the next track plays there.
    if (!runCommand(QString::fromLocal8Bit(argv[4])))
        return failWith(QStringLiteral("the command bringing a new device failed"));
    player->stop();
    doubleClick(window, name);
    if (player->state() != State::Playing)
        return failWith(QStringLiteral("playing again failed: %1").arg(player->errorString()));
    if (!playToTheEnd(window, name, &error))
        return failWith(error);
    if (argc == 5)
        return 0;
    return serverHangs(window, environment, name, QString::fromLocal8Bit(argv[5]),
                       QString::fromLocal8Bit(argv[6]));
}
