#include "player/form1.h"

#include "audio/playbackengine.h"
#include "common/dialogs.h"
#include "common/formbuilder.h"
#include "common/localpath.h"
#include "common/resources.h"
#include "common/shell.h"
#include "common/shownvalue.h"
#include "common/twips.h"
#include "info/form3.h"
#include "info/frmabout.h"
#include "info/links.h"
#include "player/filedrop.h"
#include "player/focusmark.h"
#include "player/openitem.h"
#include "player/pickfolder.h"
#include "player/playedentry.h"
#include "player/playlistpanel.h"
#include "player/resizerule.h"
#include "player/statusbar.h"
#include "player/tracktext.h"
#include "preferences/form2.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "widgets/controlcolors.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTimer>

#include <initializer_list>
#include <utility>

namespace quorvela {

namespace {

using K = ControlKind;

// The player window's controls in the order they are created (twips).
constexpr ControlDef Form1Controls[] = {
    {"File1", K::Custom, nullptr, nullptr, 0, 480, 10335, 3015, 1},
    {"Frame2", K::Frame, nullptr, "Internal Audio", 120, 3480, 4455, 2175, 13},
    {"MediaPlayer1", K::Custom, "Frame2", nullptr, 120, 1440, 4125, 615, 17},
    {"lblTotalTime", K::Label, "Frame2", "", 120, 480, 4095, 375, 16},
    {"Label1", K::Label, "Frame2", "", 120, 240, 4095, 375, 15},
    {"lblElapsedTime", K::Label, "Frame2", "00:00", 120, 840, 4095, 615, 14},
    {"Frame1", K::Frame, nullptr, "Playlist", 4800, 3480, 5535, 2175, 6},
    {"Command5", K::Button, "Frame1", "&Clear", 4440, 240, 975, 255, 12},
    {"Command4", K::Button, "Frame1", "&Load", 3360, 240, 1095, 255, 11},
    {"Command3", K::Button, "Frame1", "&Save", 2280, 240, 1095, 255, 10},
    {"Command2", K::Button, "Frame1", "&Delete", 1200, 240, 1095, 255, 9},
    {"Command1", K::Button, "Frame1", "&Add", 120, 240, 1095, 255, 8},
    {"List1", K::ListBox, "Frame1", nullptr, 120, 600, 5295, 1425, 7},
    {"txtPath", K::TextBox, nullptr, "", 1920, 0, 8415, 375, 5},
    {"cmdBrowse", K::Button, nullptr, "&Folder to play:", 0, 0, 1695, 375, 3},
    {"Dir2", K::Custom, nullptr, nullptr, 4560, 2160, 255, 315, 2},
    {"Dir1", K::Custom, nullptr, nullptr, 0, 960, 1575, 1890, 0},
    {"Label7", K::Label, nullptr, "", 1920, 600, 2415, 255, 4},
};

struct MenuDef {
    const char* name;
    const char* caption; // "-" for a separator
    const char* menu;    // nullptr: on the menu bar
    const char* shortcut;
};

constexpr MenuDef Form1Menus[] = {
    {"mnuFile", "&File", nullptr, nullptr},
    {"mnuFileSelect", "&Select Folder", "mnuFile", nullptr},
    {"mnuFilePlaylist", "&Open Playlist", "mnuFile", nullptr},
    {"mnuFileExit", "E&xit", "mnuFile", nullptr},
    {"mnuTools", "&Tools", nullptr, nullptr},
    {"mnuToolsPref", "&Preferences", "mnuTools", nullptr},
    {"mnuHelp", "&Help", nullptr, nullptr},
    {"mnuHelpHelp", "&Help", "mnuHelp", "F1"},
    {"mnuHelpMail", "&E-mail for help", "mnuHelp", nullptr},
    {"mnuHelpWeb", "&Go to website", "mnuHelp", nullptr},
    {"ghjghj", "-", "mnuHelp", nullptr},
    {"mnuHelpAbout", "&About", "mnuHelp", nullptr},
};

// Where the client area of the window opens, and its size.
constexpr QRect InitialClientArea = twipsRect(2640, 1905, 11190, 7740);
// The frame the layout rule was drawn for, around the client area: its outer size is the
// client area's plus these.
constexpr int DesignFrameWidthTwips = 120;
constexpr int DesignFrameHeightTwips = 690;
constexpr int StatusBarHeightTwips = 255;
constexpr int InterruptedShownMs = 20000;

constexpr color::Value Black = 0x00000000;
constexpr color::Value White = 0x00FFFFFF;
constexpr color::Value Blue192 = 0x00C00000;

QFont displayFont(int points) {
    QFont font(QStringLiteral("MS Sans Serif"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void styleDisplayLabel(QLabel* label, color::Value text, int points) {
    setBackColor(label, Black);
    setForeColor(label, text);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(displayFont(points));
}

color::Value readColor(const SettingsStore& store, const QString& key, color::Value fallback) {
    const QString text =
        store.read(settings::Application, settings::Section, key, color::toText(fallback));
    return color::fromText(text).value_or(fallback);
}

} // namespace

Form1::Form1(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_playlist(new QStringListModel(this)),
      m_played(new PlayedEntry(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvela"));
    setWindowIcon(programIcon());
    createControls();
    createMenus();
    createStatusBar();

    // The client area below the menu bar holds the controls and the status bar. The window's
    // geometry leaves out the frame, so the client area opens at its place whatever frame the
    // window manager draws around it.
    const int menuHeight = menuBar()->sizeHint().height();
    setGeometry(InitialClientArea.adjusted(0, -menuHeight, 0, 0));

    applyRememberedColors();
    restoreFolder();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60);
    connect(Timer1, &QTimer::timeout, this, &Form1::showElapsedTime);
    Timer1->start();
    m_playlistPanel = new PlaylistPanel(this, m_services);
    connect(m_playlistPanel, &PlaylistPanel::entryStarted, m_played,
            [this](int row) { m_played->set(m_playlist, row); });
    m_opener = new ItemOpener(this, m_playlistPanel, m_services.dialogs);
    new FileDrop(this);
}

Form1::~Form1() {
    closeSecondaryWindows();
}

void Form1::playNeighbour(int row) {
    if (m_unloaded || row < 0)
        return;
    if (m_played->list() == m_playlist) {
        m_playlistPanel->playEntry(row);
        return;
    }
    const QModelIndex entry = File1->model()->index(row, 0);
    File1->selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
    File1->scrollTo(entry);
    playFromFolderList();
}

void Form1::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    const auto controls = buildForm(client, Form1Controls,
                                    [this](const ControlDef& def, QWidget* parent) -> QWidget* {
                                        const QByteArray name(def.name);
                                        if (name == "File1")
                                            return new FileListBox(parent);
                                        if (name == "MediaPlayer1")
                                            return new MediaPlayer(m_services.engine, parent);
                                        return new DirListBox(parent);
                                    });
    File1 = controlOf<FileListBox>(controls, "File1");
    Frame2 = controlOf<QGroupBox>(controls, "Frame2");
    MediaPlayer1 = controlOf<MediaPlayer>(controls, "MediaPlayer1");
    lblTotalTime = controlOf<QLabel>(controls, "lblTotalTime");
    Label1 = controlOf<QLabel>(controls, "Label1");
    lblElapsedTime = controlOf<QLabel>(controls, "lblElapsedTime");
    Frame1 = controlOf<QGroupBox>(controls, "Frame1");
    Command5 = controlOf<QPushButton>(controls, "Command5");
    Command4 = controlOf<QPushButton>(controls, "Command4");
    Command3 = controlOf<QPushButton>(controls, "Command3");
    Command2 = controlOf<QPushButton>(controls, "Command2");
    Command1 = controlOf<QPushButton>(controls, "Command1");
    List1 = controlOf<QListView>(controls, "List1");
    txtPath = controlOf<QLineEdit>(controls, "txtPath");
    cmdBrowse = controlOf<QPushButton>(controls, "cmdBrowse");
    Dir2 = controlOf<DirListBox>(controls, "Dir2");
    Dir1 = controlOf<DirListBox>(controls, "Dir1");
    Label7 = controlOf<QLabel>(controls, "Label7");

    setForeColor(File1, color::ButtonText);
    styleDisplayLabel(lblTotalTime, White, 12);
    styleDisplayLabel(Label1, White, 12);
    styleDisplayLabel(lblElapsedTime, Blue192, 24);
    // The name label overlaps the top of the total-time label; the time sits at the bottom
    // of its label so that it stays whole.
    lblTotalTime->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    setShownValueName(Label1, QStringLiteral("Now playing"));
    setShownValueName(lblTotalTime, QStringLiteral("Total time"));
    setShownValueName(lblElapsedTime, QStringLiteral("Elapsed time"));
    File1->setAccessibleName(QStringLiteral("MP3 files in the folder"));
    List1->setAccessibleName(QStringLiteral("Playlist"));
    txtPath->setAccessibleName(QStringLiteral("Folder to play"));

    new FocusMark(File1);
    new FocusMark(List1);

    List1->setModel(m_playlist);
    List1->setUniformItemSizes(true);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);

    txtPath->setReadOnly(true);
    txtPath->setToolTip(QStringLiteral("The folder where your MP3s are stored."));
    cmdBrowse->setToolTip(QStringLiteral("Click to select a folder to play the MP3s in."));
    // Alt+F belongs to the File menu; the button keeps its underlined F for the eye and is
    // reached by Tab or File > Select Folder.
    cmdBrowse->setShortcut(QKeySequence());

    // Label7 lies over the file list and must never hide it or take its clicks.
    Label7->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label7->lower();

    connect(cmdBrowse, &QPushButton::clicked, this, &Form1::selectFolder);
    connect(File1, &QAbstractItemView::activated, this, &Form1::playFromFolderList);
    connect(MediaPlayer1, &MediaPlayer::playStateChange, this, &Form1::showTotalTime);
    connect(&m_services.engine, &PlaybackEngine::sounding, this, [this] { m_pendingPlay.reset(); });
    connect(&m_services.engine, &PlaybackEngine::playFailed, this, &Form1::playFailed);
    // Sound that stops by itself, the device or the server gone, is said where the window
    // says what it is doing, without a box to answer.
    connect(&m_services.engine, &PlaybackEngine::interrupted, this, [this](const QString& why) {
        StatusBar1->showMessage(QStringLiteral("Playing stopped. %1").arg(why), InterruptedShownMs);
    });
}

void Form1::createMenus() {
    QHash<QByteArray, QMenu*> menus;
    for (const MenuDef& def : Form1Menus) {
        const QString name = QString::fromUtf8(def.name);
        const QString caption = QString::fromUtf8(def.caption);
        if (!def.menu) {
            QMenu* menu = menuBar()->addMenu(caption);
            menu->setObjectName(name);
            menus.insert(def.name, menu);
            continue;
        }
        QMenu* menu = menus.value(def.menu);
        QAction* action =
            caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
        action->setObjectName(name);
        if (def.shortcut) {
            action->setShortcut(QKeySequence(QString::fromUtf8(def.shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
    }
    mnuFile = menus.value("mnuFile");
    mnuTools = menus.value("mnuTools");
    mnuHelp = menus.value("mnuHelp");
    auto action = [this](const char* name) { return findChild<QAction*>(QString::fromUtf8(name)); };
    mnuFileSelect = action("mnuFileSelect");
    mnuFilePlaylist = action("mnuFilePlaylist");
    mnuFileExit = action("mnuFileExit");
    mnuToolsPref = action("mnuToolsPref");
    mnuHelpHelp = action("mnuHelpHelp");
    mnuHelpMail = action("mnuHelpMail");
    mnuHelpWeb = action("mnuHelpWeb");
    ghjghj = action("ghjghj");
    mnuHelpAbout = action("mnuHelpAbout");

    // The menu items that stand for a button run that button's action.
    connect(mnuFileSelect, &QAction::triggered, cmdBrowse, &QPushButton::click);
    connect(mnuFilePlaylist, &QAction::triggered, Command4, &QPushButton::click);
    connect(mnuFileExit, &QAction::triggered, this, &Form1::exitProgram);
    connect(mnuToolsPref, &QAction::triggered, this, &Form1::showPreferences);
    connect(mnuHelpHelp, &QAction::triggered, this, &Form1::showHelp);
    connect(mnuHelpMail, &QAction::triggered, this, &Form1::openMailLink);
    connect(mnuHelpWeb, &QAction::triggered, this, &Form1::openWebSite);
    connect(mnuHelpAbout, &QAction::triggered, this, &Form1::showAbout);
}

void Form1::createStatusBar() {
    StatusBar1 = new StatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(twipsToPixels(StatusBarHeightTwips));
    setStatusBar(StatusBar1);
}

QString Form1::defaultFolder() {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QDir(music).exists())
        return music;
    return QDir::homePath();
}

void Form1::applyRememberedColors() {
    const SettingsStore& store = m_services.settings;
    setListColors(readColor(store, settings::BackColor, color::WindowBackground),
                  readColor(store, settings::ForeColor, color::WindowText));
}

color::Value Form1::listBackColor() const {
    return backColor(List1);
}

color::Value Form1::listForeColor() const {
    return foreColor(List1);
}

void Form1::setListColors(color::Value back, color::Value fore) {
    // Once the window has closed it has already saved its colours; changing them now would be
    // lost, and its controls may be on their way out.
    if (m_unloaded)
        return;
    for (QWidget* control : std::initializer_list<QWidget*>{List1, File1, txtPath}) {
        setBackColor(control, back);
        setForeColor(control, fore);
    }
}

void Form1::restoreFolder() {
    const QString folder = m_services.settings.read(settings::Application, settings::Section,
                                                    settings::LastFolder, defaultFolder());
    if (folder.isEmpty()) {
        m_services.dialogs.message(this,
                                   QStringLiteral("Please Select a folder to play music from by "
                                                  "pressing the 'Folder to play' button."),
                                   QStringLiteral("Quorvela"), Dialogs::Icon::None);
        showFolder(defaultFolder());
    } else {
        showFolder(folder);
    }
    File1->setPattern(QStringLiteral("*.mp3"));
    // A remembered folder that has gone (an unplugged drive) is kept as it is: the list is
    // empty and the folder is saved back unchanged.
    Dir1->setPath(m_folder);
    File1->setPath(Dir1->path());
}

void Form1::showFolder(const QString& folder) {
    m_folder = folder;
    txtPath->setText(readablePath(folder));
}

void Form1::saveSettings() {
    SettingsStore& store = m_services.settings;
    const bool saved =
        store.save(settings::Application, settings::Section, settings::LastFolder, m_folder) &&
        store.save(settings::Application, settings::Section, settings::ForeColor,
                   color::toText(listForeColor())) &&
        store.save(settings::Application, settings::Section, settings::BackColor,
                   color::toText(listBackColor()));
    // Told now, while the user can still make room or fix the folder for the next time:
    // the program is on its way out.
    if (!saved) {
        qWarning("Quorvela: could not save the settings; the previous ones are kept.");
        m_services.dialogs.message(
            this,
            QStringLiteral("The settings could not be saved to %1:\n%2\n\nThe folder and "
                           "the colours of this session will not be remembered.")
                .arg(store.filePathFor(settings::Application), store.errorString()),
            QStringLiteral("Quorvela"), Dialogs::Icon::Critical);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        m_unloaded = true;
        // The player and its clock go with the window: another window of the program may
        // keep the process alive, and no control would be left to stop the sound.
        MediaPlayer1->stop();
        Timer1->stop();
        saveSettings();
    }
    QMainWindow::closeEvent(event);
}

void Form1::exitProgram() {
    close();
    closeSecondaryWindows();
    emit exitRequested();
    QCoreApplication::exit(0);
}

void Form1::closeSecondaryWindows() {
    // These windows save nothing of their own; they simply go with the program.
    delete m_form2.data();
    delete m_form3.data();
    delete m_about.data();
}

QStringList Form1::playlistEntries() const {
    return m_playlist->stringList();
}

void Form1::selectFolder() {
    const QString folder =
        PickFolder(m_services.dialogs, this,
                   QStringLiteral("Please select a folder with your MP3 files. After selecting a "
                                  "folder, you will be able to easily play each file within it."));
    if (folder.isEmpty())
        return;
    if (!chooseFolder(folder)) {
        m_services.dialogs.message(
            this, QStringLiteral("The folder \"%1\" cannot be opened.").arg(readablePath(folder)),
            QStringLiteral("Quorvela"), Dialogs::Icon::None);
    }
}

bool Form1::chooseFolder(const QString& given) {
    // Shown and remembered without "..", "." or doubled slashes ("quorvela .." names the
    // parent folder itself); bytes that are not UTF-8 stay as they are.
    const QString folder = QDir::cleanPath(given);
    // A folder that vanished or cannot be read is refused before anything changes, so the
    // list, the remembered folder and what is playing stay as they were.
    if (!DirListBox::canOpen(folder))
        return false;
    // The track stops, and the entries of another folder are no place to go on from.
    if (m_played->list() == File1->model())
        m_played->clear();
    showFolder(folder);
    File1->setPath(folder);
    Dir1->setPath(File1->path());
    MediaPlayer1->stop();
    showValue(lblElapsedTime, QStringLiteral("00:00"));
    return true;
}

void Form1::playFromFolderList() {
    const QString name = File1->fileName();
    if (!name.isEmpty())
        m_played->set(File1->model(), File1->currentIndex().row());
    (void)startPlaying(
        joinPath(Dir1->path(), name), nowPlayingCaption(readablePath(name)),
        {QStringLiteral("Error playing file!"), QStringLiteral("Quorvela"), Dialogs::Icon::None});
}

bool Form1::startPlaying(const QString& path, const QString& caption, const PlayFailure& failure) {
    PendingPlay pending{failure, Label1->text(), lblTotalTime->text()};
    m_pendingPlay.reset();
    if (!MediaPlayer1->setFileName(path) || !MediaPlayer1->play()) {
        // The file itself is at fault: the message says all there is to say.
        m_services.dialogs.message(this, failure.text, failure.title, failure.icon);
        return false;
    }
    m_pendingPlay = std::move(pending);
    showValue(Label1, caption);
    return true;
}

void Form1::playFailed(const QString& reason) {
    // A play the window started puts back what it changed; a resume or a seek from the
    // transport or the desktop's controls changed nothing here.
    PlayFailure failure{QStringLiteral("Error playing file!"), QStringLiteral("Quorvela"),
                        Dialogs::Icon::None};
    if (m_pendingPlay) {
        failure = m_pendingPlay->failure;
        showValue(Label1, m_pendingPlay->caption);
        showValue(lblTotalTime, m_pendingPlay->totalTime);
        m_pendingPlay.reset();
    }
    // The box waits for the user in an event loop of its own: shown from a queued call, it
    // never holds back the engine's later reports, which arrive meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, failure, reason] {
            m_services.dialogs.message(this, failure.text, failure.title, failure.icon, reason);
        },
        Qt::QueuedConnection);
}

void Form1::showElapsedTime() {
    showValue(lblElapsedTime, timeText(MediaPlayer1->currentPosition()));
}

void Form1::showTotalTime() {
    showValue(lblTotalTime, timeText(MediaPlayer1->duration()));
}

QSize Form1::outerSizeTwips() const {
    // Measured from the client area: a window manager's taller title bar must not push the
    // panels down under the status bar.
    const int clientHeight = height() - menuBar()->height();
    return {pixelsToTwips(width()) + DesignFrameWidthTwips,
            pixelsToTwips(clientHeight) + DesignFrameHeightTwips};
}

void Form1::layoutForOuterSize(int widthTwips, int heightTwips) {
    applyResizeRule({txtPath, File1, Frame1, Frame2, List1}, widthTwips, heightTwips,
                    isMinimized());
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const QSize outer = outerSizeTwips();
    layoutForOuterSize(outer.width(), outer.height());
}

void Form1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from the minimised state brings no size change of its own.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        const QSize outer = outerSizeTwips();
        layoutForOuterSize(outer.width(), outer.height());
    }
}

namespace {

// Shows a window that exists at most once: made on first use, shown again after.
template <typename Window, typename Make> void showOnce(QPointer<Window>& window, Make make) {
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void Form1::showPreferences() {
    showOnce(m_form2, [this] { return new Form2(this, m_services); });
}

void Form1::showHelp() {
    showOnce(m_form3, [this] { return new Form3(m_services); });
}

void Form1::showAbout() {
    showOnce(m_about, [this] { return new FrmAbout(m_services); });
}

void Form1::openWebSite() {
    OpenWebSite(m_services.shell, m_services.dialogs, this);
}

void Form1::openMailLink() {
    OpenMailLink(m_services.shell, m_services.dialogs, this);
}

} // namespace quorvela
