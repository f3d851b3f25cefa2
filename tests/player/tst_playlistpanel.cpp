#include "common/localpath.h"
#include "player/form1.h"
#include "player/playlistitemdelegate.h"
#include "support/fakes.h"
#include "support/fixtures.h"
#include "support/widgetdriver.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace quorvela;
using namespace quorvela::test;

namespace {

using Message = ScriptedDialogs::Message;

struct Window {
    TestEnvironment env;
    Form1 form{env.services()};

    Window() {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    [[nodiscard]] QStringList entries() const { return form.playlistEntries(); }
    void setEntries(const QStringList& entries) { form.playlistModel()->setStringList(entries); }
    void selectEntry(int row) {
        form.List1->selectionModel()->setCurrentIndex(form.playlistModel()->index(row),
                                                      QItemSelectionModel::ClearAndSelect);
    }
    [[nodiscard]] int selectedEntry() const {
        const auto rows = form.List1->selectionModel()->selectedIndexes();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    // A real double-click: Qt 6.4's list view needs the click before it.
    void doubleClickAt(QPoint point) {
        QWidget* viewport = form.List1->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, point);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, point);
    }
    void doubleClickEntry(int row) {
        form.List1->scrollTo(form.playlistModel()->index(row));
        doubleClickAt(form.List1->visualRect(form.playlistModel()->index(row)).center());
    }
    void selectFile(const QString& folder, const QString& name) {
        QVERIFY(form.File1->setPath(folder));
        form.Dir1->setPath(folder);
        const int row = int(form.File1->entries().indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name));
        form.File1->selectionModel()->setCurrentIndex(form.File1->model()->index(row, 0),
                                                      QItemSelectionModel::ClearAndSelect);
    }
};

// Lets no file grow beyond limit bytes while it lives, with the signal that would end the
// process ignored, so that a write past it fails (EFBIG) as one on a full disk does (ENOSPC).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldAction = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_old;
        lowered.rlim_cur = std::min(limit, m_old.rlim_max);
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldAction);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldAction)(int) = nullptr;
};

const QStringList Five = {"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3", "/m/5.mp3"};

} // namespace

class TestPlaylistPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void add_data();
    void add();
    void addTwiceKeepsSelections();
    void addWithoutSelectedFile();
    void deleteThirdOfFive();
    void deleteWithoutSelection();
    void clear();
    void loadTwiceAppendsTwice();
    void loadFromMenuIsLoad();
    void loadM3uByName();
    void loadNamesByBytes_data();
    void loadNamesByBytes();
    void loadFails_data();
    void loadFails();
    void loadKeepsSelection();
    void longEntryShownShortKeptWhole();
    void playFailureKeepsLabel();
    void playWithoutSelection();
    void playSuccess();
    void saveThenLoad_data();
    void saveThenLoad();
    void saveRefusesWhatCannotReadBack();
    void saveFailureIsReported_data();
    void saveFailureIsReported();
    void saveCancelled();

private:
    QTemporaryDir m_dir;
    QString m_mp3;
};

void TestPlaylistPanel::initTestCase() {
    QVERIFY(m_dir.isValid());
    // A real, short MP3, so the test holds whatever the player accepts.
    if (const QString mp3 = m_dir.filePath(QStringLiteral("tone, one.mp3")); makeToneMp3(mp3))
        m_mp3 = mp3;
}

void TestPlaylistPanel::add_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const QString folder = m_dir.filePath(QStringLiteral("music"));
    QVERIFY(writeFile(folder + QStringLiteral("/b.mp3"), "x"));
    QVERIFY(writeFile(folder + QStringLiteral("/a, b é.mp3"), "x"));
    QTest::newRow("normal folder") << folder << "*.mp3"
                                   << "a, b é.mp3" << folder + QStringLiteral("/a, b é.mp3");

    // The root folder holds no MP3 on most machines: list every file there.
    const QStringList rootFiles = QDir(QStringLiteral("/")).entryList(QDir::Files);
    if (!rootFiles.isEmpty())
        QTest::newRow("root folder")
            << "/"
            << "*" << rootFiles.first() << QLatin1Char('/') + rootFiles.first();
}

void TestPlaylistPanel::add() {
    QFETCH(QString, folder);
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    Window w;
    w.form.File1->setPattern(pattern);
    w.selectFile(folder, name);
    w.form.Command1->click();
    QCOMPARE(w.entries(), QStringList{expected});
}

