#pragma once

#include "audio/audiooutput.h"

#include <QElapsedTimer>

#include <pulse/volume.h>

#include <memory>

struct pa_context;
struct pa_stream;

namespace quorvela {

class PulseMainloop;

// The default sound device, through the sound server's own client library (PulseAudio, or
// PipeWire's server for it), served by the program's event loop on its one thread.
//
// Each start() makes a new stream at the source's own rate and channel count, named for the
// program (application name "Quorvela", icon "quorvela", media role "music") so the desktop's
// mixer and its role-based rules know it. The stream holds about half a second, asked for in
// large steps, so the program and the server wake a few times a second; stop() drops what it
// holds at once. processedUSecs() is the server's clock of what the device plays, latency
// included. When the device or the server goes away, lost() says so; the server moves the
// stream by itself when another device is left.
class DeviceAudioOutput final : public AudioOutput {
    Q_OBJECT
public:
    explicit DeviceAudioOutput(QObject* parent = nullptr);
    ~DeviceAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& source) override;
    [[nodiscard]] bool start(QIODevice* source) override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() const override;
    [[nodiscard]] QString errorString() const override { return m_error; }
    // The stream's volume in the server: heard at once, and shown by the desktop's mixer.
    [[nodiscard]] bool setVolume(float linear) override;

private:
    [[nodiscard]] bool connectToServer();
    void disconnectFromServer();
    void releaseStream();
    void fill(std::size_t bytes);
    void updateTiming();
    void relaxReading();
    void reportLost(const QString& reason);
    [[nodiscard]] pa_cvolume streamVolume() const;
    [[nodiscard]] QString serverError() const;

    static void contextStateChanged(pa_context* context, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void streamWantsData(pa_stream* stream, std::size_t bytes, void* self);
    static void streamDrained(pa_stream* stream, int success, void* self);
    static void streamTimingChanged(pa_stream* stream, void* self);
    static void timingUpdated(pa_stream* stream, int success, void* self);

    std::unique_ptr<PulseMainloop> m_loop;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    AudioFormat m_format;
    QIODevice* m_source = nullptr;
    qint64 m_pulledFrames = 0;
    bool m_sourceEnded = false;
    bool m_drainDone = false;
    qint64 m_heardAtDrainUSecs = 0;
    QElapsedTimer m_drainClock;
    QElapsedTimer m_lastTimingUpdate;
    bool m_timingPending = false;
    // Counts start()s, so that a loss reported late never stops a later stream.
    quint64 m_streamSerial = 0;
    float m_volume = 1.0f;
    QString m_error;
};

} // namespace quorvela
