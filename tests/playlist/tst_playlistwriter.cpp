#include "common/localpath.h"
#include "playlist/m3uparser.h"
#include "playlist/playlistformats.h"
#include "playlist/plsparser.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace quorvela;

namespace {

// Where a written playlist is read back from; any folder other than the one it was made in.
const QString ReadFolder = QStringLiteral("/elsewhere/lists");

QString randomEntry(QRandomGenerator& random) {
    static const QStringList pieces = {"a", "Z", "9", " ", "  ", "\t", ",", "\"", "\r", "\n",
                                       "\r\n", "é", "€", "日本", "🎵", "#", "%", "%20", ":", "[",
                                       "]", "=", "/", ".", "\u00A0", "\uFEFF", "\uFFFF",
                                       // bytes of names that are not UTF-8
                                       QString(QChar(0xDCE9)), QString(QChar(0xDCFF))};
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

// The header and the way an entry stands on its line in each written format.
struct Format {
    const char* name;
    QString fileName;
    const PlaylistWriter& writer;
    QByteArray header;
    QByteArray (*line)(int number, const QByteArray& text);
};

const M3uParser M3u;
const PlsParser Pls;

const Format Formats[] = {
    {"M3U", "saved.m3u", M3u, "#EXTM3U\n", [](int, const QByteArray& t) { return t + '\n'; }},
    {"PLS", "saved.pls", Pls, "[playlist]\n",
     [](int n, const QByteArray& t) { return "File" + QByteArray::number(n) + '=' + t + '\n'; }},
};

// What the window loads from a written file when every file named by its bytes exists.
QStringList readBack(const QString& fileName, const QByteArray& bytes) {
    PlaylistEntries entries = playlistParserFor(fileName, bytes).read(bytes, ReadFolder);
    for (const PlaylistEntries::RawItem& raw : entries.rawItems) {
        if (const QByteArray name = resolvePlaylistBytes(raw.bytes, ReadFolder); !name.isEmpty())
            entries.paths[raw.index] = localPathFromBytes(name);
    }
    return entries.paths;
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

void TestPlaylistWriter::writtenText() {
    QFETCH(QString, fileName);
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, text);
    const PlaylistText written = playlistWriterFor(fileName).write(entries);
    QVERIFY(written.rejected.isEmpty());
    QCOMPARE(written.bytes, text);
    QCOMPARE(playlistParserFor(fileName, written.bytes).read(written.bytes, ReadFolder).paths,
             entries);
}

void TestPlaylistWriter::problem_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<PlaylistEntryProblem>("m3u");
    QTest::addColumn<PlaylistEntryProblem>("pls");
    using P = PlaylistEntryProblem;
    QTest::newRow("line feed") << QStringLiteral("/a\nb") << P::LineBreak << P::LineBreak;
    QTest::newRow("carriage return") << QStringLiteral("/a\r") << P::LineBreak << P::LineBreak;
    QTest::newRow("quotes and commas") << QStringLiteral("/a\",\" b") << P::None << P::None;
    QTest::newRow("empty") << QString() << P::Empty << P::None;
    QTest::newRow("relative path")
        << QStringLiteral("a.mp3") << P::ChangedOnRead << P::ChangedOnRead;
    QTest::newRow("leading blank")
        << QStringLiteral(" /a.mp3") << P::ChangedOnRead << P::ChangedOnRead;
    QTest::newRow("file URL") << QStringLiteral("file:///a.mp3") << P::ChangedOnRead
                              << P::ChangedOnRead;
    QTest::newRow("blanks around a path") << QStringLiteral("/a b\t ") << P::None << P::None;
    QTest::newRow("blank after a URL")
        << QStringLiteral("http://h/a ") << P::BlanksAtEnds << P::BlanksAtEnds;
    QTest::newRow("lone surrogate")
        << (QStringLiteral("/a") + QChar(0xD800)) << P::InvalidText << P::InvalidText;
    QTest::newRow("byte of a name that is not UTF-8")
        << (QStringLiteral("/caf") + QChar(0xDCE9)) << P::None << P::None;
    QTest::newRow("surrogate below the bytes of names")
        << (QStringLiteral("/a") + QChar(0xDC7F)) << P::InvalidText << P::InvalidText;
    QTest::newRow("byte of a name in a URL")
        << (QStringLiteral("http://h/") + QChar(0xDCE9)) << P::InvalidText << P::InvalidText;
    QTest::newRow("surrogate pair") << QStringLiteral("/🎵") << P::None << P::None;
}

void TestPlaylistWriter::problem() {
    QFETCH(QString, entry);
    QFETCH(PlaylistEntryProblem, m3u);
    QFETCH(PlaylistEntryProblem, pls);
    QCOMPARE(M3u.problem(entry), m3u);
    QCOMPARE(Pls.problem(entry), pls);
    const PlaylistText written = M3u.write({QStringLiteral("/first"), entry});
    QCOMPARE(written.rejected,
             m3u == PlaylistEntryProblem::None ? QList<qsizetype>() : QList<qsizetype>{1});
}

// Whatever the entries, in either format the accepted ones read back exactly (a name that is
// not UTF-8 by its bytes), and a rejected one truly reads back changed when written as it
// stands, so no entry is refused that need not be.
void TestPlaylistWriter::roundTrip() {
    for (const Format& format : Formats) {
        QRandomGenerator random(20240611);
        int rejections = 0;
        for (int run = 0; run < 3000; ++run) {
            QStringList entries;
            const int count = random.bounded(7);
            for (int i = 0; i < count; ++i)
                entries.append(randomEntry(random));

            const PlaylistText written = format.writer.write(entries);
            QStringList kept;
            for (qsizetype i = 0; i < entries.size(); ++i) {
                if (!written.rejected.contains(i)) {
                    kept.append(entries.at(i));
                    continue;
                }
                ++rejections;
                const QString& entry = entries.at(i);
                const QByteArray bytes = format.header + format.line(1, "/first") +
                                         format.line(2, localPathBytes(entry));
                QVERIFY2(readBack(format.fileName, bytes) !=
                             QStringList({QStringLiteral("/first"), entry}),
                         qPrintable(QLatin1String(format.name) + QLatin1Char(' ') + entry));
            }
            QVERIFY(written.bytes.startsWith(format.header));
            // Text stays UTF-8; only the bytes of a name that is not go out as they are.
            const bool utf8 = QByteArrayView(written.bytes).isValidUtf8();
            QVERIFY(utf8 || std::any_of(kept.cbegin(), kept.cend(),
                                        [](const QString& e) { return hasForeignBytes(e); }));
            const QStringList back = readBack(format.fileName, written.bytes);
            QCOMPARE(back.size(), kept.size());
            // Such a file is Windows-1252 text: a file's name comes back by its bytes, but a URL
            // holding other than ASCII does not.
            for (qsizetype i = 0; i < kept.size(); ++i) {
                if (utf8 || !kept.at(i).contains(QLatin1String("://")))
                    QCOMPARE(back.at(i), kept.at(i));
            }
        }
        QVERIFY(rejections > 100);
    }
}

QTEST_APPLESS_MAIN(TestPlaylistWriter)

#include "tst_playlistwriter.moc"
