#include "player/playlistwriter.h"

#include "player/playlistreader.h"

namespace quorvela {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// An unquoted item ends at a comma or line end and loses its leading blanks and trailing
// spaces; one starting with a quote would be read as quoted.
bool needsQuotes(const QString& entry) {
    if (entry.isEmpty())
        return false;
    if (isBlank(entry.front()) || entry.front() == QLatin1Char('"') ||
        entry.back() == QLatin1Char(' '))
        return true;
    for (const QChar c : entry) {
        if (c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

bool hasLoneSurrogate(const QString& entry) {
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const QChar c = entry.at(i);
        if (c.isHighSurrogate() && i + 1 < entry.size() && entry.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return true;
    }
    return false;
}

} // namespace

PlaylistEntryProblem playlistEntryProblem(const QString& entry) {
    if (!isKeptAsRead(entry))
        return PlaylistEntryProblem::ChangedOnRead;
    if (hasLoneSurrogate(entry))
        return PlaylistEntryProblem::InvalidText;
    if (needsQuotes(entry) && entry.contains(QLatin1Char('"')))
        return PlaylistEntryProblem::QuoteInQuotedItem;
    return PlaylistEntryProblem::None;
}

PlaylistText writePlaylist(const QStringList& entries) {
    PlaylistText text;
    qsizetype size = 0;
    for (const QString& entry : entries)
        size += entry.size() + 3;
    text.bytes.reserve(size);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries.at(i);
        if (playlistEntryProblem(entry) != PlaylistEntryProblem::None) {
            text.rejected.append(i);
            continue;
        }
        // An empty entry is an empty line; no entry needs an escape the reader lacks.
        if (needsQuotes(entry)) {
            text.bytes.append('"');
            text.bytes.append(entry.toUtf8());
            text.bytes.append('"');
        } else {
            text.bytes.append(entry.toUtf8());
        }
        text.bytes.append('\n');
    }
    return text;
}

} // namespace quorvela
