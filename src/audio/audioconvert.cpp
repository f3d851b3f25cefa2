#include "audio/audioconvert.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvela {

namespace {
// libsoxr, and the OpenMP runtime it brings along, take half a megabyte that a player whose
// files all play at the device's own rate never needs: they are loaded at the first file
// that has to be converted, and stay loaded from then on.
struct Soxr {
    decltype(&soxr_create) create = nullptr;
    decltype(&soxr_process) process = nullptr;
    decltype(&soxr_clear) clear = nullptr;
    decltype(&soxr_delete) destroy = nullptr;
    decltype(&soxr_io_spec) ioSpec = nullptr;
    decltype(&soxr_quality_spec) qualitySpec = nullptr;
};

template <typename Function> bool resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Null when the library is missing or is not the one we were built for.
const Soxr* soxr() {
    static const Soxr* const loaded = []() -> const Soxr* {
        void* library = dlopen(QUORVELA_SOXR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static Soxr api;
        if (resolve(library, "soxr_create", api.create) &&
            resolve(library, "soxr_process", api.process) &&
            resolve(library, "soxr_clear", api.clear) &&
            resolve(library, "soxr_delete", api.destroy) &&
            resolve(library, "soxr_io_spec", api.ioSpec) &&
            resolve(library, "soxr_quality_spec", api.qualitySpec))
            return &api;
        dlclose(library);
        return nullptr;
    }();
    return loaded;
}
} // namespace

bool resamplerAvailable() {
    return soxr() != nullptr;
}

Resampler::Resampler(int inRate, int outRate, int channels) {
    reset(inRate, outRate, channels);
}

Resampler::~Resampler() {
    if (m_soxr)
        soxr()->destroy(m_soxr);
}

void Resampler::reset(int inRate, int outRate, int channels) {
    inRate = std::max(1, inRate);
    outRate = std::max(1, outRate);
    channels = std::max(1, channels);
    if (m_soxr && (inRate != m_inRate || outRate != m_outRate || channels != m_channels)) {
        soxr()->destroy(m_soxr);
        m_soxr = nullptr;
    }
    m_inRate = inRate;
    m_outRate = outRate;
    m_channels = channels;
    reset();
}

void Resampler::reset() {
    m_inFrames = 0;
    m_outFrames = 0;
    m_finished = false;
    if (passThrough())
        return;
    if (m_soxr) {
        soxr()->clear(m_soxr);
        return;
    }
    const Soxr* api = soxr();
    if (!api)
        return;
    const soxr_io_spec_t io = api->ioSpec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = api->qualitySpec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    m_soxr = api->create(m_inRate, m_outRate, static_cast<unsigned>(m_channels), &error, &io,
                         &quality, nullptr);
    if (error) {
        api->destroy(m_soxr);
        m_soxr = nullptr;
    }
}

qint64 Resampler::owedFrames() const {
    return (m_inFrames * m_outRate + m_inRate / 2) / m_inRate - m_outFrames;
}

void Resampler::run(const float* in, std::size_t frames, std::vector<float>& out) {
    const auto channels = static_cast<std::size_t>(m_channels);
    // Room for what this chunk brings and what the filter still holds.
    const auto room =
        static_cast<std::size_t>(static_cast<qint64>(frames) * m_outRate / m_inRate + 1024);
    for (;;) {
        const std::size_t start = out.size();
        out.resize(start + room * channels);
        std::size_t taken = 0;
        std::size_t given = 0;
        const soxr_error_t error =
            soxr()->process(m_soxr, in, frames, &taken, out.data() + start, room, &given);
        out.resize(start + (error ? 0 : given) * channels);
        m_outFrames += static_cast<qint64>(error ? 0 : given);
        if (error || (in && taken >= frames) || (!in && given == 0))
            return;
        if (in) {
            in += taken * channels;
            frames -= taken;
        }
    }
}

void Resampler::process(std::span<const float> in, std::vector<float>& out) {
    const auto channels = static_cast<std::size_t>(m_channels);
    const std::size_t frames = in.size() / channels;
    if (frames == 0 || m_finished)
        return;
    m_inFrames += static_cast<qint64>(frames);
    if (passThrough() || !m_soxr) {
        // Without a resampler (it could not be made), the frames still arrive, at the wrong
        // pitch rather than not at all.
        out.insert(out.end(), in.begin(),
                   in.begin() + static_cast<std::ptrdiff_t>(frames * channels));
        m_outFrames += static_cast<qint64>(frames);
        return;
    }
    run(in.data(), frames, out);
}

void Resampler::finish(std::vector<float>& out) {
    if (passThrough() || m_finished || m_inFrames == 0)
        return;
    m_finished = true;
    const qint64 owed = owedFrames();
    std::vector<float> tail;
    if (m_soxr)
        run(nullptr, 0, tail);
    // The filter's tail can differ from the exact length by a frame or two either way.
    const auto channels = static_cast<std::size_t>(m_channels);
    const auto wanted = static_cast<std::size_t>(std::max<qint64>(0, owed)) * channels;
    tail.resize(wanted, 0.0f);
    out.insert(out.end(), tail.begin(), tail.end());
    m_outFrames = (m_inFrames * m_outRate + m_inRate / 2) / m_inRate;
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
    if (inCh == outCh) {
        // The usual case, done sample by sample so that the compiler can run it in vectors.
        const float* from = in.data();
        for (std::size_t i = 0; i < frames * outCh; ++i)
            dest[i] = convert(from[i] * gain);
        return;
    }
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

void appendConverted(std::span<const float> in, int inChannels, const AudioFormat& format,
                     float gain, QByteArray& out) {
    const int outChannels = format.channelCount();
    if (inChannels <= 0 || outChannels <= 0)
        return;
    switch (format.sampleFormat()) {
    case AudioFormat::UInt8:
        appendFrames<quint8>(in, inChannels, outChannels, gain, out, [](float v) {
            return static_cast<quint8>(rounded<int>(clipped(v) * 127.0f) + 128);
        });
        break;
    case AudioFormat::Int16:
        // The decoder's floats are its 16-bit samples over 32768: scaled back the same way, a
        // file plays exactly as the reference decoder writes it.
        // Written without branches (rounding half away from zero, as rounded() does), so that
        // the loop runs in vectors.
        appendFrames<qint16>(in, inChannels, outChannels, gain, out, [](float v) {
            const float scaled = std::min(std::max(v * 32768.0f, -32768.0f), 32767.0f);
            return static_cast<qint16>(scaled + std::copysign(0.5f, scaled));
        });
        break;
    case AudioFormat::Int32:
        appendFrames<qint32>(in, inChannels, outChannels, gain, out, [](float v) {
            return static_cast<qint32>(
                std::llround(static_cast<double>(clipped(v)) * 2147483647.0));
        });
        break;
    case AudioFormat::Float:
        appendFrames<float>(in, inChannels, outChannels, gain, out,
                            [](float v) { return clipped(v); });
        break;
    case AudioFormat::Unknown:
        break;
    }
}

double linearVolume(double sliderFraction) {
    // Even steps of the slider are heard as even steps of loudness: the factor grows
    // exponentially, from silence at 0 to full at 0.99 (a range of 40 dB), and stays full to
    // the end.
    if (!(sliderFraction > 0.0))
        return 0.0;
    if (sliderFraction >= 0.99)
        return 1.0;
    return -std::log10(1.0 - sliderFraction) / 2.0;
}

} // namespace quorvela
