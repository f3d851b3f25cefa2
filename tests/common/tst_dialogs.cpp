#include "common/dialogs.h"
#include "common/localpath.h"
#include "support/fixtures.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quorvela;

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    // The program writes filters as "Description|patterns|"; Qt's dialogs read the patterns
    // from the last parentheses, where a comma would end up inside a pattern.
    void fileFilter_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("playlists") << "Playlists (*.m3u, *.pls)|*.m3u;*.pls|"
                                   << "Playlists (*.m3u *.pls)";
        QTest::newRow("no trailing separator") << "Text|*.txt"
                                               << "Text (*.txt)";
        QTest::newRow("two choices") << "Audio|*.mp3|All|*|"
                                     << "Audio (*.mp3);;All (*)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fileFilter() {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(qtFileFilter(filter), qt);
    }

    // A folder chooser hands a name that is not UTF-8 back with U+FFFD for its other bytes,
    // or the user types it as shown; the folder it stands for is found on disk, unless two
    // names there read the same.
    void pathOnDisk_data() {
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QByteArray>("onDisk"); // empty: the path as chosen
        QTest::newRow("decoded") << QByteArray("/m\xfcsik/caf\xe9")
                                 << QByteArray("/m\xfcsik/caf\xe9");
        QTest::newRow("typed") << QByteArray("/m\xc3\xbcsik/caf\xc3\xa9")
                               << QByteArray("/m\xfcsik/caf\xe9");
        QTest::newRow("two names read the same") << QByteArray("/two\xe8") << QByteArray();
    }
    void pathOnDisk() {
        QFETCH(QByteArray, chosen);
        QFETCH(QByteArray, onDisk);
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        const auto remove = qScopeGuard([&] { test::removeTree(root); });
        for (const char* folder : {"/m\xfcsik", "/m\xfcsik/caf\xe9", "/two\xe8", "/two\xe9"})
            QVERIFY(::mkdir((root + folder).constData(), 0755) == 0);
        const QString given = QFile::decodeName(root + chosen);
        QCOMPARE(quorvela::pathOnDisk(given),
                 onDisk.isEmpty() ? given : localPathFromBytes(root + onDisk));
    }
};

QTEST_GUILESS_MAIN(DialogsTest)
#include "tst_dialogs.moc"
