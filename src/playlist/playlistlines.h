#pragma once

#include <cstddef>
#include <cstring>

// The byte-level grammar every playlist format shares: lines, blanks, the byte-order mark.
// Header-only so that each format's loop inlines it; the parsers work on the file's bytes and
// decode only the items they keep.
namespace quorvela::playlistlines {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Steps over one line end (or comma) at p; CR LF counts as one.
inline const char* consumeSeparator(const char* p, const char* end) {
    if (p == end)
        return p;
    if (*p == '\r' && end - p > 1 && p[1] == '\n')
        return p + 2;
    return p + 1;
}

inline const char* skipBom(const char* p, const char* end) {
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        return p + 3;
    return p;
}

inline void trimBlanks(const char*& begin, const char*& end) {
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

// Whether the bytes start with prefix, ASCII letters in any case; prefix is lower case.
inline bool startsWithNoCase(const char* begin, const char* end, const char* prefix) {
    const auto length = static_cast<std::ptrdiff_t>(std::strlen(prefix));
    if (end - begin < length)
        return false;
    for (std::ptrdiff_t i = 0; i < length; ++i) {
        char c = begin[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Calls line(begin, end) for each line; CR LF, lone CR and lone LF all end a line. Stops when
// line returns false.
template <typename Line> void forEachLine(const char* p, const char* end, Line line) {
    while (p < end) {
        const char* start = p;
        while (p < end && !isLineEnd(*p))
            ++p;
        if (!line(start, p))
            return;
        p = consumeSeparator(p, end);
    }
}

} // namespace quorvela::playlistlines
