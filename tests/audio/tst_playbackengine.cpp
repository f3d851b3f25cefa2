#include "audio/audiooutput.h"
#include "audio/audiosource.h"
#include "audio/decodeahead.h"
#include "audio/deviceaudiooutput.h"
#include "audio/mp3decoder.h"
#include "audio/nullaudiooutput.h"
#include "audio/playbackengine.h"
#include "audio/reportqueue.h"
#include "audio/wavaudiooutput.h"
#include "support/audiofixtures.h"
#include "support/stallwatch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace quorvela;
using State = PlaybackEngine::State;

namespace {

AudioFormat pcm(int rate, int channels) {
    AudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(AudioFormat::Int16);
    return format;
}

// A stand-in output that can lose its device, as an unplugged headset or a stopped sound
// server would make it.
class LosableOutput final : public NullAudioOutput {
public:
    quint64 start(const AudioFormat& format, DecodeAhead* source) override {
        return m_stream = NullAudioOutput::start(format, source);
    }
    void loseDevice() {
        stop();
        emit lost(m_stream, QStringLiteral("The sound device went away."));
    }
    [[nodiscard]] quint64 stream() const { return m_stream; }

private:
    quint64 m_stream = 0;
};

// A stand-in output with a volume of its own, as the sound server gives the device output.
class VolumeOutput final : public NullAudioOutput {
public:
    bool setVolume(double level, bool muted) override {
        volumes.append(muted ? 0.0 : level);
        return true;
    }
    QList<double> volumes;
    std::atomic<float> loudest{0.0f};

protected:
    // On the output's thread.
    void consume(const char* data, qsizetype size) override {
        const auto* samples = reinterpret_cast<const qint16*>(data);
        float most = loudest.load();
        for (qsizetype i = 0; i < size / 2; ++i)
            most = std::max(most, std::abs(samples[i] / 32768.0f));
        loudest.store(most);
    }
};

// A file on a disk that has turned slow: every read takes a second, and brings a tenth of one.
class SlowSource final : public AudioSource {
public:
    explicit SlowSource(const AudioFormat& format) : m_format(format) {}
    AudioFormat outputFormat() const override { return m_format; }
    bool setOutputFormat(const AudioFormat& format) override { return format == m_format; }
    qsizetype read(char* data, qsizetype maxBytes) override {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const qsizetype bytes = std::min<qsizetype>(maxBytes, m_format.sampleRate() / 10 * 4);
        std::fill_n(data, bytes, '\x10');
        return bytes;
    }
    bool seek(qint64) override { return true; }
    void setGain(float) override {}
    QString errorString() const override { return {}; }

private:
    AudioFormat m_format;
};

} // namespace

class TestPlaybackEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void positionIsZeroBeforeAnyFile();
    void playsToTheLastSample_data();
    void playsToTheLastSample();
    void playsAtTheFilesOwnFormat_data();
    void playsAtTheFilesOwnFormat();
    void positionFollowsTheListener();
    void pauseSeekAndStopDropTheBuffer();
    void survivesLosingTheOutput();
    void rejectsBadFiles_data();
    void rejectsBadFiles();
    void playsWhatIsPlayable_data();
    void playsWhatIsPlayable();
    void scansLengthOffTheWindowThread();
    void trackChangeNeverWaitsForAScan();
    void volumeAndMuteReachTheOutput();
    void anOutputsOwnVolumeLeavesTheSamplesWhole();
    void playFailsWithoutSoundDevice();
    void aSlowDiskNeverStallsTheWindow();
    void reportsRunOneAtATimeInTheirOrder();
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

