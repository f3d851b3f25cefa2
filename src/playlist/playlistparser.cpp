#include "playlist/playlistparser.h"

#include "common/localpath.h"
#include "playlist/playlistlines.h"

#include <QDir>

#include <algorithm>

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

// How a file URL's %XX escapes are read: as text (UTF-8 when valid, else Windows-1252), or
// as the Latin-1 characters of their bytes, where the URL is itself bytes held as Latin-1.
enum class EscapedBytes { AsText, AsLatin1 };

QString decodeBytes(QByteArrayView bytes) {
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
}

// Each run of %XX escapes is one byte sequence, read as escapes says. A "%" not followed by
// two hex digits stays as it is.
QString percentDecoded(QStringView text, EscapedBytes escapes) {
    const auto decode = [escapes](const QByteArray& run) {
        return escapes == EscapedBytes::AsLatin1 ? QString::fromLatin1(run) : decodeBytes(run);
    };
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
            result += decode(run);
            run.clear();
        }
        result += text.at(i);
        ++i;
    }
    if (!run.isEmpty())
        result += decode(run);
    return result;
}

// "file:///music/a%20b.mp3" is "/music/a b.mp3"; "file://localhost/x" is "/x"; another host
// gives a network path "//host/x". Everything after the host is path: a "#" or "?" in a
// file URL is part of the file's name.
QString localPathOfFileUrl(const QString& url, EscapedBytes escapes) {
    const QStringView rest = QStringView(url).mid(7);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QStringView host = slash < 0 ? rest : rest.left(slash);
    const QStringView path = slash < 0 ? QStringView() : rest.mid(slash);
    QString local = percentDecoded(path, escapes);
    if (local.isEmpty())
        local = QStringLiteral("/");
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return local;
    return QStringLiteral("//") + host.toString() + local;
}

} // namespace

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

namespace {

QString resolve(const QString& item, const QString& folder, EscapedBytes escapes) {
    if (item.isEmpty() || item.front() == QLatin1Char('/'))
        return item;
    if (urlPrefixLength(item) > 0)
        return isFileUrl(item) ? localPathOfFileUrl(item, escapes) : item;
    if (folder.isEmpty())
        return item;
    return QDir::cleanPath(folder + QLatin1Char('/') + item);
}

} // namespace

QString resolvePlaylistItem(const QString& item, const QString& folder) {
    return resolve(item, folder, EscapedBytes::AsText);
}

QByteArray resolvePlaylistBytes(QByteArrayView item, const QString& folder) {
    // Latin-1 holds each byte as the character of its value, so the rules for text apply to the
    // bytes unchanged, and no byte is decoded for a name that may name nothing.
    const QString path =
        resolve(QString::fromLatin1(item), QString::fromLatin1(localPathBytes(folder)),
                EscapedBytes::AsLatin1);
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    return path.toLatin1();
}

PlaylistItems::PlaylistItems(QByteArrayView text, const QString& folder, qsizetype maxEntries)
    : m_folder(folder), m_maxEntries(maxEntries), m_utf8(text.isValidUtf8()) {}

bool PlaylistItems::take(const char* begin, const char* end) {
    const QByteArrayView bytes(begin, end - begin);
    QString text;
    if (!bytes.isEmpty())
        text = m_utf8 ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
    // Bytes name another file than the text only in a Windows-1252 file, where they are not
    // ASCII, or through a file URL's escapes; most items need no second look.
    if ((!m_utf8 &&
         std::any_of(begin, end, [](char c) { return (static_cast<Byte>(c) & 0x80) != 0; })) ||
        bytes.contains('%'))
        m_entries.rawItems.append({m_entries.paths.size(), bytes});
    m_entries.paths.append(resolvePlaylistItem(text, m_folder));
    return m_entries.paths.size() < m_maxEntries;
}

PlaylistEntries PlaylistItems::entries() {
    // The list grew by doubling; a million entries would otherwise carry megabytes of unused
    // room into the playlist.
    m_entries.paths.squeeze();
    return std::move(m_entries);
}

PlaylistEntries PlaylistParser::read(QByteArrayView bytes, const QString& folder,
                                     qsizetype maxEntries) const {
    if (maxEntries <= 0)
        return {};
    const char* end = bytes.data() + bytes.size();
    const char* begin = playlistlines::skipBom(bytes.data(), end);
    PlaylistItems items(QByteArrayView(begin, end - begin), folder, maxEntries);
    parse(begin, end, items);
    return items.entries();
}

bool PlaylistParser::recognises(QByteArrayView) const {
    return false;
}

} // namespace quorvela
