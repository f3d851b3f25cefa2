#include "info/links.h"
#include "player/form1.h"
#include "support/fakes.h"

#include <QAction>
#include <QTest>

using namespace quorvela;

class TestLinks : public QObject {
    Q_OBJECT
private slots:
    void targets();
    void menuHandsEachLinkEveryTime();
};

void TestLinks::targets() {
    test::RecordingShell shell;
    OpenWebSite(shell);
    OpenMailLink(shell);
    QCOMPARE(shell.urls.size(), 2);
    QCOMPARE(shell.urls.at(0).toString(), QStringLiteral(QUORVELA_WEBSITE));
    QCOMPARE(shell.urls.at(1).toString(),
             QStringLiteral("mailto:" QUORVELA_EMAIL "?subject=Quorvela"));
    QCOMPARE(shell.urls.at(1).scheme(), QStringLiteral("mailto"));
    QCOMPARE(shell.urls.at(1).query(), QStringLiteral("subject=Quorvela"));
}

void TestLinks::menuHandsEachLinkEveryTime() {
    test::TestEnvironment env;
    Form1 player(env.services());
    player.mnuHelpWeb->trigger();
    player.mnuHelpMail->trigger();
    player.mnuHelpWeb->trigger();
    player.mnuHelpMail->trigger();
    const QUrl web(QStringLiteral(QUORVELA_WEBSITE));
    const QUrl mail(QStringLiteral("mailto:" QUORVELA_EMAIL "?subject=Quorvela"));
    QCOMPARE(env.shell.urls, (QList<QUrl>{web, mail, web, mail}));
    QVERIFY(env.dialogs.messages.isEmpty());
    QVERIFY(player.isEnabled());
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
