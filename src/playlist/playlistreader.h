#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <limits>

namespace quorvela {

// How a playlist file is read, decided from its first lines.
enum class PlaylistFormat {
    // Items separated by commas and line ends: hand-made lists, and the lists this program
    // saved before it wrote M3U and PLS.
    Plain,
    // First line "#EXTM3U": one entry per non-blank line, "#" lines skipped.
    ExtendedM3u,
    // First non-blank line "[playlist]" (any case): the values of the FileN= keys, by N.
    Pls,
};

// Turns the bytes of a playlist file into its entries, in order. Relative items are made
// absolute against folder (left as they are when folder is empty); "file://" URLs become
// their local paths; empty items stay empty entries. Reading stops after maxEntries entries.
// Never fails: any bytes give some list of entries.
[[nodiscard]] QStringList
readPlaylist(QByteArrayView bytes, const QString& folder,
             qsizetype maxEntries = std::numeric_limits<qsizetype>::max());

[[nodiscard]] PlaylistFormat detectPlaylistFormat(QByteArrayView bytes);

// The text of a whole file is UTF-8 when it is valid UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF), otherwise Windows-1252.
[[nodiscard]] bool isValidUtf8(QByteArrayView bytes);
[[nodiscard]] QString fromWindows1252(QByteArrayView bytes);

// What the reader makes of one item found in a playlist in folder.
[[nodiscard]] QString resolvePlaylistItem(const QString& item, const QString& folder);

// True when the reader takes the item as it is, whatever folder the playlist lies in: it is
// empty, an absolute path, or a URL other than a "file://" one.
[[nodiscard]] bool isKeptAsRead(const QString& item);

} // namespace quorvela
