#include "audio/decodersource.h"

#include "audio/mp3decoder.h"

#include <algorithm>
#include <cstring>

namespace quorvela {

DecoderSource::DecoderSource(Mp3Decoder& decoder, QObject* parent)
    : QIODevice(parent), m_decoder(decoder) {}

void DecoderSource::begin(const AudioFormat& format) {
    if (isOpen())
        QIODevice::close();
    m_format = format;
    m_resampler.reset(m_decoder.sampleRate(), format.sampleRate(), m_decoder.channels());
    m_resampled.clear();
    m_pending.resize(0);
    m_pendingPos = 0;
    m_framesDelivered = 0;
    m_finished = false;
    // Buffered, QIODevice would hand out chunks that split frames.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void DecoderSource::close() {
    QIODevice::close();
    m_pending.resize(0);
    m_pendingPos = 0;
}

bool DecoderSource::atEnd() const {
    return !isOpen() || (m_finished && m_pendingPos >= m_pending.size());
}

qint64 DecoderSource::bytesAvailable() const {
    return m_pending.size() - m_pendingPos + QIODevice::bytesAvailable();
}

qint64 DecoderSource::writeData(const char*, qint64) {
    return -1;
}

bool DecoderSource::refill() {
    m_pending.resize(0);
    m_pendingPos = 0;
    m_resampled.clear();
    if (m_finished)
        return false;
    const std::span<const float> samples = m_decoder.decodeFrame();
    if (samples.empty()) {
        m_resampler.finish(m_resampled);
        m_finished = true;
    } else {
        // A stream glued from files of different rates changes format midway.
        if (m_decoder.sampleRate() != m_resampler.inRate() ||
            m_decoder.channels() != m_resampler.channels()) {
            m_resampler.finish(m_resampled);
            appendConverted(m_resampled, m_resampler.channels(), m_format,
                            m_gain.load(std::memory_order_relaxed), m_pending);
            m_resampled.clear();
            m_resampler.reset(m_decoder.sampleRate(), m_format.sampleRate(), m_decoder.channels());
        }
        if (m_resampler.inRate() == m_resampler.outRate()) {
            // The output takes the file's rate: no copy on the way.
            appendConverted(samples, m_resampler.channels(), m_format,
                            m_gain.load(std::memory_order_relaxed), m_pending);
            return true;
        }
        m_resampler.process(samples, m_resampled);
    }
    appendConverted(m_resampled, m_resampler.channels(), m_format,
                    m_gain.load(std::memory_order_relaxed), m_pending);
    return !m_pending.isEmpty() || !m_finished;
}

qint64 DecoderSource::readData(char* data, qint64 maxSize) {
    const int bytesPerFrame = m_format.bytesPerFrame();
    if (bytesPerFrame <= 0)
        return 0;
    const qint64 wanted = maxSize - maxSize % bytesPerFrame;
    qint64 written = 0;
    while (written < wanted) {
        if (m_pendingPos >= m_pending.size() && !refill())
            break;
        const qint64 chunk = std::min<qint64>(wanted - written, m_pending.size() - m_pendingPos);
        std::memcpy(data + written, m_pending.constData() + m_pendingPos,
                    static_cast<std::size_t>(chunk));
        m_pendingPos += chunk;
        written += chunk;
    }
    m_framesDelivered += written / bytesPerFrame;
    return written;
}

} // namespace quorvela
