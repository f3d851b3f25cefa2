// The transport bar of the player window (MediaPlayer1): play, pause, stop, position, volume.
#pragma once

#include "audio/playbackengine.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <QWidget>

class QSlider;
class QToolButton;

namespace quorvela {

// The player window's media player: small transport controls over the playback engine that
// main() made. The window drives the engine through the members below; other clients (the
// desktop's media controls) share the same engine, and the controls follow its signals
// whoever made the change.
//
// Contract relied on by the window:
// - setFileName() opens the file at once; false when it cannot be opened or is not MPEG
//   audio (errorString() says why). Whatever played before then plays on.
// - play() starts the file last opened; false when no audio output can be started.
// - stop() stops playing; the position goes back to 0.
// - currentPosition() is the position the listener hears, in seconds; readable at any time,
//   0 before any file was opened.
// - duration() is the open file's length in seconds.
// - playStateChange() is emitted at least once after a newly opened file's length is known,
//   and on every change of the play state.
//
// The engine must outlive the controls.
class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    using State = PlaybackEngine::State;

    explicit MediaPlayer(PlaybackEngine& engine, QWidget* parent = nullptr);

    [[nodiscard]] PlaybackEngine* engine() const { return m_engine; }

    [[nodiscard]] bool setFileName(const QString& path) { return m_engine->open(path); }
    [[nodiscard]] QString fileName() const { return m_engine->fileName(); }
    [[nodiscard]] bool play() { return m_engine->play(); }
    void stop() { m_engine->stop(); }
    [[nodiscard]] double currentPosition() const { return m_engine->position(); }
    [[nodiscard]] double duration() const { return m_engine->duration(); }
    [[nodiscard]] State state() const { return m_engine->state(); }
    [[nodiscard]] QString errorString() const { return m_engine->errorString(); }

    // Pauses while playing; play() goes on from there.
    void pause() { m_engine->pause(); }
    // Moves to the given second while playing or paused; false when stopped or no file.
    [[nodiscard]] bool seek(double seconds) { return m_engine->seek(seconds); }
    [[nodiscard]] bool isDurationExact() const { return m_engine->isDurationExact(); }

    // Volume in percent (0 to 100), on a perceptual scale.
    void setVolume(int percent) { m_engine->setVolume(percent); }
    [[nodiscard]] int volume() const { return m_engine->volume(); }
    void setMuted(bool muted) { m_engine->setMuted(muted); }
    [[nodiscard]] bool isMuted() const { return m_engine->isMuted(); }

    // The controls, by the names they carry as objectName too.
    QToolButton* cmdPlayPause = nullptr;
    QToolButton* cmdStop = nullptr;
    QSlider* sldPosition = nullptr;
    QToolButton* cmdMute = nullptr;
    QSlider* sldVolume = nullptr;

signals:
    void playStateChange(int oldState, qint32 newState);

protected:
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void makeSymbols();
    void showVolume(int percent);
    void showMuted(bool muted);
    void updateControls();
    void updatePositionSlider();
    void followPosition();

    PlaybackEngine* m_engine;
    // While playing, the slider moves on wakes the program has anyway (see followPosition);
    // this timer moves it when there are none.
    QTimer m_sliderTimer;
    QElapsedTimer m_sliderMoved;
    int m_sliderIntervalMs = 0;
    qint64 m_sliderSecond = -1;
    bool m_following = false;
    QMetaObject::Connection m_sliderWake;

    // The symbols, made once for each palette: every icon the theme makes anew is a new key in
    // the global pixmap cache as soon as it is painted, so asking for it on each track would
    // grow that cache by a pixmap per track.
    QIcon m_playIcon;
    QIcon m_pauseIcon;
    QIcon m_stopIcon;
    QIcon m_volumeIcon;
    QIcon m_mutedIcon;
};

} // namespace quorvela
