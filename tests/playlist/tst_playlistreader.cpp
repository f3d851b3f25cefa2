#include "playlist/playlistformats.h"

#include <QTest>

using namespace quorvela;

class TestPlaylistReader : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void byteNames_data();
    void byteNames();
    void utf8Validity_data();
    void utf8Validity();
};

void TestPlaylistReader::read_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");

    const QString pl = QStringLiteral("/lists");
    const QString none;
    auto named = [](const char* name, const char* fileName, const QByteArray& bytes,
                    const QString& folder, const QStringList& expected) {
        QTest::newRow(name) << QString::fromUtf8(fileName) << bytes << folder << expected;
    };
    // Under a name that says nothing of the format, which the first lines then tell.
    auto row = [&named](const char* name, const QByteArray& bytes, const QString& folder,
                        const QStringList& expected) {
        named(name, "list", bytes, folder, expected);
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

    // M3U: by its name, header or not, else by its header.
    const QByteArray headerless = "# comment\n/a, b\n\"/c, d\"\n";
    const QStringList asM3u = {"/a, b", "/c, d"};
    named("M3U without a header", "x.m3u", headerless, none, asM3u);
    named("M3U8 in any case", "x.M3u8", headerless, none, asM3u);
    named("M3U with a header after a byte-order mark", "x.m3u",
          "\xEF\xBB\xBF#EXTM3U\n" + headerless, none, asM3u);
    named("a quote that does not wrap the line stays", "x.m3u", "\"/a\",b\n", pl,
          {"/lists/\"/a\",b"});
    named("an ending that is not the last", "x.m3u.txt", headerless, none,
          {"# comment", "/a", "b", "/c, d"});
    row("extended M3U",
        "#EXTM3U\r\n#EXTINF:205,Artist - Title, Live\r\nsong, live.mp3\r\n\r\n"
        "  /abs/b.mp3  \r\n#EXTINF:-1,Radio\r\nhttp://radio.example/s\r\n",
        pl, {"/lists/song, live.mp3", "/abs/b.mp3", "http://radio.example/s"});
    named("extended M3U after a byte-order mark, under a PLS name", "x.pls",
          "\xEF\xBB\xBF#EXTM3U\n\"/a\",b\n", pl, {"/lists/\"/a\",b"});
    row("extended M3U keeps quotes", "#EXTM3U\n\"/a\"\n", none, {"\"/a\""});
    row("extended M3U header with attributes", "#EXTM3U tvg-shift=1\r/a,b\r", pl, {"/a,b"});
    row("extended M3U header must be the first line", "\n#EXTM3U\n/a", none, {"", "#EXTM3U", "/a"});
    row("a longer header word is no header", "#EXTM3UX\n/a", none, {"#EXTM3UX", "/a"});

    // PLS, under any name.
    row("PLS keys out of order",
        "\r\n \t\r\n[Playlist]\r\nNumberOfEntries=4\r\nFile2=/b\r\n"
        "Title1=First\r\nFile10=/j\r\nfile1 = /a\r\nFile3=\r\nLength1=-1\r\nVersion=2\r\n",
        pl, {"/a", "/b", "", "/j"});
    row("PLS numbers of any length",
        "[playlist]\nFile99999999999999999999999=/z\nFile002=/b\n"
        "File1=/a\n",
        pl, {"/a", "/b", "/z"});
    row("PLS File010 after File9", "[playlist]\nFile9=/i\nFile010=/j\nFile1=/a\n", pl,
        {"/a", "/i", "/j"});
    row("PLS repeated number keeps both in file order", "[playlist]\nFile1=/a\nFile1=/b\n", pl,
        {"/a", "/b"});
    row("PLS keys without a number are skipped", "[playlist]\nFile=/x\nFileA=/y\nFile1/z\nFile2=/b",
        pl, {"/b"});
    row("PLS values are resolved",
        "\xEF\xBB\xBF[PLAYLIST]\nFile1=c.mp3\nFile2=file:///x%20y\n"
        "File3=a,b\n",
        pl, {"/lists/c.mp3", "/x y", "/lists/a,b"});
    named("PLS under an M3U name", "x.m3u", "\n[playlist]\nFile1=/a,b\n", none, {"/a,b"});
    named("PLS header must be the first non-blank line", "x.pls", "/a\n[playlist]\nFile1=/b", none,
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

// Reading stops after as many entries as asked for, a PLS file's lowest numbers first.
void TestPlaylistReader::read() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(QStringList, expected);
    const PlaylistParser& parser = playlistParserFor(fileName, bytes);
    QCOMPARE(parser.read(bytes, folder).paths, expected);
    for (qsizetype max = 0; max < expected.size(); ++max)
        QCOMPARE(parser.read(bytes, folder, max).paths, expected.mid(0, max));
}

// An entry's bytes may name another file than its text; the window takes the file they name
// when only that one exists.
void TestPlaylistReader::byteNames_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("paths");
    // Each entry as its bytes name it.
    QTest::addColumn<QList<QByteArray>>("names");
    const QString pl = QStringLiteral("/lists");
    QTest::newRow("Windows-1252") << QByteArray("caf\xE9.mp3\n/a.mp3\n/\xC3\xA9 \xE9\n/\xC3\xA9")
                                  << pl << QStringList{"/lists/café.mp3", "/a.mp3", "/Ã© é", "/Ã©"}
                                  << QList<QByteArray>{"/lists/caf\xE9.mp3", "/a.mp3",
                                                       "/\xC3\xA9 \xE9", "/\xC3\xA9"};
    QTest::newRow("UTF-8") << QByteArray("/caf\xC3\xA9.mp3") << pl << QStringList{"/café.mp3"}
                           << QList<QByteArray>{"/caf\xC3\xA9.mp3"};
    QTest::newRow("file URL escaping bytes")
        << QByteArray("file:///m/caf%E9.mp3\nfile:///m/caf%C3%A9%20.mp3") << pl
        << QStringList{"/m/café.mp3", "/m/café .mp3"}
        << QList<QByteArray>{"/m/caf\xE9.mp3", "/m/caf\xC3\xA9 .mp3"};
    QTest::newRow("no local file")
        << QByteArray("http://h/\xE9\nrel\xE9") << QString() << QStringList{"http://h/é", "relé"}
        << QList<QByteArray>{"http://h/\xC3\xA9", "rel\xC3\xA9"};
}

