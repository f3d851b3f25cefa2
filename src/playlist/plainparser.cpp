#include "playlist/plainparser.h"

#include "playlist/playlistlines.h"

#include <cstring>

namespace quorvela {

namespace {

bool isSeparator(char c) {
    return c == ',' || playlistlines::isLineEnd(c);
}

} // namespace

// Leading blanks are skipped, a quoted item runs to the next quote (line ends included) and
// the rest up to the next separator is dropped, an unquoted item loses its trailing spaces.
// The end of the file is tested before each item, so the line end after the last line gives
// no extra entry.
void PlainParser::parse(const char* begin, const char* end, PlaylistItems& items) const {
    using playlistlines::isBlank;
    const char* p = begin;
    while (p < end) {
        while (p < end && isBlank(*p))
            ++p;
        if (p < end && *p == '"') {
            ++p;
            const auto* close = static_cast<const char*>(std::memchr(p, '"', end - p));
            if (!close)
                close = end;
            if (!items.take(p, close))
                return;
            p = close;
            while (p < end && !isSeparator(*p))
                ++p;
        } else {
            const char* start = p;
            while (p < end && !isSeparator(*p))
                ++p;
            const char* stop = p;
            while (stop > start && stop[-1] == ' ')
                --stop;
            if (!items.take(start, stop))
                return;
        }
        p = playlistlines::consumeSeparator(p, end);
    }
}

} // namespace quorvela
