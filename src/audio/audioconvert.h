#pragma once

#include "audio/audioformat.h"

#include <QByteArray>

#include <soxr.h>

#include <span>
#include <vector>

namespace quorvela {

// Converts a stream of interleaved float frames from one sample rate to another with libsoxr
// at its high-quality setting. A stream of N input frames becomes exactly
// round(N * outRate / inRate) output frames once finish() has been called, however the input
// was cut into chunks. Equal rates pass the samples through untouched.
class Resampler {
public:
    Resampler() = default;
    Resampler(int inRate, int outRate, int channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Starts a new stream (after a seek or with other rates).
    void reset();
    void reset(int inRate, int outRate, int channels);

    [[nodiscard]] int inRate() const { return m_inRate; }
    [[nodiscard]] int outRate() const { return m_outRate; }
    [[nodiscard]] int channels() const { return m_channels; }

    // Appends to out what the resampler can give for `in` (whole frames) so far; it holds a
    // few milliseconds back for its filter until finish().
    void process(std::span<const float> in, std::vector<float>& out);
    // Appends the frames still owed at the end of the stream.
    void finish(std::vector<float>& out);

private:
    [[nodiscard]] bool passThrough() const { return m_inRate == m_outRate; }
    [[nodiscard]] qint64 owedFrames() const;
    void run(const float* in, std::size_t frames, std::vector<float>& out);

    int m_inRate = 1;
    int m_outRate = 1;
    int m_channels = 1;
    soxr_t m_soxr = nullptr;
    qint64 m_inFrames = 0;  // taken since reset()
    qint64 m_outFrames = 0; // given since reset()
    bool m_finished = false;
};

// Whether a Resampler can change rates here; without libsoxr it passes samples through.
[[nodiscard]] bool resamplerAvailable();

// Appends `in` (interleaved float frames of inChannels channels) to `out` in the sample format
// and channel count of `format`, scaled by gain and clipped. Mono is copied to every output
// channel; more channels than the output takes are mixed down to mono for a mono output and
// dropped otherwise.
void appendConverted(std::span<const float> in, int inChannels, const AudioFormat& format,
                     float gain, QByteArray& out);

// The linear loudness factor (0 silent, 1 full) for a place on a volume slider, given as a
// fraction of its travel; places outside 0..1 count as its ends.
[[nodiscard]] double linearVolume(double sliderFraction);

} // namespace quorvela
