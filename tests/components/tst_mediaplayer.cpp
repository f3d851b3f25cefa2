#include "components/audiooutput.h"
#include "components/deviceaudiooutput.h"
#include "components/mediaplayer.h"
#include "components/mp3decoder.h"
#include "components/nullaudiooutput.h"
#include "components/wavaudiooutput.h"
#include "support/audiofixtures.h"
#include "support/fakes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace quorvela;
using State = MediaPlayer::State;

namespace {

QAudioFormat pcm(int rate, int channels) {
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray id3Tag(int totalSize) {
    const int body = totalSize - 10;
    QByteArray tag("ID3\x04\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.append(static_cast<char>((body >> shift) & 0x7f));
    tag.append(QByteArray(body, '\0'));
    return tag;
}

} // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void positionIsZeroBeforeAnyFile();
    void playsToTheLastSample_data();
    void playsToTheLastSample();
    void positionFollowsTheListener();
    void rejectsBadFiles_data();
    void rejectsBadFiles();
    void playsWhatIsPlayable_data();
    void playsWhatIsPlayable();
    void scansLengthOffTheWindowThread();
    void trackChangeNeverWaitsForAScan();
    void volumeAndMuteReachTheOutput();
    void controlsFitAndDrivePlayback();
    void playFailsWithoutSoundDevice();
    void selectsOutput_data();
    void selectsOutput();

private:
    [[nodiscard]] QString wavPath(const QString& name) const {
        return m_dir.filePath(name + QLatin1String(".out.wav"));
    }

    QTemporaryDir m_dir;
    QString m_stereo;   // 1.5 s, 44.1 kHz stereo, 1 kHz
    QString m_mono;     // 1 s, 22.05 kHz mono, 440 Hz
    QString m_long;     // 2 s, 44.1 kHz stereo, 440 Hz
    QString m_noHeader; // 1 s VBR without Xing/Info frame
};

void TestMediaPlayer::initTestCase() {
    QVERIFY(m_dir.isValid());
    QString error;
    const QStringList cbr{QStringLiteral("-b"), QStringLiteral("128")};
    m_stereo = test::makeToneMp3(m_dir.path(), QStringLiteral("stereo"), 1.5, 44100, 2, 1000.0, cbr,
                                 &error);
    QVERIFY2(!m_stereo.isEmpty(), qPrintable(error));
    m_mono = test::makeToneMp3(m_dir.path(), QStringLiteral("mono"), 1.0, 22050, 1, 440.0,
                               {QStringLiteral("-b"), QStringLiteral("64")}, &error);
    QVERIFY2(!m_mono.isEmpty(), qPrintable(error));
    m_long =
        test::makeToneMp3(m_dir.path(), QStringLiteral("long"), 2.0, 44100, 2, 440.0, cbr, &error);
    QVERIFY2(!m_long.isEmpty(), qPrintable(error));
    m_noHeader = test::makeToneMp3(
        m_dir.path(), QStringLiteral("noheader"), 1.0, 44100, 2, 440.0,
        {QStringLiteral("-V"), QStringLiteral("2"), QStringLiteral("-t")}, &error);
    QVERIFY2(!m_noHeader.isEmpty(), qPrintable(error));
}

void TestMediaPlayer::positionIsZeroBeforeAnyFile() {
    MediaPlayer player(std::make_unique<NullAudioOutput>());
    QCOMPARE(player.currentPosition(), 0.0);
    QCOMPARE(player.duration(), 0.0);
    QCOMPARE(player.state(), State::Stopped);
    QVERIFY(!player.play());
    QVERIFY(!player.errorString().isEmpty());
    player.stop();
    QCOMPARE(player.currentPosition(), 0.0);
}

void TestMediaPlayer::playsToTheLastSample_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("outRate");
    QTest::addColumn<int>("outChannels");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<double>("frequency");
    QTest::newRow("44.1 kHz stereo, same format out")
        << "stereo" << 44100 << 2 << qint64(66150) << 1000.0;
    QTest::newRow("44.1 kHz stereo to 48 kHz") << "stereo" << 48000 << 2 << qint64(72000) << 1000.0;
    QTest::newRow("22.05 kHz mono to 48 kHz stereo")
        << "mono" << 48000 << 2 << qint64(48000) << 440.0;
}

