#include "audio/nullaudiooutput.h"
#include "info/form3.h"
#include "info/frmabout.h"
#include "player/form1.h"
#include "player/statusbar.h"
#include "preferences/form2.h"
#include "settings/colorvalue.h"
#include "support/audiofixtures.h"
#include "support/fakes.h"
#include "support/fixtures.h"
#include "support/widgetdriver.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include "common/localpath.h"
#include "settings/settingsstore.h"
#include "widgets/controlcolors.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace quorvela;

namespace {

// An output whose streams cannot start while told so: a sound server that is down or does not
// answer, as the window hears of it, later and through the event loop.
class RefusingOutput final : public NullAudioOutput {
public:
    QString refusal;

    quint64 start(const AudioFormat& format, DecodeAhead* source) override {
        if (refusal.isEmpty())
            return NullAudioOutput::start(format, source);
        stop();
        const quint64 stream = ++m_refused + 1'000'000;
        post([this, stream, reason = refusal] { emit failed(stream, reason); });
        return stream;
    }

private:
    quint64 m_refused = 0;
};

QString folderPrompt() {
    return QStringLiteral("Please select a folder with your MP3 files. After selecting a folder, "
                          "you will be able to easily play each file within it.");
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<Form1> window;

    Form1& open() {
        window = std::make_unique<Form1>(env->services());
        return *window;
    }

private slots:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() {
        window.reset();
        env.reset();
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        auto row = [](const char* name, const char* kind, const char* container,
                      const char* caption, int l, int t, int w, int h) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(kind)
                                << QString::fromUtf8(container) << QString::fromUtf8(caption)
                                << QRect(l, t, w, h);
        };
        row("File1", "quorvela::FileListBox", "client", "", 0, 480, 10335, 3015);
        row("Frame2", "QGroupBox", "client", "Internal Audio", 120, 3480, 4455, 2175);
        row("MediaPlayer1", "quorvela::MediaPlayer", "Frame2", "", 120, 1440, 4125, 615);
        row("lblTotalTime", "QLabel", "Frame2", "", 120, 480, 4095, 375);
        row("Label1", "QLabel", "Frame2", "", 120, 240, 4095, 375);
        row("lblElapsedTime", "QLabel", "Frame2", "00:00", 120, 840, 4095, 615);
        row("Frame1", "QGroupBox", "client", "Playlist", 4800, 3480, 5535, 2175);
        row("Command5", "QPushButton", "Frame1", "&Clear", 4440, 240, 975, 255);
        row("Command4", "QPushButton", "Frame1", "&Load", 3360, 240, 1095, 255);
        row("Command3", "QPushButton", "Frame1", "&Save", 2280, 240, 1095, 255);
        row("Command2", "QPushButton", "Frame1", "&Delete", 1200, 240, 1095, 255);
        row("Command1", "QPushButton", "Frame1", "&Add", 120, 240, 1095, 255);
        row("List1", "QListView", "Frame1", "", 120, 600, 5295, 1425);
        row("txtPath", "QLineEdit", "client", "", 1920, 0, 8415, 375);
        row("cmdBrowse", "QPushButton", "client", "&Folder to play:", 0, 0, 1695, 375);
        row("Dir2", "quorvela::DirListBox", "client", "", 4560, 2160, 255, 315);
        row("Dir1", "quorvela::DirListBox", "client", "", 0, 960, 1575, 1890);
        row("Label7", "QLabel", "client", "", 1920, 600, 2415, 255);
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, container);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        Form1& w = open();
        auto* control = w.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(QString::fromUtf8(control->metaObject()->className()), kind);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(control))
            text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(control))
            text = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(control))
            text = g->title();
        QCOMPARE(text, caption);
        // The window is not shown yet, so the size rule has not moved anything.
        const QRect px(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
        QCOMPARE(control->geometry(), px);
        QCOMPARE(control->isVisibleTo(&w), !name.startsWith(QLatin1String("Dir")));
    }

    void windowAndStatusBar() {
        Form1& w = open();
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorvela"));
        // The icon is drawn at 16 pixels, as the desktop's smallest place for it wants.
        QVERIFY(w.windowIcon().availableSizes().contains(QSize(16, 16)));
        // The client area below the menu bar holds the controls and the status bar.
        QCOMPARE(w.height() - w.menuBar()->sizeHint().height(), 7740 / 15);
        QCOMPARE(w.width(), 11190 / 15);
        QCOMPARE(w.StatusBar1->height(), 255 / 15);
        auto* bar = qobject_cast<StatusBar*>(w.StatusBar1);
        QVERIFY(bar);
        QCOMPARE(bar->panel(1)->text(), QStringLiteral("Quorvela v1.00"));
        QVERIFY(!bar->panel(2)->text().isEmpty());
        QVERIFY(!bar->panel(3)->text().isEmpty());
        QVERIFY(bar->panel(2)->minimumWidth() >= 1440 / 15);
        QCOMPARE(w.Timer1->interval(), 60);
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.lblElapsedTime->text(), QStringLiteral("00:00"));
        QVERIFY(w.Label1->text().isEmpty());
        QVERIFY(w.lblTotalTime->text().isEmpty());
        QCOMPARE(w.playlistModel()->rowCount(), 0);
        QVERIFY(w.txtPath->isReadOnly());
        QCOMPARE(w.txtPath->toolTip(), QStringLiteral("The folder where your MP3s are stored."));
        QCOMPARE(w.cmdBrowse->toolTip(),
                 QStringLiteral("Click to select a folder to play the MP3s in."));
        QVERIFY(w.Label7->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(w.File1->pattern(), QStringLiteral("*.mp3"));
    }

    void tabOrder() {
        Form1& w = open();
        const QStringList expected{"File1",    "cmdBrowse", "txtPath",  "List1",   "Command1",
                                   "Command2", "Command3",  "Command4", "Command5"};
        QStringList seen;
        QWidget* start = w.File1;
        QWidget* next = start;
        do {
            if (expected.contains(next->objectName()) && !seen.contains(next->objectName()))
                seen << next->objectName();
            next = next->nextInFocusChain();
        } while (next != start);
        QCOMPARE(seen, expected);
        for (QWidget* never : {static_cast<QWidget*>(w.Label1), static_cast<QWidget*>(w.Frame1),
                               static_cast<QWidget*>(w.lblElapsedTime)})
            QCOMPARE(never->focusPolicy(), Qt::NoFocus);
    }

    void menus() {
        Form1& w = open();
        const auto bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QStringLiteral("&File"));
        QCOMPARE(bar[1]->text(), QStringLiteral("&Tools"));
        QCOMPARE(bar[2]->text(), QStringLiteral("&Help"));
        auto texts = [](QMenu* m) {
            QStringList t;
            for (QAction* a : m->actions())
                t << (a->isSeparator() ? QStringLiteral("-") : a->text()) + QLatin1Char('/') +
                         a->objectName();
            return t;
        };
        QCOMPARE(texts(w.mnuFile),
                 (QStringList{"&Select Folder/mnuFileSelect", "&Open Playlist/mnuFilePlaylist",
                              "E&xit/mnuFileExit"}));
        QCOMPARE(texts(w.mnuTools), QStringList{"&Preferences/mnuToolsPref"});
        QCOMPARE(texts(w.mnuHelp),
                 (QStringList{"&Help/mnuHelpHelp", "&E-mail for help/mnuHelpMail",
                              "&Go to website/mnuHelpWeb", "-/ghjghj", "&About/mnuHelpAbout"}));
        QCOMPARE(w.mnuHelpHelp->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(w.mnuFile->objectName(), QStringLiteral("mnuFile"));
    }

    void keyboard() {
        Form1& w = open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Alt+F opens the File menu, not the button that shares the letter.
        int browsed = 0;
        connect(w.cmdBrowse, &QPushButton::clicked, this, [&] { ++browsed; });
        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(w.mnuFile->isVisible());
        w.mnuFile->close();
        QCOMPARE(browsed, 0);
        // F1 anywhere in the window opens Help.
        w.List1->setFocus();
        QTest::keyClick(w.List1, Qt::Key_F1);
        QTRY_VERIFY(w.helpWindow());
        QVERIFY(w.helpWindow()->isVisible());
    }

    void cancelledSaveChangesNothing() {
        Form1& w = open();
        w.playlistModel()->setStringList({"/a.mp3"});
        const QString folder = w.txtPath->text();
        w.Command3->click();
        QCOMPARE(w.playlistEntries(), QStringList{"/a.mp3"});
        QCOMPARE(w.txtPath->text(), folder);
        QVERIFY(env->dialogs.messages.isEmpty());
    }

    void firstRun() {
        Form1& w = open();
        QCOMPARE(w.txtPath->text(), Form1::defaultFolder());
        QCOMPARE(w.File1->path(), Form1::defaultFolder());
        QVERIFY(env->dialogs.messages.isEmpty());
        for (QWidget* c : {static_cast<QWidget*>(w.List1), static_cast<QWidget*>(w.File1),
                           static_cast<QWidget*>(w.txtPath)}) {
            QCOMPARE(foreColor(c), color::WindowText);
            QCOMPARE(backColor(c), color::WindowBackground);
        }
        w.close();
        QCOMPARE(env->stored(QStringLiteral("lastdir")), Form1::defaultFolder());
        QCOMPARE(env->stored(QStringLiteral("forec")), QStringLiteral("-2147483640"));
        QCOMPARE(env->stored(QStringLiteral("backc")), QStringLiteral("-2147483643"));
    }

    void rememberedValues_data() {
        QTest::addColumn<QString>("forec");
        QTest::addColumn<QString>("backc");
        QTest::addColumn<quint32>("fore");
        QTest::addColumn<quint32>("back");
        QTest::addColumn<QString>("savedFore");
        QTest::newRow("red on the system background")
            << "255"
            << "-2147483643" << quint32(0xFF) << quint32(0x80000005) << "255";
        QTest::newRow("blue on white")
            << "16711680"
            << "16777215" << quint32(0xFF0000) << quint32(0xFFFFFF) << "16711680";
        QTest::newRow("garbage falls back")
            << "bright red"
            << "-9999999999" << quint32(0x80000008) << quint32(0x80000005) << "-2147483640";
        QTest::newRow("not a colour falls back")
            << "16777216"
            << "-2147483000" << quint32(0x80000008) << quint32(0x80000005) << "-2147483640";
    }
    void rememberedValues() {
        QFETCH(QString, forec);
        QFETCH(QString, backc);
        QFETCH(quint32, fore);
        QFETCH(quint32, back);
        QFETCH(QString, savedFore);
        env->store(QStringLiteral("forec"), forec);
        env->store(QStringLiteral("backc"), backc);
        Form1& w = open();
        for (QWidget* c : {static_cast<QWidget*>(w.List1), static_cast<QWidget*>(w.File1),
                           static_cast<QWidget*>(w.txtPath)}) {
            QCOMPARE(foreColor(c), fore);
            QCOMPARE(backColor(c), back);
        }
        if (fore == 0xFF)
            QCOMPARE(w.List1->palette().color(QPalette::Text), QColor(Qt::red));
        w.close();
        QCOMPARE(env->stored(QStringLiteral("forec")), savedFore);
    }

    void emptyFolderPrompts() {
        env->store(QStringLiteral("lastdir"), QString());
        Form1& w = open();
        QCOMPARE(env->dialogs.messages.size(), 1);
        QCOMPARE(env->dialogs.messages[0].text,
                 QStringLiteral("Please Select a folder to play music from by pressing the "
                                "'Folder to play' button."));
        QCOMPARE(env->dialogs.messages[0].title, QStringLiteral("Quorvela"));
        QCOMPARE(w.txtPath->text(), Form1::defaultFolder());
        w.close();
        QCOMPARE(env->stored(QStringLiteral("lastdir")), Form1::defaultFolder());
    }

    void vanishedFolderIsKept() {
        const QString gone = env->tempPath(QStringLiteral("unplugged/Music/"));
        env->store(QStringLiteral("lastdir"), gone);
        Form1& w = open();
        QCOMPARE(w.txtPath->text(), gone);
        QCOMPARE(w.File1->count(), 0);
        QVERIFY(env->dialogs.messages.isEmpty());
        w.close();
        QCOMPARE(env->stored(QStringLiteral("lastdir")), gone);
    }

    void garbageSettingsFile() {
        static const char head[] = "\x00\xff[Settings\n=\n\x01lastdir\x02=\xfe\n";
        QByteArray garbage(head, sizeof head - 1);
        garbage.append(QByteArray(2000, '\xAB'));
        QVERIFY(test::writeFile(env->settingsFile(), garbage));
        Form1& w = open();
        QCOMPARE(foreColor(w.List1), color::WindowText);
        w.close();
        QCOMPARE(env->stored(QStringLiteral("backc")), QStringLiteral("-2147483643"));
    }

    void exitWithWindowsOpen() {
        Form1& w = open();
        w.show();
        w.mnuToolsPref->trigger();
        w.mnuHelpHelp->trigger();
        QVERIFY(w.preferencesWindow() && w.helpWindow());
        QSignalSpy exits(&w, &Form1::exitRequested);
        w.mnuFileExit->trigger();
        QCOMPARE(exits.size(), 1);
        QVERIFY(w.isUnloaded());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.preferencesWindow());
        QVERIFY(!w.helpWindow());
        QCOMPARE(env->stored(QStringLiteral("forec")), QStringLiteral("-2147483640"));
    }

    // Settings that cannot be written at exit are reported, naming the file and why, and the
    // program still ends.
    void unsavedSettingsAreReported_data() {
        QTest::addColumn<int>("blocker");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder in the file's place")
            << 0 << "A folder stands where the file should be.";
        QTest::newRow("a file in the folder's place")
            << 1 << "The folder %1 could not be made: Not a directory.";
        QTest::newRow("a read-only folder") << 2 << "Permission denied.";
    }
    void unsavedSettingsAreReported() {
        QFETCH(int, blocker);
        QFETCH(QString, reason);
        const QString file = env->settingsFile();
        const QString folder = QFileInfo(file).absolutePath();
        if (blocker == 2 && geteuid() == 0)
            QSKIP("A read-only folder does not stop the superuser.");
        QVERIFY(blocker == 0   ? QDir().mkpath(file)
                : blocker == 1 ? test::writeFile(folder, "not a folder")
                               : QDir().mkpath(folder) &&
                                     ::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        Form1& w = open();
        QSignalSpy exits(&w, &Form1::exitRequested);
        w.mnuFileExit->trigger();
        QCOMPARE(exits.size(), 1);
        QCOMPARE(env->dialogs.messages.size(), 1);
        QVERIFY(env->dialogs.messages[0].text.startsWith(
            QStringLiteral("The settings could not be saved to %1:\n%2\n")
                .arg(file, blocker == 1 ? reason.arg(folder) : reason)));
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    }

    // The window manager's close request while other windows of the program are open: the
    // sound and the clock stop with the player window, the settings are saved once, and the
    // program lives on until its last window closes.
    void closeStopsTheSound() {
        const QString dir = env->tempPath(QStringLiteral("music"));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/long.mp3"), 6.0));
        env->store(QStringLiteral("lastdir"), dir);
        const QString heard = env->tempPath(QStringLiteral("heard.wav"));
        const QByteArray output = qgetenv("QUORVELA_AUDIO_OUTPUT");
        qputenv("QUORVELA_AUDIO_OUTPUT", "wav:" + QFile::encodeName(heard));
        Form1& w = open();
        qputenv("QUORVELA_AUDIO_OUTPUT", output);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.mnuHelpHelp->trigger();
        w.mnuHelpAbout->trigger();
        w.mnuToolsPref->trigger();
        const QList<QPointer<QWidget>> others{w.helpWindow().data(), w.aboutBox().data(),
                                              w.preferencesWindow().data()};
        test::doubleClickRow(w.File1, 0);
        QTRY_VERIFY(w.MediaPlayer1->currentPosition() > 0.3);
        QVERIFY(w.Timer1->isActive());

        // What is heard ends within 50 ms of the request, or within the time the request
        // took to handle on a loaded machine.
        QElapsedTimer handling;
        handling.start();
        const double playedTo = w.MediaPlayer1->currentPosition();
        w.windowHandle()->close();
        const double allowed = std::max(0.05, handling.nsecsElapsed() / 1e9);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.MediaPlayer1->state(), MediaPlayer::State::Stopped);
        QVERIFY(!w.Timer1->isActive());
        const test::WavData atClose = test::readWav(heard);
        QVERIFY(atClose.valid);
        QVERIFY2(atClose.frames() <= (playedTo + allowed) * atClose.rate,
                 qPrintable(QString::number(double(atClose.frames()) / atClose.rate)));
        QCOMPARE(env->stored(QStringLiteral("lastdir")), dir);

        // Saved once: what the store holds now is not written over by anything that follows.
        env->store(QStringLiteral("lastdir"), QStringLiteral("/elsewhere"));
        QTest::qWait(300);
        QCOMPARE(test::readWav(heard).frames(), atClose.frames());
        // The program runs on while any of its windows is open, and ends with the last one.
        QStringList closed;
        for (int i = 0; i < others.size(); ++i) {
            QTimer::singleShot(50 * i, &w, [&closed, other = others.at(i)] {
                if (other && other->isVisible()) {
                    closed << other->objectName();
                    other->windowHandle()->close();
                }
            });
        }
        bool tooLong = false;
        QTimer::singleShot(5000, &w, [&tooLong] {
            tooLong = true;
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
        QCOMPARE(closed, (QStringList{"Form3", "frmAbout", "Form2"}));
        QVERIFY(!tooLong);
        w.close();
        QCOMPARE(env->stored(QStringLiteral("lastdir")), QStringLiteral("/elsewhere"));
    }

    void secondaryWindowsExistOnce() {
        Form1& w = open();
        w.mnuToolsPref->trigger();
        QPointer<Form2> first = w.preferencesWindow();
        w.mnuToolsPref->trigger();
        QCOMPARE(w.preferencesWindow(), first);
        int preferences = 0;
        for (QWidget* t : QApplication::topLevelWidgets())
            preferences += t->objectName() == QLatin1String("Form2") ? 1 : 0;
        QCOMPARE(preferences, 1);
        QVERIFY(!first->parentWidget());
        // Only one of them among the program's windows.
        first->close();
        QTRY_VERIFY(!first);
        w.mnuToolsPref->trigger();
        QVERIFY(w.preferencesWindow());
        w.mnuHelpAbout->trigger();
        auto about = w.aboutBox();
        w.mnuHelpAbout->trigger();
        QCOMPARE(w.aboutBox(), about);
        QVERIFY(!about->isModal());
    }

    void playFromFolderList() {
        const QString dir = env->tempPath(QStringLiteral("music"));
        const QString longName = QStringLiteral("An extraordinarily long song name.mp3");
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/a.mp3"), 0.5));
        QVERIFY(QFile::copy(dir + QStringLiteral("/a.mp3"), dir + QLatin1Char('/') + longName));
        QVERIFY(test::writeFile(dir + QStringLiteral("/broken.mp3"), "not audio at all"));
        env->store(QStringLiteral("lastdir"), dir);
        Form1& w = open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.File1->entries(), (QStringList{"a.mp3", longName, "broken.mp3"}));

        test::doubleClickRow(w.File1, 0);
        QCOMPARE(w.MediaPlayer1->fileName(), dir + QStringLiteral("/a.mp3"));
        QCOMPARE(w.Label1->text(), QStringLiteral("a.mp3"));

        test::doubleClickRow(w.File1, 1);
        QCOMPARE(w.Label1->text(), longName.left(27) + QStringLiteral("..."));
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:01"));

        // A file that cannot be played ends the action at the message: what played plays
        // on, and both labels keep what they showed.
        test::doubleClickRow(w.File1, 2);
        QCOMPARE(env->dialogs.messages.size(), 1);
        QCOMPARE(env->dialogs.messages[0].text, QStringLiteral("Error playing file!"));
        QCOMPARE(env->dialogs.messages[0].title, QStringLiteral("Quorvela"));
        QCOMPARE(w.Label1->text(), longName.left(27) + QStringLiteral("..."));
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:01"));
        QCOMPARE(w.MediaPlayer1->state(), MediaPlayer::State::Playing);
    }

    // When the sound cannot start, the message comes once the output says so, with the cause
    // beneath it, and every label goes back to what it showed: from the folder list and the
    // playlist alike.
    void aSoundThatCannotStartChangesNothing() {
        const QString dir = env->tempPath(QStringLiteral("music"));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/one.mp3"), 1.0));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/three.mp3"), 3.0));
        env->store(QStringLiteral("lastdir"), dir);
        auto output = std::make_unique<RefusingOutput>();
        RefusingOutput* device = output.get();
        env->engine().setAudioOutput(std::move(output));
        Form1& w = open();
        test::doubleClickRow(w.File1, 0);
        QTRY_VERIFY(w.MediaPlayer1->currentPosition() > 0.0);
        QCOMPARE(w.Label1->text(), QStringLiteral("one.mp3"));
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:01"));

        device->refusal = QStringLiteral("The sound server did not answer.");
        test::doubleClickRow(w.File1, 1);
        QTRY_COMPARE(env->dialogs.messages.size(), 1);
        const auto& message = env->dialogs.messages.last();
        QCOMPARE(message.text, QStringLiteral("Error playing file!"));
        QCOMPARE(message.informative, QStringLiteral("The sound server did not answer."));
        QCOMPARE(w.Label1->text(), QStringLiteral("one.mp3"));
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:01"));
        QCOMPARE(w.lblElapsedTime->text(), QStringLiteral("00:00"));
        QCOMPARE(w.MediaPlayer1->state(), MediaPlayer::State::Stopped);

        w.File1->setCurrentIndex(w.File1->model()->index(1, 0));
        w.Command1->click();
        test::doubleClickRow(w.List1, 0);
        QTRY_COMPARE(env->dialogs.messages.size(), 2);
        QCOMPARE(env->dialogs.messages.last().text,
                 QStringLiteral("File not found! (Or other error)"));
        QCOMPARE(env->dialogs.messages.last().informative,
                 QStringLiteral("The sound server did not answer."));
        QCOMPARE(w.Label1->text(), QStringLiteral("one.mp3"));
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:01"));
    }

    // A name that is not UTF-8 (a Latin-1 "é", as FAT drives and zip files keep it) is
    // listed, shown readably, played, added and remembered by its exact bytes, beside a UTF-8
    // name that reads the same, and in a folder whose own name is such.
    void namesThatAreNotUtf8_data() {
        QTest::addColumn<QByteArray>("folder");
        QTest::newRow("in a UTF-8 folder") << QByteArray("music");
        QTest::newRow("in a Latin-1 folder") << QByteArray("m\xfcsik");
    }
    void namesThatAreNotUtf8() {
        QFETCH(QByteArray, folder);
        const QString tone = env->tempPath(QStringLiteral("tone.mp3"));
        const QString junk = env->tempPath(QStringLiteral("junk.mp3"));
        QVERIFY(test::makeToneMp3(tone, 2.0) && test::writeFile(junk, "not audio"));
        const QByteArray bytes = QFile::encodeName(env->tempPath()) + '/' + folder;
        QVERIFY(::mkdir(bytes.constData(), 0755) == 0);
        const auto remove = qScopeGuard([&] { test::removeTree(bytes); });
        QVERIFY(test::copyFileTo(tone, bytes + "/caf\xe9.mp3"));
        QVERIFY(test::copyFileTo(junk, bytes + "/caf\xc3\xa9.mp3"));
        const QString dir = localPathFromBytes(bytes);
        const QString path = dir + QLatin1Char('/') + localPathFromBytes("caf\xe9.mp3");
        env->store(QStringLiteral("lastdir"), dir);
        Form1& w = open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.txtPath->text(), readablePath(dir));
        QCOMPARE(w.File1->count(), 2);
        const int row = int(w.File1->entries().indexOf(path.section(QLatin1Char('/'), -1)));
        QCOMPARE(w.File1->model()->index(row, 0).data().toString(), QStringLiteral("café.mp3"));

        test::doubleClickRow(w.File1, row);
        QCOMPARE(w.MediaPlayer1->fileName(), path);
        QCOMPARE(w.Label1->text(), QStringLiteral("café.mp3"));
        w.Command1->click();
        QCOMPARE(w.playlistEntries(), QStringList{path});
        const auto* shown = qobject_cast<QStyledItemDelegate*>(w.List1->itemDelegate());
        QCOMPARE(shown->displayText(path, {}), readablePath(path));
        w.MediaPlayer1->stop();
        test::doubleClickRow(w.List1, 0);
        QCOMPARE(w.MediaPlayer1->state(), MediaPlayer::State::Playing);
        QVERIFY(env->dialogs.messages.isEmpty());

        // Read back from the file, not from what this process remembers of it; a folder that
        // is valid text is stored as text, as before.
        w.close();
        const QString copy = env->tempPath(QStringLiteral("copy.ini"));
        QVERIFY(QFile::copy(env->settingsFile(), copy));
        QCOMPARE(SettingsStore(copy).read(QStringLiteral("Quor"), QStringLiteral("Settings"),
                                          QStringLiteral("lastdir"), {}),
                 dir);
        QFile ini(copy);
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll().contains("lastdir=@ByteArray("), hasForeignBytes(dir));
    }

    // A click on the position slider seeks to the point clicked, as the help page says; a
    // drag still seeks to where the handle is let go.
    void positionSliderGoesWhereClicked_data() {
        QTest::addColumn<bool>("drag");
        QTest::newRow("click") << false;
        QTest::newRow("drag") << true;
    }
    void positionSliderGoesWhereClicked() {
        QFETCH(bool, drag);
        const QString dir = env->tempPath(QStringLiteral("music"));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/long.mp3"), 120.0, 440, 22050, 1));
        env->store(QStringLiteral("lastdir"), dir);
        Form1& w = open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        test::doubleClickRow(w.File1, 0);
        QSlider* slider = w.MediaPlayer1->sldPosition;
        QTRY_VERIFY(slider->isEnabled());
        const QPoint middle = slider->rect().center();
        if (drag) {
            QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(3, middle.y()));
            QTest::mouseMove(slider, middle);
            QTest::mouseRelease(slider, Qt::LeftButton, {}, middle);
        } else {
            QTest::mouseClick(slider, Qt::LeftButton, {}, middle);
        }
        // Within a handle's width of the middle: a page step would have moved 30 s.
        QVERIFY(std::abs(w.MediaPlayer1->currentPosition() - 60.0) < 12.0);
    }

    void selectFolder_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("button") << false;
        QTest::newRow("menu") << true;
    }
    void selectFolder() {
        QFETCH(bool, fromMenu);
        const QString first = env->tempPath(QStringLiteral("one"));
        const QString second = env->tempPath(QStringLiteral("two"));
        QVERIFY(test::writeFile(first + QStringLiteral("/x.mp3"), "x"));
        QVERIFY(test::writeFile(second + QStringLiteral("/y.mp3"), "y"));
        env->store(QStringLiteral("lastdir"), first);
        Form1& w = open();
        auto choose = [&](const QString& answer) {
            env->dialogs.folders.push_back(answer);
            if (fromMenu)
                w.mnuFileSelect->trigger();
            else
                w.cmdBrowse->click();
        };
        w.lblElapsedTime->setText(QStringLiteral("01:23"));
        w.Label1->setText(QStringLiteral("x.mp3"));

        choose(QString()); // cancel
        QCOMPARE(env->dialogs.folderPrompts, QStringList{folderPrompt()});
        QCOMPARE(w.txtPath->text(), first);
        QCOMPARE(w.File1->entries(), QStringList{"x.mp3"});
        QCOMPARE(w.lblElapsedTime->text(), QStringLiteral("01:23"));

        QSignalSpy stops(w.MediaPlayer1, &MediaPlayer::playStateChange);
        choose(second);
        QCOMPARE(w.txtPath->text(), second);
        QCOMPARE(w.File1->path(), second);
        QCOMPARE(w.Dir1->path(), second);
        QCOMPARE(w.File1->entries(), QStringList{"y.mp3"});
        QCOMPARE(w.lblElapsedTime->text(), QStringLiteral("00:00"));
        QCOMPARE(w.MediaPlayer1->state(), MediaPlayer::State::Stopped);
        // The name shown stays as it was.
        QCOMPARE(w.Label1->text(), QStringLiteral("x.mp3"));

        w.lblElapsedTime->setText(QStringLiteral("00:07"));
        choose(second); // the same folder again still resets the clock
        QCOMPARE(w.lblElapsedTime->text(), QStringLiteral("00:00"));

        choose(QStringLiteral("/"));
        QCOMPARE(w.txtPath->text(), QStringLiteral("/"));
        QCOMPARE(w.Dir1->path(), QStringLiteral("/"));

        const QString gone = env->tempPath(QStringLiteral("gone"));
        choose(gone);
        QCOMPARE(env->dialogs.messages.size(), 1);
        QVERIFY(env->dialogs.messages[0].text.contains(gone));
        QCOMPARE(env->dialogs.messages[0].title, QStringLiteral("Quorvela"));
        QCOMPARE(w.txtPath->text(), QStringLiteral("/"));
        w.close();
        QCOMPARE(env->stored(QStringLiteral("lastdir")), QStringLiteral("/"));
    }

    // What a screen reader finds in the window: every control it can reach says what it is or
    // what it shows, and a control that shows a value gives that value too.
    void accessibleNames() {
        const QString dir = env->tempPath(QStringLiteral("music"));
        QVERIFY(test::makeToneMp3(dir + QStringLiteral("/tone.mp3"), 2.0));
        env->store(QStringLiteral("lastdir"), dir);
        Form1& w = open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        test::doubleClickRow(w.File1, 0);
        QTRY_COMPARE(w.lblElapsedTime->text(), QStringLiteral("00:01"));

        QStringList nameless;
        QHash<QString, QAccessibleInterface*> byName;
        const std::function<void(QAccessibleInterface*, const QString&)> walk =
            [&](QAccessibleInterface* node, const QString& path) {
                if (!node || node->state().invisible)
                    return;
                const QString name = node->text(QAccessible::Name);
                const QString where =
                    path + QLatin1Char('/') +
                    QString::fromUtf8(node->object() ? node->object()->metaObject()->className()
                                                     : "item") +
                    QLatin1Char(':') + name;
                // Containers only group what they hold; a label that shows nothing and does
                // nothing is passed over by screen readers.
                const QAccessible::Role role = node->role();
                const bool container =
                    role == QAccessible::Client || role == QAccessible::Pane ||
                    role == QAccessible::Separator || role == QAccessible::Window ||
                    role == QAccessible::MenuBar || role == QAccessible::StatusBar;
                const bool blank = role == QAccessible::StaticText && name.isEmpty() &&
                                   node->text(QAccessible::Description).isEmpty();
                if (name.trimmed().isEmpty() && !container && !blank)
                    nameless << where;
                if (node->object())
                    byName.insert(node->object()->objectName(), node);
                for (int i = 0; i < node->childCount(); ++i)
                    walk(node->child(i), where);
            };
        walk(QAccessible::queryAccessibleInterface(&w), QString());
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QLatin1Char('\n'))));

        auto* bar = qobject_cast<StatusBar*>(w.StatusBar1);
        const struct {
            const char* object;
            QString name;
            QString shown;
        } values[] = {
            {"Label1", "Now playing", "tone.mp3"},
            {"lblTotalTime", "Total time", "00:02"},
            {"lblElapsedTime", "Elapsed time", w.lblElapsedTime->text()},
            {"Panel2", "Date", bar->panel(2)->text()},
            {"Panel3", "Time", bar->panel(3)->text()},
        };
        for (const auto& value : values) {
            QAccessibleInterface* node = byName.value(QString::fromUtf8(value.object));
            QVERIFY2(node, value.object);
            QCOMPARE(node->text(QAccessible::Name), value.name);
            QCOMPARE(node->text(QAccessible::Description), value.shown);
        }
        QCOMPARE(byName.value(QStringLiteral("Panel1"))->text(QAccessible::Name),
                 QStringLiteral("Quorvela v1.00"));
    }

    void layoutFollowsTheWindow() {
        Form1& w = open();
        // The client area below the menu bar opens at its place; the window's frame, if any,
        // lies around it.
        QCOMPARE(w.geometry().topLeft(),
                 QPoint(2640 / 15, 1905 / 15 - w.menuBar()->sizeHint().height()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The first layout works from the client area in the frame it was designed for.
        QCOMPARE(w.outerSizeTwips(), QSize(11310, 8430));
        QCOMPARE(w.File1->height(), 4730 / 15);
        QVERIFY(w.Frame1->geometry().bottom() < w.StatusBar1->y() - w.menuBar()->height());
        w.layoutForOuterSize(11310, 8430);
        QCOMPARE(w.txtPath->width(), 9210 / 15);
        QCOMPARE(w.File1->width(), 11100 / 15);
        QCOMPARE(w.File1->height(), 4730 / 15);
        QCOMPARE(w.Frame1->y(), (w.File1->height() * 15 + 500) / 15);
        QCOMPARE(w.Frame2->y(), w.Frame1->y());
        QCOMPARE(w.Frame1->width(), 6310 / 15);
        QCOMPARE(w.List1->width(), w.Frame1->width() - 240 / 15);
        // What the rule leaves alone.
        QCOMPARE(w.Frame2->width(), 4455 / 15);
        QCOMPARE(w.Frame1->height(), 2175 / 15);
        QCOMPARE(w.cmdBrowse->geometry(), QRect(0, 0, 1695 / 15, 375 / 15));
        QCOMPARE(w.Command5->pos(), QPoint(4440 / 15, 240 / 15));

        // Too narrow: nothing changes.
        w.layoutForOuterSize(2000, 9000);
        QCOMPARE(w.txtPath->width(), 9210 / 15);
        QCOMPARE(w.File1->height(), 4730 / 15);

        // The real window's size drives the rule.
        w.resize(900, 600);
        const QSize outer = w.outerSizeTwips();
        QTRY_COMPARE(w.File1->width(), (outer.width() - 210) / 15);
        QCOMPARE(w.File1->height(), (outer.height() - 3700) / 15);

        const QRect before = w.File1->geometry();
        w.showMinimized();
        QCOMPARE(w.File1->geometry(), before);
        w.showNormal();
        QTRY_COMPARE(w.File1->width(), (w.outerSizeTwips().width() - 210) / 15);
    }
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
