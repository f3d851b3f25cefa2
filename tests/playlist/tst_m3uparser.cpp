#include "playlist/m3uparser.h"

#include <QTest>

using namespace quorvela;

class TestM3uParser : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void quotedLine_data();
    void quotedLine();
};

void TestM3uParser::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("extended M3U")
        << QByteArray("#EXTM3U\r\n#EXTINF:205,Artist - Title, Live\r\nsong, live.mp3\r\n\r\n"
                      "  /abs/b.mp3  \r\n#EXTINF:-1,Radio\r\nhttp://radio.example/s\r\n")
        << QStringList{"/lists/song, live.mp3", "/abs/b.mp3", "http://radio.example/s"};
    QTest::newRow("quotes and commas belong to the line")
        << QByteArray("\xEF\xBB\xBF#EXTM3U\n\"/a\",b\n") << QStringList{"/lists/\"/a\",b"};
    QTest::newRow("lone CR ends a line")
        << QByteArray("#EXTM3U tvg-shift=1\r/a\r") << QStringList{"/a"};
    QTest::newRow("no header")
        << QByteArray("# comment\r\n/music/Artist, The - Song.mp3\r\n#EXTINF:1,x\r\nb.mp3")
        << QStringList{"/music/Artist, The - Song.mp3", "/lists/b.mp3"};
}

void TestM3uParser::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(M3uParser().read(bytes, QStringLiteral("/lists")).paths, expected);
    QCOMPARE(M3uParser().read(bytes, QStringLiteral("/lists"), 1).paths, expected.mid(0, 1));
}

void TestM3uParser::quotedLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("unwrapped");
    QTest::addColumn<QString>("kept");
    QTest::newRow("wrapped") << QByteArray(" \"/m/a, b.mp3\"\t") << "/m/a, b.mp3"
                             << "/lists/\"/m/a, b.mp3\"";
    QTest::newRow("wrapped relative") << QByteArray("\"a, b.mp3\"") << "/lists/a, b.mp3"
                                      << "/lists/\"a, b.mp3\"";
    QTest::newRow("only opened") << QByteArray("\"/a") << "/lists/\"/a"
                                 << "/lists/\"/a";
    QTest::newRow("quote alone") << QByteArray("\"") << "/lists/\""
                                 << "/lists/\"";
    QTest::newRow("quotes inside") << QByteArray("/m/\"q\".mp3") << "/m/\"q\".mp3"
                                   << "/m/\"q\".mp3";
}

void TestM3uParser::quotedLine() {
    QFETCH(QByteArray, line);
    QFETCH(QString, unwrapped);
    QFETCH(QString, kept);
    using Q = M3uParser::QuotedLine;
    QCOMPARE(M3uParser(Q::Unwrapped).read(line, QStringLiteral("/lists")).paths,
             QStringList{unwrapped});
    QCOMPARE(M3uParser(Q::Kept).read(line, QStringLiteral("/lists")).paths, QStringList{kept});
}

QTEST_APPLESS_MAIN(TestM3uParser)

#include "tst_m3uparser.moc"