void TestMediaPlayer::playsToTheLastSample() {
    QFETCH(QString, file);
    QFETCH(int, outRate);
    QFETCH(int, outChannels);
    QFETCH(qint64, frames);
    QFETCH(double, frequency);
    const QString path = file == QLatin1String("mono") ? m_mono : m_stereo;
    const QString out = wavPath(QStringLiteral("exact%1").arg(QTest::currentDataTag()[0] == '2'));
    QFile::remove(out);
    {
        MediaPlayer player(std::make_unique<WavAudioOutput>(out, pcm(outRate, outChannels)));
        QSignalSpy changes(&player, &MediaPlayer::playStateChange);
        QVERIFY2(player.setFileName(path), qPrintable(player.errorString()));
        // The length is known from the file's header at once, and announced.
        QCOMPARE(changes.count(), 1);
        QCOMPARE(player.duration(), double(frames) / outRate);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(player.play());
        QCOMPARE(player.state(), State::Playing);
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Stopped, 5000);
        // Real time: the end comes once the last sample was heard, not when decoding ends.
        QVERIFY2(clock.elapsed() >= player.duration() * 1000 - 60,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(player.currentPosition(), 0.0);
        QCOMPARE(changes.last().at(1).toInt(), int(State::Stopped));
    }
    const test::WavData wav = test::readWav(out);
    QVERIFY(wav.valid);
    QCOMPARE(wav.rate, outRate);
    QCOMPARE(wav.channels, outChannels);
    QCOMPARE(wav.frames(), frames);
    const std::vector<float> left = wav.channel(0);
    QVERIFY2(std::abs(test::toneFrequency(left, outRate) - frequency) < frequency * 0.01,
             qPrintable(QString::number(test::toneFrequency(left, outRate))));
    QVERIFY(test::rms(left) > 0.3);
    // A mono track sounds the same on both sides.
    if (file == QLatin1String("mono"))
        QCOMPARE(wav.channel(1), left);
}

void TestMediaPlayer::positionFollowsTheListener() {
    const QString out = wavPath(QStringLiteral("position"));
    MediaPlayer player(std::make_unique<WavAudioOutput>(out));
    QVERIFY(player.setFileName(m_long));
    QCOMPARE(player.currentPosition(), 0.0);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(player.play());
    double last = 0.0;
    for (int i = 1; i <= 3; ++i) {
        QTest::qWait(300);
        const double position = player.currentPosition();
        const double wall = clock.elapsed() / 1000.0;
        QVERIFY2(std::abs(position - wall) < 0.08,
                 qPrintable(QStringLiteral("%1 s heard after %2 s").arg(position).arg(wall)));
        QVERIFY(position > last);
        last = position;
    }
    player.pause();
    QCOMPARE(player.state(), State::Paused);
    const double paused = player.currentPosition();
    QTest::qWait(200);
    QCOMPARE(player.currentPosition(), paused);
    QVERIFY(player.play());
    QTest::qWait(200);
    QVERIFY(player.currentPosition() > paused + 0.1);

    const double heard = player.currentPosition();
    player.stop();
    QCOMPARE(player.state(), State::Stopped);
    QCOMPARE(player.currentPosition(), 0.0);
    const qint64 size = QFileInfo(out).size();
    QTest::qWait(200);
    QCOMPARE(QFileInfo(out).size(), size);
    // What was heard and no more: the output's lead, pulled but not yet played, is dropped.
    const double written = test::readWav(out).frames() / 48000.0;
    QVERIFY2(std::abs(written - heard) < 0.02,
             qPrintable(QStringLiteral("%1 s written, %2 s heard").arg(written).arg(heard)));
}

void TestMediaPlayer::rejectsBadFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("create");
    QByteArray random(256 * 1024, '\0');
    QRandomGenerator generator(4711);
    for (auto& byte : random)
        byte = static_cast<char>(generator.bounded(256));
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("text renamed .mp3") << QByteArray("#EXTM3U\nsong.mp3\n").repeated(100) << true;
    QTest::newRow("random bytes") << random << true;
    QTest::newRow("ID3 tag only") << id3Tag(300000) << true;
}

void TestMediaPlayer::rejectsBadFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, create);
    const QString path = m_dir.filePath(QStringLiteral("bad %1.mp3").arg(QTest::currentDataTag()));
    if (create)
        QVERIFY(test::writeFile(path, bytes));
    MediaPlayer player(std::make_unique<NullAudioOutput>());
    QVERIFY(player.setFileName(m_long));
    QVERIFY(player.play());
    QSignalSpy changes(&player, &MediaPlayer::playStateChange);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!player.setFileName(path));
    QVERIFY(clock.elapsed() < 500);
    QVERIFY(!player.errorString().isEmpty());
    // What played plays on, untouched and unannounced, so the window's labels stay true.
    QCOMPARE(player.state(), State::Playing);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(player.fileName(), m_long);
    QCOMPARE(player.duration(), 2.0);
    QTRY_VERIFY(player.currentPosition() > 0.0);
}

