#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

namespace quorvela {

class AudioOutput;
class DecoderSource;
class Mp3Decoder;

// Plays one MP3 file at a time to an audio output and knows what the listener hears. It has
// no widgets: the media player's controls, the window and the desktop's media controls are
// all clients of one engine and see its changes through its signals.
//
// Contract:
// - open() opens a file at once; false when it cannot be opened or is not MPEG audio
//   (errorString() says why), and then whatever was open before stays open and playing.
// - play() starts or resumes the open file; false when no audio output can be started.
// - stop() stops playing; the position goes back to 0.
// - position() is what the listener hears, in seconds; 0 when stopped or before any file.
// - duration() is the open file's length; durationChanged() tells when it is known, at once
//   for a file with a frame count in its header, after a background scan otherwise.
class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    enum class State : int { Stopped = 0, Paused = 1, Playing = 2 };
    Q_ENUM(State)

    // A null output selects the one QUORVELA_AUDIO_OUTPUT names.
    explicit PlaybackEngine(std::unique_ptr<AudioOutput> output, QObject* parent = nullptr);
    ~PlaybackEngine() override;

    [[nodiscard]] bool open(const QString& path);
    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] QString fileName() const { return m_fileName; }
    // Counts the files opened, so that two openings of the same file tell apart.
    [[nodiscard]] quint64 trackSerial() const { return m_trackSerial; }

    [[nodiscard]] bool play();
    void pause();
    void stop();
    // Moves to the given second while playing or paused; false when stopped or no file.
    [[nodiscard]] bool seek(double seconds);

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] double position() const;
    [[nodiscard]] double duration() const;
    [[nodiscard]] bool isDurationExact() const;
    [[nodiscard]] QString errorString() const { return m_error; }

    // Volume in percent (0 to 100), on a perceptual scale.
    void setVolume(int percent);
    [[nodiscard]] int volume() const { return m_volume; }
    void setMuted(bool muted);
    [[nodiscard]] bool isMuted() const { return m_muted; }

    // Replaces the audio output; playing stops first.
    void setAudioOutput(std::unique_ptr<AudioOutput> output);
    [[nodiscard]] AudioOutput* audioOutput() const { return m_output.get(); }

signals:
    void stateChanged(quorvela::PlaybackEngine::State oldState,
                      quorvela::PlaybackEngine::State newState);
    // A new file was opened; its length may follow later through durationChanged().
    void trackChanged();
    void durationChanged(double seconds);
    // The position jumped to the given second.
    void seeked(double seconds);
    void volumeChanged(int percent);
    void mutedChanged(bool muted);

private:
    void setState(State state);
    void closeFile();
    void cancelScan();
    void startScan();
    void scanFinished(quint64 serial, qint64 frames);
    [[nodiscard]] bool startOutputAt(double seconds);
    void stopOutput();
    void outputDrained();
    void outputLost(const QString& reason);
    void checkTrackEnd();
    void applyGain();

    std::unique_ptr<Mp3Decoder> m_decoder;
    std::unique_ptr<DecoderSource> m_source;
    std::unique_ptr<AudioOutput> m_output;
    QString m_fileName;
    QString m_error;
    State m_state = State::Stopped;
    quint64 m_trackSerial = 0;

    // Where the output's clock started in the file, in seconds.
    double m_startSeconds = 0.0;
    // The decoder still sits at the start of a freshly opened file.
    bool m_atFileStart = false;
    // Set while paused: the output restarts at m_startSeconds on resume.
    bool m_restartOnResume = false;
    qint64 m_lengthFrames = -1;
    int m_fileRate = 0;
    bool m_scanned = false;

    // The length scan of a file without a frame count. A new file cancels it, which ends it
    // within one read, so the window never waits for a scan of a file it has left.
    std::thread m_scan;
    std::shared_ptr<std::atomic<bool>> m_scanCancel;

    // Armed only between the source's end and the moment its last sample was heard.
    QTimer m_endTimer;
    QElapsedTimer m_drainClock; // valid from the source's end until the output stops
    qint64 m_lastHeardUSecs = 0;
    qint64 m_lastProgressMs = 0;
    // Should an output miss telling that its source ran dry, this still ends the track.
    QTimer m_watchdog;

    int m_volume = 100;
    bool m_muted = false;
};

} // namespace quorvela
