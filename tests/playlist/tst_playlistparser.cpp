#include "playlist/plainparser.h"

#include <QTest>

using namespace quorvela;

// What an item names and how a file's text is decoded is the same in every format; the plain
// list, one item per line, shows it.
class TestPlaylistParser : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void stopsAtMaxEntries();
    void byteNames_data();
    void byteNames();
    void utf8Validity_data();
    void utf8Validity();
};

void TestPlaylistParser::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");

    const QString pl = QStringLiteral("/lists");
    const QString none;
    auto row = [](const char* name, const QByteArray& bytes, const QString& folder,
                  const QStringList& expected) {
        QTest::newRow(name) << bytes << folder << expected;
    };

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

    // Text.
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

void TestPlaylistParser::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(QStringList, expected);
    QCOMPARE(PlainParser().read(bytes, folder).paths, expected);
}

void TestPlaylistParser::stopsAtMaxEntries() {
    QCOMPARE(PlainParser().read("/a,/b,/c,/d", QString(), 2).paths, QStringList({"/a", "/b"}));
    QVERIFY(PlainParser().read("/a", QString(), 0).paths.isEmpty());
}

// An entry's bytes may name another file than its text; the window takes the file they name
// when only that one exists.
void TestPlaylistParser::byteNames_data() {
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

void TestPlaylistParser::byteNames() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(QStringList, paths);
    QFETCH(QList<QByteArray>, names);
    const PlaylistEntries entries = PlainParser().read(bytes, folder);
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
void TestPlaylistParser::utf8Validity_data() {
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

void TestPlaylistParser::utf8Validity() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    const QString expected =
        QLatin1Char('/') + (valid ? QString::fromUtf8(bytes) : fromWindows1252(bytes));
    QCOMPARE(PlainParser().read("/" + bytes, QString()).paths, QStringList{expected});
}

QTEST_APPLESS_MAIN(TestPlaylistParser)

#include "tst_playlistparser.moc"