void TestMediaPlayer::playsWhatIsPlayable_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<qint64>("minFrames");
    QTest::addColumn<qint64>("maxFrames");
    // The 1.5 s stereo tone, to 48 kHz: 72000 frames whole. 1200 bytes of garbage overlap at
    // most 4 of its 417-byte blocks; the bit reservoir may take the 2 after them and finding
    // the next header one more: 7 blocks of 1152 frames at 44.1 kHz, 8777 at 48 kHz.
    QTest::newRow("truncated mid-frame") << "truncate" << qint64(30000) << qint64(40000);
    QTest::newRow("corrupt frames in the middle")
        << "garbage" << qint64(72000 - 8777) << qint64(72000);
    QTest::newRow("several MB of ID3 tag in front") << "id3" << qint64(72000) << qint64(72000);
}

void TestMediaPlayer::playsWhatIsPlayable() {
    QFETCH(QString, damage);
    QFETCH(qint64, minFrames);
    QFETCH(qint64, maxFrames);
    QByteArray bytes = readAll(m_stereo);
    if (damage == QLatin1String("truncate")) {
        bytes.truncate(bytes.size() / 2 + 100);
    } else if (damage == QLatin1String("garbage")) {
        for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 1200; ++i)
            bytes[i] = static_cast<char>((i * 7919) & 0xff);
    } else {
        bytes.prepend(id3Tag(5 * 1024 * 1024));
    }
    const QString path = m_dir.filePath(QStringLiteral("damaged-%1.mp3").arg(damage));
    QVERIFY(test::writeFile(path, bytes));
    const QString out = wavPath(damage);
    {
        MediaPlayer player(std::make_unique<WavAudioOutput>(out));
        QVERIFY2(player.setFileName(path), qPrintable(player.errorString()));
        QVERIFY(player.play());
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Stopped, 5000);
        QCOMPARE(player.currentPosition(), 0.0);
    }
    const qint64 frames = test::readWav(out).frames();
    QVERIFY2(frames >= minFrames && frames <= maxFrames, qPrintable(QString::number(frames)));
}

void TestMediaPlayer::scansLengthOffTheWindowThread() {
    auto player = std::make_unique<MediaPlayer>(std::make_unique<NullAudioOutput>());
    QSignalSpy changes(player.get(), &MediaPlayer::playStateChange);
    QVERIFY(player->setFileName(m_noHeader));
    QVERIFY(!player->isDurationExact());
    QTRY_VERIFY(player->isDurationExact());
    QCOMPARE(changes.count(), 1);
    const double scanned = player->duration();
    QCOMPARE(scanned, double(Mp3Decoder::scanLength(m_noHeader)) / 44100);

    // A new file while a scan runs, and the player going away while one runs, are both safe;
    // the stale result is never announced.
    QVERIFY(player->setFileName(m_noHeader));
    QVERIFY(player->setFileName(m_stereo));
    QTest::qWait(100);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(player->duration(), 1.5);
    QVERIFY(player->setFileName(m_noHeader));
    player.reset();
    QTest::qWait(50);
}

void TestMediaPlayer::trackChangeNeverWaitsForAScan() {
    // An hour of VBR audio without a frame count: its length needs a scan of tens of MB.
    QByteArray piece = readAll(m_noHeader);
    QVERIFY(!piece.isEmpty());
    const QString hour = m_dir.filePath(QStringLiteral("hour.mp3"));
    {
        QFile file(hour);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int second = 0; second < 3600; ++second)
            QVERIFY(file.write(piece) == piece.size());
    }
    MediaPlayer player(std::make_unique<NullAudioOutput>());
    QVERIFY(player.setFileName(hour));
    QVERIFY(!player.isDurationExact());

    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, &ticker,
            [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
    sinceTick.start();
    ticker.start();
    for (int i = 0; i < 5; ++i) {
        QVERIFY(player.setFileName(m_stereo));
        QVERIFY(player.play());
        QTest::qWait(30);
        QVERIFY(player.setFileName(hour));
        QVERIFY(player.play());
        QTest::qWait(30);
    }
    QVERIFY(player.setFileName(m_stereo));
    QTest::qWait(30);
    ticker.stop();
    QVERIFY2(longestGapMs <= 50, qPrintable(QStringLiteral("%1 ms").arg(longestGapMs)));
    // The abandoned scans never reach the file that plays now.
    QCOMPARE(player.duration(), 1.5);
    QVERIFY(player.isDurationExact());
}