void TestPlaylistPanel::addTwiceKeepsSelections() {
    const QString folder = m_dir.filePath(QStringLiteral("twice"));
    QVERIFY(writeFile(folder + QStringLiteral("/s.mp3"), "x"));
    Window w;
    w.setEntries({"/first.mp3"});
    w.selectEntry(0);
    w.selectFile(folder, QStringLiteral("s.mp3"));
    w.form.Command1->click();
    w.form.Command1->click();
    const QString entry = folder + QStringLiteral("/s.mp3");
    QCOMPARE(w.entries(), QStringList({"/first.mp3", entry, entry}));
    QCOMPARE(w.selectedEntry(), 0);
    QCOMPARE(w.form.File1->fileName(), QStringLiteral("s.mp3"));
    QCOMPARE(w.form.MediaPlayer1->state(), MediaPlayer::State::Stopped);
}

void TestPlaylistPanel::addWithoutSelectedFile() {
    const QString folder = m_dir.filePath(QStringLiteral("none"));
    QVERIFY(writeFile(folder + QStringLiteral("/s.mp3"), "x"));
    Window w;
    QVERIFY(w.form.File1->setPath(folder));
    w.form.Command1->click();
    QVERIFY(w.entries().isEmpty());
    QVERIFY(w.env.dialogs.messages.isEmpty());
}

void TestPlaylistPanel::deleteThirdOfFive() {
    Window w;
    w.setEntries(Five);
    w.selectEntry(2);
    w.form.Command2->click();
    QCOMPARE(w.entries(), QStringList({"/m/1.mp3", "/m/2.mp3", "/m/4.mp3", "/m/5.mp3"}));
    QCOMPARE(w.selectedEntry(), -1);
}

void TestPlaylistPanel::deleteWithoutSelection() {
    Window w;
    w.setEntries(Five);
    w.form.Command2->click();
    QCOMPARE(w.entries(), Five);
    QVERIFY(w.env.dialogs.messages.isEmpty());
}

void TestPlaylistPanel::clear() {
    Window w;
    w.setEntries(Five);
    w.selectEntry(4);
    w.form.Command5->click();
    QVERIFY(w.entries().isEmpty());
    w.form.Command2->click(); // nothing left to delete
    QVERIFY(w.entries().isEmpty());
}

void TestPlaylistPanel::loadTwiceAppendsTwice() {
    Window w;
    // A plain comma list: only a name other than .m3u or .m3u8 is read as one.
    const QString list = w.env.tempPath(QStringLiteral("lists/two.txt"));
    QVERIFY(writeFile(list, "/m/a.mp3, b.mp3\r\n\r\n\"/m/c, d.mp3\"\r\n"));
    w.setEntries({"/first.mp3"});
    w.env.dialogs.openFiles = {list, list};
    w.form.Command4->click();
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    const QString b = w.env.tempPath(QStringLiteral("lists/b.mp3"));
    const QStringList once = {"/m/a.mp3", b, "", "/m/c, d.mp3"};
    QCOMPARE(w.entries(), QStringList{"/first.mp3"} + once + once);
    QCOMPARE(w.env.dialogs.fileFilters, QStringList(2, QString::fromUtf8(Form1::PlaylistFilter)));
    QCOMPARE(w.selectedEntry(), -1);
    QCOMPARE(w.form.MediaPlayer1->state(), MediaPlayer::State::Stopped);
    QVERIFY(w.env.dialogs.messages.isEmpty());
}

void TestPlaylistPanel::loadFromMenuIsLoad() {
    Window w;
    const QString list = w.env.tempPath(QStringLiteral("menu.pls"));
    QVERIFY(writeFile(list, "[playlist]\nFile2=/b\nFile1=/a\n"));
    w.env.dialogs.openFiles = {list};
    w.form.mnuFilePlaylist->trigger();
    QVERIFY(test::waitForLoads(w.form));
    QCOMPARE(w.entries(), QStringList({"/a", "/b"}));
    // A later cancel gives no file, even after one was chosen.
    w.form.mnuFilePlaylist->trigger();
    QCOMPARE(w.entries(), QStringList({"/a", "/b"}));
    QCOMPARE(w.env.dialogs.fileFilters.size(), 2);
}

