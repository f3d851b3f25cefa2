#include "audio/mp3decoder.h"
#include "audio/playbackengine.h"
#include "support/audiofixtures.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

using namespace quorvela;

namespace {

struct Decoded {
    std::vector<float> samples;
    qint64 frames = 0;
};

// Reads in odd-sized pieces, as an output asking for whatever its buffer has room for does.
Decoded decodeAll(Mp3Decoder& decoder) {
    Decoded out;
    const qsizetype frameBytes = 2 * qsizetype{decoder.outputFormat().channelCount()};
    std::vector<qint16> buffer(4099);
    for (;;) {
        const qsizetype got = decoder.read(reinterpret_cast<char*>(buffer.data()),
                                           static_cast<qsizetype>(buffer.size()) * 2);
        if (got == 0)
            break;
        if (got % frameBytes != 0)
            qFatal("read() handed out a piece of a frame");
        for (qsizetype i = 0; i < got / 2; ++i)
            out.samples.push_back(buffer[static_cast<std::size_t>(i)] / 32768.0f);
        out.frames += got / frameBytes;
    }
    return out;
}

// An APEv2 tag with one item, header and footer included.
QByteArray apeTag() {
    auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const QByteArray item = le32(5) + le32(0) + QByteArray("Title\0Hello", 11);
    auto frame = [&](quint32 flags) {
        return QByteArray("APETAGEX") + le32(2000) + le32(quint32(item.size() + 32)) + le32(1) +
               le32(flags) + QByteArray(8, '\0');
    };
    return frame(0xA0000000u) + item + frame(0x80000000u);
}

} // namespace

class TestMp3Decoder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void decodesExactLengthAndPitch_data();
    void decodesExactLengthAndPitch();
    void decodesLayerTwo();
    void scansLengthWithoutInfoHeader();
    void seeksToSample();
    void rejectsWhatIsNotMpegAudio_data();
    void rejectsWhatIsNotMpegAudio();
    void decodesDamagedFiles_data();
    void decodesDamagedFiles();
    void keepsOneFormatAcrossGluedFiles();
    void volumeSliderStepsAreEvenInLoudness_data();
    void volumeSliderStepsAreEvenInLoudness();

private:
    QTemporaryDir m_dir;
    QString m_tone; // 2 s, 44.1 kHz stereo, 1 kHz, with a LAME/Info header
};

void TestMp3Decoder::initTestCase() {
    QVERIFY(m_dir.isValid());
    QString error;
    m_tone = test::makeToneMp3(m_dir.path(), QStringLiteral("tone"), 2.0, 44100, 2, 1000.0,
                               {QStringLiteral("-b"), QStringLiteral("128")}, &error);
    QVERIFY2(!m_tone.isEmpty(), qPrintable(error));
}

void TestMp3Decoder::decodesExactLengthAndPitch_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("lameArgs");
    // MPEG 1, 2 and 2.5 layer III, constant and variable bit rate.
    QTest::newRow("MPEG 1 stereo CBR") << 44100 << 2 << QStringList{"-b", "128"};
    QTest::newRow("MPEG 1 32 kHz VBR") << 32000 << 2 << QStringList{"-V", "4"};
    // (Frames of lower rates have no room for lame's Info header.)
    QTest::newRow("MPEG 2 mono") << 22050 << 1 << QStringList{"-b", "64"};
    QTest::newRow("MPEG 2.5 mono") << 8000 << 1 << QStringList{"-b", "32"};
}

void TestMp3Decoder::decodesExactLengthAndPitch() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArgs);
    QString error;
    const QString path = test::makeToneMp3(m_dir.path(), QStringLiteral("row%1").arg(rate), 1.0,
                                           rate, channels, 440.0, lameArgs, &error);
    QVERIFY2(!path.isEmpty(), qPrintable(error));

    Mp3Decoder decoder;
    QVERIFY2(decoder.open(path), qPrintable(decoder.errorString()));
    QCOMPARE(decoder.sampleRate(), rate);
    QCOMPARE(decoder.channels(), channels);
    QVERIFY(decoder.isLengthExact());
    QCOMPARE(decoder.lengthFrames(), qint64(rate));

    const Decoded all = decodeAll(decoder);
    QCOMPARE(all.frames, qint64(rate));
    QVERIFY(decoder.atEnd());
    std::vector<float> left;
    for (std::size_t i = 0; i < all.samples.size(); i += static_cast<std::size_t>(channels))
        left.push_back(all.samples[i]);
    QVERIFY2(std::abs(test::toneFrequency(left, rate) - 440.0) < 3.0,
             qPrintable(QString::number(test::toneFrequency(left, rate))));
}

