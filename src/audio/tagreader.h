#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvela {

// What a file's ID3 tags say about its track. Empty fields were not in any tag.
struct TrackTags {
    QString title;
    QStringList artists;
    QString album;
    int trackNumber = 0;
    // The embedded picture (the front cover when there is one), with its MIME type.
    QByteArray picture;
    QString pictureMime;

    [[nodiscard]] bool isEmpty() const {
        return title.isEmpty() && artists.isEmpty() && album.isEmpty() && trackNumber == 0 &&
               picture.isEmpty();
    }
};

// Reads the ID3v2 tag of an MP3 file, falling back field by field to its ID3v1 tag. libmpg123
// parses the tags, in every ID3v2 text encoding; a tag it cannot make sense of gives nothing,
// as does a file that cannot be read.
[[nodiscard]] TrackTags readTrackTags(const QString& path);

} // namespace quorvela
