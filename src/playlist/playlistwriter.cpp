#include "playlist/playlistwriter.h"

#include "common/localpath.h"

#include <QUrl>

namespace quorvela {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool hasBlankAtEnds(const QString& entry) {
    return !entry.isEmpty() && (isBlank(entry.front()) || isBlank(entry.back()));
}

// Text that UTF-8 cannot hold: a lone surrogate, unless it stands for a byte of a local file's
// name (localPathFromBytes()), which is written as that byte.
bool hasInvalidText(const QString& entry) {
    const bool isFileName = entry.startsWith(QLatin1Char('/'));
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const QChar c = entry.at(i);
        if (c.isHighSurrogate() && i + 1 < entry.size() && entry.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate() && !(isFileName && hasForeignBytes(QStringView(entry).sliced(i, 1))))
            return true;
    }
    return false;
}

// The text that stands for the entry on its line: the bytes of its name, so that the line
// names the file on disk even when its name is not UTF-8. Readers trim the blanks at a line's
// ends, so a local path with blanks there goes out as a "file://" URL, which every player
// reads.
QByteArray lineFor(const QString& entry) {
    if (!hasBlankAtEnds(entry) || entry.front() != QLatin1Char('/'))
        return localPathBytes(entry);
    if (hasForeignBytes(entry))
        return "file://" + localPathBytes(entry).toPercentEncoding("/");
    return QUrl::fromLocalFile(entry).toEncoded();
}

} // namespace

PlaylistEntryProblem PlaylistWriter::problem(const QString& entry) const {
    if (entry.contains(QLatin1Char('\n')) || entry.contains(QLatin1Char('\r')))
        return PlaylistEntryProblem::LineBreak;
    if (!isKeptAsRead(entry))
        return PlaylistEntryProblem::ChangedOnRead;
    if (hasInvalidText(entry))
        return PlaylistEntryProblem::InvalidText;
    // Only a local path has a form without the blanks: its file URL.
    if (hasBlankAtEnds(entry) &&
        (entry.front() != QLatin1Char('/') ||
         localPathFromBytes(resolvePlaylistBytes(lineFor(entry), {})) != entry))
        return PlaylistEntryProblem::BlanksAtEnds;
    return PlaylistEntryProblem::None;
}

PlaylistText PlaylistWriter::write(const QStringList& entries) const {
    PlaylistText text;
    qsizetype size = 32;
    for (const QString& entry : entries)
        size += entry.size() + 16;
    text.bytes.reserve(size);
    writeHeader(text.bytes);
    qsizetype written = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries.at(i);
        if (problem(entry) != PlaylistEntryProblem::None) {
            text.rejected.append(i);
            continue;
        }
        writeEntry(text.bytes, ++written, lineFor(entry));
    }
    writeFooter(text.bytes, written);
    return text;
}

} // namespace quorvela