// A hand-made M3U file has no header; read as a comma list it gave bogus entries. (The reader's
// own test tells the formats apart by every name; saveThenLoad writes such entries back.)
void TestPlaylistPanel::loadM3uByName() {
    Window w;
    const QString list = w.env.tempPath(QStringLiteral("lists/HAND.M3U8"));
    QVERIFY(writeFile(list, "# comment\r\n/music/Artist, The - Song.mp3\r\n\r\n"
                            "\"/music/old, quoted.mp3\"\r\nsub/relative, too.mp3\r\n"));
    const QStringList entries = {"/music/Artist, The - Song.mp3", "/music/old, quoted.mp3",
                                 w.env.tempPath(QStringLiteral("lists/sub/relative, too.mp3"))};
    w.env.dialogs.openFiles = {list};
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    QCOMPARE(w.entries(), entries);
}

void TestPlaylistPanel::loadNamesByBytes_data() {
    QTest::addColumn<QList<QByteArray>>("onDisk");
    QTest::addColumn<QByteArray>("playlist");
    QTest::addColumn<QByteArray>("entry");
    const QByteArray latin1 = "caf\xE9.mp3";
    const QByteArray utf8 = "caf\xC3\xA9.mp3";
    QTest::newRow("Windows-1252 playlist, name on disk not UTF-8")
        << QList<QByteArray>{latin1} << QByteArray("/first.mp3\r\n" + latin1) << latin1;
    QTest::newRow("file URL escaping the byte")
        << QList<QByteArray>{latin1} << QByteArray("file://FOLDER/caf%E9.mp3") << latin1;
    QTest::newRow("the text's name is on disk too")
        << QList<QByteArray>{latin1, utf8} << QByteArray("/first.mp3\r\n" + latin1) << utf8;
    QTest::newRow("neither is on disk") << QList<QByteArray>{} << QByteArray(latin1) << utf8;
}

// A Windows-1252 playlist naming caf\xE9.mp3 reads as "café.mp3", which is not that file; the
// entry must name the file on disk and be saved as the same bytes. (tst_openfiles plays such a
// name.)
void TestPlaylistPanel::loadNamesByBytes() {
    QFETCH(QList<QByteArray>, onDisk);
    QFETCH(QByteArray, playlist);
    QFETCH(QByteArray, entry);
    Window w;
    const QByteArray folder = QFile::encodeName(w.env.tempPath(QStringLiteral("names")));
    const QString file = w.env.tempPath(QStringLiteral("names/file"));
    QVERIFY(writeFile(file, "x"));
    for (const QByteArray& name : onDisk)
        QVERIFY(copyFileTo(file, folder + '/' + name));
    const QString list = QFile::decodeName(folder) + QStringLiteral("/list.m3u");
    QVERIFY(writeFile(list, QByteArray(playlist).replace("FOLDER", folder)));

    w.env.dialogs.openFiles = {list};
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    const QString expected = localPathFromBytes(folder + '/' + entry);
    QCOMPARE(w.entries().last(), expected);

    const QString saved = w.env.tempPath(QStringLiteral("saved.m3u"));
    w.env.dialogs.saveFiles = {saved};
    w.form.Command3->click();
    QVERIFY(w.env.dialogs.messages.isEmpty());
    QFile written(saved);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().endsWith('\n' + folder + '/' + entry + '\n'));
    // The temporary folder cannot remove what Qt cannot name.
    QVERIFY(removeTree(folder));
}

void TestPlaylistPanel::loadFails_data() {
    QTest::addColumn<QString>("answer");
    QTest::newRow("cancelled") << QString();
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing.m3u"));
    QTest::newRow("folder") << m_dir.path();
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.m3u"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QTest::newRow("pipe that never ends") << fifo;
    const QString locked = m_dir.filePath(QStringLiteral("locked.m3u"));
    QVERIFY(writeFile(locked, "/a\n"));
    QFile::setPermissions(locked, {});
    // Root reads any file; the row then shows a readable file loading.
    if (!QFileInfo(locked).isReadable())
        QTest::newRow("unreadable") << locked;
}

void TestPlaylistPanel::loadFails() {
    QFETCH(QString, answer);
    Window w;
    w.setEntries(Five);
    w.selectEntry(1);
    if (!answer.isEmpty())
        w.env.dialogs.openFiles = {answer};
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    QCOMPARE(w.entries(), Five);
    QCOMPARE(w.selectedEntry(), 1);
    QVERIFY(w.env.dialogs.messages.isEmpty());
}

void TestPlaylistPanel::loadKeepsSelection() {
    Window w;
    const QString list = w.env.tempPath(QStringLiteral("more.m3u"));
    QVERIFY(writeFile(list, "/x\n/y\n"));
    w.setEntries(Five);
    w.selectEntry(3);
    w.env.dialogs.openFiles = {list};
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    QCOMPARE(w.entries(), Five + QStringList({"/x", "/y"}));
    QCOMPARE(w.selectedEntry(), 3);
    QCOMPARE(w.form.List1->currentIndex().row(), 3);
}

