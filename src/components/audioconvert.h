#pragma once

#include <QAudioFormat>
#include <QByteArray>

#include <span>
#include <vector>

namespace quorvela {

// Converts a stream of interleaved float frames from one sample rate to another by linear
// interpolation. Output frame k sits at input time k * inRate / outRate, computed exactly in
// integers, so a long track never drifts. A stream of N input frames becomes exactly
// ceil(N * outRate / inRate) output frames once finish() has been called; the last input
// frame is held for output frames that fall between it and the stream's end.
class LinearResampler {
public:
    LinearResampler() = default;
    LinearResampler(int inRate, int outRate, int channels);

    // Starts a new stream (after a seek or with other rates).
    void reset();
    void reset(int inRate, int outRate, int channels);

    [[nodiscard]] int inRate() const { return m_inRate; }
    [[nodiscard]] int outRate() const { return m_outRate; }
    [[nodiscard]] int channels() const { return m_channels; }

    // Appends to out every output frame that lies before the last frame of `in` seen so far.
    // `in` holds whole frames.
    void process(std::span<const float> in, std::vector<float>& out);
    // Appends the frames still owed at the end of the stream.
    void finish(std::vector<float>& out);

private:
    [[nodiscard]] bool passThrough() const { return m_inRate == m_outRate; }
    void step();

    int m_inRate = 1;
    int m_outRate = 1;
    int m_channels = 1;
    qint64 m_inSeen = 0; // input frames taken so far
    // The next output frame lies at input time m_index + m_remainder / m_outRate.
    qint64 m_index = 0;
    qint64 m_remainder = 0;
    std::vector<float> m_last; // the last input frame taken
    bool m_finished = false;
};

// Appends `in` (interleaved float frames of inChannels channels) to `out` in the sample format
// and channel count of `format`, scaled by gain and clipped. Mono is copied to every output
// channel; more channels than the output takes are mixed down to mono for a mono output and
// dropped otherwise.
void appendConverted(std::span<const float> in, int inChannels, const QAudioFormat& format,
                     float gain, QByteArray& out);

} // namespace quorvela