void TestPlaybackEngine::initTestCase() {
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

void TestPlaybackEngine::positionIsZeroBeforeAnyFile() {
    PlaybackEngine player(std::make_unique<NullAudioOutput>());
    QCOMPARE(player.position(), 0.0);
    QCOMPARE(player.duration(), 0.0);
    QCOMPARE(player.state(), State::Stopped);
    QVERIFY(!player.play());
    QVERIFY(!player.errorString().isEmpty());
    player.stop();
    QCOMPARE(player.position(), 0.0);
}

void TestPlaybackEngine::playsToTheLastSample_data() {
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

void TestPlaybackEngine::playsToTheLastSample() {
    QFETCH(QString, file);
    QFETCH(int, outRate);
    QFETCH(int, outChannels);
    QFETCH(qint64, frames);
    QFETCH(double, frequency);
    const QString path = file == QLatin1String("mono") ? m_mono : m_stereo;
    const QString out = wavPath(QStringLiteral("exact%1").arg(QTest::currentDataTag()[0] == '2'));
    QFile::remove(out);
    {
        PlaybackEngine player(std::make_unique<WavAudioOutput>(out, pcm(outRate, outChannels)));
        QSignalSpy lengths(&player, &PlaybackEngine::durationChanged);
        QSignalSpy changes(&player, &PlaybackEngine::stateChanged);
        QVERIFY2(player.open(path), qPrintable(player.errorString()));
        // The length is known from the file's header at once, and announced.
        QCOMPARE(lengths.count(), 1);
        QCOMPARE(player.duration(), double(frames) / outRate);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(player.play());
        QCOMPARE(player.state(), State::Playing);
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Stopped, 5000);
        // Real time: the end comes once the last sample was heard, not when decoding ends.
        QVERIFY2(clock.elapsed() >= player.duration() * 1000 - 60,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(player.position(), 0.0);
        QCOMPARE(changes.last().at(1).value<State>(), State::Stopped);
    }
    const test::WavData wav = test::readWav(out);
    QVERIFY(wav.valid);
    QCOMPARE(wav.rate, outRate);
    QCOMPARE(wav.channels, outChannels);
    // libmpg123's own rate conversion may round the length by a frame or two.
    QVERIFY2(std::abs(wav.frames() - frames) <= (outRate == 44100 ? 0 : 2),
             qPrintable(QString::number(wav.frames())));
    const std::vector<float> left = wav.channel(0);
    QVERIFY2(std::abs(test::toneFrequency(left, outRate) - frequency) < frequency * 0.01,
             qPrintable(QString::number(test::toneFrequency(left, outRate))));
    QVERIFY(test::rms(left) > 0.3);
    // A mono track sounds the same on both sides.
    if (file == QLatin1String("mono"))
        QCOMPARE(wav.channel(1), left);
}

void TestPlaybackEngine::playsAtTheFilesOwnFormat_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    for (const int rate : {8000, 22050, 32000, 44100, 48000}) {
        for (const int channels : {1, 2})
            QTest::addRow("%.2f kHz %s", rate / 1000.0, channels == 1 ? "mono" : "stereo")
                << rate << channels;
    }
}

void TestPlaybackEngine::playsAtTheFilesOwnFormat() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    const QString name = QStringLiteral("own-%1-%2").arg(rate).arg(channels);
    QString error;
    // MPEG 2 and 2.5 (the low rates) allow no more than 64 kbit/s.
    const QString bitrate = rate < 32000 ? QStringLiteral("64") : QStringLiteral("128");
    const QString mp3 = test::makeToneMp3(m_dir.path(), name, 0.5, rate, channels, 440.0,
                                          {QStringLiteral("-b"), bitrate}, &error);
    QVERIFY2(!mp3.isEmpty(), qPrintable(error));
    const QString out = wavPath(name);
    {
        PlaybackEngine player(std::make_unique<WavAudioOutput>(out));
        QVERIFY2(player.open(mp3), qPrintable(player.errorString()));
        QVERIFY(player.play());
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Stopped, 5000);
    }
    const test::WavData wav = test::readWav(out);
    QVERIFY(wav.valid);
    QCOMPARE(wav.rate, rate);
    QCOMPARE(wav.channels, channels);
    QCOMPARE(wav.frames(), qint64(rate / 2));

    // The same file through the reference decoder: the same samples, give or take the last
    // bit of 16.
    if (QStandardPaths::findExecutable(QStringLiteral("mpg123")).isEmpty())
        QSKIP("mpg123 is not installed");
    const QString reference = m_dir.filePath(name + QLatin1String(".ref.wav"));
    QVERIFY2(test::runTool(QStringLiteral("mpg123"),
                           {QStringLiteral("-q"), QStringLiteral("-w"), reference, mp3}, &error),
             qPrintable(error));
    const test::WavData ref = test::readWav(reference);
    QVERIFY(ref.valid);
    QCOMPARE(ref.rate, wav.rate);
    QCOMPARE(ref.channels, wav.channels);
    QCOMPARE(ref.frames(), wav.frames());
    float worst = 0.0f;
    for (std::size_t i = 0; i < ref.samples.size(); ++i)
        worst = std::max(worst, std::abs(ref.samples[i] - wav.samples[i]));
    QVERIFY2(worst * 32768.0f <= 1.0f + 1e-3f, qPrintable(QString::number(worst * 32768.0f)));
}

