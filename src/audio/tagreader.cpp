#include "audio/tagreader.h"

#include "audio/mp3decoder.h"
#include "common/localpath.h"

#include <mpg123.h>

#include <memory>

namespace quorvela {

namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

// An ID3v2 text field may hold several strings separated by zero bytes (ID3v2.4 lists).
QStringList strings(const mpg123_string* text) {
    if (!text || !text->p || text->fill == 0)
        return {};
    // fill counts the closing zero byte.
    const QByteArray bytes(text->p, static_cast<qsizetype>(text->fill - 1));
    QStringList out;
    for (const QByteArray& part : bytes.split('\0')) {
        const QString value = QString::fromUtf8(part).trimmed();
        if (!value.isEmpty())
            out.append(value);
    }
    return out;
}

QString firstString(const mpg123_string* text) {
    const QStringList all = strings(text);
    return all.isEmpty() ? QString() : all.first();
}

// "7" or "7/12" gives 7; anything else gives 0.
int trackNumberFrom(const QString& text) {
    bool ok = false;
    const int number = text.section(QLatin1Char('/'), 0, 0).trimmed().toInt(&ok);
    return ok && number > 0 ? number : 0;
}

// ID3v1 fields are fixed-width, padded with zeros or spaces, and in Latin-1.
QString v1Field(const char* field, int width) {
    int length = 0;
    while (length < width && field[length] != '\0')
        ++length;
    return QString::fromLatin1(field, length).trimmed();
}

void readV2(const mpg123_id3v2& tag, TrackTags& out) {
    out.title = firstString(tag.title);
    out.artists = strings(tag.artist);
    out.album = firstString(tag.album);
    for (size_t i = 0; i < tag.texts; ++i) {
        const mpg123_text& field = tag.text[i];
        if (QByteArray(field.id, 4) == "TRCK")
            out.trackNumber = trackNumberFrom(firstString(&field.text));
    }
    const mpg123_picture* chosen = nullptr;
    for (size_t i = 0; i < tag.pictures; ++i) {
        const mpg123_picture& picture = tag.picture[i];
        // A MIME type of "-->" means the frame holds a link, not the picture itself.
        if (!picture.data || picture.size == 0 ||
            firstString(&picture.mime_type) == QLatin1String("-->"))
            continue;
        if (!chosen || (picture.type == mpg123_id3_pic_front_cover &&
                        chosen->type != mpg123_id3_pic_front_cover))
            chosen = &picture;
    }
    if (chosen) {
        out.picture = QByteArray(reinterpret_cast<const char*>(chosen->data),
                                 static_cast<qsizetype>(chosen->size));
        out.pictureMime = firstString(&chosen->mime_type).toLower();
    }
}

void fillFromV1(const mpg123_id3v1& tag, TrackTags& out) {
    if (QByteArray(tag.tag, 3) != "TAG")
        return;
    if (out.title.isEmpty())
        out.title = v1Field(tag.title, sizeof tag.title);
    if (out.artists.isEmpty()) {
        const QString artist = v1Field(tag.artist, sizeof tag.artist);
        if (!artist.isEmpty())
            out.artists = QStringList{artist};
    }
    if (out.album.isEmpty())
        out.album = v1Field(tag.album, sizeof tag.album);
    // ID3v1.1 keeps the track number in the comment's last byte, after a zero byte.
    if (out.trackNumber == 0 && tag.comment[28] == '\0')
        out.trackNumber = static_cast<unsigned char>(tag.comment[29]);
}

} // namespace

TrackTags readTrackTags(const QString& path) {
    TrackTags out;
    // Unlike the decoder, which skips tags unread, this handle exists to parse them.
    Handle handle(newMpg123Handle(MPG123_PICTURE));
    if (!handle || mpg123_open(handle.get(), localPathBytes(path).constData()) != MPG123_OK)
        return out;
    // The ID3v2 tag is parsed on the way to the first frame; the ID3v1 tag was found at open.
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    (void)mpg123_getformat(handle.get(), &rate, &channels, &encoding);
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if ((mpg123_meta_check(handle.get()) & MPG123_ID3) == 0 ||
        mpg123_id3(handle.get(), &v1, &v2) != MPG123_OK)
        return out;
    if (v2)
        readV2(*v2, out);
    if (v1)
        fillFromV1(*v1, out);
    return out;
}

} // namespace quorvela
