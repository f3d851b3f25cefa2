#pragma once

#include "audio/audioformat.h"
#include "audio/decodeahead.h"
#include "audio/reportqueue.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace quorvela {

class AudioOutput;

// Plays one MP3 file at a time to an audio output and knows what the listener hears. It has
// no widgets: the window's transport controls, the window itself and the desktop's media
// controls are all clients of one engine, made by main(), and see its changes through its
// signals.
//
// Its interface belongs to the thread that made it (the window's), and nothing here waits for
// the sound server or, once a file is open, for the disk: one decoding thread of the engine's
// own reads and decodes ahead of the output, and the output plays on a thread of its own;
// both report back to this one. So:
// - open() opens a file at once; false when it cannot be opened or is not MPEG audio
//   (errorString() says why), and then whatever was open before stays open and playing.
// - play() starts or resumes the open file and returns at once: false only with no file open.
//   When the output then cannot start (no sound server, one that does not answer within
//   seconds), playFailed() says why and the state is Stopped again.
// - One output stream lives from a track's start to its end: pause() holds it silent, play()
//   goes on, and seek() drops what it holds and refills it from the new place. The sound ends
//   at once on pause() and stop(); stop() puts the position back to 0 and lets the stream go.
// - position() is what the listener hears, in seconds, never beyond duration(); 0 when
//   stopped or before any file.
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
    [[nodiscard]] bool isOpen() const { return m_fileFormat.isValid(); }
    [[nodiscard]] QString fileName() const { return m_fileName; }
    // Counts the files opened, so that two openings of the same file tell apart.
    [[nodiscard]] quint64 trackSerial() const { return m_trackSerial; }

    [[nodiscard]] bool play();
    void pause();
    void stop();
    // Moves to the given second while playing or paused, or to the end for a second beyond
    // it; false when stopped or no file.
    [[nodiscard]] bool seek(double seconds);

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] double position() const;
    [[nodiscard]] double duration() const;
    [[nodiscard]] bool isDurationExact() const { return m_lengthExact; }
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
    [[nodiscard]] AudioFormat outputFormat() const;
    [[nodiscard]] qint64 frameAt(double seconds) const;
    void startOutput();
    void stopOutput();
    void decodingFailed(quint64 start, const QString& reason);
    void outputFailed(quint64 stream, const QString& reason);
    void failPlaying(const QString& reason);
    void outputFinished(quint64 stream);
    void outputLost(quint64 stream, const QString& reason);
    void volumeChangedOutside(double level, bool muted);
    void applyGain();

    std::unique_ptr<AudioOutput> m_output;
    QString m_fileName;
    QString m_error;
    State m_state = State::Stopped;
    quint64 m_trackSerial = 0;
    // The output's current stream; 0 when none plays.
    quint64 m_stream = 0;

    // What the open file holds, as its first frame says (invalid with no file open).
    AudioFormat m_fileFormat;
    qint64 m_lengthFrames = -1;
    bool m_lengthExact = false;
    // Where the output's clock started in the file, in seconds: the start, or the place of
    // the last pause or seek.
    double m_stretchStart = 0.0;

    // The length scan of a file without a frame count. A new file cancels it, which ends it
    // within one read; the window never waits for that read, and the engine's end does.
    struct Scan {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
        std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
    };
    ReportQueue m_scanReports;
    Scan m_scan;
    std::vector<Scan> m_cancelledScans;

    // The level exactly as last set, here or in the mixer (0 and up); volume() rounds it for
    // the slider.
    double m_level = 1.0;
    bool m_muted = false;

    // Reads and decodes the open file ahead of the output; its failures come back through
    // m_decodeReports. Declared last, so that its thread ends first.
    ReportQueue m_decodeReports;
    quint64 m_decodeStart = 0;
    DecodeAhead m_decoder;
};

} // namespace quorvela