void TestPlaybackEngine::positionFollowsTheListener() {
    const QString out = wavPath(QStringLiteral("position"));
    PlaybackEngine player(std::make_unique<WavAudioOutput>(out));
    QVERIFY(player.open(m_long));
    QCOMPARE(player.position(), 0.0);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(player.play());
    double last = 0.0;
    for (int i = 1; i <= 3; ++i) {
        QTest::qWait(300);
        const double position = player.position();
        const double wall = clock.elapsed() / 1000.0;
        QVERIFY2(std::abs(position - wall) < 0.08,
                 qPrintable(QStringLiteral("%1 s heard after %2 s").arg(position).arg(wall)));
        QVERIFY(position > last);
        last = position;
    }
    player.pause();
    QCOMPARE(player.state(), State::Paused);
    const double paused = player.position();
    QTest::qWait(200);
    QCOMPARE(player.position(), paused);
    QVERIFY(player.play());
    QTest::qWait(200);
    QVERIFY(player.position() > paused + 0.1);

    const double heard = player.position();
    player.stop();
    QCOMPARE(player.state(), State::Stopped);
    QCOMPARE(player.position(), 0.0);
    const qint64 size = QFileInfo(out).size();
    QTest::qWait(200);
    QCOMPARE(QFileInfo(out).size(), size);
    // What was heard and no more: the output's lead, pulled but not yet played, is dropped.
    const double written = test::readWav(out).frames() / 44100.0;
    QVERIFY2(std::abs(written - heard) < 0.02,
             qPrintable(QStringLiteral("%1 s written, %2 s heard").arg(written).arg(heard)));

    // Gone in the middle of a track, the output leaves a file whose header tells its size.
    {
        PlaybackEngine gone(std::make_unique<WavAudioOutput>(out));
        QVERIFY(gone.open(m_long) && gone.play());
        QTest::qWait(200);
    }
    const QByteArray wav = test::readFile(out);
    QVERIFY(wav.size() > 44 + 20000);
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(wav.size() - 44));
}

void TestPlaybackEngine::pauseSeekAndStopDropTheBuffer() {
    // The output pulls well ahead of what is heard; none of that may be heard after a pause,
    // a seek or a stop.
    const QString out = wavPath(QStringLiteral("drop"));
    PlaybackEngine player(std::make_unique<WavAudioOutput>(out));
    QVERIFY(player.open(m_long));
    QVERIFY(player.play());
    QTest::qWait(300);
    player.pause();
    const double heard = player.position();
    // Heard up to the pause, give or take the moment between the two readings of the clock.
    const double written = test::readWav(out).frames() / 44100.0;
    QVERIFY2(std::abs(written - heard) < 0.003,
             qPrintable(QStringLiteral("%1 s written, %2 s heard").arg(written).arg(heard)));
    QTest::qWait(200);
    QCOMPARE(player.position(), heard);
    QVERIFY(player.play());
    QTest::qWait(300);
    const double beforeSeek = player.position();
    QVERIFY(player.seek(1.2));
    QTest::qWait(300);
    const double afterSeek = player.position() - 1.2;
    player.stop();
    // Each stretch is heard once, and nothing beyond: allow the clock's few milliseconds
    // between reading the position and the stop.
    const double total = test::readWav(out).frames() / 44100.0;
    QVERIFY2(
        std::abs(total - (beforeSeek + afterSeek)) < 0.015,
        qPrintable(
            QStringLiteral("%1 s written, %2 s heard").arg(total).arg(beforeSeek + afterSeek)));
    // A place beyond the end is the end, and the position never passes it.
    QVERIFY(player.play());
    QVERIFY(player.seek(60.0));
    QCOMPARE(player.position(), player.duration());
    QTRY_COMPARE(player.state(), State::Stopped);
}

