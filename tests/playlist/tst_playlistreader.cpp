#include "playlist/playlistreader.h"

#include <QTest>

using namespace quorvela;

class TestPlaylistReader : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void stopsAtMaxEntries();
    void utf8Validity_data();
    void utf8Validity();
};

void TestPlaylistReader::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");

    const QString pl = QStringLiteral("/lists");
    const QString none;
    auto row = [](const char* name, const QByteArray& bytes, const QString& folder,
                  const QStringList& expected) {
        QTest::newRow(name) << bytes << folder << expected;
    };

    // The comma grammar of plain files.
    row("empty file", "", pl, {});
    row("one path per line", "/m/a.mp3\r\n/m/b.mp3\r\n", pl, {"/m/a.mp3", "/m/b.mp3"});
    row("no line end after the last line", "/m/a.mp3\r\n/m/b.mp3", pl, {"/m/a.mp3", "/m/b.mp3"});
    row("a comma splits a line", "/m/a,/m/b\r\n", pl, {"/m/a", "/m/b"});
    row("comma at the end of the file", "/a,", pl, {"/a"});
    row("comma before a line end", "/a,\r\n/b", pl, {"/a", "", "/b"});
    row("empty fields", ",/a,,/b", pl, {"", "/a", "", "/b"});
    row("blank lines", "/a\r\n\r\n\r\n/b\r\n", pl, {"/a", "", "", "/b"});
    row("a line of blanks is blank", "/a\r\n \t \r\n/b", pl, {"/a", "", "/b"});
    row("quoted commas", "\"/m/a, b.mp3\"\r\n/c", pl, {"/m/a, b.mp3", "/c"});
    row("after the closing quote up to the separator is dropped", "\"/a\" x y,/b\r\n\"/c\"zz\r\n/d",
        pl, {"/a", "/b", "/c", "/d"});
    row("the separator after a quote ends at CR LF", "\"/a\"\r\n\r\n/b", pl, {"/a", "", "/b"});
    row("quoted item keeps its blanks", "\"  /a  \"", none, {"  /a  "});
    row("quoted empty item", "\"\",/a", pl, {"", "/a"});
    row("quoted line ends belong to the item", "\"/a\r\nb\"\n/c", pl, {"/a\r\nb", "/c"});
    row("unterminated quote runs to the end", "\"/a,b\r\n/c", pl, {"/a,b\r\n/c"});
    row("a quote inside an item is kept", "/a\"b\",c", none, {"/a\"b\"", "c"});
    row("leading spaces and tabs skipped", "   /a\r\n\t /b", pl, {"/a", "/b"});
    row("trailing spaces dropped, trailing tab kept", "/a  \r\n/b\t\r\n/c d ", pl,
        {"/a", "/b\t", "/c d"});
    row("lone CR ends a line", "/a\r/b\r", pl, {"/a", "/b"});
    row("lone LF ends a line", "/a\n/b\n", pl, {"/a", "/b"});
    row("LF CR is two line ends", "/a\n\r/b", pl, {"/a", "", "/b"});
    row("CR CR LF is two line ends", "/a\r\r\n/b", pl, {"/a", "", "/b"});
    row("NUL bytes are kept", QByteArray("/a\0b", 4), pl, {QString::fromUtf16(u"/a\0b", 4)});

    // Where the items point.
    row("relative paths against the folder", "a.mp3\r\nsub/b.mp3\r\n../c.mp3\r\n./d.mp3",
        QStringLiteral("/lists/rock"),
        {"/lists/rock/a.mp3", "/lists/rock/sub/b.mp3", "/lists/c.mp3", "/lists/rock/d.mp3"});
    row("relative paths kept without a folder", "a.mp3", none, {"a.mp3"});
    row("root folder", "a.mp3", QStringLiteral("/"), {"/a.mp3"});
    row("absolute paths kept as written", "/x/../y//z.mp3", pl, {"/x/../y//z.mp3"});
    row("other URLs kept", "http://example.com/a%20b.mp3", pl, {"http://example.com/a%20b.mp3"});
    row("file URL", "file:///m/a%20b%2C%C3%A9.mp3", pl, {QStringLiteral("/m/a b,é.mp3")});
    row("file URL with localhost and case", "FILE://LocalHost/m/a.mp3", pl, {"/m/a.mp3"});
    row("file URL of another host", "file://nas/share/a.mp3", pl, {"//nas/share/a.mp3"});
    row("file URL keeps # and bad escapes", "file:///m/a#1%zz%4.mp3", pl, {"/m/a#1%zz%4.mp3"});
    row("file URL escape in Windows-1252", "file:///m/%E9t%E9.mp3", pl,
        {QStringLiteral("/m/été.mp3")});
    row("file URL with no path", "file://", pl, {"/"});
    row("a drive letter is not a URL", "C:\\m\\a.mp3", pl, {"/lists/C:\\m\\a.mp3"});

    // Extended M3U.
    row("extended M3U",
        "#EXTM3U\r\n#EXTINF:205,Artist - Title, Live\r\nsong, live.mp3\r\n\r\n"
        "  /abs/b.mp3  \r\n#EXTINF:-1,Radio\r\nhttp://radio.example/s\r\n",
        pl, {"/lists/song, live.mp3", "/abs/b.mp3", "http://radio.example/s"});
    row("extended M3U after a byte-order mark", "\xEF\xBB\xBF#EXTM3U\n\"/a\",b\n", pl,
        {"/lists/\"/a\",b"});
    row("extended M3U header with attributes", "#EXTM3U tvg-shift=1\r/a\r", pl, {"/a"});
    row("extended M3U header must be the first line", "\n#EXTM3U\n/a", none, {"", "#EXTM3U", "/a"});
    row("a longer header word is no header", "#EXTM3UX\n/a", none, {"#EXTM3UX", "/a"});

    // PLS.
    row("PLS keys out of order",
        "\r\n[Playlist]\r\nNumberOfEntries=4\r\nFile2=/b\r\n"
        "Title1=First\r\nFile10=/j\r\nfile1 = /a\r\nFile3=\r\nLength1=-1\r\nVersion=2\r\n",
        pl, {"/a", "/b", "", "/j"});
    row("PLS numbers of any length",
        "[playlist]\nFile99999999999999999999999=/z\nFile002=/b\n"
        "File1=/a\n",
        pl, {"/a", "/b", "/z"});
    row("PLS repeated number keeps both in file order", "[playlist]\nFile1=/a\nFile1=/b\n", pl,
        {"/a", "/b"});
    row("PLS keys without a number are skipped", "[playlist]\nFile=/x\nFileA=/y\nFile1/z\nFile2=/b",
        pl, {"/b"});
    row("PLS values are resolved",
        "\xEF\xBB\xBF[PLAYLIST]\nFile1=c.mp3\nFile2=file:///x%20y\n"
        "File3=a,b\n",
        pl, {"/lists/c.mp3", "/x y", "/lists/a,b"});
    row("PLS header must be the first non-blank line", "/a\n[playlist]\nFile1=/b", none,
        {"/a", "[playlist]", "File1=/b"});

    // Text.
    row("byte-order mark of a plain file", "\xEF\xBB\xBF/a,/b", pl, {"/a", "/b"});
    row("UTF-8", "/m\xC3\xBCsic/\xE2\x82\xAC \xF0\x9F\x8E\xB5.mp3", pl,
        {QStringLiteral("/müsic/€ 🎵.mp3")});
    row("Windows-1252", "/m\xFCsic/\x80\x96\xE9.mp3", pl, {QStringLiteral("/müsic/€–é.mp3")});
    row("Latin-1 with valid UTF-8 elsewhere is Windows-1252", "/\xC3\xA9\n/\xE9", pl,
        {QStringLiteral("/Ã©"), QStringLiteral("/é")});
    row("undefined Windows-1252 bytes", "/\x81\x8D\x8F\x90\x9D", pl,
        {QStringLiteral("/\u0081\u008D\u008F\u0090\u009D")});
    row("overlong UTF-8 is not UTF-8", "/\xC0\xAF", pl, {QStringLiteral("/À¯")});
    row("encoded surrogate is not UTF-8", "/\xED\xA0\x80", pl, {QStringLiteral("/í\u00A0€")});
    row("truncated UTF-8 at the end", "/a\xE2\x82", pl, {QStringLiteral("/aâ‚")});
}

