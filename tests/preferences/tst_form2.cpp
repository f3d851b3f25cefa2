#include "player/form1.h"
#include "preferences/form2.h"
#include "settings/settingskeys.h"
#include "support/fakes.h"
#include "widgets/controlcolors.h"
#include "widgets/filelistbox.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <memory>
#include <optional>
#include <vector>

using namespace quorvela;
using quorvela::test::TestEnvironment;

using Answers = std::vector<std::optional<QColor>>;

namespace {

constexpr color::Value Red = 0x000000FF;
constexpr color::Value Green = 0x0000FF00;
constexpr color::Value Blue = 0x00FF0000;
constexpr color::Value Yellow = 0x0000FFFF;
constexpr color::Value Grey = 0x00808080;

QColor qcolor(color::Value v) {
    return color::resolve(v, QPalette());
}

// A player window with its own settings, and the Preferences window opened from its menu.
struct Fixture {
    Fixture() {
        env.store(settings::LastFolder, env.tempPath());
        player = std::make_unique<Form1>(env.services());
        player->show();
    }

    Form2* openPreferences() {
        player->mnuToolsPref->trigger();
        return player->preferencesWindow();
    }

    // The colours of the three controls that share the list colours.
    void setPlayerColors(color::Value listBack, color::Value listFore, color::Value othersBack,
                         color::Value othersFore) {
        setBackColor(player->List1, listBack);
        setForeColor(player->List1, listFore);
        for (QWidget* w :
             {static_cast<QWidget*>(player->File1), static_cast<QWidget*>(player->txtPath)}) {
            setBackColor(w, othersBack);
            setForeColor(w, othersFore);
        }
    }

    void verifyPlayerColors(color::Value back, color::Value fore) const {
        for (QWidget* w :
             {static_cast<QWidget*>(player->List1), static_cast<QWidget*>(player->File1),
              static_cast<QWidget*>(player->txtPath)}) {
            QCOMPARE(backColor(w), back);
            QCOMPARE(foreColor(w), fore);
        }
    }

    TestEnvironment env;
    std::unique_ptr<Form1> player;
};

bool windowGone(const Fixture& f) {
    return f.player->preferencesWindow().isNull();
}

} // namespace

