#pragma once

#include "audio/reportqueue.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace quorvela {

class AudioOutput;
class Mp3Decoder;

// Plays one MP3 file at a time to an audio output and knows what the listener hears. It has
// no widgets: the window's transport controls, the window itself and the desktop's media
// controls are all clients of one engine, made by main(), and see its changes through its
// signals.
//
// Its interface belongs to the thread that made it (the window's), and nothing here waits for
// the sound server: the output plays on its own thread and reports back to this one. So:
// - open() opens a file at once; false when it cannot be opened or is not MPEG audio
//   (errorString() says why), and then whatever was open before stays open and playing.
// - play() starts or resumes the open file and returns at once: false only with no file open.
//   When the output then cannot start (no sound server, one that does not answer within
//   seconds), playFailed() says why and the state is Stopped again.
// - pause() and stop() drop what the output holds, so the sound ends at once; stop() puts the
//   position back to 0.
// - position() is what the listener hears, in seconds; 0 when stopped or before any file.
// - duration() is the open file's length; durationChanged() tells when it is known, at once
//   for a file with a frame count in its header, after a background scan otherwise.
// - The track ends (state Stopped) once its last sample was heard, as the output reports it.
class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    enum class State : int { Stopped = 0, Paused = 1, Playing = 2 };
    Q_ENUM(State)

    // Plays to the output QUORVELA_AUDIO_OUTPUT names.
    explicit PlaybackEngine(QObject* parent = nullptr);
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

    // Volume in percent (0 to 100), on the scale the desktop's mixers show. A change made in
    // the mixer comes back through volumeChanged() and mutedChanged(), and the next track
    // keeps whichever was made last.
    void setVolume(int percent);
    [[nodiscard]] int volume() const;
    void setMuted(bool muted);
    [[nodiscard]] bool isMuted() const { return m_muted; }

    // Replaces the audio output; playing stops first.
    void setAudioOutput(std::unique_ptr<AudioOutput> output);
    [[nodiscard]] AudioOutput* audioOutput() const { return m_output.get(); }

    // The linear loudness factor (0 silent, 1 full) for a volume level (0 to 1) on the scale
    // the desktop's mixers show, the sound server's own; levels below 0 count as 0.
    [[nodiscard]] static double linearVolume(double level);

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
    // The output took what play(), a resume or a seek started: it sounds now.
    void sounding();
    // Playing, resuming or seeking could not start the sound; the state is Stopped.
    void playFailed(const QString& reason);
    // Playing stopped by itself before the track's end: the device or the server went away.
    void interrupted(const QString& reason);

private:
    void setState(State state);
    void closeFile();
    void cancelScan();
    void startScan();
    void scanFinished(quint64 serial, qint64 frames);
    [[nodiscard]] bool startOutputAt(double seconds);
    void stopOutput();
    void outputFailed(quint64 stream, const QString& reason);
    void outputFinished(quint64 stream);
    void outputLost(quint64 stream, const QString& reason);
    void volumeChangedOutside(double level, bool muted);
    void applyGain();

    std::unique_ptr<Mp3Decoder> m_decoder;
    std::unique_ptr<AudioOutput> m_output;
    QString m_fileName;
    QString m_error;
    State m_state = State::Stopped;
    quint64 m_trackSerial = 0;
    // The output's current stream; 0 when none plays.
    quint64 m_stream = 0;

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
    ReportQueue m_scanReports;
    std::thread m_scan;
    std::shared_ptr<std::atomic<bool>> m_scanCancel;

    // The level exactly as last set, here or in the mixer (0 and up); volume() rounds it for
    // the slider.
    double m_level = 1.0;
    bool m_muted = false;
};

} // namespace quorvela