void TestPlaybackEngine::survivesLosingTheOutput() {
    auto output = std::make_unique<LosableOutput>();
    LosableOutput* device = output.get();
    PlaybackEngine player(std::move(output));
    QSignalSpy interruptions(&player, &PlaybackEngine::interrupted);
    QVERIFY(player.open(m_long));
    QVERIFY(player.play());
    QTest::qWait(100);
    device->loseDevice();
    // Stopped and said so, as the labels will show.
    QCOMPARE(player.state(), State::Stopped);
    QCOMPARE(player.position(), 0.0);
    QCOMPARE(interruptions.count(), 1);
    QCOMPARE(interruptions.last().at(0).toString(), QStringLiteral("The sound device went away."));
    QCOMPARE(player.errorString(), QStringLiteral("The sound device went away."));
    // The next track plays on whatever device there is now.
    QVERIFY(player.play());
    QTRY_VERIFY(player.position() > 0.05);
    // A late report of that stream's end does not end the next track's.
    const quint64 earlier = device->stream();
    QVERIFY(player.open(m_stereo));
    QVERIFY(player.play());
    emit device->finished(earlier);
    QCOMPARE(player.state(), State::Playing);
    QCOMPARE(player.fileName(), m_stereo);
}

void TestPlaybackEngine::rejectsBadFiles_data() {
    test::addFilesThatAreNotMp3();
}

void TestPlaybackEngine::rejectsBadFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, create);
    const QString path = m_dir.filePath(QStringLiteral("bad %1.mp3").arg(QTest::currentDataTag()));
    if (create)
        QVERIFY(test::writeFile(path, bytes));
    PlaybackEngine player(std::make_unique<NullAudioOutput>());
    QVERIFY(player.open(m_long));
    QVERIFY(player.play());
    QSignalSpy changes(&player, &PlaybackEngine::stateChanged);
    QSignalSpy tracks(&player, &PlaybackEngine::trackChanged);
    QSignalSpy lengths(&player, &PlaybackEngine::durationChanged);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!player.open(path));
    QVERIFY(clock.elapsed() < 500);
    QVERIFY(!player.errorString().isEmpty());
    // What played plays on, untouched and unannounced, so the window's labels stay true.
    QCOMPARE(player.state(), State::Playing);
    QCOMPARE(changes.count() + tracks.count() + lengths.count(), 0);
    QCOMPARE(player.fileName(), m_long);
    QCOMPARE(player.duration(), 2.0);
    QTRY_VERIFY(player.position() > 0.0);
}

void TestPlaybackEngine::playsWhatIsPlayable_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<qint64>("minFrames");
    QTest::addColumn<qint64>("maxFrames");
    // The 1.5 s stereo tone at its own 44.1 kHz: 66150 frames whole. 1200 bytes of garbage
    // overlap at most 4 of its 417-byte blocks; the bit reservoir may take the 2 after them and
    // finding the next header one more: 7 blocks of 1152 frames.
    QTest::newRow("truncated mid-frame") << "truncate" << qint64(27500) << qint64(36750);
    QTest::newRow("corrupt frames in the middle")
        << "garbage" << qint64(66150 - 7 * 1152) << qint64(66150);
    QTest::newRow("several MB of ID3 tag in front") << "id3" << qint64(66150) << qint64(66150);
}

