#pragma once

#include "playlist/playlistwriter.h"

namespace quorvela {

// M3U: one entry per line; lines starting with "#" (the "#EXTM3U" header, titles, lengths,
// comments) and blank lines are not entries, and a comma is part of the path. Written as
// extended M3U: "#EXTM3U", then one path per line as it stands.
class M3uParser final : public PlaylistWriter {
public:
    // What becomes of a line wrapped in double quotes.
    enum class QuotedLine {
        // The quotes go: earlier versions of this program saved comma lists under an .m3u
        // name, quoting each path that held a comma.
        Unwrapped,
        // The quotes stay, as they always did in a file told by its header alone.
        Kept,
    };

    explicit M3uParser(QuotedLine quoted = QuotedLine::Unwrapped) : m_quoted(quoted) {}

    // The first line is "#EXTM3U", alone or followed by blanks and attributes.
    [[nodiscard]] bool recognises(QByteArrayView bytes) const override;
    // An empty entry has no line (PLS holds it as "FileN=").
    [[nodiscard]] PlaylistEntryProblem problem(const QString& entry) const override;

protected:
    void parse(const char* begin, const char* end, PlaylistItems& items) const override;
    void writeHeader(QByteArray& out) const override;
    void writeEntry(QByteArray& out, qsizetype number, const QByteArray& line) const override;
    void writeFooter(QByteArray& out, qsizetype count) const override;

private:
    QuotedLine m_quoted;
};

} // namespace quorvela