void TestMediaPlayer::volumeAndMuteReachTheOutput() {
    const QString loud = wavPath(QStringLiteral("loud"));
    const QString muted = wavPath(QStringLiteral("muted"));
    for (const QString& out : {loud, muted}) {
        MediaPlayer player(std::make_unique<WavAudioOutput>(out));
        if (out == muted) {
            player.setVolume(50);
            player.cmdMute->click();
            QVERIFY(player.isMuted());
        }
        QVERIFY(player.setFileName(m_long));
        QVERIFY(player.play());
        QTest::qWait(300);
        if (out == muted) {
            player.cmdMute->click();
            QVERIFY(!player.isMuted());
        }
        // Longer than the output's lead, which was pulled before the change.
        QTest::qWait(900);
        player.stop();
    }
    const std::vector<float> a = test::readWav(loud).channel(0);
    const std::vector<float> b = test::readWav(muted).channel(0);
    QVERIFY(a.size() > 40000 && b.size() > 40000);
    const std::vector<float> silent(b.begin(), b.begin() + 9600);
    const std::vector<float> halfVolume(b.end() - 4800, b.end());
    const std::vector<float> full(a.end() - 4800, a.end());
    QCOMPARE(test::rms(silent), 0.0);
    // Half way on the volume scale is far quieter than full, but not silent.
    QVERIFY(test::rms(halfVolume) > 0.01);
    QVERIFY(test::rms(halfVolume) < test::rms(full) * 0.6);
}

void TestMediaPlayer::controlsFitAndDrivePlayback() {
    MediaPlayer player(std::make_unique<NullAudioOutput>());
    player.setGeometry(0, 0, 275, 41);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    const QRect area(0, 0, 275, 41);
    for (QWidget* control :
         std::initializer_list<QWidget*>{player.cmdPlayPause, player.cmdStop, player.sldPosition,
                                         player.cmdMute, player.sldVolume})
        QVERIFY2(area.contains(control->geometry()), qPrintable(control->objectName()));
    QVERIFY(!player.cmdPlayPause->isEnabled());

    QVERIFY(player.setFileName(m_long));
    QVERIFY(player.cmdPlayPause->isEnabled());
    QTest::mouseClick(player.cmdPlayPause, Qt::LeftButton);
    QCOMPARE(player.state(), State::Playing);
    QTRY_VERIFY(player.sldPosition->value() > 0);
    QTest::mouseClick(player.cmdPlayPause, Qt::LeftButton);
    QCOMPARE(player.state(), State::Paused);
    QTest::keyClick(player.cmdPlayPause, Qt::Key_Space);
    QCOMPARE(player.state(), State::Playing);

    // The keyboard seeks: End jumps to the track's end, which then stops.
    player.sldPosition->setFocus();
    QTest::keyClick(player.sldPosition, Qt::Key_End);
    QVERIFY(player.currentPosition() > 1.9);
    QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Stopped, 1000);
    QCOMPARE(player.sldPosition->value(), 0);
    QVERIFY(!player.sldPosition->isEnabled());

    QVERIFY(player.play());
    QTest::keyClick(player.sldPosition, Qt::Key_Home);
    QVERIFY(player.currentPosition() < 0.2);
    QTest::mouseClick(player.cmdStop, Qt::LeftButton);
    QCOMPARE(player.state(), State::Stopped);
    QCOMPARE(player.currentPosition(), 0.0);

    player.sldVolume->setFocus();
    QTest::keyClick(player.sldVolume, Qt::Key_PageDown);
    QCOMPARE(player.volume(), 80);
}

void TestMediaPlayer::playFailsWithoutSoundDevice() {
    if (!QMediaDevices::audioOutputs().isEmpty())
        QSKIP("A sound device is present here.");
    MediaPlayer player(std::make_unique<DeviceAudioOutput>());
    QVERIFY(player.setFileName(m_stereo));
    QVERIFY(!player.play());
    QVERIFY(!player.errorString().isEmpty());
    QCOMPARE(player.state(), State::Stopped);
    QCOMPARE(player.currentPosition(), 0.0);
}

void TestMediaPlayer::selectsOutput_data() {
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("kind");
    QTest::newRow("unset") << ""
                           << "device";
    QTest::newRow("null") << "null"
                          << "null";
    QTest::newRow("wav") << "wav:/some/where.wav"
                         << "wav";
    QTest::newRow("wav without a path") << "wav:"
                                        << "device";
    QTest::newRow("unknown") << "speakers"
                             << "device";
}

void TestMediaPlayer::selectsOutput() {
    QFETCH(QString, selection);
    QFETCH(QString, kind);
    const std::unique_ptr<AudioOutput> output = createAudioOutput(selection);
    auto* wav = dynamic_cast<WavAudioOutput*>(output.get());
    QCOMPARE(wav != nullptr, kind == QLatin1String("wav"));
    if (wav)
        QCOMPARE(wav->path(), QStringLiteral("/some/where.wav"));
    QCOMPARE(dynamic_cast<NullAudioOutput*>(output.get()) != nullptr,
             kind != QLatin1String("device"));
}

QTEST_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
