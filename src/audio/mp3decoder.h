#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <span>

struct mpg123_handle_struct;

namespace quorvela {

struct DecoderInput;

// One MPEG audio file (MPEG 1, 2 and 2.5, layers I to III) decoded to interleaved float
// samples. ID3v1/v2 and APE tags are skipped; encoder delay and padding from a LAME/Info
// header are dropped, so a file decodes to exactly the samples that were encoded.
//
// Not thread-safe: one thread uses one decoder. Separate decoders may run on separate
// threads (the length scan does).
class Mp3Decoder {
public:
    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Opens the file and checks that it holds MPEG audio: at least one frame must decode.
    // Closes whatever was open first. False (with errorString()) when the file is missing,
    // unreadable, empty or not MPEG audio.
    [[nodiscard]] bool open(const QString& path);
    void close();
    [[nodiscard]] bool isOpen() const { return m_handle != nullptr; }

    [[nodiscard]] int sampleRate() const { return m_rate; }
    [[nodiscard]] int channels() const { return m_channels; }
    // Length in sample frames; exact when isLengthExact(), otherwise an estimate from the
    // file size (or -1 when there is none).
    [[nodiscard]] qint64 lengthFrames() const { return m_length; }
    // True when a Xing/Info header told the frame count or the length came from a scan.
    [[nodiscard]] bool isLengthExact() const { return m_lengthExact; }

    // Decodes the next MPEG frame. The samples stay valid until the next call to any member.
    // A damaged frame is skipped; an empty span means the end of the file. sampleRate() and
    // channels() may change between calls on a stream glued together from different files.
    [[nodiscard]] std::span<const float> decodeFrame();
    [[nodiscard]] bool atEnd() const { return m_atEnd; }

    // Moves to the given sample frame; the next decodeFrame() starts there.
    [[nodiscard]] bool seek(qint64 frame);

    [[nodiscard]] QString errorString() const { return m_error; }

    // Reads the whole file once for its exact length in sample frames; -1 when that fails or
    // when cancel is set, which ends the scan at its next read. Uses its own handle, so it may
    // run on any thread while another decoder plays the file.
    [[nodiscard]] static qint64 scanLength(const QString& path,
                                           const std::atomic<bool>* cancel = nullptr);

private:
    bool fail(const QString& message);
    void readFormat();

    mpg123_handle_struct* m_handle = nullptr;
    std::unique_ptr<DecoderInput> m_input;
    int m_rate = 0;
    int m_channels = 0;
    qint64 m_length = -1;
    bool m_lengthExact = false;
    bool m_atEnd = false;
    // A frame decoded while checking the file, handed out by the first decodeFrame().
    bool m_haveFirstFrame = false;
    const float* m_firstSamples = nullptr;
    std::size_t m_firstCount = 0;
    QString m_error;
};

} // namespace quorvela
