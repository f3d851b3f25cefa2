// A whole session as a person would have it: start, list a folder, play, load a playlist,
// play from it, open and close every window, exit. The sanitizer step also runs it with the
// leak checker on.
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"
#include "info/form3.h"
#include "info/frmabout.h"
#include "player/form1.h"
#include "preferences/form2.h"
#include "support/fakes.h"
#include "support/fixtures.h"
#include "support/widgetdriver.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>

using namespace quorvela;

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void wholeSession() {
        test::TestEnvironment env;
        const QString dir = env.tempPath(QStringLiteral("music"));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/01 first.mp3"), 1.0, 440));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/02 second.mp3"), 1.0, 880));
        const QString playlist = env.tempPath(QStringLiteral("list.m3u"));
        QVERIFY(test::writeFile(playlist, "#EXTM3U\n#EXTINF:1,Second\nmusic/02 second.mp3\n"));
        env.store(QStringLiteral("lastdir"), dir);

        Form1 w(env.services());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.File1->count(), 2);

        test::doubleClickRow(w.File1, 0);
        QCOMPARE(w.Label1->text(), QStringLiteral("01 first.mp3"));
        QTRY_COMPARE_WITH_TIMEOUT(w.lblTotalTime->text(), QStringLiteral("00:01"), 5000);

        env.dialogs.openFiles.push_back(playlist);
        w.mnuFilePlaylist->trigger();
        QVERIFY(test::waitForLoads(w));
        QCOMPARE(w.playlistEntries(), QStringList{dir + QStringLiteral("/02 second.mp3")});
        test::doubleClickRow(w.List1, 0);
        QCOMPARE(w.Label1->text(), QStringLiteral("Playlist"));
        QTest::qWait(300);

        w.mnuToolsPref->trigger();
        w.mnuHelpHelp->trigger();
        w.mnuHelpAbout->trigger();
        QVERIFY(w.preferencesWindow() && w.helpWindow() && w.aboutBox());
        w.preferencesWindow()->close();
        w.helpWindow()->close();
        w.aboutBox()->close();
        QTRY_VERIFY(!w.preferencesWindow() && !w.helpWindow() && !w.aboutBox());
        w.mnuHelpHelp->trigger();
        w.mnuFileExit->trigger();
        QVERIFY(w.isUnloaded());
        QVERIFY(!w.helpWindow());
        QCOMPARE(env.stored(QStringLiteral("lastdir")), dir);
        QVERIFY(env.dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
