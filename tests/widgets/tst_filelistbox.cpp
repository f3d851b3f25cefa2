#include "support/fakes.h"
#include "widgets/filelistbox.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QTest>

#include <clocale>

using namespace quorvela;

class FileListBoxTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Natural order must not depend on the locale's collation.
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }

    void naturalOrder_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("numbers by value") << QStringList{"2 x.mp3", "10 x.mp3", "100 x.mp3"};
        QTest::newRow("case ignored") << QStringList{"apple.mp3", "Banana.mp3", "cherry.mp3"};
        QTest::newRow("leading zeros") << QStringList{"track1.mp3", "track02.mp3", "track3.mp3"};
        QTest::newRow("prefix first") << QStringList{"a.mp3", "a1.mp3", "ab.mp3"};
        QTest::newRow("long digit runs") << QStringList{
            "9.mp3", "123456789012345678901234567890.mp3", "123456789012345678901234567891.mp3"};
    }
    void naturalOrder() {
        QFETCH(QStringList, names);
        for (int i = 0; i + 1 < names.size(); ++i) {
            QVERIFY2(naturalLess(names[i], names[i + 1]), qPrintable(names[i]));
            QVERIFY2(!naturalLess(names[i + 1], names[i]), qPrintable(names[i + 1]));
        }
        QCOMPARE(naturalCompare(QStringLiteral("A.mp3"), QStringLiteral("a.mp3")) != 0, true);
    }

    void wildcards_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("suffix") << "*.mp3"
                                << "a b.mp3" << true;
        QTest::newRow("suffix ignores case") << "*.mp3"
                                             << "SONG.Mp3" << true;
        QTest::newRow("suffix only") << "*.mp3"
                                     << ".mp3" << true;
        QTest::newRow("suffix must end the name") << "*.mp3"
                                                  << "x.mp3.bak" << false;
        QTest::newRow("star retried after a false start") << "*.mp3"
                                                          << "a.mp.mp3" << true;
        QTest::newRow("one character") << "track?.mp3"
                                       << "track7.mp3" << true;
        QTest::newRow("one character, not none") << "track?.mp3"
                                                 << "track.mp3" << false;
        QTest::newRow("stars in a row") << "a**b"
                                        << "ab" << true;
        QTest::newRow("literal") << "x.mp3"
                                 << "y.mp3" << false;
        QTest::newRow("accented letters fold") << "*É*"
                                               << "café é.mp3" << true;
    }
    void wildcards() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(matchesWildcard(pattern, name), matches);
    }

    void listsMatchingFilesOnly() {
        test::TestEnvironment env;
        const QString dir = env.tempPath(QStringLiteral("music"));
        for (const char* name : {"10 b.mp3", "2 a.MP3", "SONG.Mp3", "notes.txt", "x.mp3.bak"})
            QVERIFY(test::writeFile(dir + QLatin1Char('/') + QString::fromUtf8(name), "x"));
        QDir().mkpath(dir + QStringLiteral("/folder.mp3"));
        QVERIFY(test::writeFile(dir + QStringLiteral("/.hidden.mp3"), "x"));
        // A link to a file is listed as the file; a link to nothing is not.
        QVERIFY(QFile::link(dir + QStringLiteral("/SONG.Mp3"), dir + QStringLiteral("/link.mp3")));
        QVERIFY(QFile::link(dir + QStringLiteral("/gone"), dir + QStringLiteral("/broken.mp3")));
        FileListBox list;
        QVERIFY(list.setPath(dir));
        QCOMPARE(list.entries(), (QStringList{"2 a.MP3", "10 b.mp3", "link.mp3", "SONG.Mp3"}));
        QCOMPARE(list.path(), dir);
        QCOMPARE(list.fileName(), QString());

        list.selectionModel()->setCurrentIndex(list.model()->index(1, 0),
                                               QItemSelectionModel::ClearAndSelect);
        QCOMPARE(list.fileName(), QStringLiteral("10 b.mp3"));
    }

    void pathsReadBack_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("reported");
        QTest::newRow("root keeps its slash") << "/"
                                              << "/";
        QTest::newRow("trailing slash dropped") << "/tmp/"
                                                << "/tmp";
        QTest::newRow("dots cleaned") << "/tmp/./x/.."
                                      << "/tmp";
    }
    void pathsReadBack() {
        QFETCH(QString, given);
        QFETCH(QString, reported);
        FileListBox list;
        list.setPath(given);
        QCOMPARE(list.path(), reported);
        DirListBox dir;
        dir.setPath(given);
        QCOMPARE(dir.path(), reported);
    }

    void missingFolderListsNothing() {
        FileListBox list;
        QVERIFY(!list.setPath(QStringLiteral("/no/such/folder")));
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.path(), QStringLiteral("/no/such/folder"));
        DirListBox dir;
        QVERIFY(!dir.setPath(QStringLiteral("/no/such/folder")));
    }
};

QTEST_MAIN(FileListBoxTest)
#include "tst_filelistbox.moc"
