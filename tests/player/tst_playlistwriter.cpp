#include "player/playlistreader.h"
#include "player/playlistwriter.h"

#include <QRandomGenerator>
#include <QTest>

using namespace quorvela;

namespace {

// Where a written playlist is read back from; any folder other than the one it was made in.
const QString ReadFolder = QStringLiteral("/elsewhere/lists");

QString randomEntry(QRandomGenerator& random) {
    static const QStringList pieces = {"a",  "Z",  "9",  " ",      "  ",     "\t",    ",",
                                       "\"", "\r", "\n", "\r\n",   "é",      "€",     "日本",
                                       "🎵",  "#",  "%",  "%20",    ":",      "[",     "]",
                                       "=",  "/",  ".",  "\u00A0", "\uFEFF", "\uFFFF"};
    static const QStringList starts = {"/",        "/",    "/",  "/",   "",        "http://host/",
                                       "file:///", "rel/", " /", "\"/", "#EXTM3U", "[playlist]"};
    QString entry = starts.at(random.bounded(starts.size()));
    const int length = random.bounded(8);
    for (int i = 0; i < length; ++i)
        entry += pieces.at(random.bounded(pieces.size()));
    if (random.bounded(20) == 0)
        entry.clear();
    if (random.bounded(50) == 0)
        entry += QChar(0xD800); // a lone surrogate
    return entry;
}

} // namespace

class TestPlaylistWriter : public QObject {
    Q_OBJECT
private slots:
    void writtenText_data();
    void writtenText();
    void problem_data();
    void problem();
    void roundTrip();
};

void TestPlaylistWriter::writtenText_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("nothing") << QStringList() << QByteArray();
    QTest::newRow("plain paths stay readable by other players")
        << QStringList{"/m/a b.mp3", "http://h/s", "/m/é.mp3"}
        << QByteArray("/m/a b.mp3\nhttp://h/s\n/m/\xC3\xA9.mp3\n");
    QTest::newRow("quoted only when needed")
        << QStringList{"/m/a,b.mp3", "/m/a ", "/m/a\"b", "/m/a\nb", "/m/a\t"}
        << QByteArray("\"/m/a,b.mp3\"\n\"/m/a \"\n/m/a\"b\n\"/m/a\nb\"\n/m/a\t\n");
    QTest::newRow("empty entries, also the last")
        << QStringList{"", "/a", ""} << QByteArray("\n/a\n\n");
}

void TestPlaylistWriter::writtenText() {
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, text);
    const PlaylistText written = writePlaylist(entries);
    QVERIFY(written.rejected.isEmpty());
    QCOMPARE(written.bytes, text);
    QCOMPARE(readPlaylist(written.bytes, ReadFolder), entries);
}

void TestPlaylistWriter::problem_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<PlaylistEntryProblem>("problem");
    using P = PlaylistEntryProblem;
    QTest::newRow("quote and comma") << QStringLiteral("/a\",b") << P::QuoteInQuotedItem;
    QTest::newRow("quote and line break") << QStringLiteral("/a\"\nb") << P::QuoteInQuotedItem;
    QTest::newRow("quote and trailing space") << QStringLiteral("/a\" ") << P::QuoteInQuotedItem;
    QTest::newRow("quote alone") << QStringLiteral("/a\"b\"") << P::None;
    QTest::newRow("URL with a quote") << QStringLiteral("http://h/\"") << P::None;
    QTest::newRow("relative path") << QStringLiteral("a.mp3") << P::ChangedOnRead;
    QTest::newRow("leading blank") << QStringLiteral(" /a.mp3") << P::ChangedOnRead;
    QTest::newRow("file URL") << QStringLiteral("file:///a.mp3") << P::ChangedOnRead;
    // Such a first line would make the file an extended M3U or PLS file; neither can be a
    // first line because both are relative.
    QTest::newRow("M3U header") << QStringLiteral("#EXTM3U") << P::ChangedOnRead;
    QTest::newRow("PLS header") << QStringLiteral("[playlist]") << P::ChangedOnRead;
    QTest::newRow("byte-order mark first") << QStringLiteral("\uFEFF/a") << P::ChangedOnRead;
    QTest::newRow("lone surrogate") << (QStringLiteral("/a") + QChar(0xD800)) << P::InvalidText;
    QTest::newRow("surrogate pair") << QStringLiteral("/🎵") << P::None;
    QTest::newRow("empty") << QString() << P::None;
}

void TestPlaylistWriter::problem() {
    QFETCH(QString, entry);
    QFETCH(PlaylistEntryProblem, problem);
    QCOMPARE(playlistEntryProblem(entry), problem);
    const PlaylistText written = writePlaylist({QStringLiteral("/first"), entry});
    QCOMPARE(written.rejected,
             problem == PlaylistEntryProblem::None ? QList<qsizetype>() : QList<qsizetype>{1});
}

// Whatever the entries, the accepted ones read back exactly, and a rejected one truly reads
// back changed both bare and in quotes, so the writer never refuses more than it must.
void TestPlaylistWriter::roundTrip() {
    QRandomGenerator random(20240611);
    int rejections = 0;
    for (int run = 0; run < 3000; ++run) {
        QStringList entries;
        const int count = random.bounded(7);
        for (int i = 0; i < count; ++i)
            entries.append(randomEntry(random));

        const PlaylistText written = writePlaylist(entries);
        QStringList kept;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (!written.rejected.contains(i)) {
                kept.append(entries.at(i));
                continue;
            }
            ++rejections;
            const QString& entry = entries.at(i);
            for (const QString& form : {entry, QLatin1Char('"') + entry + QLatin1Char('"')}) {
                const QByteArray line = (form + QLatin1Char('\n')).toUtf8();
                QVERIFY2(readPlaylist(QByteArray("/first\n") + line, ReadFolder) !=
                             QStringList({QStringLiteral("/first"), entry}),
                         qPrintable(entry));
            }
        }
        QVERIFY(isValidUtf8(written.bytes));
        QCOMPARE(readPlaylist(written.bytes, ReadFolder), kept);
    }
    QVERIFY(rejections > 100);
}

QTEST_APPLESS_MAIN(TestPlaylistWriter)

#include "tst_playlistwriter.moc"