void TestPlaylistPanel::longEntryShownShortKeptWhole() {
    Window w;
    const QString list = w.env.tempPath(QStringLiteral("one line.m3u"));
    // A file with no line end: one enormous entry, with a character outside the basic plane
    // where the display cuts it.
    QByteArray bytes = "/" + QByteArray(PlaylistItemDelegate::LongestShown - 2, 'a');
    bytes += "\xF0\x9F\x8E\xB5" + QByteArray(2'000'000, 'b');
    QVERIFY(writeFile(list, bytes));
    w.env.dialogs.openFiles = {list};
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    QCOMPARE(w.entries(), QStringList{QString::fromUtf8(bytes)});
    auto* delegate = qobject_cast<QStyledItemDelegate*>(w.form.List1->itemDelegate());
    QVERIFY(delegate);
    const QString shown = delegate->displayText(w.entries().first(), {});
    QCOMPARE(shown,
             QString::fromUtf8(bytes.left(PlaylistItemDelegate::LongestShown - 1)) + QChar(0x2026));
    w.form.List1->viewport()->repaint();
}

void TestPlaylistPanel::playFailureKeepsLabel() {
    Window w;
    w.form.Label1->setText(QStringLiteral("before"));
    w.setEntries({"/m/1.mp3", m_dir.filePath(QStringLiteral("missing.mp3"))});
    w.doubleClickEntry(1);
    QCOMPARE(w.selectedEntry(), 1);
    QCOMPARE(w.env.dialogs.messages.size(), 1);
    const Message message = w.env.dialogs.messages.first();
    QCOMPARE(message.text, QStringLiteral("File not found! (Or other error)"));
    QCOMPARE(message.title, QStringLiteral("Quorvela Error!"));
    QCOMPARE(message.icon, Dialogs::Icon::Critical);
    QCOMPARE(w.form.Label1->text(), QStringLiteral("before"));
}

void TestPlaylistPanel::playWithoutSelection() {
    Window w;
    w.form.Label1->setText(QStringLiteral("before"));
    w.setEntries({"/m/1.mp3"});
    // Below the only entry: the press clears the selection and nothing is played.
    const QRect first = w.form.List1->visualRect(w.form.playlistModel()->index(0));
    w.doubleClickAt(QPoint(first.center().x(), first.bottom() + 3 * first.height()));
    QCOMPARE(w.selectedEntry(), -1);
    emit w.form.List1->activated(w.form.playlistModel()->index(0));
    QVERIFY(w.env.dialogs.messages.isEmpty());
    QCOMPARE(w.form.Label1->text(), QStringLiteral("before"));
}

void TestPlaylistPanel::playSuccess() {
    if (m_mp3.isEmpty())
        QSKIP("sox and lame are needed to make an MP3");
    Window w;
    w.setEntries({"/m/1.mp3", m_mp3});
    w.doubleClickEntry(1);
    QVERIFY(w.env.dialogs.messages.isEmpty());
    QCOMPARE(w.form.MediaPlayer1->fileName(), m_mp3);
    QCOMPARE(w.form.Label1->text(), QStringLiteral("Playlist"));
    w.form.MediaPlayer1->stop();
}

void TestPlaylistPanel::saveThenLoad_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("text");
    const QStringList entries = {"/m/a, b.mp3", "/m/\"q\".mp3", "/m/été €/日本.mp3",
                                 "/m/ leading and trailing ", "http://h/s?a=1,2"};
    // What other players read: one entry per line as it stands, no quotes; blanks at a line's
    // ends are trimmed by every reader, so that path goes out as a file URL.
    const QByteArray lines[] = {"/m/a, b.mp3", "/m/\"q\".mp3",
                                "/m/\xC3\xA9t\xC3\xA9 \xE2\x82\xAC/\xE6\x97\xA5\xE6\x9C\xAC.mp3",
                                "file:///m/%20leading%20and%20trailing%20", "http://h/s?a=1,2"};
    QByteArray m3u = "#EXTM3U\n";
    QByteArray pls = "[playlist]\n";
    for (int i = 0; i < 5; ++i) {
        m3u += lines[i] + '\n';
        pls += "File" + QByteArray::number(i + 1) + '=' + lines[i] + '\n';
    }
    QTest::newRow("M3U") << "saved.m3u" << entries << m3u;
    QTest::newRow("any other name is M3U") << "saved.txt" << entries << m3u;
    QTest::newRow("PLS, any case") << "saved.Pls" << (QStringList(entries) << QString())
                                   << pls + "File6=\nNumberOfEntries=6\nVersion=2\n";
}

