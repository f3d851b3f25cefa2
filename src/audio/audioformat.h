#pragma once

#include <QtGlobal>

namespace quorvela {

// The shape of a stream of interleaved sound frames: rate, channel count and the type of one
// sample. A default-made format is invalid, which outputs use to say "nothing can play now".
class AudioFormat {
public:
    enum SampleFormat { Unknown, UInt8, Int16, Int32, Float };

    [[nodiscard]] int sampleRate() const { return m_sampleRate; }
    void setSampleRate(int rate) { m_sampleRate = rate; }
    [[nodiscard]] int channelCount() const { return m_channelCount; }
    void setChannelCount(int channels) { m_channelCount = channels; }
    [[nodiscard]] SampleFormat sampleFormat() const { return m_sampleFormat; }
    void setSampleFormat(SampleFormat format) { m_sampleFormat = format; }

    [[nodiscard]] bool isValid() const {
        return m_sampleRate > 0 && m_channelCount > 0 && m_sampleFormat != Unknown;
    }
    [[nodiscard]] int bytesPerSample() const {
        switch (m_sampleFormat) {
        case UInt8:
            return 1;
        case Int16:
            return 2;
        case Int32:
        case Float:
            return 4;
        case Unknown:
            break;
        }
        return 0;
    }
    // 0 for an invalid format, so that a caller dividing by it checks first.
    [[nodiscard]] int bytesPerFrame() const {
        return isValid() ? bytesPerSample() * m_channelCount : 0;
    }

    // How long the given number of frames plays, in microseconds; 0 for an invalid format.
    [[nodiscard]] qint64 microsecondsFor(qint64 frames) const {
        return m_sampleRate > 0 ? frames * 1'000'000 / m_sampleRate : 0;
    }

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;

private:
    int m_sampleRate = 0;
    int m_channelCount = 0;
    SampleFormat m_sampleFormat = Unknown;
};

} // namespace quorvela
