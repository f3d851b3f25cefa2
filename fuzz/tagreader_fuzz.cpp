// Feeds arbitrary bytes to the tag reader as a file: whatever an ID3v1 or ID3v2 tag holds,
// reading it must neither crash nor hand back text that is not text.
#include "components/tagreader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.mp3"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const quorvela::TrackTags tags = quorvela::readTrackTags(path);
    // Everything read came out of the input; nothing can be larger than it.
    const auto limit = static_cast<qsizetype>(size);
    if (tags.title.size() > limit || tags.album.size() > limit || tags.picture.size() > limit ||
        tags.artists.size() > limit || tags.trackNumber < 0)
        __builtin_trap();
    for (const QString& artist : tags.artists) {
        if (artist.isEmpty() || artist.size() > limit)
            __builtin_trap();
    }
    return 0;
}
