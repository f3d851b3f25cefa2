// The engine playing through the sound device, against a private sound server that
// tests/scripts/server_playback.sh starts (QUORVELA_TEST_SERVER_PID names it, so that the
// test can make it hang). Run under ThreadSanitizer as well: the engine's thread and
// libpulse's meet here.
#include "audio/deviceaudiooutput.h"
#include "audio/playbackengine.h"
#include "support/audiofixtures.h"
#include "support/stallwatch.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace quorvela;
using State = PlaybackEngine::State;

class TestServerPlayback : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void playsToTheEndOnce();
    void commandsInQuickSuccessionKeepTheStateTrue();
    void aServerThatHangsNeverStallsTheWindow();
    void theDesktopsMixerIsFollowed();
    // Last: it takes the server away for good.
    void aServerThatDiesStopsTheTrackAndSaysSo();

private:
    void signalServer(int signal) const {
        QVERIFY(::kill(static_cast<pid_t>(m_serverPid), signal) == 0);
    }

    QTemporaryDir m_dir;
    QString m_tone; // 1.5 s, 44.1 kHz stereo
    qint64 m_serverPid = 0;
};

void TestServerPlayback::initTestCase() {
    bool ok = false;
    m_serverPid = qEnvironmentVariableIntValue("QUORVELA_TEST_SERVER_PID", &ok);
    if (!ok || m_serverPid <= 0)
        QSKIP("needs the private sound server of tests/scripts/server_playback.sh");
    QVERIFY(m_dir.isValid());
    QString error;
    m_tone = test::makeToneMp3(m_dir.path(), QStringLiteral("tone"), 1.5, 44100, 2, 440.0,
                               {QStringLiteral("-b"), QStringLiteral("128")}, &error);
    QVERIFY2(!m_tone.isEmpty(), qPrintable(error));
}

void TestServerPlayback::playsToTheEndOnce() {
    PlaybackEngine engine(std::make_unique<DeviceAudioOutput>());
    QSignalSpy states(&engine, &PlaybackEngine::stateChanged);
    QSignalSpy sounding(&engine, &PlaybackEngine::sounding);
    QVERIFY(engine.open(m_tone));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(engine.play());
    QTRY_COMPARE_WITH_TIMEOUT(sounding.count(), 1, 2000);
    // The position is what the device plays: it never runs backwards or ahead of real time.
    double last = 0.0;
    while (engine.state() == State::Playing && clock.elapsed() < 5000) {
        const double now = engine.position();
        QVERIFY2(now >= last, qPrintable(QStringLiteral("%1 after %2").arg(now).arg(last)));
        QVERIFY(now <= clock.elapsed() / 1000.0 + 0.01);
        last = now;
        QTest::qWait(20);
    }
    QCOMPARE(engine.state(), State::Stopped);
    // The end comes when the last sample was heard, not when the last one was decoded.
    QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(last > 1.3);
    QTest::qWait(300);
    QCOMPARE(states.count(), 2);
    QCOMPARE(engine.position(), 0.0);
}

void TestServerPlayback::commandsInQuickSuccessionKeepTheStateTrue() {
    // Every command lets go of the stream the device thread fills and makes another: the
    // thread sanitizer watches the hand-overs, the stall watch that none of them waits.
    PlaybackEngine engine(std::make_unique<DeviceAudioOutput>());
    QSignalSpy failures(&engine, &PlaybackEngine::playFailed);
    test::StallWatch stalls;
    QVERIFY(engine.open(m_tone));
    QVERIFY(engine.play());
    for (int round = 0; round < 20; ++round) {
        QTest::qWait(round % 5);
        switch (round % 4) {
        case 0:
            QVERIFY(engine.seek(0.1 * round / 2));
            break;
        case 1:
            engine.pause();
            QCOMPARE(engine.state(), State::Paused);
            break;
        case 2:
            QVERIFY(engine.play());
            break;
        case 3:
            engine.setVolume(5 * round);
            engine.setMuted(round % 8 == 3);
            break;
        }
        (void)engine.position();
    }
    QVERIFY(engine.open(m_tone));
    QVERIFY(engine.play());
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.2, 3000);
    engine.stop();
    QCOMPARE(engine.position(), 0.0);
    QCOMPARE(failures.count(), 0);
    QVERIFY2(stalls.longestMs() < 100, qPrintable(QString::number(stalls.longestMs())));
}

