#pragma once

#include "common/dialogs.h"
#include "common/services.h"
#include "preferences/form2.h"

#include <QMainWindow>
#include <QPointer>

#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QStatusBar;
class QStringListModel;
class QTimer;

namespace quorvela {

class DirListBox;
class FileListBox;
class Form3;
class FrmAbout;
class ItemOpener;
class MediaPlayer;
class PlayedEntry;
class PlaylistPanel;

// The player window: the folder line, the folder's MP3 files, the "Internal Audio" panel with
// the media player and its clocks, the "Playlist" panel, a status bar and the menus. Its list
// colours are those of List1, File1 and txtPath alike.
class Form1 : public QMainWindow, public ListColors {
    Q_OBJECT
public:
    explicit Form1(Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // The filter of the playlist open and save dialogs.
    static constexpr const char* PlaylistFilter = "Playlists (*.m3u, *.pls)|*.m3u;*.pls|";

    // Controls, by the names they carry as objectName too.
    FileListBox* File1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    MediaPlayer* MediaPlayer1 = nullptr;
    QLabel* lblTotalTime = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblElapsedTime = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    QListView* List1 = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdBrowse = nullptr;
    DirListBox* Dir2 = nullptr;
    QTimer* Timer1 = nullptr;
    DirListBox* Dir1 = nullptr;
    QLabel* Label7 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileSelect = nullptr;
    QAction* mnuFilePlaylist = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuToolsPref = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHelp = nullptr;
    QAction* mnuHelpMail = nullptr;
    QAction* mnuHelpWeb = nullptr;
    QAction* ghjghj = nullptr;
    QAction* mnuHelpAbout = nullptr;

    // The playlist's entries, in order.
    [[nodiscard]] QStringList playlistEntries() const;
    [[nodiscard]] QStringListModel* playlistModel() const { return m_playlist; }

    [[nodiscard]] color::Value listBackColor() const override;
    [[nodiscard]] color::Value listForeColor() const override;
    void setListColors(color::Value back, color::Value fore) override;

    // True once the window has been closed; the settings have then been saved.
    [[nodiscard]] bool isUnloaded() const { return m_unloaded; }

    [[nodiscard]] QPointer<Form2> preferencesWindow() const { return m_form2; }
    [[nodiscard]] QPointer<Form3> helpWindow() const { return m_form3; }
    [[nodiscard]] QPointer<FrmAbout> aboutBox() const { return m_about; }

    // The folder used when none is remembered: the user's Music folder, else home.
    [[nodiscard]] static QString defaultFolder();

    // The outer size the layout rule works from, in twips: the client area below the menu bar
    // in the frame the layout was designed for, whatever frame the window really has.
    [[nodiscard]] QSize outerSizeTwips() const;
    // Lays the controls out again for the given outer size, as on every size change.
    void layoutForOuterSize(int widthTwips, int heightTwips);

    // The entry the track was started from last, which the desktop's Next and Previous move
    // from.
    [[nodiscard]] PlayedEntry& playedEntry() const { return *m_played; }
    // Plays the entry at row of the list the track was started from last, as a double-click on
    // it would; nothing once the window has been unloaded, or for row -1.
    void playNeighbour(int row);

    // What the user is told when a play the window starts fails.
    struct PlayFailure {
        QString text;
        QString title;
        Dialogs::Icon icon = Dialogs::Icon::None;
    };
    // Opens and plays path, then shows caption in Label1. When the file cannot be opened the
    // failure message says so at once and nothing changes. When the sound cannot start (the
    // sound server is gone, or does not answer), the message follows with the cause, and the
    // labels go back to what they showed before.
    bool startPlaying(const QString& path, const QString& caption, const PlayFailure& failure);

    // Opens the files handed to the program.
    [[nodiscard]] ItemOpener& opener() const { return *m_opener; }
    // Shows the folder's MP3 files, stopping the track; false, with nothing changed, when the
    // folder cannot be opened.
    bool chooseFolder(const QString& given);

public slots:
    void selectFolder();
    void playFromFolderList();
    void showElapsedTime();
    void showTotalTime();
    void exitProgram();
    void showPreferences();
    void showHelp();
    void showAbout();
    void openWebSite();
    void openMailLink();

signals:
    // Emitted by File > Exit once the window is unloaded, just before the program ends.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createStatusBar();
    void applyRememberedColors();
    void restoreFolder();
    void showFolder(const QString& folder);
    void saveSettings();
    void closeSecondaryWindows();
    void playFailed(const QString& reason);

    Services m_services;
    // The folder being played, byte for byte as it is remembered; txtPath shows it readably.
    QString m_folder;
    QStringListModel* m_playlist = nullptr;
    PlaylistPanel* m_playlistPanel = nullptr;
    ItemOpener* m_opener = nullptr;
    PlayedEntry* m_played = nullptr;
    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    QPointer<FrmAbout> m_about;
    bool m_unloaded = false;
    // The play the window started last, until it sounds: its message, and the labels it
    // replaced.
    struct PendingPlay {
        PlayFailure failure;
        QString caption;
        QString totalTime;
    };
    std::optional<PendingPlay> m_pendingPlay;
};

} // namespace quorvela
