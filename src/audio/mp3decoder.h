#pragma once

#include "audio/audioformat.h"
#include "audio/audiosource.h"

#include <QString>

#include <atomic>
#include <memory>

struct mpg123_handle_struct;

namespace quorvela {

struct DecoderInput;

// One MPEG audio file (MPEG 1, 2 and 2.5, layers I to III) decoded by libmpg123 to
// interleaved 16-bit samples, the format every output takes. ID3v1/v2 and APE tags are
// skipped; encoder delay and padding from a LAME/Info header are dropped, so a file decodes
// to exactly the samples that were encoded.
//
// Not thread-safe: one thread at a time uses one decoder. The engine opens it, then hands it
// to its decoding thread; setGain() alone may be called from any thread at any time.
class Mp3Decoder final : public AudioSource {
public:
    Mp3Decoder();
    ~Mp3Decoder() override;
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Opens the file and checks that it holds MPEG audio: at least one frame must decode.
    // Closes whatever was open first. False (with errorString()) when the file is missing,
    // unreadable, empty or not MPEG audio.
    [[nodiscard]] bool open(const QString& path);
    void close();
    [[nodiscard]] bool isOpen() const { return m_handle != nullptr; }

    // The rate and channel count of the file's first frame.
    [[nodiscard]] int sampleRate() const { return m_rate; }
    [[nodiscard]] int channels() const { return m_channels; }
    // Length in sample frames at sampleRate(); exact when isLengthExact(), otherwise an
    // estimate from the file size (or -1 when there is none).
    [[nodiscard]] qint64 lengthFrames() const { return m_length; }
    // True when a Xing/Info header told the frame count.
    [[nodiscard]] bool isLengthExact() const { return m_lengthExact; }

    // What read() gives: 16-bit samples at the file's own rate and channel count, unless an
    // output asked for another with setOutputFormat(). A stream glued together from parts of
    // different rates or channel counts keeps this format throughout: libmpg123 converts.
    [[nodiscard]] AudioFormat outputFormat() const override { return m_format; }
    // Has libmpg123 give another rate or channel count, starting over from the file's start.
    // False (with errorString(), and the decoder closed) when it cannot.
    [[nodiscard]] bool setOutputFormat(const AudioFormat& format) override;

    // Fills data with whole frames of outputFormat(). A damaged frame is skipped; 0 means the
    // end of the file.
    [[nodiscard]] qsizetype read(char* data, qsizetype maxBytes) override;
    [[nodiscard]] bool atEnd() const { return m_atEnd; }

    // Moves to the given frame of outputFormat(); the next read() starts there.
    [[nodiscard]] bool seek(qint64 frame) override;

    // Loudness as a linear factor, applied by the decoder from its next read() on.
    void setGain(float gain) override { m_gain.store(gain, std::memory_order_relaxed); }

    [[nodiscard]] QString errorString() const override { return m_error; }

    // Reads the whole file once for its exact length in sample frames; -1 when that fails or
    // when cancel is set, which ends the scan at its next read. Uses its own handle, so it may
    // run on any thread while another decoder plays the file.
    [[nodiscard]] static qint64 scanLength(const QString& path,
                                           const std::atomic<bool>* cancel = nullptr);

private:
    bool fail(const QString& message);
    void closeHandle();
    bool openHandle(const AudioFormat& format);
    qsizetype decode(char* data, qsizetype maxBytes);

    QString m_path;
    mpg123_handle_struct* m_handle = nullptr;
    std::unique_ptr<DecoderInput> m_input;
    AudioFormat m_format;
    int m_rate = 0;
    int m_channels = 0;
    qint64 m_length = -1;
    bool m_lengthExact = false;
    bool m_atEnd = false;
    std::atomic<float> m_gain{1.0f};
    float m_appliedGain = 1.0f;
    QString m_error;
};

// A new libmpg123 handle that says nothing on stderr, with the given MPG123_FLAGS besides;
// null when libmpg123 cannot make one.
[[nodiscard]] mpg123_handle_struct* newMpg123Handle(long flags);

} // namespace quorvela
