#include "playlist/m3uparser.h"

#include "playlist/playlistlines.h"

namespace quorvela {

bool M3uParser::recognises(QByteArrayView bytes) const {
    using namespace playlistlines;
    const char* end = bytes.data() + bytes.size();
    const char* p = skipBom(bytes.data(), end);
    const char* lineEnd = p;
    while (lineEnd < end && !isLineEnd(*lineEnd))
        ++lineEnd;
    constexpr QByteArrayView Header("#EXTM3U");
    const QByteArrayView first(p, lineEnd - p);
    return first.startsWith(Header) &&
           (first.size() == Header.size() || isBlank(first.at(Header.size())));
}

PlaylistEntryProblem M3uParser::problem(const QString& entry) const {
    if (entry.isEmpty())
        return PlaylistEntryProblem::Empty;
    return PlaylistWriter::problem(entry);
}

void M3uParser::parse(const char* begin, const char* end, PlaylistItems& items) const {
    const bool unwrap = m_quoted == QuotedLine::Unwrapped;
    playlistlines::forEachLine(begin, end, [&items, unwrap](const char* line, const char* stop) {
        playlistlines::trimBlanks(line, stop);
        if (line == stop || *line == '#')
            return true;
        if (unwrap && stop - line >= 2 && *line == '"' && stop[-1] == '"')
            return items.take(line + 1, stop - 1);
        return items.take(line, stop);
    });
}

void M3uParser::writeHeader(QByteArray& out) const {
    out.append("#EXTM3U\n");
}

void M3uParser::writeEntry(QByteArray& out, qsizetype, const QByteArray& line) const {
    out.append(line);
    out.append('\n');
}

void M3uParser::writeFooter(QByteArray&, qsizetype) const {}

} // namespace quorvela
