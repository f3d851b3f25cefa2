// Built with library names that do not exist, as on a system without libsoxr or libpulse.
#include "audio/audioconvert.h"
#include "audio/deviceaudiooutput.h"
#include "widgets/mediaplayer.h"
#include "audio/nullaudiooutput.h"
#include "support/audiofixtures.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvela;

class TestMissingLibraries : public QObject {
    Q_OBJECT
private slots:
    void refusesWhatNeedsConvertingAndPlaysTheRest();
    void theSoundDeviceIsReportedMissing();
};

void TestMissingLibraries::refusesWhatNeedsConvertingAndPlaysTheRest() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    const QStringList cbr{QStringLiteral("-b"), QStringLiteral("128")};
    const QString cd =
        test::makeToneMp3(dir.path(), QStringLiteral("cd"), 1.0, 44100, 2, 440.0, cbr, &error);
    QVERIFY2(!cd.isEmpty(), qPrintable(error));
    const QString dvd =
        test::makeToneMp3(dir.path(), QStringLiteral("dvd"), 1.0, 48000, 2, 440.0, cbr, &error);
    QVERIFY2(!dvd.isEmpty(), qPrintable(error));
    QVERIFY(!resamplerAvailable());

    AudioFormat device;
    device.setSampleRate(48000);
    device.setChannelCount(2);
    device.setSampleFormat(AudioFormat::Int16);
    MediaPlayer player(std::make_unique<NullAudioOutput>(device));
    // Played unconverted, the file would sound too fast and too high: it is refused instead.
    QVERIFY2(player.setFileName(cd), qPrintable(player.errorString()));
    QVERIFY(!player.play());
    QVERIFY2(player.errorString().contains(QLatin1String("libsoxr")),
             qPrintable(player.errorString()));
    QCOMPARE(player.state(), MediaPlayer::State::Stopped);

    QVERIFY2(player.setFileName(dvd), qPrintable(player.errorString()));
    QVERIFY2(player.play(), qPrintable(player.errorString()));
    QTRY_VERIFY(player.currentPosition() > 0.0);
    player.stop();
}

void TestMissingLibraries::theSoundDeviceIsReportedMissing() {
    DeviceAudioOutput output;
    AudioFormat source;
    source.setSampleRate(44100);
    source.setChannelCount(2);
    source.setSampleFormat(AudioFormat::Float);
    // Asked twice: the second time must not take the first failure for a connection.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(!output.formatFor(source).isValid());
        QVERIFY(!output.errorString().isEmpty());
    }
    QBuffer empty;
    QVERIFY(empty.open(QIODevice::ReadOnly));
    QVERIFY(!output.start(&empty));
    QCOMPARE(output.processedUSecs(), qint64(0));
    output.stop();
}

QTEST_MAIN(TestMissingLibraries)
#include "tst_missinglibraries.moc"
