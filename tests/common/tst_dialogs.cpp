#include "common/dialogs.h"

#include <QTest>

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
        QTest::newRow("no trailing separator") << "Text|*.txt" << "Text (*.txt)";
        QTest::newRow("two choices") << "Audio|*.mp3|All|*|" << "Audio (*.mp3);;All (*)";
        QTest::newRow("empty") << "" << "";
    }
    void fileFilter() {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(qtFileFilter(filter), qt);
    }
};

QTEST_GUILESS_MAIN(DialogsTest)
#include "tst_dialogs.moc"
