#include "audio/nullaudiooutput.h"
#include "audio/playbackengine.h"
#include "support/fixtures.h"
#include "widgets/mediaplayer.h"

#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace quorvela;
using State = MediaPlayer::State;

class TestMediaPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void controlsFitAndDrivePlayback();
    void controlsFollowAnotherClient();
    void symbolsStandOut_data();
    void symbolsStandOut();

private:
    QTemporaryDir m_dir;
    QString m_long; // 2 s, 44.1 kHz stereo
};

void TestMediaPlayer::initTestCase() {
    m_long = m_dir.filePath(QStringLiteral("long.mp3"));
    QVERIFY(test::makeToneMp3(m_long, 2.0));
}

void TestMediaPlayer::controlsFitAndDrivePlayback() {
    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    MediaPlayer player(engine);
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

void TestMediaPlayer::controlsFollowAnotherClient() {
    // Driven as the desktop's media controls drive it, and muted before the controls exist.
    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    engine.setMuted(true);
    MediaPlayer player(engine);
    QVERIFY(player.cmdMute->isChecked());
    QVERIFY(engine.open(m_long));
    QVERIFY(engine.play());
    QCOMPARE(player.cmdPlayPause->toolTip(), QStringLiteral("Pause"));
    engine.setVolume(30);
    engine.setMuted(false);
    QCOMPARE(player.sldVolume->value(), 30);
    QVERIFY(!player.cmdMute->isChecked());
    engine.stop();
    QCOMPARE(player.cmdPlayPause->toolTip(), QStringLiteral("Play"));
    QVERIFY(!player.cmdStop->isEnabled());
}

void TestMediaPlayer::symbolsStandOut_data() {
    QTest::addColumn<QColor>("button");
    QTest::addColumn<QColor>("text");
    QTest::newRow("light") << QColor(0xef, 0xef, 0xef) << QColor(Qt::black);
    QTest::newRow("dark (Breeze Dark)") << QColor(0x31, 0x36, 0x3b) << QColor(0xfc, 0xfc, 0xfc);
}

void TestMediaPlayer::symbolsStandOut() {
    QFETCH(QColor, button);
    QFETCH(QColor, text);
    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    MediaPlayer player(engine);
    QPalette palette = player.palette();
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
        palette.setColor(role, button);
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, text);
    player.setPalette(palette);
    player.setGeometry(0, 0, 275, 41);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    QVERIFY(player.setFileName(m_long) && player.play()); // pause and stop are on
    const QImage shot = player.grab().toImage();
    // Enough of each symbol's pixels stand out from the button by WCAG's contrast ratio.
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    for (QToolButton* symbol : {player.cmdPlayPause, player.cmdStop}) {
        const QRect area = symbol->geometry();
        const double back = luminance(shot.pixelColor(area.topLeft() + QPoint(1, 1)));
        int standingOut = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const double l = luminance(shot.pixelColor(x, y));
                standingOut += (std::max(l, back) + 0.05) / (std::min(l, back) + 0.05) >= 4.5;
            }
        }
        QVERIFY2(standingOut >= 30, qPrintable(symbol->objectName()));
    }
    player.stop();
}

QTEST_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
