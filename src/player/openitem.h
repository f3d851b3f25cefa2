#pragma once

#include "common/localpath.h" // fileUriOf()

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace quorvela {

class Dialogs;
class Form1;
class PlaylistPanel;

// What a file handed to the program (on its command line, from the file manager, over the
// session bus or by a drop) turns out to be.
enum class OpenKind { Mp3, Playlist, Folder, Unopenable };

struct OpenItem {
    QString given; // as it was handed over: a path or a URI
    // The local path, every byte of the name kept (see localpath.h); empty when there is none.
    QString path;
    OpenKind kind = OpenKind::Unopenable;
    QString reason;       // why it cannot be opened
    bool missing = false; // no file has the name
};

// The local path an item names: an absolute path as it stands, or a file URI on this computer,
// whose percent-encoded bytes may be any bytes. Empty for anything else.
[[nodiscard]] QString localPathOfItem(const QString& item);

// The items the command line names. Every argument is a file: a URI as it stands, any other
// argument a path, a relative one taken from workingFolder. Bytes that are not UTF-8 are kept.
[[nodiscard]] QStringList itemsFromArguments(const QList<QByteArray>& arguments,
                                             const QByteArray& workingFolder);

// Looks at what an item names. An MP3 file is known by its content, whatever its name; a
// playlist by its name ending in .m3u, .m3u8 or .pls, any case.
[[nodiscard]] OpenItem examineOpenItem(const QString& item);

// The one message that names every item that could not be opened, and why.
[[nodiscard]] QString unopenedMessage(const QList<OpenItem>& items);

// Opens the files handed to the player window, alike for a launch, a drop and the desktop's
// media controls. Made by the window, which owns it.
class ItemOpener : public QObject {
public:
    ItemOpener(Form1* form, PlaylistPanel* panel, Dialogs& dialogs);

    // Opens files handed to the program, in order: each a path or a file URI. An MP3 file is
    // appended to the playlist as Add does, a playlist file as Load reads it, a folder chosen
    // as "Folder to play:" chooses it; then the first MP3 file plays as a double-click on its
    // entry would. One message names whatever could not be opened. Playlists are read off the
    // window's thread: with one among the items, or a load still under way, the opening
    // finishes later, in order after what was asked for before.
    void open(const QStringList& items);
    // The same, from the event loop, unless the window has been unloaded by then: for callers
    // that must have their answer first (a launch or a media control waiting on the bus, a
    // file manager waiting for the drop to end) and must not wait on a message the opening
    // may show.
    void openSoon(const QStringList& items);

private:
    Form1* m_form;
    PlaylistPanel* m_panel;
    Dialogs& m_dialogs;
};

} // namespace quorvela