void TestPlaybackEngine::playsWhatIsPlayable() {
    QFETCH(QString, damage);
    QFETCH(qint64, minFrames);
    QFETCH(qint64, maxFrames);
    QByteArray bytes = test::readFile(m_stereo);
    if (damage == QLatin1String("truncate")) {
        bytes.truncate(bytes.size() / 2 + 100);
    } else if (damage == QLatin1String("garbage")) {
        for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 1200; ++i)
            bytes[i] = static_cast<char>((i * 7919) & 0xff);
    } else {
        bytes.prepend(test::id3Padding(5 * 1024 * 1024));
    }
    const QString path = m_dir.filePath(QStringLiteral("damaged-%1.mp3").arg(damage));
    QVERIFY(test::writeFile(path, bytes));
    const QString out = wavPath(damage);
    {
        PlaybackEngine player(std::make_unique<WavAudioOutput>(out));
        QVERIFY2(player.open(path), qPrintable(player.errorString()));
        QVERIFY(player.play());
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Stopped, 5000);
        QCOMPARE(player.position(), 0.0);
    }
    const qint64 frames = test::readWav(out).frames();
    QVERIFY2(frames >= minFrames && frames <= maxFrames, qPrintable(QString::number(frames)));
}

void TestPlaybackEngine::scansLengthOffTheWindowThread() {
    auto player = std::make_unique<PlaybackEngine>(std::make_unique<NullAudioOutput>());
    QSignalSpy changes(player.get(), &PlaybackEngine::durationChanged);
    QVERIFY(player->open(m_noHeader));
    QVERIFY(!player->isDurationExact());
    QTRY_VERIFY(player->isDurationExact());
    QCOMPARE(changes.count(), 1);
    const double scanned = player->duration();
    QCOMPARE(scanned, double(Mp3Decoder::scanLength(m_noHeader)) / 44100);

    // A new file while a scan runs, and the player going away while one runs, are both safe;
    // the stale result is never announced.
    QVERIFY(player->open(m_noHeader));
    QVERIFY(player->open(m_stereo));
    QTest::qWait(100);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(player->duration(), 1.5);
    QVERIFY(player->open(m_noHeader));
    player.reset();
    QTest::qWait(50);
}

void TestPlaybackEngine::trackChangeNeverWaitsForAScan() {
    // An hour of VBR audio without a frame count: its length needs a scan of tens of MB.
    QByteArray piece = test::readFile(m_noHeader);
    QVERIFY(!piece.isEmpty());
    const QString hour = m_dir.filePath(QStringLiteral("hour.mp3"));
    {
        QFile file(hour);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int second = 0; second < 3600; ++second)
            QVERIFY(file.write(piece) == piece.size());
    }
    PlaybackEngine player(std::make_unique<NullAudioOutput>());
    QVERIFY(player.open(hour));
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
        QVERIFY(player.open(m_stereo));
        QVERIFY(player.play());
        QTest::qWait(30);
        QVERIFY(player.open(hour));
        QVERIFY(player.play());
        QTest::qWait(30);
    }
    QVERIFY(player.open(m_stereo));
    QTest::qWait(30);
    ticker.stop();
    QVERIFY2(longestGapMs <= 50, qPrintable(QStringLiteral("%1 ms").arg(longestGapMs)));
    // The abandoned scans never reach the file that plays now.
    QCOMPARE(player.duration(), 1.5);
    QVERIFY(player.isDurationExact());
}

