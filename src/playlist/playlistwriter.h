#pragma once

#include "playlist/playlistparser.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace quorvela {

// Why an entry cannot be written so that the playlist reader gives it back unchanged.
enum class PlaylistEntryProblem {
    None,
    // A line break: both formats hold one entry per line.
    LineBreak,
    // A relative path or a "file://" URL: the reader would turn it into a local path.
    ChangedOnRead,
    // A lone UTF-16 surrogate that stands for no byte of a name (localPathFromBytes()), which
    // UTF-8 cannot hold.
    InvalidText,
    // Nothing at all: an M3U file has no line for it (its blank lines are not entries).
    Empty,
    // A URL other than a local path with blanks at either end, which readers trim away.
    BlanksAtEnds,
};

struct PlaylistText {
    // The file's bytes: UTF-8, but for the bytes of names that are not UTF-8, written as they
    // are on disk. Only meaningful when nothing was rejected.
    QByteArray bytes;
    // The indexes of the entries that cannot be written, in order.
    QList<qsizetype> rejected;
};

// A playlist format that Save writes as well as reads. Its own read() gives back every entry
// that problem() lets through unchanged, a name that is not UTF-8 by its bytes
// (resolvePlaylistBytes()).
class PlaylistWriter : public PlaylistParser {
public:
    [[nodiscard]] virtual PlaylistEntryProblem problem(const QString& entry) const;
    [[nodiscard]] PlaylistText write(const QStringList& entries) const;

protected:
    virtual void writeHeader(QByteArray& out) const = 0;
    // number counts the written entries from 1.
    virtual void writeEntry(QByteArray& out, qsizetype number, const QByteArray& line) const = 0;
    virtual void writeFooter(QByteArray& out, qsizetype count) const = 0;
};

} // namespace quorvela