void TestPlaylistReader::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(QStringList, expected);
    QCOMPARE(readPlaylist(bytes, folder), expected);
}

void TestPlaylistReader::stopsAtMaxEntries() {
    QCOMPARE(readPlaylist("/a,/b,/c,/d", QString(), 2), QStringList({"/a", "/b"}));
    QCOMPARE(readPlaylist("[playlist]\nFile2=/b\nFile1=/a\n", QString(), 1), QStringList({"/a"}));
    QCOMPARE(readPlaylist("#EXTM3U\n/a\n/b\n", QString(), 1), QStringList({"/a"}));
}

void TestPlaylistReader::utf8Validity_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ASCII longer than a word") << QByteArray("abcdefghijklmnopq") << true;
    QTest::newRow("largest code point") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("overlong three bytes") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("overlong four bytes") << QByteArray("\xF0\x80\x80\xAF") << false;
    QTest::newRow("last before surrogates") << QByteArray("\xED\x9F\xBF") << true;
    QTest::newRow("lone continuation") << QByteArray("abcdefgh\x80") << false;
    QTest::newRow("cut short") << QByteArray("\xF0\x9F\x8E") << false;
    QTest::newRow("lead byte F5") << QByteArray("\xF5\x80\x80\x80") << false;
    QTest::newRow("continuation missing") << QByteArray("\xC3(") << false;
}

void TestPlaylistReader::utf8Validity() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(isValidUtf8(bytes), valid);
}

QTEST_APPLESS_MAIN(TestPlaylistReader)

#include "tst_playlistreader.moc"
