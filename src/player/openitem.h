#pragma once

#include "common/localpath.h" // fileUriOf()

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quorvela {

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

} // namespace quorvela
