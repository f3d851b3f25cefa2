#include "player/tracktext.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace quorvela;

class TrackTextTest : public QObject {
    Q_OBJECT
private slots:
    void time_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "00:00";
        QTest::newRow("under half a second") << 0.3 << "00:00";
        QTest::newRow("seconds are rounded, not cut") << 9.7 << "00:10";
        QTest::newRow("just under a minute") << 59.4 << "00:59";
        QTest::newRow("rounds up into the next minute") << 59.6 << "01:00";
        QTest::newRow("a half goes up") << 59.5 << "01:00";
        QTest::newRow("one minute") << 60.0 << "01:00";
        QTest::newRow("61") << 61.0 << "01:01";
        QTest::newRow("150.5") << 150.5 << "02:31";
        QTest::newRow("three minutes 25") << 205.0 << "03:25";
        QTest::newRow("no hours") << 3600.2 << "60:00";
        QTest::newRow("three-digit minutes") << 6000.0 << "100:00";
        QTest::newRow("negative") << -5.0 << "00:00";
        QTest::newRow("slightly negative") << -0.4 << "00:00";
        QTest::newRow("not a number") << std::nan("") << "00:00";
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "00:00";
    }
    void time() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(timeText(seconds), text);
    }

    void join_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("root") << "/"
                              << "a.mp3"
                              << "/a.mp3";
        QTest::newRow("folder") << "/home/u/Music"
                                << "a.mp3"
                                << "/home/u/Music/a.mp3";
        QTest::newRow("folder with trailing slash") << "/srv/"
                                                    << "a.mp3"
                                                    << "/srv/a.mp3";
        QTest::newRow("no name") << "/music"
                                 << ""
                                 << "/music/";
    }
    void join() {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(joinPath(folder, name), path);
    }

    void caption_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        const QString n27 = QString(23, QLatin1Char('a')) + QStringLiteral(".mp3");
        QTest::newRow("short") << "song.mp3"
                               << "song.mp3";
        QTest::newRow("27 shown whole") << n27 << n27;
        QTest::newRow("28 cut to 27 and dots")
            << n27 + QStringLiteral("x") << n27 + QStringLiteral("...");
        // Multi-byte and astral characters count once each and are never split.
        const QString umlauts = QString(27, QChar(0x00FC));
        QTest::newRow("27 umlauts") << umlauts << umlauts;
        QTest::newRow("28 umlauts") << umlauts + QChar(0x00FC) << umlauts + QStringLiteral("...");
        const QString note = QString::fromUtf8("\xF0\x9D\x84\x9E"); // U+1D11E, two UTF-16 units
        QString notes;
        for (int i = 0; i < 28; ++i)
            notes += note;
        QString cut;
        for (int i = 0; i < 27; ++i)
            cut += note;
        QTest::newRow("astral characters") << notes << cut + QStringLiteral("...");
        QTest::newRow("empty") << ""
                               << "";
    }
    void caption() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QCOMPARE(nowPlayingCaption(name), caption);
    }
};

QTEST_GUILESS_MAIN(TrackTextTest)
#include "tst_tracktext.moc"