void TestServerPlayback::aServerThatHangsNeverStallsTheWindow() {
    PlaybackEngine engine(std::make_unique<DeviceAudioOutput>());
    QSignalSpy failures(&engine, &PlaybackEngine::playFailed);
    QSignalSpy sounding(&engine, &PlaybackEngine::sounding);
    QVERIFY(engine.open(m_tone));
    QVERIFY(engine.play());
    QTRY_COMPARE_WITH_TIMEOUT(sounding.count(), 1, 2000);
    engine.stop();

    // A server that answers late, but within the time allowed, simply plays.
    signalServer(SIGSTOP);
    QVERIFY(engine.play());
    QTest::qWait(1500);
    signalServer(SIGCONT);
    QTRY_COMPARE_WITH_TIMEOUT(sounding.count(), 2, 3000);
    QCOMPARE(failures.count(), 0);
    engine.stop();

    // A server that does not answer at all fails the play after five seconds, and the window
    // serves its events all the while.
    signalServer(SIGSTOP);
    test::StallWatch stalls;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(engine.play());
    QVERIFY(clock.elapsed() < 50);
    QCOMPARE(engine.state(), State::Playing);
    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, DeviceAudioOutput::ServerTimeoutMs + 2000);
    const qint64 failedAfter = clock.elapsed();
    signalServer(SIGCONT);
    QVERIFY2(failedAfter >= DeviceAudioOutput::ServerTimeoutMs - 100,
             qPrintable(QString::number(failedAfter)));
    QCOMPARE(failures.last().at(0).toString(), QStringLiteral("The sound server did not answer."));
    QCOMPARE(engine.state(), State::Stopped);
    QVERIFY2(stalls.longestMs() < 100, qPrintable(QString::number(stalls.longestMs())));

    // Once it answers again, the next play connects anew and sounds.
    QVERIFY(engine.play());
    QTRY_COMPARE_WITH_TIMEOUT(sounding.count(), 3, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.2, 2000);
    engine.stop();
}

void TestServerPlayback::theDesktopsMixerIsFollowed() {
    // What the desktop's sound menu does to our stream, with pactl.
    const auto onOurStream = [](const QString& command) {
        const QString script = QStringLiteral(
            "id=$(pactl list sink-inputs | awk '/^Sink Input #/ {id = substr($3, 2)} "
            "/application.name = \"Quorvela\"/ {print id; exit}'); [ -n \"$id\" ] && %1");
        return test::runTool(QStringLiteral("bash"), {QStringLiteral("-c"), script.arg(command)});
    };
    const auto streamShows = [&](const char* mute, int percent) {
        return onOurStream(
            QStringLiteral("s=$(pactl list sink-inputs | grep -A20 \"^Sink Input #$id\") "
                           "&& grep -q 'Mute: %1' <<<\"$s\" && grep -q ' %2%' <<<\"$s\"")
                .arg(QLatin1String(mute))
                .arg(percent));
    };
    PlaybackEngine engine(std::make_unique<DeviceAudioOutput>());
    QSignalSpy volumes(&engine, &PlaybackEngine::volumeChanged);
    QSignalSpy mutes(&engine, &PlaybackEngine::mutedChanged);
    engine.setVolume(80);
    QVERIFY(engine.open(m_tone));
    QVERIFY(engine.play());
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.1, 3000);
    volumes.clear();
    QVERIFY(onOurStream(QStringLiteral("pactl set-sink-input-volume $id 20% && "
                                       "pactl set-sink-input-mute $id 1")));
    QTRY_COMPARE_WITH_TIMEOUT(engine.volume(), 20, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(engine.isMuted(), 2000);
    QCOMPARE(volumes.count(), 1);
    QCOMPARE(mutes.count(), 1);

    // The next track starts where the mixer left the last one, not where the window was; and
    // the window's own controls still set the stream's volume.
    engine.stop();
    QVERIFY(engine.play());
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.1, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(streamShows("yes", 20), 2000);
    engine.setMuted(false);
    engine.setVolume(60);
    QTRY_VERIFY_WITH_TIMEOUT(streamShows("no", 60), 2000);
    QCOMPARE(engine.volume(), 60);
    QVERIFY(!engine.isMuted());
    engine.stop();
}

void TestServerPlayback::aServerThatDiesStopsTheTrackAndSaysSo() {
    PlaybackEngine engine(std::make_unique<DeviceAudioOutput>());
    QSignalSpy interruptions(&engine, &PlaybackEngine::interrupted);
    QSignalSpy failures(&engine, &PlaybackEngine::playFailed);
    QVERIFY(engine.open(m_tone));
    QVERIFY(engine.play());
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.1, 3000);
    signalServer(SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(interruptions.count(), 1, 3000);
    QCOMPARE(interruptions.last().at(0).toString(), QStringLiteral("The sound server went away."));
    QCOMPARE(engine.state(), State::Stopped);
    // With no server left, the next play says it cannot reach one.
    QVERIFY(engine.play());
    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 3000);
    QVERIFY2(failures.last().at(0).toString().startsWith(
                 QStringLiteral("The sound server cannot be reached")),
             qPrintable(failures.last().at(0).toString()));
}

QTEST_GUILESS_MAIN(TestServerPlayback)
#include "server_playback.moc"
