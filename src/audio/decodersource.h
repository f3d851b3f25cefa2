#pragma once

#include "audio/audioconvert.h"
#include "audio/audioformat.h"

#include <QIODevice>

#include <atomic>
#include <vector>

namespace quorvela {

class Mp3Decoder;

// The device an audio output pulls from: it decodes on demand, one MPEG frame at a time,
// and hands out whole frames in the output's rate, channel count and sample format.
class DecoderSource final : public QIODevice {
    Q_OBJECT
public:
    explicit DecoderSource(Mp3Decoder& decoder, QObject* parent = nullptr);

    // Starts a new stream from the decoder's current position, converted to format, and
    // opens the device for reading.
    void begin(const AudioFormat& format);
    void close() override;

    // Volume as a linear factor; may change while playing.
    void setGain(float gain) { m_gain.store(gain, std::memory_order_relaxed); }

    // Output frames handed out since begin().
    [[nodiscard]] qint64 framesDelivered() const { return m_framesDelivered; }
    [[nodiscard]] AudioFormat format() const { return m_format; }

    [[nodiscard]] bool isSequential() const override { return true; }
    [[nodiscard]] bool atEnd() const override;
    [[nodiscard]] qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    // Decodes and converts the next frame into m_pending; false at the end of the stream.
    bool refill();

    Mp3Decoder& m_decoder;
    AudioFormat m_format;
    Resampler m_resampler;
    std::vector<float> m_resampled;
    QByteArray m_pending;
    qsizetype m_pendingPos = 0;
    std::atomic<float> m_gain{1.0f};
    qint64 m_framesDelivered = 0;
    bool m_finished = false;
};

} // namespace quorvela
