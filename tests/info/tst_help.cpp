#include "info/form3.h"
#include "info/helpbrowser.h"
#include "player/form1.h"
#include "support/fakes.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

using namespace quorvela;

namespace {

// A browser whose navigation request cannot be made.
class RefusingBrowser final : public HelpBrowser {
public:
    using HelpBrowser::HelpBrowser;
    bool navigate(const QString&) override { return false; }
};

QByteArray page(const char* marker) {
    return QByteArray("<html><body><h1>") + marker +
           "</h1><p><a href=\"second.htm\">next</a> <a href=\"https://example.org/x\">web</a> "
           "<a href=\"mailto:someone@example.org\">mail</a></p></body></html>";
}

QString shownText(const Form3& window) {
    return window.WebBrowser1->toPlainText();
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void pageBesideTheProgramFromAnotherFolder();
    void fallsBackToTheDataFolder();
    void doubledSeparatorStillShowsThePage();
    void missingPageStillOpens();
    void failedNavigationReportsAndOpens();
    void failedCreationShowsNoWindow();
    void openingAgainDoesNotReload();
    void browserFillsTheWindow();
    void linksOpenInTheirPlace();
    void builtProgramHasItsHelpPage();
    void helpPageLinksResolve();
};

void TestHelp::cleanup() {
    Form3::setHelpFolders({});
    Form3::setBrowserFactory({});
}

void TestHelp::pageBesideTheProgramFromAnotherFolder() {
    const QString programPage =
        QCoreApplication::applicationDirPath() + QStringLiteral("/help.htm");
    QVERIFY2(!QFile::exists(programPage), "a help.htm was left beside the test program");
    QVERIFY(test::writeFile(programPage, page("beside the program")));
    QTemporaryDir elsewhere;
    QVERIFY(
        test::writeFile(elsewhere.filePath(QStringLiteral("help.htm")), page("working folder")));
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());

    test::TestEnvironment env;
    Form3 window(env.services());
    const QString text = shownText(window);
    const QUrl source = window.WebBrowser1->source();

    QDir::setCurrent(oldCurrent);
    QFile::remove(programPage);
    QVERIFY2(text.contains(QStringLiteral("beside the program")), qPrintable(text));
    QCOMPARE(source, QUrl::fromLocalFile(programPage));
    QVERIFY(env.dialogs.messages.isEmpty());
}

void TestHelp::fallsBackToTheDataFolder() {
    QTemporaryDir program;
    QTemporaryDir data;
    QVERIFY(test::writeFile(data.filePath(QStringLiteral("help.htm")), page("installed")));
    Form3::setHelpFolders({program.path(), data.path()});
    QCOMPARE(Form3::helpPageLocation(), data.path() + QStringLiteral("/help.htm"));

    // Once a page stands beside the program, that one wins.
    QVERIFY(test::writeFile(program.filePath(QStringLiteral("help.htm")), page("beside")));
    QCOMPARE(Form3::helpPageLocation(), program.path() + QStringLiteral("/help.htm"));
    test::TestEnvironment env;
    Form3 window(env.services());
    QVERIFY(shownText(window).contains(QStringLiteral("beside")));
}

void TestHelp::doubledSeparatorStillShowsThePage() {
    QTemporaryDir program;
    QVERIFY(test::writeFile(program.filePath(QStringLiteral("help.htm")), page("at the root")));
    // A folder given with separators doubled, as a program at the root of the file system
    // would have it, still names the same file.
    const QString folder = QLatin1Char('/') + program.path() + QLatin1Char('/');
    Form3::setHelpFolders({folder});
    QCOMPARE(Form3::helpPageLocation(), folder + QStringLiteral("/help.htm"));
    test::TestEnvironment env;
    Form3 window(env.services());
    QVERIFY2(shownText(window).contains(QStringLiteral("at the root")),
             qPrintable(shownText(window)));
}

void TestHelp::missingPageStillOpens() {
    QTemporaryDir program;
    QTemporaryDir data;
    Form3::setHelpFolders({program.path(), data.path()});
    test::TestEnvironment env;
    Form3 window(env.services());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(env.dialogs.messages.isEmpty());
    const QString text = shownText(window);
    QVERIFY2(text.contains(QStringLiteral("Help page not found")), qPrintable(text));
    // The place named is the first one looked in: beside the program.
    QVERIFY2(text.contains(program.path() + QStringLiteral("/help.htm")), qPrintable(text));
}

void TestHelp::failedNavigationReportsAndOpens() {
    Form3::setBrowserFactory(
        [](Shell& shell, QWidget* parent) { return new RefusingBrowser(shell, parent); });
    test::TestEnvironment env;
    Form3 window(env.services());
    QCOMPARE(env.dialogs.messages.size(), 1);
    QCOMPARE(env.dialogs.messages.first().text, QStringLiteral("Error!"));
    QCOMPARE(env.dialogs.messages.first().title, QStringLiteral("Error!"));
    QCOMPARE(env.dialogs.messages.first().icon, Dialogs::Icon::Critical);
    window.show();
    QVERIFY(window.isVisible());
    QVERIFY(window.WebBrowser1->toPlainText().isEmpty());
}

