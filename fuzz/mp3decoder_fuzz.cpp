// Feeds arbitrary bytes to the MP3 decoder as a file: opening, decoding to the end, seeking,
// the length scan and reading the ID3 tags must all survive whatever a file holds.
#include "audio/mp3decoder.h"
#include "audio/tagreader.h"

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
    // Everything a tag gives came out of the input; nothing can be larger than it.
    const quorvela::TrackTags tags = quorvela::readTrackTags(path);
    const auto limit = static_cast<qsizetype>(size);
    if (tags.title.size() > limit || tags.album.size() > limit || tags.picture.size() > limit ||
        tags.artists.size() > limit || tags.trackNumber < 0)
        __builtin_trap();
    for (const QString& artist : tags.artists) {
        if (artist.isEmpty() || artist.size() > limit)
            __builtin_trap();
    }

    quorvela::Mp3Decoder decoder;
    if (!decoder.open(path))
        return 0;
    if (decoder.sampleRate() <= 0 || decoder.channels() <= 0)
        __builtin_trap();
    // Enough for any input the fuzzer makes; a real file would simply go on. The buffer's odd
    // size leaves room for a piece of a frame, which must never be handed out.
    const int bytesPerFrame = decoder.outputFormat().bytesPerFrame();
    char buffer[4099];
    for (int piece = 0; piece < 20000; ++piece) {
        const qsizetype got = decoder.read(buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0 || got > qsizetype(sizeof buffer) || got % bytesPerFrame != 0)
            __builtin_trap();
    }
    if (decoder.seek(0))
        (void)decoder.read(buffer, sizeof buffer);
    (void)quorvela::Mp3Decoder::scanLength(path);
    return 0;
}
