#include "info/frmabout.h"
#include "player/form1.h"
#include "support/fakes.h"
#include "support/registrytext.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvela;

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void window();
    void controls_data();
    void controls();
    void tabOrder();
    void closes_data();
    void closes();
    void openedOnceFromTheMenu();
    void systemInfoKeepsTheBoxOpen_data();
    void systemInfoKeepsTheBoxOpen();
};

void TestAbout::window() {
    test::TestEnvironment env;
    FrmAbout box(env.services());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(box.windowTitle(), QStringLiteral("About Quorvela"));
    QCOMPARE(box.geometry(), QRect(156, 129, 382, 237));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!box.windowIcon().isNull());
    QVERIFY(!box.isModal());
    QVERIFY(box.cmdOK->isDefault());
    QCOMPARE(box.picIcon->pixmap().size(), QSize(16, 16));
}

void TestAbout::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // pixels: twips / 15
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blackText");
    QTest::newRow("picIcon") << "picIcon" << QRect(16, 16, 20, 20) << QString() << false;
    QTest::newRow("lblTitle") << "lblTitle" << QRect(72, 16, 259, 32) << "Quorvela" << true;
    QTest::newRow("lblVersion") << "lblVersion" << QRect(70, 52, 259, 15) << "Version 1.00"
                                << false;
    QTest::newRow("lblDescription")
        << "lblDescription" << QRect(70, 75, 259, 78)
        << "Quorvela is a free MP3 player made by the Quorvela developers.  "
           "libmpg123 and PulseAudio are utilised to play music."
        << true;
    QTest::newRow("lblDisclaimer") << "lblDisclaimer" << QRect(17, 175, 258, 55)
                                   << "Copyright \u00A9 2026 the Quorvela developers" << true;
    QTest::newRow("cmdOK") << "cmdOK" << QRect(283, 175, 84, 23) << "OK" << false;
    QTest::newRow("cmdSysInfo") << "cmdSysInfo" << QRect(284, 205, 83, 23) << "&System Info..."
                                << false;
    QTest::newRow("grey line") << "Line1_1" << QRect(6, 163, 370, 1) << QString() << false;
    QTest::newRow("white line") << "Line1_0" << QRect(7, 164, 369, 2) << QString() << false;
}

void TestAbout::controls() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, blackText);
    test::TestEnvironment env;
    FrmAbout box(env.services());
    auto* control = box.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        if (blackText)
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), text);
    }
    if (name == QLatin1String("Line1_1"))
        QCOMPARE(control->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
    if (name == QLatin1String("Line1_0"))
        QCOMPARE(control->palette().color(QPalette::Window), QColor(Qt::white));
}

void TestAbout::tabOrder() {
    test::TestEnvironment env;
    FrmAbout box(env.services());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.focusWidget(), box.cmdOK);
    QCOMPARE(box.cmdOK->nextInFocusChain(), box.cmdSysInfo);
    QTest::keyClick(&box, Qt::Key_Tab);
    QCOMPARE(box.focusWidget(), box.cmdSysInfo);
    QTest::keyClick(&box, Qt::Key_Tab);
    QCOMPARE(box.focusWidget(), box.cmdOK);
}

void TestAbout::closes_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "OK";
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("Return") << "Return";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("close button") << "close";
}

void TestAbout::closes() {
    QFETCH(QString, how);
    test::TestEnvironment env;
    QPointer<FrmAbout> box = new FrmAbout(env.services());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    if (how == QLatin1String("OK"))
        QTest::mouseClick(box->cmdOK, Qt::LeftButton);
    else if (how == QLatin1String("Enter"))
        QTest::keyClick(box, Qt::Key_Enter);
    else if (how == QLatin1String("Return"))
        QTest::keyClick(box, Qt::Key_Return);
    else if (how == QLatin1String("Escape"))
        QTest::keyClick(box, Qt::Key_Escape);
    else
        box->close();
    QTRY_VERIFY(box.isNull());
    QVERIFY(env.dialogs.messages.isEmpty());
    QVERIFY(env.shell.started.isEmpty());
}

void TestAbout::openedOnceFromTheMenu() {
    test::TestEnvironment env;
    Form1 player(env.services());
    player.mnuHelpAbout->trigger();
    const QPointer<FrmAbout> box = player.aboutBox();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(!box->parent());
    player.mnuHelpAbout->trigger();
    QCOMPARE(player.aboutBox(), box);
    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_VERIFY(box.isNull());
    QVERIFY(player.isVisible() || !player.isUnloaded());
}

void TestAbout::systemInfoKeepsTheBoxOpen_data() {
    QTest::addColumn<bool>("toolRecorded");
    QTest::newRow("tool started") << true;
    QTest::newRow("tool unavailable") << false;
}

void TestAbout::systemInfoKeepsTheBoxOpen() {
    QFETCH(bool, toolRecorded);
    const QByteArray text = toolRecorded ? QByteArray("[HKLM\\SOFTWARE\\Microsoft\\Shared "
                                                      "Tools\\MSINFO]\nPATH = sz:/opt/info/tool\n")
                                         : QByteArray();
    auto store = test::RegistryText::fromText(text);
    QVERIFY(store);
    test::TestEnvironment env;
    FrmAbout box(env.services());
    box.setRegistryStore(store.get());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    // It can be used again and again; nothing is kept between uses.
    QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
    QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
    QCOMPARE(env.shell.started.size(), toolRecorded ? 2 : 0);
    QCOMPARE(env.dialogs.messages.size(), toolRecorded ? 0 : 2);
    if (toolRecorded)
        QCOMPARE(env.shell.started.first(), QStringLiteral("/opt/info/tool"));
    QVERIFY(box.isVisible());
    box.setRegistryStore(nullptr);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
