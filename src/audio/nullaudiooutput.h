#pragma once

#include "audio/audiooutput.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvela {

// An ideal device that plays into nothing: on a thread of its own it pulls samples at the
// pace of the wall clock, keeping a buffer ahead like a real device, so positions and track
// ends behave as they would with sound. It takes the file's own format, or only the one it
// was made with, as a device that refuses others would.
class NullAudioOutput : public AudioOutput {
    Q_OBJECT
public:
    // An invalid format (the default) follows the file.
    explicit NullAudioOutput(const AudioFormat& format = {}, QObject* parent = nullptr);
    ~NullAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& file) override;
    quint64 start(const AudioFormat& format, AudioSource* source) override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() const override;

protected:
    using Clock = std::chrono::steady_clock;

    // The hooks below run with the output's lock held, on whichever thread holds it.
    // Called by start() before the stream runs; an error text refuses to start.
    [[nodiscard]] virtual QString open(const AudioFormat& format) {
        Q_UNUSED(format);
        return {};
    }
    // Receives every pulled byte, whole frames, in order.
    virtual void consume(const char* data, qsizetype size) {
        Q_UNUSED(data);
        Q_UNUSED(size);
    }
    // The clock moved on: heardFrames() may have grown.
    virtual void heard() {}
    // The stream ended (stopped or played out); what was pulled but not heard is dropped.
    virtual void ended() {}

    [[nodiscard]] AudioFormat format() const { return m_format; }
    [[nodiscard]] qint64 pulledFrames() const { return m_pulledFrames; }
    // How many of the pulled frames the listener has heard by now.
    [[nodiscard]] qint64 heardFrames() const;

    // Stops the thread; a subclass calls it first in its destructor, before its own members go.
    void shutDown();

private:
    void run();
    void pull();
    [[nodiscard]] qint64 clockUSecs() const;
    [[nodiscard]] qint64 pulledUSecs() const;
    void endStream();

    AudioFormat m_fixedFormat;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_quit = false;
    // The stream, all under m_mutex.
    AudioFormat m_format;
    AudioSource* m_source = nullptr;
    quint64 m_serial = 0;
    bool m_running = false;
    bool m_sourceEnded = false;
    bool m_finished = false;
    Clock::time_point m_startedAt;
    qint64 m_pulledFrames = 0;
    std::vector<char> m_buffer;
};

} // namespace quorvela
