#include "playlist/m3uparser.h"

#include <QTest>

using namespace quorvela;

class TestM3uParser : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
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

QTEST_APPLESS_MAIN(TestM3uParser)

#include "tst_m3uparser.moc"
