#include "playlist/playlistformats.h"

#include <QTest>

using namespace quorvela;

class TestPlaylistFormats : public QObject {
    Q_OBJECT
private slots:
    void readFormat_data();
    void readFormat();
    void writeFormat_data();
    void writeFormat();
};

void TestPlaylistFormats::readFormat_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* name, const char* fileName, const QByteArray& bytes,
                  const QStringList& expected) {
        QTest::newRow(name) << QString::fromUtf8(fileName) << bytes << expected;
    };
    // Told by the name.
    const QByteArray headerless = "# comment\n/a, b\n\"/c, d\"\n";
    const QStringList asM3u = {"/a, b", "/c, d"};
    row("M3U without a header", "x.m3u", headerless, asM3u);
    row("M3U8 in any case", "x.M3u8", headerless, asM3u);
    row("M3U with a header", "x.m3u", "#EXTM3U\n" + headerless, asM3u);
    row("PLS under an M3U name", "x.m3u", "\n[playlist]\nFile1=/a,b\n", {"/a,b"});
    row("an ending that is not the last", "x.m3u.txt", headerless,
        {"# comment", "/a", "b", "/c, d"});

    // Told by the first lines.
    row("extended M3U", "x.txt", "#EXTM3U\n#EXTINF:1,a, b\n/a, b\n", {"/a, b"});
    row("extended M3U keeps quotes", "x", "#EXTM3U\n\"/a\"\n", {"\"/a\""});
    row("extended M3U after a byte-order mark", "x.pls", "\xEF\xBB\xBF#EXTM3U\n/a,b\n", {"/a,b"});
    row("extended M3U header with attributes", "x.txt", "#EXTM3U tvg-shift=1\r/a,b\r", {"/a,b"});
    row("extended M3U header must be the first line", "x.txt", "\n#EXTM3U\n/a",
        {"", "#EXTM3U", "/a"});
    row("a longer header word is no header", "x.txt", "#EXTM3UX\n/a", {"#EXTM3UX", "/a"});
    row("PLS after blank lines", "x.txt", " \r\n\t\r\n[Playlist]\r\nFile1=/a,b\r\n", {"/a,b"});
    row("PLS header must be the first non-blank line", "x.pls", "/a\n[playlist]\nFile1=/b",
        {"/a", "[playlist]", "File1=/b"});
    row("anything else is a plain list", "x.txt", headerless, {"# comment", "/a", "b", "/c, d"});
}

void TestPlaylistFormats::readFormat() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(playlistParserFor(fileName, bytes).read(bytes, QString()).paths, expected);
}

void TestPlaylistFormats::writeFormat_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("M3U, nothing") << "a.m3u" << QStringList() << QByteArray("#EXTM3U\n");
    QTest::newRow("M3U, paths as they stand")
        << "a.M3U" << QStringList{"/m/a b.mp3", "http://h/s", "/m/é,\".mp3", "/m/ a\t"}
        << QByteArray("#EXTM3U\n/m/a b.mp3\nhttp://h/s\n/m/\xC3\xA9,\".mp3\nfile:///m/%20a%09\n");
    QTest::newRow("M3U for any other name")
        << "a.txt" << QStringList{"/a"} << QByteArray("#EXTM3U\n/a\n");
    QTest::newRow("PLS, empty entries too")
        << "a.pls" << QStringList{"", "/a", "/m/#1 ;=x"}
        << QByteArray("[playlist]\nFile1=\nFile2=/a\nFile3=/m/#1 ;=x\nNumberOfEntries=3\n"
                      "Version=2\n");
    QTest::newRow("PLS, nothing") << "list.PlS" << QStringList()
                                  << QByteArray("[playlist]\nNumberOfEntries=0\nVersion=2\n");
}

void TestPlaylistFormats::writeFormat() {
    QFETCH(QString, fileName);
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, text);
    const PlaylistText written = playlistWriterFor(fileName).write(entries);
    QVERIFY(written.rejected.isEmpty());
    QCOMPARE(written.bytes, text);
    QCOMPARE(playlistParserFor(fileName, written.bytes)
                 .read(written.bytes, QStringLiteral("/else"))
                 .paths,
             entries);
}

QTEST_APPLESS_MAIN(TestPlaylistFormats)

#include "tst_playlistformats.moc"
