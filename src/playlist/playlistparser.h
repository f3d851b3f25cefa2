#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <limits>

namespace quorvela {

// What a playlist file lists, in order.
struct PlaylistEntries {
    // An entry whose bytes in the file may name another file than its text does: the text of a
    // Windows-1252 file, or a file URL escaping bytes. Only the file system can tell which of
    // the two names a file (resolvePlaylistBytes() gives the other).
    struct RawItem {
        // Into paths.
        qsizetype index;
        // The item as the file holds it: a view into the bytes that were read.
        QByteArrayView bytes;
    };

    // Each entry as text: relative items made absolute against the playlist's folder,
    // "file://" URLs made local paths, empty items kept as empty entries.
    QStringList paths;
    // In the order of their indexes.
    QList<RawItem> rawItems;
};

// Collects the items a parser finds in the text of a file, decoding each as the whole file is
// decoded, and stops the parser once it has enough.
class PlaylistItems {
public:
    PlaylistItems(QByteArrayView text, const QString& folder, qsizetype maxEntries);

    // Takes the item held by the bytes from begin to end. False once enough entries were taken:
    // the parser stops there.
    bool take(const char* begin, const char* end);
    [[nodiscard]] PlaylistEntries entries();

private:
    const QString& m_folder;
    qsizetype m_maxEntries;
    bool m_utf8;
    PlaylistEntries m_entries;
};

// One playlist format, read. Each format's own class knows its syntax; what an item names
// (its text, its folder, its URL) is the same in every format and decided here.
class PlaylistParser {
public:
    PlaylistParser() = default;
    PlaylistParser(const PlaylistParser&) = delete;
    PlaylistParser& operator=(const PlaylistParser&) = delete;
    virtual ~PlaylistParser() = default;

    // The entries of a file with these bytes lying in folder (relative items stay relative when
    // folder is empty). Reading stops after maxEntries entries. Never fails: any bytes give
    // some list of entries.
    [[nodiscard]] PlaylistEntries
    read(QByteArrayView bytes, const QString& folder,
         qsizetype maxEntries = std::numeric_limits<qsizetype>::max()) const;

    // Whether the file's first lines say it is in this format, for a name that says nothing.
    [[nodiscard]] virtual bool recognises(QByteArrayView bytes) const;

protected:
    // Hands each item of the text (the file after its byte-order mark) to items, in order,
    // until items.take() says stop.
    virtual void parse(const char* begin, const char* end, PlaylistItems& items) const = 0;
};

// A file is read as UTF-8 when it is valid UTF-8 as a whole (no overlong forms, surrogates or
// code points beyond U+10FFFF), otherwise as Windows-1252, with this.
[[nodiscard]] QString fromWindows1252(QByteArrayView bytes);

// What the reader makes of one item found in a playlist in folder.
[[nodiscard]] QString resolvePlaylistItem(const QString& item, const QString& folder);

// The bytes of the local file that the bytes of an item name, resolved against folder as the
// item's text is (a file URL's escapes giving the bytes they stand for). Empty when they name
// no file by an absolute path: a URL of another kind, a relative path without a folder.
[[nodiscard]] QByteArray resolvePlaylistBytes(QByteArrayView item, const QString& folder);

// True when the reader takes the item as it is, whatever folder the playlist lies in: it is
// empty, an absolute path, or a URL other than a "file://" one.
[[nodiscard]] bool isKeptAsRead(const QString& item);

} // namespace quorvela
