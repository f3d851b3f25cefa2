#include "playlist/playlistreader.h"

#include <QDir>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quorvela {

namespace {

using Byte = unsigned char;

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined map to the C1 control
// of the same number, as browsers do. Every other byte is the Latin-1 character of its value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char Utf8Bom[] = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isSeparator(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

// Steps over one separator at p; CR LF counts as one.
const char* consumeSeparator(const char* p, const char* end) {
    if (p == end)
        return p;
    if (*p == '\r' && end - p > 1 && p[1] == '\n')
        return p + 2;
    return p + 1;
}

const char* skipBom(const char* p, const char* end) {
    if (end - p >= 3 && std::memcmp(p, Utf8Bom, 3) == 0)
        return p + 3;
    return p;
}

// A byte range of the file, decoded once the encoding of the whole file is known.
class Decoder {
public:
    explicit Decoder(bool utf8) : m_utf8(utf8) {}

    [[nodiscard]] QString operator()(const char* begin, const char* end) const {
        if (begin == end)
            return {};
        const QByteArrayView bytes(begin, end - begin);
        return m_utf8 ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
    }

private:
    bool m_utf8;
};

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

void trimBlanks(const char*& begin, const char*& end) {
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

bool startsWithNoCase(const char* begin, const char* end, const char* prefix) {
    const auto length = static_cast<std::ptrdiff_t>(std::strlen(prefix));
    if (end - begin < length)
        return false;
    for (std::ptrdiff_t i = 0; i < length; ++i) {
        if (QChar::toLower(static_cast<char16_t>(static_cast<Byte>(begin[i]))) !=
            static_cast<char16_t>(prefix[i]))
            return false;
    }
    return true;
}

// The comma grammar: leading blanks skipped, a quoted item runs to the next quote (line ends
// included) and the rest up to the next separator is dropped, an unquoted item loses its
// trailing spaces. The end of the file is tested before each item, so the line end after the
// last line gives no extra entry.
template <typename Take> void readPlain(const char* p, const char* end, Take take) {
    while (p < end) {
        while (p < end && isBlank(*p))
            ++p;
        if (p < end && *p == '"') {
            ++p;
            const auto* close = static_cast<const char*>(std::memchr(p, '"', end - p));
            if (!close)
                close = end;
            if (!take(p, close))
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
            if (!take(start, stop))
                return;
        }
        p = consumeSeparator(p, end);
    }
}

template <typename Take> void readExtendedM3u(const char* p, const char* end, Take take) {
    forEachLine(p, end, [&](const char* begin, const char* stop) {
        trimBlanks(begin, stop);
        if (begin == stop || *begin == '#')
            return true;
        return take(begin, stop);
    });
}

struct PlsEntry {
    // The digits of N without leading zeros, compared by length and then text so that any
    // number of digits orders correctly.
    const char* digits;
    std::ptrdiff_t digitCount;
    const char* value;
    const char* valueEnd;
};

bool plsNumberLess(const PlsEntry& a, const PlsEntry& b) {
    if (a.digitCount != b.digitCount)
        return a.digitCount < b.digitCount;
    return std::memcmp(a.digits, b.digits, static_cast<size_t>(a.digitCount)) < 0;
}

template <typename Take> void readPls(const char* p, const char* end, Take take) {
    std::vector<PlsEntry> entries;
    forEachLine(p, end, [&](const char* begin, const char* stop) {
        trimBlanks(begin, stop);
        if (!startsWithNoCase(begin, stop, "file"))
            return true;
        const char* q = begin + 4;
        while (q < stop && *q == '0')
            ++q;
        const char* digits = q;
        while (q < stop && *q >= '0' && *q <= '9')
            ++q;
        const bool hasNumber = q > begin + 4;
        const char* digitsEnd = q;
        while (q < stop && isBlank(*q))
            ++q;
        if (!hasNumber || q == stop || *q != '=')
            return true;
        const char* value = q + 1;
        while (value < stop && isBlank(*value))
            ++value;
        entries.push_back({digits, digitsEnd - digits, value, stop});
        return true;
    });
    // Equal numbers keep their order in the file: nothing the file holds is lost.
    std::stable_sort(entries.begin(), entries.end(), plsNumberLess);
    for (const PlsEntry& entry : entries) {
        if (!take(entry.value, entry.valueEnd))
            return;
    }
}

bool isSchemeChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '+' ||
           u == '-' || u == '.';
}

// Length of "scheme://" at the start of item, or 0 when it does not start with a URL.
qsizetype urlPrefixLength(const QString& item) {
    if (item.isEmpty())
        return 0;
    const char16_t first = item.front().unicode();
    if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')))
        return 0;
    qsizetype i = 1;
    while (i < item.size() && isSchemeChar(item.at(i)))
        ++i;
    if (item.mid(i, 3) != QLatin1String("://"))
        return 0;
    return i + 3;
}

bool isFileUrl(const QString& item) {
    return urlPrefixLength(item) == 7 &&
           item.startsWith(QLatin1String("file"), Qt::CaseInsensitive);
}

int hexValue(char16_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString decodeBytes(const QByteArray& bytes) {
    return isValidUtf8(bytes) ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
}

// Each run of %XX escapes is one byte sequence: UTF-8 when valid, else Windows-1252. A "%"
// not followed by two hex digits stays as it is.
QString percentDecoded(QStringView text) {
    QString result;
    result.reserve(text.size());
    QByteArray run;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i) == QLatin1Char('%') && i + 2 < text.size() &&
            hexValue(text.at(i + 1).unicode()) >= 0 && hexValue(text.at(i + 2).unicode()) >= 0) {
            run.append(static_cast<char>(hexValue(text.at(i + 1).unicode()) * 16 +
                                         hexValue(text.at(i + 2).unicode())));
            i += 3;
            continue;
        }
        if (!run.isEmpty()) {
            result += decodeBytes(run);
            run.clear();
        }
        result += text.at(i);
        ++i;
    }
    if (!run.isEmpty())
        result += decodeBytes(run);
    return result;
}