void TestMp3Decoder::decodesLayerTwo() {
    const QString path = m_dir.filePath(QStringLiteral("layer2.mp2"));
    QString error;
    QVERIFY2(test::runTool(
                 QStringLiteral("sox"),
                 {"-R", "-n", "-r", "48000", "-c", "2", path, "synth", "1", "sine", "440"}, &error),
             qPrintable(error));
    Mp3Decoder decoder;
    QVERIFY2(decoder.open(path), qPrintable(decoder.errorString()));
    QCOMPARE(decoder.sampleRate(), 48000);
    const Decoded all = decodeAll(decoder);
    // Layer II has no gapless header: whole 1152-sample frames, a few more than encoded.
    QVERIFY(all.frames >= 48000 && all.frames <= 48000 + 3 * 1152);
    std::vector<float> left;
    for (std::size_t i = 0; i < all.samples.size(); i += 2)
        left.push_back(all.samples[i]);
    QVERIFY(std::abs(test::toneFrequency(left, 48000) - 440.0) < 3.0);
}

void TestMp3Decoder::scansLengthWithoutInfoHeader() {
    QString error;
    // -t leaves the Xing/Info frame out: the length is then only an estimate until a scan.
    const QString path = test::makeToneMp3(
        m_dir.path(), QStringLiteral("noinfo"), 1.0, 44100, 2, 440.0,
        {QStringLiteral("-V"), QStringLiteral("2"), QStringLiteral("-t")}, &error);
    QVERIFY2(!path.isEmpty(), qPrintable(error));
    Mp3Decoder decoder;
    QVERIFY(decoder.open(path));
    QVERIFY(!decoder.isLengthExact());
    const qint64 decoded = decodeAll(decoder).frames;
    QCOMPARE(Mp3Decoder::scanLength(path), decoded);
    QCOMPARE(Mp3Decoder::scanLength(m_dir.filePath(QStringLiteral("missing.mp3"))), qint64(-1));
}

void TestMp3Decoder::seeksToSample() {
    Mp3Decoder decoder;
    QVERIFY(decoder.open(m_tone));
    (void)decodeAll(decoder);
    QVERIFY(decoder.seek(30000));
    QVERIFY(!decoder.atEnd());
    QCOMPARE(decodeAll(decoder).frames, qint64(88200 - 30000));
    QVERIFY(decoder.seek(0));
    QCOMPARE(decodeAll(decoder).frames, qint64(88200));
}

void TestMp3Decoder::rejectsWhatIsNotMpegAudio_data() {
    test::addFilesThatAreNotMp3();
}

void TestMp3Decoder::rejectsWhatIsNotMpegAudio() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, create);
    const QString path = m_dir.filePath(QStringLiteral("bad-%1.mp3").arg(QTest::currentDataTag()));
    if (create)
        QVERIFY(test::writeFile(path, bytes));
    Mp3Decoder decoder;
    QVERIFY(decoder.open(m_tone));
    QVERIFY(!decoder.open(path));
    QVERIFY(!decoder.isOpen());
    QVERIFY(!decoder.errorString().isEmpty());
    char sample[4];
    QCOMPARE(decoder.read(sample, sizeof sample), qsizetype(0));
    QCOMPARE(decoder.lengthFrames(), qint64(-1));
}

void TestMp3Decoder::decodesDamagedFiles_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<qint64>("minFrames");
    QTest::addColumn<qint64>("maxFrames");
    // 128 kbit/s at 44.1 kHz: 417 or 418 bytes per 1152-frame block. 1500 bytes of garbage
    // overlap at most 5 blocks; the 2 after them may take up to 511 bytes of their data from
    // the damaged ones (the bit reservoir), and finding the next header again may cost one
    // more: at most 8 blocks, 9216 frames, are lost wherever the garbage lands.
    QTest::newRow("truncated mid-frame") << "truncate" << qint64(40000) << qint64(46000);
    QTest::newRow("garbage in the middle")
        << "garbage" << qint64(88200 - 8 * 1152) << qint64(88200);
    QTest::newRow("huge ID3 tag in front") << "id3" << qint64(88200) << qint64(88200);
    QTest::newRow("APE and ID3v1 tags at the end") << "tail tags" << qint64(88200) << qint64(88200);
}

