#pragma once

#include "components/mp3decoder.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <thread>

class QSlider;
class QToolButton;

namespace quorvela {

class AudioOutput;
class DecoderSource;

// The player window's media player: opens an MP3 file, plays it to the audio output and
// reports where it is. It shows its own small transport controls.
//
// Contract relied on by the window:
// - setFileName() opens the file at once; false when it cannot be opened or is not MPEG
//   audio (errorString() says why). The previous file is closed either way.
// - play() starts the file last opened; false when no audio output can be started.
// - stop() stops playing; the position goes back to 0.
// - currentPosition() is the position the listener hears, in seconds; readable at any time,
//   0 before any file was opened.
// - duration() is the open file's length in seconds.
// - playStateChange() is emitted at least once after a newly opened file's length is known,
//   and on every change of the play state.
//
// The audio output is the one QUORVELA_AUDIO_OUTPUT selects (see createAudioOutput()) unless
// one is handed in.
class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    enum class State : int { Stopped = 0, Paused = 1, Playing = 2 };
    Q_ENUM(State)

    explicit MediaPlayer(QWidget* parent = nullptr);
    explicit MediaPlayer(std::unique_ptr<AudioOutput> output, QWidget* parent = nullptr);
    ~MediaPlayer() override;

    [[nodiscard]] bool setFileName(const QString& path);
    [[nodiscard]] QString fileName() const { return m_fileName; }
    [[nodiscard]] bool play();
    void stop();
    [[nodiscard]] double currentPosition() const;
    [[nodiscard]] double duration() const;
    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] QString errorString() const { return m_error; }

    // Pauses while playing; play() goes on from there.
    void pause();
    // Moves to the given second while playing or paused; false when stopped or no file.
    [[nodiscard]] bool seek(double seconds);
    // True once the length is exact: at once for a file with a frame count in its header,
    // after a background scan otherwise.
    [[nodiscard]] bool isDurationExact() const { return m_decoder.isLengthExact() || m_scanned; }

    // Volume in percent (0 to 100), on a perceptual scale.
    void setVolume(int percent);
    [[nodiscard]] int volume() const { return m_volume; }
    void setMuted(bool muted);
    [[nodiscard]] bool isMuted() const { return m_muted; }

    // Replaces the audio output; playing stops first.
    void setAudioOutput(std::unique_ptr<AudioOutput> output);
    [[nodiscard]] AudioOutput* audioOutput() const { return m_output.get(); }

    // The controls, by the names they carry as objectName too.
    QToolButton* cmdPlayPause = nullptr;
    QToolButton* cmdStop = nullptr;
    QSlider* sldPosition = nullptr;
    QToolButton* cmdMute = nullptr;
    QSlider* sldVolume = nullptr;

signals:
    void playStateChange(int oldState, qint32 newState);

private:
    void createControls();
    void setState(State state);
    void closeFile();
    void joinScan();
    void startScan();
    void scanFinished(quint64 generation, qint64 frames);
    [[nodiscard]] bool startOutputAt(double seconds);
    void stopOutput();
    void outputDrained();
    void checkTrackEnd();
    void applyGain();
    void updateControls();
    void updatePositionSlider();

    Mp3Decoder m_decoder;
    std::unique_ptr<DecoderSource> m_source;
    std::unique_ptr<AudioOutput> m_output;
    QString m_fileName;
    QString m_error;
    State m_state = State::Stopped;

    // Where the output's clock started in the file, in seconds.
    double m_startSeconds = 0.0;
    // The decoder still sits at the start of a freshly opened file.
    bool m_atFileStart = false;
    // Set by seek() while paused: the output restarts there on resume.
    bool m_restartOnResume = false;
    qint64 m_lengthFrames = -1;
    int m_fileRate = 0;
    bool m_scanned = false;

    // The length scan of a file without a frame count; joined before the next file or
    // destruction, and its result is dropped unless its generation is still current.
    std::thread m_scan;
    quint64 m_generation = 0;

    // Runs only between the source's end and the moment its last sample was heard.
    QTimer m_endTimer;
    QElapsedTimer m_drainClock;
    qint64 m_lastHeardUSecs = 0;
    qint64 m_lastProgressMs = 0;

    // Runs only while playing.
    QTimer m_sliderTimer;

    int m_volume = 100;
    bool m_muted = false;

    // The style's icons, made once: every icon the style makes anew is a new key in the
    // global pixmap cache as soon as it is painted, so asking for it on each track would
    // grow that cache by a pixmap per track.
    QIcon m_playIcon;
    QIcon m_pauseIcon;
    QIcon m_volumeIcon;
    QIcon m_mutedIcon;
};

} // namespace quorvela