// "file:///music/a%20b.mp3" is "/music/a b.mp3"; "file://localhost/x" is "/x"; another host
// gives a network path "//host/x". Everything after the host is path: a "#" or "?" in a
// file URL is part of the file's name.
QString localPathOfFileUrl(const QString& url) {
    const QStringView rest = QStringView(url).mid(7);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QStringView host = slash < 0 ? rest : rest.left(slash);
    const QStringView path = slash < 0 ? QStringView() : rest.mid(slash);
    QString local = percentDecoded(path);
    if (local.isEmpty())
        local = QStringLiteral("/");
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return local;
    return QStringLiteral("//") + host.toString() + local;
}

} // namespace

bool isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const Byte*>(bytes.data());
    const Byte* end = p + bytes.size();
    while (p < end) {
        // Most playlists are ASCII: check eight bytes at a time.
        while (end - p >= 8) {
            quint64 word = 0;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const Byte lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int follow = 0;
        char32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            follow = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            follow = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            follow = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (end - p <= follow)
            return false;
        for (int i = 1; i <= follow; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (follow == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)))
            return false;
        if (follow == 3 && (code < 0x10000 || code > 0x10FFFF))
            return false;
        p += follow + 1;
    }
    return true;
}

QString fromWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (const char c : bytes) {
        const auto b = static_cast<Byte>(c);
        *out++ = (b >= 0x80 && b <= 0x9F) ? Cp1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

bool isKeptAsRead(const QString& item) {
    if (item.isEmpty() || item.front() == QLatin1Char('/'))
        return true;
    return urlPrefixLength(item) > 0 && !isFileUrl(item);
}

QString resolvePlaylistItem(const QString& item, const QString& folder) {
    if (item.isEmpty() || item.front() == QLatin1Char('/'))
        return item;
    if (urlPrefixLength(item) > 0)
        return isFileUrl(item) ? localPathOfFileUrl(item) : item;
    if (folder.isEmpty())
        return item;
    return QDir::cleanPath(folder + QLatin1Char('/') + item);
}

PlaylistFormat detectPlaylistFormat(QByteArrayView bytes) {
    const char* end = bytes.data() + bytes.size();
    const char* p = skipBom(bytes.data(), end);

    const char* lineEnd = p;
    while (lineEnd < end && !isLineEnd(*lineEnd))
        ++lineEnd;
    constexpr QByteArrayView M3uHeader("#EXTM3U");
    const QByteArrayView first(p, lineEnd - p);
    if (first.startsWith(M3uHeader) &&
        (first.size() == M3uHeader.size() || isBlank(first.at(M3uHeader.size()))))
        return PlaylistFormat::ExtendedM3u;

    PlaylistFormat format = PlaylistFormat::Plain;
    forEachLine(p, end, [&format](const char* begin, const char* stop) {
        trimBlanks(begin, stop);
        if (begin == stop)
            return true;
        if (stop - begin == 10 && startsWithNoCase(begin, stop, "[playlist]"))
            format = PlaylistFormat::Pls;
        return false;
    });
    return format;
}

QStringList readPlaylist(QByteArrayView bytes, const QString& folder, qsizetype maxEntries) {
    QStringList entries;
    if (maxEntries <= 0)
        return entries;
    const char* end = bytes.data() + bytes.size();
    const char* begin = skipBom(bytes.data(), end);
    const Decoder decode(isValidUtf8(QByteArrayView(begin, end - begin)));
    auto take = [&](const char* itemBegin, const char* itemEnd) {
        entries.append(resolvePlaylistItem(decode(itemBegin, itemEnd), folder));
        return entries.size() < maxEntries;
    };
    switch (detectPlaylistFormat(bytes)) {
    case PlaylistFormat::Plain:
        readPlain(begin, end, take);
        break;
    case PlaylistFormat::ExtendedM3u:
        readExtendedM3u(begin, end, take);
        break;
    case PlaylistFormat::Pls:
        readPls(begin, end, take);
        break;
    }
    // The list grew by doubling; a million entries would otherwise carry megabytes of
    // unused room into the playlist.
    entries.squeeze();
    return entries;
}

} // namespace quorvela
