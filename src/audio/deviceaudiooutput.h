#pragma once

#include "audio/audiooutput.h"

#include <pulse/def.h>
#include <pulse/mainloop-api.h>
#include <pulse/sample.h>
#include <pulse/volume.h>

struct pa_context;
struct pa_operation;
struct pa_sink_input_info;
struct pa_stream;
struct pa_threaded_mainloop;

namespace quorvela {

// The default sound device, through the sound server's own client library (PulseAudio, or
// PipeWire's server for it). libpulse runs on its threaded main loop: the server's requests
// for samples are answered on that thread by copying what the engine's decoding thread has
// decoded ahead straight into the stream's memory. The loop's lock is only ever held for such
// a copy or for a call that sends a request without waiting for the answer, so neither a slow
// disk nor a server that stands still ever stalls the window.
//
// One stream lives for one track, named for the program (application name "Quorvela", icon
// "quorvela", media role "music") so the desktop's mixer and its role-based rules know it.
// Pause corks it and resume uncorks it; a flush (a seek) corks it, drops what the server
// holds and refills it from the new place, so the mixer's entry, and the level, mute and
// device the user gave it there, stay from the track's start to its end. There is never more
// than one stream of ours on the server: a new one is made only once the server has dropped
// the last, also when starts come faster than the server makes streams.
//
// The connection to the server is made at the first start() and kept. The stream holds about
// half a second, asked for in large steps, so the loop and the server wake a few times a
// second. processedUSecs() is the server's clock of what the device plays, latency included;
// while the server does not answer, it holds still, and afterwards it catches up gradually
// rather than jumping. A server that has not answered a start within ServerTimeoutMs fails
// it; when the device or the server goes away while playing, lost() says so, and the next
// start() connects anew.
class DeviceAudioOutput final : public AudioOutput {
    Q_OBJECT
public:
    static constexpr int ServerTimeoutMs = 5000;

    explicit DeviceAudioOutput(QObject* parent = nullptr);
    ~DeviceAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& file) override;
    quint64 start(const AudioFormat& format, DecodeAhead* source) override;
    void pause() override;
    void resume() override;
    void flush() override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() override;
    // The stream's volume and mute in the server: heard at once, and shown by the desktop's
    // mixer; a change the mixer makes comes back through volumeChangedOutside().
    [[nodiscard]] bool setVolume(double level, bool muted) override;

private:
    // Everything below runs with the loop's lock held.
    void connectToServer();
    void disconnectFromServer();
    void openStream();
    void releaseStream();
    void dropClosingStream();
    void restartStretch();
    void failStart(const QString& reason);
    void reportLost(const QString& reason);
    void reportFinished();
    void setPaused(bool paused);
    void cork(bool corked);
    void fill(std::size_t bytes);
    void askTiming();
    void ping();
    void drained(bool success);
    [[nodiscard]] qint64 copiedUSecs() const;
    [[nodiscard]] qint64 heardUSecs();
    [[nodiscard]] pa_cvolume streamVolume() const;
    void readVolume(const pa_cvolume& volume, bool muted);
    void sendVolume(bool volume, bool mute);
    [[nodiscard]] QString serverError() const;
    pa_time_event* armTimer(pa_usec_t afterUSecs, pa_time_event_cb_t callback);
    void cancelTimer(pa_time_event*& timer);

    static void contextStateChanged(pa_context* context, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void closingStreamStateChanged(pa_stream* stream, void* self);
    static void streamWantsData(pa_stream* stream, std::size_t bytes, void* self);
    static void streamTimingChanged(pa_stream* stream, void* self);
    static void timingAnswered(pa_stream* stream, int success, void* self);
    static void streamDrained(pa_stream* stream, int success, void* self);
    static void serverEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index,
                            void* self);
    static void streamVolumeRead(pa_context* context, const pa_sink_input_info* info, int eol,
                                 void* self);
    static void deadlinePassed(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                               void* self);
    static void refillDue(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                          void* self);
    static void lastSampleHeard(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                                void* self);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    pa_context* m_context = nullptr;
    // The current track's stream.
    pa_stream* m_stream = nullptr;
    // A stream let go that the server has not dropped yet; the next is made once it has.
    pa_stream* m_closing = nullptr;
    // The server must answer a start by then.
    pa_time_event* m_deadline = nullptr;
    // While the decoder is behind, the next look for samples.
    pa_time_event* m_refillTimer = nullptr;
    // The last sample of a drained stream is heard then.
    pa_time_event* m_endTimer = nullptr;
    pa_operation* m_timingOperation = nullptr;
    pa_operation* m_pingOperation = nullptr;
    pa_operation* m_drainOperation = nullptr;

    // The current stream, counted by start()s, and its stretch, counted by flush()es.
    quint64 m_serial = 0;
    quint64 m_stretch = 0;
    AudioFormat m_format;
    DecodeAhead* m_source = nullptr;
    // Started but not yet sounding: waiting for the server.
    bool m_starting = false;
    bool m_sounding = false;
    bool m_paused = false;

    // The stretch since the start or the last flush: what was copied into the stream, and
    // where on the stream's clock it began (-1 until the server has said).
    qint64 m_copiedFrames = 0;
    qint64 m_stretchStartUSecs = 0;
    bool m_sourceEnded = false;
    bool m_drainDone = false;
    bool m_finished = false;
    qint64 m_heardAtDrainUSecs = 0;
    pa_usec_t m_drainedAt = 0;
    // What processedUSecs() last said, and when; and until when it catches up with a server
    // that stood still (the largest time while it stands still).
    qint64 m_heardUSecs = 0;
    pa_usec_t m_heardReadAt = 0;
    pa_usec_t m_stillUntil = 0;
    // The server's reports on the stream's clock: when the last was asked for (0 once it
    // came) and when the last came.
    pa_usec_t m_timingAskedAt = 0;
    pa_usec_t m_timingAnsweredAt = 0;
    // The same for the questions that only make sure the server answers.
    pa_usec_t m_pingSentAt = 0;
    pa_usec_t m_pingAnsweredAt = 0;

    // What the stream's volume and mute are in the server, as far as we know.
    pa_volume_t m_volume = PA_VOLUME_NORM;
    bool m_muted = false;
    // Changes of ours the server has not answered yet.
    int m_volumeChangesSent = 0;
};

} // namespace quorvela