Q_DECLARE_METATYPE(Answers)

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void windowIsFixedModelessAndPlaced() {
        Fixture f;
        Form2* prefs = f.openPreferences();
        QVERIFY(prefs);
        QVERIFY(prefs->isVisible());
        QCOMPARE(prefs->windowTitle(), QStringLiteral("Preferences"));
        QCOMPARE(prefs->parentWidget(), nullptr);
        QCOMPARE(prefs->windowModality(), Qt::NonModal);
        QCOMPARE(prefs->windowType(), Qt::Dialog);
        QVERIFY(!(prefs->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(prefs->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(prefs->windowFlags() & Qt::WindowCloseButtonHint);
        // 2295 x 1635 twips at 3915, 2610, at 15 twips a pixel.
        QCOMPARE(prefs->geometry(), QRect(261, 174, 153, 109));
        QCOMPARE(prefs->minimumSize(), QSize(153, 109));
        QCOMPARE(prefs->maximumSize(), QSize(153, 109));
        // The player stays usable beside it.
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(f.player->isEnabled());
    }

    void controls_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("pixels");

        QTest::newRow("Command1") << "QPushButton"
                                  << "Background Color:" << QRect(8, 8, 105, 25);
        QTest::newRow("Label1") << "QLabel"
                                << "" << QRect(120, 8, 25, 25);
        QTest::newRow("Command2") << "QPushButton"
                                  << "Text Color:" << QRect(8, 40, 105, 25);
        QTest::newRow("Label2") << "QLabel"
                                << "" << QRect(120, 40, 25, 25);
        QTest::newRow("Command3") << "QPushButton"
                                  << "OK" << QRect(32, 80, 49, 25);
        QTest::newRow("Command4") << "QPushButton"
                                  << "Cancel" << QRect(88, 80, 57, 25);
    }

    void controls() {
        QFETCH(QString, className);
        QFETCH(QString, caption);
        QFETCH(QRect, pixels);
        Fixture f;
        Form2* prefs = f.openPreferences();
        QWidget* control = prefs->findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control);
        QCOMPARE(control->metaObject()->className(), className.toLatin1());
        QCOMPARE(control->geometry(), pixels);
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            QCOMPARE(button->text(), caption);
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
            // The caption is not cut off by the button's frame, whatever the desktop font.
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = caption;
            const QRect inside =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            QVERIFY2(button->fontMetrics().horizontalAdvance(caption) <= inside.width(),
                     qPrintable(caption));
            QVERIFY(button->font().pointSizeF() >= 6.0);
        } else {
            auto* swatch = qobject_cast<QLabel*>(control);
            QCOMPARE(swatch->text(), caption);
            QCOMPARE(swatch->frameShape(), QFrame::Box);
            QCOMPARE(swatch->frameShadow(), QFrame::Plain);
            QCOMPARE(swatch->lineWidth(), 1);
        }
    }

    void tabOrder() {
        Fixture f;
        Form2* prefs = f.openPreferences();
        QStringList order;
        QWidget* w = prefs->Command1;
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                order.append(w->objectName());
            w = w->nextInFocusChain();
        } while (w != prefs->Command1 && order.size() < 10);
        QCOMPARE(order, (QStringList{"Command1", "Command2", "Command3", "Command4"}));
    }

    // The swatches start from the player's list colours, system colours shown as the colour
    // the desktop gives them and kept as their raw values; each colour dialog opens at what
    // its swatch shows, so that OK pressed as offered changes nothing.
    void loadsPlayerColors_data() {
        QTest::addColumn<color::Value>("back");
        QTest::addColumn<color::Value>("fore");
        QTest::newRow("plain") << Yellow << Blue;
        QTest::newRow("system") << color::WindowBackground << color::WindowText;
        QTest::newRow("button colours") << color::ButtonFace << color::ButtonText;
        QTest::newRow("black on white") << color::Value{0x00FFFFFF} << color::Value{0};
    }

    void loadsPlayerColors() {
        QFETCH(color::Value, back);
        QFETCH(color::Value, fore);
        Fixture f;
        f.setPlayerColors(back, fore, Grey, Grey);
        Form2* prefs = f.openPreferences();
        QCOMPARE(backColor(prefs->Label1), back);
        QCOMPARE(backColor(prefs->Label2), fore);
        const QPalette defaults = QApplication::palette(prefs->Label1);
        QCOMPARE(prefs->Label1->palette().color(QPalette::Window), color::resolve(back, defaults));
        QCOMPARE(prefs->Label2->palette().color(QPalette::Window), color::resolve(fore, defaults));
        QVERIFY(prefs->Label1->autoFillBackground());
        QTest::mouseClick(prefs->Command1, Qt::LeftButton);
        QTest::mouseClick(prefs->Command2, Qt::LeftButton);
        QCOMPARE(f.env.dialogs.colorStarts,
                 (QList<QColor>{color::resolve(back, defaults), color::resolve(fore, defaults)}));
    }

    // Each button picks for its own swatch; the last confirmed colour wins, a cancel or an
    // unusable answer keeps what was there, and the other swatch is never touched.
    void pickColor_data() {
        QTest::addColumn<bool>("background");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<color::Value>("expected");

        for (bool background : {true, false}) {
            const char* which = background ? "background" : "text";
            const color::Value start = background ? Yellow : Blue;
            QTest::addRow("%s: cancel", which) << background << Answers{std::nullopt} << start;
            QTest::addRow("%s: one pick", which) << background << Answers{qcolor(Red)} << Red;
            QTest::addRow("%s: pick then cancel", which)
                << background << Answers{qcolor(Red), std::nullopt} << Red;
            QTest::addRow("%s: twice", which)
                << background << Answers{qcolor(Red), qcolor(Green)} << Green;
            QTest::addRow("%s: invalid colour", which) << background << Answers{QColor()} << start;
            QTest::addRow("%s: alpha dropped", which)
                << background << Answers{QColor(0x12, 0x34, 0x56, 0x80)} << color::Value{0x563412};
        }
    }

    void pickColor() {
        QFETCH(bool, background);
        QFETCH(Answers, answers);
        QFETCH(color::Value, expected);
        Fixture f;
        f.setPlayerColors(Yellow, Blue, Yellow, Blue);
        Form2* prefs = f.openPreferences();
        QPushButton* button = background ? prefs->Command1 : prefs->Command2;
        QLabel* picked = background ? prefs->Label1 : prefs->Label2;
        QLabel* other = background ? prefs->Label2 : prefs->Label1;
        const color::Value otherStart = backColor(other);

        for (const auto& answer : answers) {
            f.env.dialogs.colors.push_back(answer);
            QTest::mouseClick(button, Qt::LeftButton);
        }

        QCOMPARE(f.env.dialogs.colorRequests, static_cast<int>(answers.size()));
        QCOMPARE(backColor(picked), expected);
        QCOMPARE(backColor(other), otherStart);
        QVERIFY(f.env.dialogs.messages.isEmpty());
        QVERIFY(prefs->isVisible());
        // Nothing reaches the player before OK.
        f.verifyPlayerColors(Yellow, Blue);
    }

    void cancelAndCloseApplyNothing_data() {
        QTest::addColumn<bool>("useCloseButton");
        QTest::newRow("Cancel") << false;
        QTest::newRow("close button") << true;
    }

    void cancelAndCloseApplyNothing() {
        QFETCH(bool, useCloseButton);
        Fixture f;
        f.setPlayerColors(Yellow, Blue, Grey, Green);
        Form2* prefs = f.openPreferences();
        f.env.dialogs.colors = {qcolor(Red), qcolor(Green)};
        QTest::mouseClick(prefs->Command1, Qt::LeftButton);
        QTest::mouseClick(prefs->Command2, Qt::LeftButton);

        if (useCloseButton)
            prefs->close();
        else
            QTest::mouseClick(prefs->Command4, Qt::LeftButton);

        QTRY_VERIFY(windowGone(f));
        QCOMPARE(backColor(f.player->List1), Yellow);
        QCOMPARE(foreColor(f.player->List1), Blue);
        for (QWidget* w :
             {static_cast<QWidget*>(f.player->File1), static_cast<QWidget*>(f.player->txtPath)}) {
            QCOMPARE(backColor(w), Grey);
            QCOMPARE(foreColor(w), Green);
        }

        // The next opening starts again from the player's colours.
        prefs = f.openPreferences();
        QCOMPARE(backColor(prefs->Label1), Yellow);
        QCOMPARE(backColor(prefs->Label2), Blue);
    }

    // OK hands the swatches to all three list controls, whatever File1 and txtPath had.
    void okApplies_data() {
        QTest::addColumn<color::Value>("listBack");
        QTest::addColumn<color::Value>("listFore");
        QTest::addColumn<Answers>("answers"); // background pick, then text pick
        QTest::addColumn<color::Value>("back");
        QTest::addColumn<color::Value>("fore");

        QTest::newRow("no pick mirrors the list")
            << Yellow << Blue << Answers{std::nullopt, std::nullopt} << Yellow << Blue;
        QTest::newRow("system colours round trip")
            << color::WindowBackground << color::WindowText << Answers{std::nullopt, std::nullopt}
            << color::WindowBackground << color::WindowText;
        QTest::newRow("both picked")
            << Yellow << Blue << Answers{qcolor(Red), qcolor(Green)} << Red << Green;
        QTest::newRow("only text picked")
            << color::WindowBackground << Blue << Answers{std::nullopt, qcolor(Red)}
            << color::WindowBackground << Red;
        QTest::newRow("black and white")
            << Yellow << Blue << Answers{QColor(Qt::black), QColor(Qt::white)} << color::Value{0}
            << color::Value{0x00FFFFFF};
    }

    void okApplies() {
        QFETCH(color::Value, listBack);
        QFETCH(color::Value, listFore);
        QFETCH(Answers, answers);
        QFETCH(color::Value, back);
        QFETCH(color::Value, fore);
        Fixture f;
        f.setPlayerColors(listBack, listFore, Grey, Grey);
        Form2* prefs = f.openPreferences();
        f.env.dialogs.colors = {answers.at(0), answers.at(1)};
        QTest::mouseClick(prefs->Command1, Qt::LeftButton);
        QTest::mouseClick(prefs->Command2, Qt::LeftButton);

        QTest::mouseClick(prefs->Command3, Qt::LeftButton);

        f.verifyPlayerColors(back, fore);
        QTRY_VERIFY(windowGone(f));
        // What the controls show follows the raw values.
        const QPalette defaults = QApplication::palette(f.player->File1);
        QCOMPARE(f.player->File1->palette().color(QPalette::Base), color::resolve(back, defaults));
        QCOMPARE(f.player->txtPath->palette().color(QPalette::Text),
                 color::resolve(fore, QApplication::palette(f.player->txtPath)));
    }

    void reopeningKeepsTheSameWindow() {
        Fixture f;
        f.setPlayerColors(Yellow, Blue, Yellow, Blue);
        Form2* prefs = f.openPreferences();
        f.env.dialogs.colors = {qcolor(Red)};
        QTest::mouseClick(prefs->Command1, Qt::LeftButton);
        // A change in the player meanwhile does not reach the open window.
        f.setPlayerColors(Grey, Grey, Grey, Grey);

        QCOMPARE(f.openPreferences(), prefs);

        QCOMPARE(backColor(prefs->Label1), Red);
        QCOMPARE(backColor(prefs->Label2), Blue);
        QVERIFY(prefs->isVisible());
    }

    // The player keeps the colours to itself until it closes, and then remembers them.
    void okColoursAreStoredWhenThePlayerCloses() {
        Fixture f;
        Form2* prefs = f.openPreferences();
        f.env.dialogs.colors = {qcolor(Red), qcolor(Green)};
        QTest::mouseClick(prefs->Command1, Qt::LeftButton);
        QTest::mouseClick(prefs->Command2, Qt::LeftButton);
        QTest::mouseClick(prefs->Command3, Qt::LeftButton);
        QCOMPARE(f.env.stored(settings::BackColor), QStringLiteral("<missing>"));
        QCOMPARE(f.env.stored(settings::ForeColor), QStringLiteral("<missing>"));

        QVERIFY(f.player->close());

        QCOMPARE(f.env.stored(settings::BackColor), color::toText(Red));
        QCOMPARE(f.env.stored(settings::ForeColor), color::toText(Green));
    }

    // Once the player has closed (and saved), OK changes nothing and still closes the window.
    void okAfterThePlayerClosed() {
        Fixture f;
        f.setPlayerColors(Yellow, Blue, Yellow, Blue);
        QPointer<Form2> prefs = f.openPreferences();
        f.env.dialogs.colors = {qcolor(Red), qcolor(Green)};
        QTest::mouseClick(prefs->Command1, Qt::LeftButton);
        QTest::mouseClick(prefs->Command2, Qt::LeftButton);
        QVERIFY(f.player->close());
        QVERIFY(f.player->isUnloaded());
        QVERIFY(prefs->isVisible());

        QTest::mouseClick(prefs->Command3, Qt::LeftButton);

        QTRY_VERIFY(prefs.isNull());
        f.verifyPlayerColors(Yellow, Blue);
        QCOMPARE(f.env.stored(settings::BackColor), color::toText(Yellow));
        QCOMPARE(f.env.stored(settings::ForeColor), color::toText(Blue));
    }

    void okAfterThePlayerIsGone() {
        TestEnvironment env;
        env.store(settings::LastFolder, env.tempPath());
        auto* player = new Form1(env.services());
        QPointer<Form2> prefs = new Form2(player, env.services());
        prefs->show();
        delete player;
        QVERIFY(prefs);

        QTest::mouseClick(prefs->Command3, Qt::LeftButton);

        QTRY_VERIFY(prefs.isNull());
    }

    // Enter and Escape neither confirm nor cancel, wherever the focus is.
    void enterAndEscapeDoNothing_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        for (const char* focus : {"Command1", "Command2", "Command3", "Command4"}) {
            QTest::addRow("%s Return", focus) << focus << int(Qt::Key_Return);
            QTest::addRow("%s Enter", focus) << focus << int(Qt::Key_Enter);
            QTest::addRow("%s Escape", focus) << focus << int(Qt::Key_Escape);
        }
    }

    void enterAndEscapeDoNothing() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        Fixture f;
        f.setPlayerColors(Yellow, Blue, Grey, Grey);
        QPointer<Form2> prefs = f.openPreferences();
        prefs->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(prefs));
        auto* target = prefs->findChild<QPushButton*>(focus);
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);
        f.env.dialogs.colors = {qcolor(Red), qcolor(Red)};

        QTest::keyClick(target, static_cast<Qt::Key>(key));
        QTest::qWait(20);

        QVERIFY(prefs);
        QVERIFY(prefs->isVisible());
        QCOMPARE(f.env.dialogs.colorRequests, 0);
        QCOMPARE(backColor(f.player->File1), Grey);
        QCOMPARE(backColor(prefs->Label1), Yellow);
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
