#include "support/id3fixtures.h"

#include "support/fakes.h"

#include <QFile>

namespace quorvela::test {

namespace id3 {

namespace {

QByteArray bigEndian32(quint32 value, bool syncSafe) {
    QByteArray out;
    for (int i = 3; i >= 0; --i) {
        const int shift = syncSafe ? 7 * i : 8 * i;
        out.append(static_cast<char>((value >> shift) & (syncSafe ? 0x7f : 0xff)));
    }
    return out;
}

QByteArray frame(int version, const char* id, const QByteArray& payload) {
    return QByteArray(id, 4) + bigEndian32(static_cast<quint32>(payload.size()), version >= 4) +
           QByteArray(2, '\0');
}

QByteArray encode(Encoding encoding, const QString& text) {
    switch (encoding) {
    case Encoding::Latin1:
        return text.toLatin1();
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Utf16Bom:
    case Encoding::Utf16Be: {
        QByteArray out;
        if (encoding == Encoding::Utf16Bom)
            out.append("\xFF\xFE", 2);
        for (const QChar c : text) {
            const auto unit = c.unicode();
            const char low = static_cast<char>(unit & 0xff);
            const char high = static_cast<char>(unit >> 8);
            if (encoding == Encoding::Utf16Bom)
                out.append(low).append(high);
            else
                out.append(high).append(low);
        }
        return out;
    }
    }
    return {};
}

} // namespace

QByteArray textFrame(int version, const char* id, Encoding encoding, const QStringList& values) {
    const bool wide = encoding == Encoding::Utf16Bom || encoding == Encoding::Utf16Be;
    const QByteArray separator(wide ? 2 : 1, '\0');
    QByteArray payload(1, static_cast<char>(encoding));
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            payload.append(separator);
        payload.append(encode(encoding, values[i]));
    }
    return frame(version, id, payload) + payload;
}

QByteArray pictureFrame(int version, const QByteArray& mimeType, int pictureType,
                        const QByteArray& picture) {
    QByteArray payload(1, '\0');
    payload.append(mimeType).append('\0');
    payload.append(static_cast<char>(pictureType));
    payload.append("cover").append('\0');
    payload.append(picture);
    return frame(version, "APIC", payload) + payload;
}

QByteArray tag(int version, const QByteArray& frames) {
    QByteArray out("ID3");
    out.append(static_cast<char>(version)).append('\0').append('\0');
    return out + bigEndian32(static_cast<quint32>(frames.size()), true) + frames;
}

QByteArray v1Tag(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                 int track) {
    auto field = [](const QByteArray& text, int width) {
        return text.left(width) + QByteArray(width - qMin(width, int(text.size())), '\0');
    };
    QByteArray comment = field("comment", 30);
    if (track > 0) {
        comment[28] = '\0';
        comment[29] = static_cast<char>(track);
    }
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field("2026", 4) +
           comment + QByteArray(1, '\xFF');
}

} // namespace id3

bool writeTagged(const QString& mp3, const QString& path, const QByteArray& before,
                 const QByteArray& after) {
    QFile in(mp3);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    return writeFile(path, before + in.readAll() + after);
}

} // namespace quorvela::test