void TestPlaylistPanel::saveThenLoad() {
    QFETCH(QString, name);
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, text);
    Window w;
    w.setEntries(entries);
    const QString list = w.env.tempPath(name);
    w.env.dialogs.saveFiles = {list};
    w.form.Command3->click();
    QCOMPARE(w.env.dialogs.saveSuffixes, QStringList{"m3u"});
    QVERIFY(w.env.dialogs.messages.isEmpty());
    QFile file(list);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), text);
    w.form.Command5->click();
    w.env.dialogs.openFiles = {list};
    w.form.Command4->click();
    QVERIFY(test::waitForLoads(w.form));
    QCOMPARE(w.entries(), entries);
}

void TestPlaylistPanel::saveRefusesWhatCannotReadBack() {
    Window w;
    const QString list = w.env.tempPath(QStringLiteral("kept.m3u"));
    QVERIFY(writeFile(list, "old\n"));
    w.setEntries({"/m/a.mp3", "/m/two\nlines.mp3", "relative.mp3"});
    w.env.dialogs.saveFiles = {list};
    w.form.Command3->click();
    QCOMPARE(w.env.dialogs.messages.size(), 1);
    const Message message = w.env.dialogs.messages.first();
    QCOMPARE(message.title, QStringLiteral("Quorvela"));
    QVERIFY2(message.text.contains(QStringLiteral("/m/two\nlines.mp3")), qPrintable(message.text));
    QVERIFY(message.text.contains(QStringLiteral("line break")));
    QVERIFY(message.text.contains(QStringLiteral("2 entries")));
    QFile file(list);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old\n"));
    QCOMPARE(QDir(w.env.tempPath()).entryList({"kept.m3u*"}, QDir::Files | QDir::Hidden),
             QStringList{"kept.m3u"});
}

void TestPlaylistPanel::saveFailureIsReported_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("entries");
    QTest::addColumn<rlim_t>("sizeLimit");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no such folder")
        << "no/such/folder/x.m3u" << 1 << RLIM_INFINITY << "No such file or directory";
    // Under the limit on a file's size a write fails as on a full disk, with the system's
    // own reason; Qt keeps a small file in its buffer until the end, a large one not.
    QTest::newRow("too large, small file") << "kept.m3u" << 100 << rlim_t(1024) << "File too large";
    QTest::newRow("too large, large file")
        << "kept.m3u" << 5000 << rlim_t(64 * 1024) << "File too large";
}

void TestPlaylistPanel::saveFailureIsReported() {
    QFETCH(QString, name);
    QFETCH(int, entries);
    QFETCH(rlim_t, sizeLimit);
    QFETCH(QString, cause);
    Window w;
    QStringList list;
    for (int i = 0; i < entries; ++i)
        list.append(QStringLiteral("/music/Some Artist/Some Album/%1 Title.mp3").arg(i));
    w.setEntries(list);
    const QString path = w.env.tempPath(name);
    QVERIFY(writeFile(w.env.tempPath(QStringLiteral("kept.m3u")), "old\n"));
    w.env.dialogs.saveFiles = {path};
    {
        const FileSizeLimit limit(sizeLimit);
        w.form.Command3->click();
    }
    QCOMPARE(w.env.dialogs.messages.size(), 1);
    const Message message = w.env.dialogs.messages.first();
    QCOMPARE(message.text,
             QStringLiteral("The playlist could not be saved to %1:\n%2").arg(path, cause));
    QCOMPARE(message.title, QStringLiteral("Quorvela"));
    QCOMPARE(message.icon, Dialogs::Icon::Critical);
    QFile kept(w.env.tempPath(QStringLiteral("kept.m3u")));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old\n"));
    QCOMPARE(QDir(w.env.tempPath()).entryList({"kept.m3u*"}, QDir::Files | QDir::Hidden),
             QStringList{"kept.m3u"});
}

void TestPlaylistPanel::saveCancelled() {
    Window w;
    w.setEntries({"/m/a.mp3"});
    w.form.Command3->click();
    QCOMPARE(w.env.dialogs.fileFilters, QStringList{QString::fromUtf8(Form1::PlaylistFilter)});
    QVERIFY(w.env.dialogs.messages.isEmpty());
    QCOMPARE(w.entries(), QStringList{"/m/a.mp3"});
}

QTEST_MAIN(TestPlaylistPanel)

#include "tst_playlistpanel.moc"