void TestMp3Decoder::decodesDamagedFiles() {
    QFETCH(QString, damage);
    QFETCH(qint64, minFrames);
    QFETCH(qint64, maxFrames);
    const QByteArray whole = test::readFile(m_tone);
    QVERIFY(whole.size() > 20000);
    // The garbage lands at every place within two blocks in turn.
    const int places = damage == QLatin1String("garbage") ? 836 : 1;
    for (int place = 0; place < places; place += 11) {
        QByteArray bytes = whole;
        if (damage == QLatin1String("truncate")) {
            bytes.truncate(bytes.size() / 2 + 200);
        } else if (damage == QLatin1String("garbage")) {
            const qsizetype from = bytes.size() / 2 + place;
            for (qsizetype i = from; i < from + 1500; ++i)
                bytes[i] = static_cast<char>((i * 7919) & 0xff);
        } else if (damage == QLatin1String("id3")) {
            bytes.prepend(test::id3Padding(6 * 1024 * 1024));
        } else {
            bytes.append(apeTag());
            bytes.append(QByteArray("TAG").append(QByteArray(125, '\x01')));
        }
        const QString path = m_dir.filePath(damage + QLatin1String(".mp3"));
        QVERIFY(test::writeFile(path, bytes));
        Mp3Decoder decoder;
        QVERIFY2(decoder.open(path), qPrintable(decoder.errorString()));
        const qint64 frames = decodeAll(decoder).frames;
        QVERIFY2(frames >= minFrames && frames <= maxFrames,
                 qPrintable(QStringLiteral("%1 frames, garbage at +%2").arg(frames).arg(place)));
        QVERIFY(decoder.atEnd());
    }
}

void TestMp3Decoder::keepsOneFormatAcrossGluedFiles() {
    // Files joined end to end change rate and channel count midway; an output's stream cannot,
    // so the rest must come in the first part's format, at its pitch.
    QString error;
    const QString second =
        test::makeToneMp3(m_dir.path(), QStringLiteral("glue"), 1.0, 22050, 1, 440.0,
                          {QStringLiteral("-b"), QStringLiteral("64")}, &error);
    QVERIFY2(!second.isEmpty(), qPrintable(error));
    const QString path = m_dir.filePath(QStringLiteral("glued.mp3"));
    QVERIFY(test::writeFile(path, test::readFile(m_tone) + test::readFile(second)));
    Mp3Decoder decoder;
    QVERIFY2(decoder.open(path), qPrintable(decoder.errorString()));
    QCOMPARE(decoder.outputFormat().sampleRate(), 44100);
    QCOMPARE(decoder.outputFormat().channelCount(), 2);
    const Decoded all = decodeAll(decoder);
    // 2 s of the first file; about 1 s of the second, with its delay and padding (only the
    // first file's header tells them).
    QVERIFY2(all.frames > 88200 + 42000 && all.frames < 88200 + 52000,
             qPrintable(QString::number(all.frames)));
    std::vector<float> left;
    std::vector<float> right;
    // The middle of the second file, clear of its delay and padding.
    for (std::size_t i = std::size_t{2} * (88200 + 4410); i < std::size_t{2} * (88200 + 35280);
         i += 2) {
        left.push_back(all.samples[i]);
        right.push_back(all.samples[i + 1]);
    }
    QVERIFY2(std::abs(test::toneFrequency(left, 44100) - 440.0) < 3.0,
             qPrintable(QString::number(test::toneFrequency(left, 44100))));
    QCOMPARE(right, left);
}

void TestMp3Decoder::volumeSliderStepsAreEvenInLoudness_data() {
    QTest::addColumn<double>("slider");
    QTest::addColumn<double>("linear");
    // The sound server's scale, as its mixers show it: the cube of the level.
    QTest::newRow("bottom is silent") << 0.0 << 0.0;
    QTest::newRow("half way") << 0.5 << 0.125;
    QTest::newRow("nine tenths") << 0.9 << 0.729;
    QTest::newRow("top") << 1.0 << 1.0;
    QTest::newRow("below the travel") << -0.5 << 0.0;
    QTest::newRow("not a number") << std::nan("") << 0.0;
}

void TestMp3Decoder::volumeSliderStepsAreEvenInLoudness() {
    QFETCH(double, slider);
    QFETCH(double, linear);
    const double got = PlaybackEngine::linearVolume(slider);
    QVERIFY2(std::abs(got - linear) < 1e-6, qPrintable(QString::number(got)));
}

QTEST_GUILESS_MAIN(TestMp3Decoder)
#include "tst_mp3decoder.moc"
