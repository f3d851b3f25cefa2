#pragma once

#include "audio/audioformat.h"

#include <QString>
#include <QtGlobal>

namespace quorvela {

// A file decoded on demand: what the engine's decoding thread reads from, and only that
// thread once the engine has handed it over. Any call may wait on the disk.
class AudioSource {
public:
    AudioSource() = default;
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;
    virtual ~AudioSource() = default;

    // What read() gives.
    [[nodiscard]] virtual AudioFormat outputFormat() const = 0;
    // Has read() give another rate or channel count from the next seek() on; false (with
    // errorString()) when it cannot.
    [[nodiscard]] virtual bool setOutputFormat(const AudioFormat& format) = 0;
    // Fills data with up to maxBytes of whole frames of outputFormat(), and returns how many
    // bytes it wrote; 0 means the end of the stream.
    [[nodiscard]] virtual qsizetype read(char* data, qsizetype maxBytes) = 0;
    // Moves to the given frame of outputFormat(); false when there is no such frame.
    [[nodiscard]] virtual bool seek(qint64 frame) = 0;
    // Loudness as a linear factor, applied from the next read() on.
    virtual void setGain(float gain) = 0;
    [[nodiscard]] virtual QString errorString() const = 0;
};

} // namespace quorvela
