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
    test::ScriptedDialogs dialogs;
    OpenWebSite(shell, dialogs, nullptr);
    OpenMailLink(shell, dialogs, nullptr);
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

    // With no program to open it, each link says which program was missing.
    env.shell.openSucceeds = false;
    player.mnuHelpWeb->trigger();
    player.mnuHelpMail->trigger();
    QCOMPARE(env.dialogs.messages.size(), 2);
    QCOMPARE(env.dialogs.messages[0].text,
             QStringLiteral("The web site " QUORVELA_WEBSITE
                            " could not be opened: no program to open web pages was found."));
    QCOMPARE(env.dialogs.messages[1].text,
             QStringLiteral("An e-mail to " QUORVELA_EMAIL
                            " could not be started: no e-mail program was found."));
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
