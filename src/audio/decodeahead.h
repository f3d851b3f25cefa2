#pragma once

#include "audio/audioformat.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvela {

class AudioSource;

// Decodes the playing file ahead of the output, on a thread of its own, into a buffer of about
// a second. The output copies from the buffer on its own thread and never decodes, so a disk
// that turns slow makes the sound wait (an underrun) but never the output's lock, nor the
// window, which only ever sets what is to be decoded next.
//
// Three threads meet here, and none waits for another: the engine's (load, startAt, halt,
// setGain), the output's (read, atEnd, clear), and the decoding thread. The lock is held for a
// copy at most, never across a read of the file or a decode.
class DecodeAhead {
public:
    // Runs on the decoding thread when a start cannot be decoded in the format asked for,
    // with the number startAt() gave it.
    using FailureHandler = std::function<void(quint64 start, const QString& reason)>;

    static constexpr int BufferMs = 1000;

    explicit DecodeAhead(FailureHandler failed);
    // Waits for a read of the file under way to end.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Makes a source on the decoding thread: null when it cannot be opened.
    using SourceMaker = std::function<std::unique_ptr<AudioSource>()>;

    // The engine's side. The source of the starts that follow, which the decoding thread
    // opens with make, and closes when the next is loaded: each file is read only by the
    // thread that opened it. Nothing is decoded until the next startAt().
    void load(SourceMaker make);
    // Drops what the buffer holds and decodes from frame on, in format. Returns the start's
    // number, which a failure report carries.
    quint64 startAt(const AudioFormat& format, qint64 frame);
    // Drops what the buffer holds and decodes nothing more until the next startAt().
    void halt();
    // Loudness as a linear factor, for outputs without a volume of their own. What is
    // buffered is decoded again at the new loudness, so the change is heard as soon as the
    // output has played what it holds.
    void setGain(float gain);

    // The output's side; each call returns at once. Copies up to maxBytes of whole frames
    // decoded ahead and returns how many bytes it copied: fewer than asked (even 0) when
    // decoding is behind, as with a slow disk.
    [[nodiscard]] qsizetype read(char* data, qsizetype maxBytes);
    // True once the stream has ended and every frame of it was read.
    [[nodiscard]] bool atEnd() const;
    // Drops what the buffer holds; decoding goes on from the last start's frame. An output
    // calls it under its own lock when it drops what it holds, so that nothing decoded before
    // reaches it afterwards.
    void clear();

private:
    void run();
    void dropBuffered();
    [[nodiscard]] qsizetype freeBytes() const;
    void write(const char* data, qsizetype bytes);

    FailureHandler m_failed;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    SourceMaker m_makeSource; // waiting to replace m_source
    bool m_replaceSource = false;
    std::unique_ptr<AudioSource> m_source; // the decoding thread's alone
    // What to decode: the start's format and frame. Every drop of the buffer counts up
    // m_generation, and decoding then starts over from m_startFrame.
    AudioFormat m_format;
    qint64 m_startFrame = 0;
    quint64 m_start = 0;
    quint64 m_generation = 0;
    // Frames the output has read since decoding started at m_startFrame.
    qint64 m_framesRead = 0;
    float m_gain = 1.0f;
    bool m_decoding = false;
    bool m_sourceEnded = false;
    bool m_waitingForRoom = false;
    // The buffer, a ring of whole frames.
    std::vector<char> m_ring;
    qsizetype m_readAt = 0;
    qsizetype m_held = 0;

    std::thread m_thread;
};

} // namespace quorvela