void TestPlaylistReader::byteNames() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(QStringList, paths);
    QFETCH(QList<QByteArray>, names);
    const PlaylistEntries entries = playlistParserFor(QString(), bytes).read(bytes, folder);
    QCOMPARE(entries.paths, paths);
    QList<QByteArray> found;
    for (const QString& path : entries.paths)
        found.append(path.toUtf8());
    qsizetype previous = -1;
    for (const PlaylistEntries::RawItem& raw : entries.rawItems) {
        QVERIFY(raw.index > previous);
        previous = raw.index;
        QVERIFY(raw.bytes.data() >= bytes.constData() &&
                raw.bytes.data() + raw.bytes.size() <= bytes.constData() + bytes.size());
        if (const QByteArray name = resolvePlaylistBytes(raw.bytes, folder); !name.isEmpty())
            found[raw.index] = name;
    }
    QCOMPARE(found, names);
}

// Whether a whole file is taken as UTF-8.
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
    const QString expected =
        QLatin1Char('/') + (valid ? QString::fromUtf8(bytes) : fromWindows1252(bytes));
    const QByteArray file = '/' + bytes;
    QCOMPARE(playlistParserFor(QString(), file).read(file, QString()).paths, QStringList{expected});
}

QTEST_APPLESS_MAIN(TestPlaylistReader)

#include "tst_playlistreader.moc"