void TestPlaybackEngine::volumeAndMuteReachTheOutput() {
    const QString loud = wavPath(QStringLiteral("loud"));
    const QString muted = wavPath(QStringLiteral("muted"));
    for (const QString& out : {loud, muted}) {
        PlaybackEngine player(std::make_unique<WavAudioOutput>(out));
        if (out == muted) {
            player.setVolume(50);
            player.setMuted(true);
        }
        QVERIFY(player.open(m_long));
        QVERIFY(player.play());
        QTest::qWait(300);
        if (out == muted)
            player.setMuted(false);
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

void TestPlaybackEngine::anOutputsOwnVolumeLeavesTheSamplesWhole() {
    auto output = std::make_unique<VolumeOutput>();
    VolumeOutput* device = output.get();
    PlaybackEngine player(std::move(output));
    player.setVolume(50);
    player.setMuted(true);
    QVERIFY(player.open(m_long));
    QVERIFY(player.play());
    QTRY_VERIFY(device->loudest > 0.0f);
    // The volume is applied once, by the output: the samples keep the file's level (its tone
    // peaks at half of full scale).
    QVERIFY2(device->loudest > 0.45f, qPrintable(QString::number(device->loudest)));
    QCOMPARE(device->volumes.last(), 0.0);
    player.setMuted(false);
    // The output takes the level the slider shows, on the scale the desktop's mixer shows.
    QCOMPARE(device->volumes.last(), 0.5);
    player.stop();
}

void TestPlaybackEngine::playFailsWithoutSoundDevice() {
    // A sound server that is not there, whatever this machine runs.
    const QByteArray oldServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", QFile::encodeName(QLatin1String("unix:") + m_dir.filePath("none")));
    PlaybackEngine player(std::make_unique<DeviceAudioOutput>());
    QSignalSpy failures(&player, &PlaybackEngine::playFailed);
    QVERIFY(player.open(m_stereo));
    QElapsedTimer clock;
    clock.start();
    // Asking never waits for the server; its answer comes back through the event loop.
    QVERIFY(player.play());
    QVERIFY(clock.elapsed() < 100);
    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 1000);
    if (oldServer.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", oldServer);
    QVERIFY2(player.errorString().startsWith(QStringLiteral("The sound server cannot be reached")),
             qPrintable(player.errorString()));
    QCOMPARE(failures.last().at(0).toString(), player.errorString());
    QCOMPARE(player.state(), State::Stopped);
    QCOMPARE(player.position(), 0.0);
}

void TestPlaybackEngine::aSlowDiskNeverStallsTheWindow() {
    const AudioFormat format = pcm(44100, 2);
    DecodeAhead decoder([](quint64, const QString&) {});
    decoder.load([format] { return std::make_unique<SlowSource>(format); });
    NullAudioOutput output;
    const test::StallWatch stalls;
    decoder.startAt(format, 0);
    output.start(format, &decoder);
    // The window's clock reads the position, and the user pauses and seeks, meanwhile.
    qint64 heard = 0;
    for (int tick = 1; tick <= 40; ++tick) {
        QTest::qWait(60);
        const qint64 now = output.processedUSecs();
        QVERIFY(now >= heard);
        heard = now;
        if (tick == 20) {
            output.pause();
            decoder.startAt(format, 4410);
            output.flush();
            output.resume();
            heard = 0;
        }
    }
    // The sound waited for the disk: what is heard is what was read, a tenth of a second.
    QVERIFY2(heard <= 100'000, qPrintable(QString::number(heard)));
    QVERIFY2(stalls.longestMs() < 100, qPrintable(QString::number(stalls.longestMs())));
    output.stop();
}

void TestPlaybackEngine::reportsRunOneAtATimeInTheirOrder() {
    ReportQueue reports;
    QStringList ran;
    reports.post([&] {
        ran << QStringLiteral("first");
        // A modal box's event loop, while the sound thread reports again.
        std::thread([&] { reports.post([&] { ran << QStringLiteral("third"); }); }).join();
        QEventLoop box;
        QTimer::singleShot(50, &box, &QEventLoop::quit);
        box.exec();
        ran << QStringLiteral("first done");
    });
    reports.post([&] { ran << QStringLiteral("second"); });
    QTRY_COMPARE(ran, (QStringList{QStringLiteral("first"), QStringLiteral("first done"),
                                   QStringLiteral("second"), QStringLiteral("third")}));
}

void TestPlaybackEngine::selectsOutput_data() {
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("kind");
    QTest::newRow("unset") << QStringLiteral("") << QStringLiteral("device");
    QTest::newRow("null") << QStringLiteral("null") << QStringLiteral("null");
    QTest::newRow("wav") << QStringLiteral("wav:/some/where.wav") << QStringLiteral("wav");
    QTest::newRow("wav without a path") << QStringLiteral("wav:") << QStringLiteral("device");
    QTest::newRow("unknown") << QStringLiteral("speakers") << QStringLiteral("device");
}

void TestPlaybackEngine::selectsOutput() {
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

QTEST_GUILESS_MAIN(TestPlaybackEngine)
#include "tst_playbackengine.moc"
