#pragma once

#include "audio/audiooutput.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvela {

// An ideal device that plays into nothing: on a thread of its own it copies samples at the
// pace of the wall clock, keeping a buffer ahead like a real device, so positions and track
// ends behave as they would with sound. When the samples do not come in time, the sound waits
// for them, as a device's underrun does. It takes the file's own format, or only the one it
// was made with, as a device that refuses others would.
class NullAudioOutput : public AudioOutput {
    Q_OBJECT
public:
    // An invalid format (the default) follows the file.
    explicit NullAudioOutput(const AudioFormat& format = {}, QObject* parent = nullptr);
    ~NullAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& file) override;
    quint64 start(const AudioFormat& format, DecodeAhead* source) override;
    void pause() override;
    void resume() override;
    void flush() override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() override;

protected:
    using Clock = std::chrono::steady_clock;

    // The hooks below run with the output's lock held, on whichever thread holds it.
    // Called by start() before the stream runs; an error text refuses to start.
    [[nodiscard]] virtual QString open(const AudioFormat& format) {
        Q_UNUSED(format);
        return {};
    }
    // Receives every copied byte, whole frames, in order.
    virtual void consume(const char* data, qsizetype size) {
        Q_UNUSED(data);
        Q_UNUSED(size);
    }
    // The clock moved on: heardFrames() may have grown.
    virtual void heard() {}
    // What was copied but not heard is dropped: the stream ended (stopped or played out), or
    // was flushed and goes on from another place with a clock back at 0.
    virtual void dropped() {}

    [[nodiscard]] AudioFormat format() const { return m_format; }
    // How many of the frames copied since the start or the last flush the listener has heard.
    [[nodiscard]] qint64 heardFrames() const;

    // Stops the thread; a subclass calls it first in its destructor, before its own members go.
    void shutDown();

private:
    void run();
    // Copies up to the lead; false when the source had less than that, and has not ended.
    bool pull();
    [[nodiscard]] qint64 clockUSecs() const;
    [[nodiscard]] qint64 copiedUSecs() const;
    void endStream();
    void restartClock();

    AudioFormat m_fixedFormat;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_quit = false;
    // The stream, all under m_mutex.
    AudioFormat m_format;
    DecodeAhead* m_source = nullptr;
    quint64 m_serial = 0;
    // Counts the stretches of the stream that flush() began, so that a report about one
    // already dropped is not delivered.
    quint64 m_stretch = 0;
    bool m_running = false;
    bool m_paused = false;
    bool m_sourceEnded = false;
    bool m_finished = false;
    // The listener's clock: m_clockUSecs, plus the time since m_clockSince while it runs.
    qint64 m_clockUSecs = 0;
    Clock::time_point m_clockSince;
    qint64 m_copiedFrames = 0;
    std::vector<char> m_buffer;
};

} // namespace quorvela
