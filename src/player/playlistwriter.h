#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace quorvela {

// Why an entry cannot be written so that the playlist reader gives it back unchanged.
enum class PlaylistEntryProblem {
    None,
    // It must be quoted (a comma, a line break, blanks at either end, a leading quote) and
    // holds a double quote, which would end the quoted item early.
    QuoteInQuotedItem,
    // A relative path or a "file://" URL: the reader would turn it into a local path.
    ChangedOnRead,
    // A lone UTF-16 surrogate, which UTF-8 cannot hold.
    InvalidText,
};

struct PlaylistText {
    // The file's bytes (UTF-8, one entry per line); only meaningful when nothing was rejected.
    QByteArray bytes;
    // The indexes of the entries that cannot be written, in order.
    QList<qsizetype> rejected;
};

[[nodiscard]] PlaylistEntryProblem playlistEntryProblem(const QString& entry);

// Writes entries in the comma grammar the reader takes for plain files. An entry is quoted
// only when it has to be. Every written line starts with "/", a URL scheme, a quote, or is
// empty, so a written file is never taken for an extended M3U or PLS file.
[[nodiscard]] PlaylistText writePlaylist(const QStringList& entries);

} // namespace quorvela