void TestHelp::failedCreationShowsNoWindow() {
    Form3::setBrowserFactory([](Shell&, QWidget*) { return nullptr; });
    test::TestEnvironment env;
    Form1 player(env.services());
    player.mnuHelpHelp->trigger();
    QCOMPARE(env.dialogs.messages.size(), 1);
    QCOMPARE(env.dialogs.messages.first().text,
             QStringLiteral("You need Qt Widgets 6.4 or above to use help! Try e-mailing me"));
    QCOMPARE(env.dialogs.messages.first().title, QStringLiteral("Error!"));
    QCOMPARE(env.dialogs.messages.first().icon, Dialogs::Icon::Critical);
    QTRY_VERIFY(player.helpWindow().isNull());

    // The next Help command tries again, and succeeds once the browser can be made.
    Form3::setBrowserFactory({});
    player.mnuHelpHelp->trigger();
    QVERIFY(player.helpWindow());
    QVERIFY(player.helpWindow()->isVisible());
    QCOMPARE(env.dialogs.messages.size(), 1);
    player.helpWindow()->close();
}

void TestHelp::openingAgainDoesNotReload() {
    QTemporaryDir program;
    QVERIFY(test::writeFile(program.filePath(QStringLiteral("help.htm")), page("first")));
    QVERIFY(test::writeFile(program.filePath(QStringLiteral("second.htm")), page("second")));
    Form3::setHelpFolders({program.path()});
    test::TestEnvironment env;
    Form1 player(env.services());
    player.mnuHelpHelp->trigger();
    const QPointer<Form3> window = player.helpWindow();
    QVERIFY(window);
    emit window->WebBrowser1->anchorClicked(
        QUrl::fromLocalFile(program.filePath(QStringLiteral("second.htm"))));
    QVERIFY(shownText(*window).contains(QStringLiteral("second")));

    player.mnuHelpHelp->trigger();
    QCOMPARE(player.helpWindow(), window);
    QVERIFY(shownText(*window).contains(QStringLiteral("second")));
    QVERIFY(window->WebBrowser1->isBackwardAvailable());

    // Closed and opened again, it starts afresh.
    window->close();
    QTRY_VERIFY(window.isNull());
    player.mnuHelpHelp->trigger();
    QVERIFY(player.helpWindow());
    QVERIFY(shownText(*player.helpWindow()).contains(QStringLiteral("first")));
    player.helpWindow()->close();
}

void TestHelp::browserFillsTheWindow() {
    test::TestEnvironment env;
    Form3 window(env.services());
    QCOMPARE(window.windowTitle(), QStringLiteral("Help"));
    QVERIFY(!window.windowIcon().isNull());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(463, 363));
    QCOMPARE(window.WebBrowser1->geometry(), window.rect());
    for (const QSize size : {QSize(640, 480), QSize(120, 90), QSize(900, 200)}) {
        window.resize(size);
        QTRY_COMPARE(window.WebBrowser1->geometry(), QRect(QPoint(0, 0), size));
    }
}

void TestHelp::linksOpenInTheirPlace() {
    QTemporaryDir program;
    QVERIFY(test::writeFile(program.filePath(QStringLiteral("help.htm")), page("first")));
    QVERIFY(test::writeFile(program.filePath(QStringLiteral("second.htm")), page("second")));
    Form3::setHelpFolders({program.path()});
    test::TestEnvironment env;
    Form3 window(env.services());
    HelpBrowser* browser = window.WebBrowser1;
    const QUrl first = browser->source();

    emit browser->anchorClicked(QUrl(QStringLiteral("https://example.org/x")));
    emit browser->anchorClicked(QUrl(QStringLiteral("mailto:someone@example.org")));
    QCOMPARE(env.shell.urls, (QList<QUrl>{QUrl(QStringLiteral("https://example.org/x")),
                                          QUrl(QStringLiteral("mailto:someone@example.org"))}));
    QCOMPARE(browser->source(), first);

    // A page that is not there is reported in the browser, not handed to the desktop.
    emit browser->anchorClicked(QUrl::fromLocalFile(program.filePath(QStringLiteral("gone.htm"))));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Help page not found")));
    QCOMPARE(env.shell.urls.size(), 2);
}

void TestHelp::builtProgramHasItsHelpPage() {
    QFile built(QStringLiteral(QUORVELA_BINARY_DIR "/src/help.htm"));
    QFile source(QStringLiteral(QUORVELA_SOURCE_DIR "/data/help.htm"));
    QVERIFY(built.open(QIODevice::ReadOnly));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(built.readAll(), source.readAll());
}

void TestHelp::helpPageLinksResolve() {
    Form3::setHelpFolders({QStringLiteral(QUORVELA_SOURCE_DIR "/data")});
    test::TestEnvironment env;
    Form3 window(env.services());
    const QTextDocument* document = window.WebBrowser1->document();
    QVERIFY(document->toPlainText().contains(QStringLiteral("Quorvela Help")));

    QSet<QString> anchors;
    QStringList links;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            for (const QString& name : format.anchorNames())
                anchors.insert(name);
            if (format.isAnchor() && !format.anchorHref().isEmpty())
                links.append(format.anchorHref());
        }
    }
    QVERIFY(links.size() > 10);
    for (const QString& link : links) {
        QVERIFY2(link.startsWith(QLatin1Char('#')), qPrintable(link));
        QVERIFY2(anchors.contains(link.mid(1)), qPrintable(link));
    }
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
