// The engine playing through the sound device, against a private sound server that
// tests/scripts/server_playback.sh starts (QUORVELA_TEST_SERVER_PID names it, so that the
// test can make it hang). Run under ThreadSanitizer as well: the engine's thread and
// libpulse's meet here.
#include "audio/deviceaudiooutput.h"
#include "audio/playbackengine.h"
#include "support/audiofixtures.h"
#include "support/stallwatch.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <memory>

using namespace quorvela;
using State = PlaybackEngine::State;

namespace {

// A stream of ours on the server, as the desktop's mixer lists it.
struct ServerStream {
    int index = -1;
    bool corked = false;
};

QList<ServerStream> ourStreams() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    pactl.waitForFinished();
    QList<ServerStream> streams;
    ServerStream stream;
    bool ours = false;
    for (const QString& line : QString::fromUtf8(pactl.readAllStandardOutput()).split('\n')) {
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1String("Sink Input #"))) {
            if (ours)
                streams.append(stream);
            stream = {text.mid(12).toInt(), false};
            ours = false;
        } else if (text.startsWith(QLatin1String("Corked:"))) {
            stream.corked = text.endsWith(QLatin1String("yes"));
        } else if (text == QLatin1String("application.name = \"Quorvela\"")) {
            ours = true;
        }
    }
    if (ours)
        streams.append(stream);
    return streams;
}

} // namespace

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
    QString m_long; // 4 s
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
    m_long = test::makeToneMp3(m_dir.path(), QStringLiteral("long"), 4.0, 44100, 2, 440.0,
                               {QStringLiteral("-b"), QStringLiteral("128")}, &error);
    QVERIFY2(!m_long.isEmpty(), qPrintable(error));
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
    // The position is what the device plays: it never runs backwards or ahead of real time,
    // and once under way it does not stand still while the track plays on.
    double last = 0.0;
    while (engine.state() == State::Playing && clock.elapsed() < 5000) {
        const double now = engine.position();
        const bool moving = last > 0.25 && now < engine.duration() - 0.3;
        QVERIFY2(moving ? now > last : now >= last,
                 qPrintable(QStringLiteral("%1 after %2").arg(now).arg(last)));
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
    // Pauses, seeks and volume changes act on one stream the device thread fills, and new
    // tracks replace it: the thread sanitizer watches the hand-overs, the stall watch that
    // none of them waits, and the server's own list that the stream stays one.
    PlaybackEngine engine(std::make_unique<DeviceAudioOutput>());
    QSignalSpy failures(&engine, &PlaybackEngine::playFailed);
    QVERIFY(engine.open(m_tone));
    QVERIFY(engine.play());
    QTRY_COMPARE_WITH_TIMEOUT(ourStreams().size(), 1, 3000);
    const int index = ourStreams().first().index;
    qint64 longestStallMs = 0;
    auto stalls = std::make_unique<test::StallWatch>();
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
    longestStallMs = stalls->longestMs();
    engine.pause();
    // PipeWire's server for libpulse lists every stream in a running graph as uncorked.
    if (qEnvironmentVariable("E2E_SOUND_SERVER") != QLatin1String("pipewire"))
        QTRY_VERIFY_WITH_TIMEOUT(ourStreams().value(0).corked, 2000);
    QVERIFY(engine.play());
    QVERIFY(engine.seek(0.5));
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.6, 3000);
    const QList<ServerStream> kept = ourStreams();
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept.first().index, index);

    // New tracks as fast as a held key gives them, watched from outside meanwhile.
    QProcess watch;
    // Bounded, so that a test cut short leaves nothing behind.
    watch.start(
        QStringLiteral("bash"),
        {QStringLiteral("-c"), QStringLiteral("end=$((SECONDS + 30)); while ((SECONDS < end)); do "
                                              "pactl list sink-inputs | "
                                              "grep -c 'application.name = \"Quorvela\"'; done")});
    QVERIFY(watch.waitForStarted());
    stalls = std::make_unique<test::StallWatch>();
    for (int round = 0; round < 30; ++round) {
        QVERIFY(engine.open(m_tone));
        QVERIFY(engine.play());
        QTest::qWait(round % 3);
    }
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.2, 3000);
    longestStallMs = std::max(longestStallMs, stalls->longestMs());
    watch.kill();
    watch.waitForFinished();
    int most = 0;
    for (const QByteArray& count : watch.readAllStandardOutput().split('\n'))
        most = std::max(most, count.toInt());
    QCOMPARE(most, 1);
    engine.stop();
    QCOMPARE(engine.position(), 0.0);
    // Let go, so that the device can idle.
    QTRY_VERIFY_WITH_TIMEOUT(ourStreams().isEmpty(), 2000);
    QCOMPARE(failures.count(), 0);
    QVERIFY2(longestStallMs < 100, qPrintable(QString::number(longestStallMs)));
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
    // Seeking meanwhile does not put the failure off.
    for (int second = 1; second < 5; ++second) {
        QTest::qWait(1000);
        QVERIFY(engine.seek(0.2 * second));
    }
    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 3000);
    const qint64 failedAfter = clock.elapsed();
    signalServer(SIGCONT);
    QVERIFY2(failedAfter >= DeviceAudioOutput::ServerTimeoutMs - 100 &&
                 failedAfter < DeviceAudioOutput::ServerTimeoutMs + 1000,
             qPrintable(QString::number(failedAfter)));
    QCOMPARE(failures.last().at(0).toString(), QStringLiteral("The sound server did not answer."));
    QCOMPARE(engine.state(), State::Stopped);
    QVERIFY2(stalls.longestMs() < 100, qPrintable(QString::number(stalls.longestMs())));

    // Once it answers again, the next play connects anew and sounds.
    QVERIFY(engine.play());
    QTRY_COMPARE_WITH_TIMEOUT(sounding.count(), 3, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.2, 2000);
    engine.stop();

    // A server that stands still in the middle of a track: the clock holds meanwhile, and
    // the track goes on once the server does, from where it was, with no jump either way.
    QVERIFY(engine.open(m_long));
    QVERIFY(engine.play());
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() > 0.5, 3000);
    signalServer(SIGSTOP);
    QTest::qWait(2000);
    const double held = engine.position();
    QTest::qWait(2000);
    QCOMPARE(engine.position(), held);
    signalServer(SIGCONT);
    double last = engine.position();
    double biggestStep = 0.0;
    QElapsedTimer sinceGoingOn;
    sinceGoingOn.start();
    while (engine.state() == State::Playing && sinceGoingOn.elapsed() < 8000) {
        QTest::qWait(20);
        const double now = engine.position();
        if (engine.state() != State::Playing)
            break;
        QVERIFY2(now >= last, qPrintable(QStringLiteral("%1 after %2").arg(now).arg(last)));
        biggestStep = std::max(biggestStep, now - last);
        last = now;
    }
    QVERIFY2(biggestStep < 0.1, qPrintable(QString::number(biggestStep)));
    QVERIFY2(last > held + 0.5, qPrintable(QString::number(last)));
    QCOMPARE(failures.count(), 1);
    QCOMPARE(engine.state(), State::Stopped);
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
    // Two quick changes of ours are not taken for the mixer's, and the last one stands.
    volumes.clear();
    engine.setVolume(30);
    engine.setVolume(70);
    QTRY_VERIFY_WITH_TIMEOUT(streamShows("no", 70), 2000);
    QTest::qWait(300);
    QCOMPARE(volumes.count(), 2);
    QCOMPARE(engine.volume(), 70);
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
