#pragma once

#include "audio/audiooutput.h"

#include <pulse/def.h>
#include <pulse/mainloop-api.h>
#include <pulse/sample.h>
#include <pulse/volume.h>

struct pa_context;
struct pa_sink_input_info;
struct pa_stream;
struct pa_threaded_mainloop;

namespace quorvela {

// The default sound device, through the sound server's own client library (PulseAudio, or
// PipeWire's server for it). libpulse runs on its threaded main loop: the server's requests
// for samples are answered on that thread, which decodes straight into the stream's memory,
// so a window that stands still never stalls the sound, and a server that stands still never
// stalls the window. Every call here takes the loop's lock for a moment and never waits for
// an answer from the server.
//
// Each start() makes a new stream at the file's own rate and channel count, named for the
// program (application name "Quorvela", icon "quorvela", media role "music") so the desktop's
// mixer and its role-based rules know it. The connection to the server is made at the first
// start() and kept. The stream holds about half a second, asked for in large steps, so the
// loop and the server wake a few times a second; stop() drops what it holds at once.
// processedUSecs() is the server's clock of what the device plays, latency included. A
// server that has not answered a start within ServerTimeoutMs fails it; when the device or
// the server goes away while playing, lost() says so, and the next start() connects anew.
class DeviceAudioOutput final : public AudioOutput {
    Q_OBJECT
public:
    static constexpr int ServerTimeoutMs = 5000;

    explicit DeviceAudioOutput(QObject* parent = nullptr);
    ~DeviceAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& file) override;
    quint64 start(const AudioFormat& format, AudioSource* source) override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() const override;
    // The stream's volume and mute in the server: heard at once, and shown by the desktop's
    // mixer; a change the mixer makes comes back through volumeChangedOutside().
    [[nodiscard]] bool setVolume(double level, bool muted) override;

private:
    // Everything below runs with the loop's lock held.
    void connectToServer();
    void disconnectFromServer();
    void openStream();
    void releaseStream();
    void failStart(const QString& reason);
    void reportLost(const QString& reason);
    void fill(std::size_t bytes);
    void updateTiming();
    void drained();
    [[nodiscard]] qint64 pulledUSecs() const;
    [[nodiscard]] pa_cvolume streamVolume() const;
    void readVolume(const pa_cvolume& volume, bool muted);
    void sendVolume(bool volume, bool mute);
    [[nodiscard]] QString serverError() const;
    pa_time_event* armTimer(pa_usec_t afterUSecs, pa_time_event_cb_t callback);
    void cancelTimer(pa_time_event*& timer);

    static void contextStateChanged(pa_context* context, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void streamWantsData(pa_stream* stream, std::size_t bytes, void* self);
    static void streamTimingChanged(pa_stream* stream, void* self);
    static void streamDrained(pa_stream* stream, int success, void* self);
    static void serverEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index,
                            void* self);
    static void streamVolumeRead(pa_context* context, const pa_sink_input_info* info, int eol,
                                 void* self);
    static void deadlinePassed(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                               void* self);
    static void lastSampleHeard(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                                void* self);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    // The server must answer a start by then.
    pa_time_event* m_deadline = nullptr;
    // The last sample of a drained stream is heard then.
    pa_time_event* m_endTimer = nullptr;

    // The current stream, counted by start()s.
    quint64 m_serial = 0;
    AudioFormat m_format;
    AudioSource* m_source = nullptr;
    // Started but not yet sounding: waiting for the server.
    bool m_starting = false;
    bool m_sounding = false;
    qint64 m_pulledFrames = 0;
    bool m_sourceEnded = false;
    bool m_drainDone = false;
    bool m_finished = false;
    qint64 m_heardAtDrainUSecs = 0;
    pa_usec_t m_drainedAt = 0;
    pa_usec_t m_lastTimingUpdate = 0;
    // What the stream's volume and mute are in the server, as far as we know.
    pa_volume_t m_volume = PA_VOLUME_NORM;
    bool m_muted = false;
    // Changes of ours the server has not answered yet.
    int m_volumeChangesSent = 0;
};

} // namespace quorvela
