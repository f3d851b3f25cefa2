#pragma once

#include <QtGlobal>

namespace quorvela {

// What an output pulls its samples from. While a stream plays, read() is called on the
// output's own thread only; the owner touches the source again only after the output's
// stop() has returned.
class AudioSource {
public:
    AudioSource() = default;
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;
    virtual ~AudioSource() = default;

    // Fills data with up to maxBytes of whole frames in the format the stream was started
    // with, and returns how many bytes it wrote; 0 means the end of the stream.
    [[nodiscard]] virtual qsizetype read(char* data, qsizetype maxBytes) = 0;
};

} // namespace quorvela
