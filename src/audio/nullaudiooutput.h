#pragma once

#include "audio/audiooutput.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

namespace quorvela {

// An ideal device that plays into nothing: it pulls samples at the pace of the wall clock,
// keeping a buffer ahead like a real device, so positions and track ends behave as they
// would with sound. It takes 16-bit samples at the source's own rate and channel count, or
// only the one format it was made with, as a device that refuses others would. Nothing runs
// between stop() and start().
class NullAudioOutput : public AudioOutput {
    Q_OBJECT
public:
    // An invalid format (the default) follows the source.
    explicit NullAudioOutput(const AudioFormat& format = {}, QObject* parent = nullptr);
    ~NullAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& source) override;
    [[nodiscard]] bool start(QIODevice* source) override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() const override;
    [[nodiscard]] QString errorString() const override { return m_error; }

protected:
    // Receives every pulled byte, whole frames, in order.
    virtual void consume(const char* data, qint64 size);
    // Called by start(); false (with setError()) refuses to start.
    [[nodiscard]] virtual bool open() { return true; }
    void setError(const QString& error) { m_error = error; }
    [[nodiscard]] AudioFormat format() const { return m_format; }
    // Frames pulled since start(), and how many of them the listener has heard by now.
    [[nodiscard]] qint64 pulledFrames() const { return m_pulledFrames; }
    [[nodiscard]] qint64 heardFrames() const;

private:
    void pull();
    [[nodiscard]] qint64 clockUSecs() const;

    AudioFormat m_fixedFormat;
    AudioFormat m_format;
    QIODevice* m_source = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_pulledFrames = 0;
    qint64 m_stoppedAtUSecs = 0; // the clock, frozen by stop()
    bool m_running = false;
    bool m_drained = false;
    QByteArray m_buffer;
    QString m_error;
};

} // namespace quorvela
