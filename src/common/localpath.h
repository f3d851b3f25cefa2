#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <sys/stat.h>

// File names on Linux are bytes, and not every name is UTF-8: music copied from FAT drives,
// old Windows machines and zip files keeps Latin-1 or Windows-1252 names. Qt turns such bytes
// into U+FFFD, which names no file. Here a name is held as a QString that keeps every byte:
// valid UTF-8 as its characters, and each byte that is not part of valid UTF-8 as one lone
// low surrogate, U+DC80 + (byte - 0x80), which no valid text holds. Open a file from such a
// name with localPathBytes(); show it with readablePath().
namespace quorvela {

namespace localpath_detail {
constexpr char16_t EscapeBase = 0xDC00; // byte b (0x80..0xFF) is held as EscapeBase + b

// The length of the valid UTF-8 sequence at the start of bytes, or 0 when it is not one.
inline qsizetype validSequence(QByteArrayView bytes) {
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t min = 0;
    char32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i) & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF are not valid UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

inline bool isEscape(char16_t c) {
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}
} // namespace localpath_detail

// The name the bytes of a path stand for, every byte kept.
[[nodiscard]] inline QString localPathFromBytes(QByteArrayView bytes) {
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype length = localpath_detail::validSequence(bytes.sliced(i));
        if (length > 0) {
            out += QString::fromUtf8(bytes.sliced(i, length));
            i += length;
        } else {
            out += QChar(static_cast<char16_t>(localpath_detail::EscapeBase +
                                               static_cast<unsigned char>(bytes[i])));
            ++i;
        }
    }
    return out;
}

// Whether the name holds bytes that are not UTF-8.
[[nodiscard]] inline bool hasForeignBytes(QStringView path) {
    for (const QChar c : path) {
        if (localpath_detail::isEscape(c.unicode()))
            return true;
    }
    return false;
}

// The bytes to hand to the system for a name made by localPathFromBytes() (or any text).
[[nodiscard]] inline QByteArray localPathBytes(QStringView path) {
    if (!hasForeignBytes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        if (!localpath_detail::isEscape(c))
            continue;
        out += path.sliced(start, i - start).toUtf8();
        out += static_cast<char>(c - localpath_detail::EscapeBase);
        start = i + 1;
    }
    out += path.sliced(start).toUtf8();
    return out;
}

// The file URI of an absolute local path, byte for byte: every URI the program hands on. Every
// byte but RFC 3986's unreserved characters and "/" is escaped, so the URI is valid whatever
// the name holds (blanks, "#", "?", bytes that are not UTF-8). GLib's g_filename_to_uri()
// leaves "!$&'()*+,=:@" as they are, which RFC 3986 allows but not every reader expects.
[[nodiscard]] inline QString fileUriOf(QStringView absolutePath) {
    return QStringLiteral("file://") +
           QString::fromLatin1(localPathBytes(absolutePath).toPercentEncoding("/"));
}

// Whether a file (of any kind) is there under exactly these bytes. A name holding a NUL names
// no file: the system would stop reading it there.
[[nodiscard]] inline bool existsOnDisk(const QByteArray& name) {
    struct stat status {};
    return !name.contains('\0') && ::stat(name.constData(), &status) == 0;
}

// The name as a person can read it: each byte that is not UTF-8 shown as its Latin-1
// character, or as U+FFFD for the control codes 0x80..0x9F.
[[nodiscard]] inline QString readablePath(QStringView path) {
    QString out = path.toString();
    for (QChar& c : out) {
        if (!localpath_detail::isEscape(c.unicode()))
            continue;
        const char16_t byte = c.unicode() - localpath_detail::EscapeBase;
        c = byte >= 0xA0 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
    }
    return out;
}

} // namespace quorvela
