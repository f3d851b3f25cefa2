#pragma once

#include "components/audiooutput.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

namespace quorvela {

// An ideal device that plays into nothing: it pulls samples at the pace of the wall clock,
// keeping a short buffer ahead like a real device, so positions and track ends behave as
// they would with sound. Nothing runs between stop() and start(), nor while suspended.
class NullAudioOutput : public AudioOutput {
    Q_OBJECT
public:
    // 48 kHz stereo 16-bit, what sound devices commonly take.
    [[nodiscard]] static QAudioFormat defaultFormat();

    explicit NullAudioOutput(const QAudioFormat& format = defaultFormat(),
                             QObject* parent = nullptr);
    ~NullAudioOutput() override;

    [[nodiscard]] QAudioFormat formatFor(const QAudioFormat& source) override;
    [[nodiscard]] bool start(QIODevice* source) override;
    void suspend() override;
    void resume() override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() const override;
    [[nodiscard]] QString errorString() const override { return m_error; }

protected:
    // Receives every pulled byte, whole frames, in order.
    virtual void consume(const char* data, qint64 size);
    // Called by start(); false (with setError()) refuses to start.
    [[nodiscard]] virtual bool open() { return true; }
    void setError(const QString& error) { m_error = error; }
    [[nodiscard]] QAudioFormat format() const { return m_format; }
    // Frames pulled since start(), and how many of them the listener has heard by now.
    [[nodiscard]] qint64 pulledFrames() const { return m_pulledFrames; }
    [[nodiscard]] qint64 heardFrames() const;

private:
    void pull();
    [[nodiscard]] qint64 clockUSecs() const;

    QAudioFormat m_format;
    QIODevice* m_source = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_heardBeforeSuspend = 0; // microseconds of clock time before the last suspend()
    qint64 m_pulledFrames = 0;
    bool m_running = false;
    bool m_drained = false;
    QByteArray m_buffer;
    QString m_error;
};

} // namespace quorvela
