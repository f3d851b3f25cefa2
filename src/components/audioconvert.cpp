#include "components/audioconvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvela {

LinearResampler::LinearResampler(int inRate, int outRate, int channels) {
    reset(inRate, outRate, channels);
}

void LinearResampler::reset(int inRate, int outRate, int channels) {
    m_inRate = std::max(1, inRate);
    m_outRate = std::max(1, outRate);
    m_channels = std::max(1, channels);
    reset();
}

void LinearResampler::reset() {
    m_inSeen = 0;
    m_index = 0;
    m_remainder = 0;
    m_last.assign(static_cast<std::size_t>(m_channels), 0.0f);
    m_finished = false;
}

void LinearResampler::step() {
    m_index += m_inRate / m_outRate;
    m_remainder += m_inRate % m_outRate;
    if (m_remainder >= m_outRate) {
        m_remainder -= m_outRate;
        ++m_index;
    }
}

void LinearResampler::process(std::span<const float> in, std::vector<float>& out) {
    const auto channels = static_cast<std::size_t>(m_channels);
    const auto frames = static_cast<qint64>(in.size() / channels);
    if (frames == 0)
        return;
    if (passThrough()) {
        out.insert(out.end(), in.begin(),
                   in.begin() +
                       static_cast<std::ptrdiff_t>(frames) * static_cast<std::ptrdiff_t>(channels));
        m_inSeen += frames;
        return;
    }
    const qint64 firstIndex = m_inSeen - 1; // index of m_last; -1 before the first frame
    const qint64 seen = m_inSeen + frames;
    // Frame i of the whole stream, from this chunk or the one frame kept from before.
    auto frameAt = [&](qint64 i) -> const float* {
        if (i <= firstIndex)
            return m_last.data();
        return in.data() + static_cast<std::size_t>(i - m_inSeen) * channels;
    };
    const std::size_t start = out.size();
    out.resize(start +
               static_cast<std::size_t>((frames + 1) * m_outRate / m_inRate + 2) * channels);
    float* dest = out.data() + start;
    // The next output frame's time is m_index + m_remainder / m_outRate input frames, stepped
    // in integers: a division per frame would cost more than the interpolation.
    while (m_index + 1 < seen) {
        const float fraction = static_cast<float>(m_remainder) / static_cast<float>(m_outRate);
        const float* a = frameAt(m_index);
        const float* b = frameAt(m_index + 1);
        for (std::size_t c = 0; c < channels; ++c)
            *dest++ = a[c] + (b[c] - a[c]) * fraction;
        step();
    }
    out.resize(static_cast<std::size_t>(dest - out.data()));
    const float* lastFrame = in.data() + static_cast<std::size_t>(frames - 1) * channels;
    std::copy(lastFrame, lastFrame + channels, m_last.begin());
    m_inSeen = seen;
}

void LinearResampler::finish(std::vector<float>& out) {
    if (passThrough() || m_finished || m_inSeen == 0)
        return;
    m_finished = true;
    // Every output frame whose time lies before the end of the last input frame.
    while (m_index < m_inSeen) {
        out.insert(out.end(), m_last.begin(), m_last.end());
        step();
    }
}

namespace {

template <typename Sample, typename Convert>
void appendFrames(std::span<const float> in, int inChannels, int outChannels, float gain,
                  QByteArray& out, Convert convert) {
    const auto inCh = static_cast<std::size_t>(inChannels);
    const auto outCh = static_cast<std::size_t>(outChannels);
    const std::size_t frames = in.size() / inCh;
    const auto start = static_cast<std::size_t>(out.size());
    const std::size_t bytes = start + frames * outCh * sizeof(Sample);
    out.resize(static_cast<qsizetype>(bytes));
    auto* dest = reinterpret_cast<Sample*>(out.data() + start);
    for (std::size_t f = 0; f < frames; ++f) {
        const float* frame = in.data() + f * inCh;
        if (outCh == 1 && inCh > 1) {
            float sum = 0.0f;
            for (std::size_t c = 0; c < inCh; ++c)
                sum += frame[c];
            *dest++ = convert(sum / static_cast<float>(inCh) * gain);
            continue;
        }
        for (std::size_t c = 0; c < outCh; ++c) {
            float value = 0.0f;
            if (inCh == 1)
                value = frame[0];
            else if (c < inCh)
                value = frame[c];
            *dest++ = convert(value * gain);
        }
    }
}

float clipped(float value) {
    return std::clamp(value, -1.0f, 1.0f);
}

// Rounds half away from zero; std::lround is a library call and costs more than the rest of
// the conversion.
template <typename Int> Int rounded(float value) {
    return static_cast<Int>(value >= 0.0f ? value + 0.5f : value - 0.5f);
}

} // namespace

void appendConverted(std::span<const float> in, int inChannels, const QAudioFormat& format,
                     float gain, QByteArray& out) {
    const int outChannels = format.channelCount();
    if (inChannels <= 0 || outChannels <= 0)
        return;
    switch (format.sampleFormat()) {
    case QAudioFormat::UInt8:
        appendFrames<quint8>(in, inChannels, outChannels, gain, out, [](float v) {
            return static_cast<quint8>(rounded<int>(clipped(v) * 127.0f) + 128);
        });
        break;
    case QAudioFormat::Int16:
        appendFrames<qint16>(in, inChannels, outChannels, gain, out,
                             [](float v) { return rounded<qint16>(clipped(v) * 32767.0f); });
        break;
    case QAudioFormat::Int32:
        appendFrames<qint32>(in, inChannels, outChannels, gain, out, [](float v) {
            return static_cast<qint32>(
                std::llround(static_cast<double>(clipped(v)) * 2147483647.0));
        });
        break;
    case QAudioFormat::Float:
        appendFrames<float>(in, inChannels, outChannels, gain, out,
                            [](float v) { return clipped(v); });
        break;
    case QAudioFormat::Unknown:
    case QAudioFormat::NSampleFormats:
        break;
    }
}

} // namespace quorvela
