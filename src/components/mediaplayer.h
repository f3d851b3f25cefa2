#pragma once

#include <QString>
#include <QWidget>

namespace quorvela {

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
class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    enum class State : int { Stopped = 0, Paused = 1, Playing = 2 };
    Q_ENUM(State)

    explicit MediaPlayer(QWidget* parent = nullptr);
    ~MediaPlayer() override;

    [[nodiscard]] bool setFileName(const QString& path);
    [[nodiscard]] QString fileName() const { return m_fileName; }
    [[nodiscard]] bool play();
    void stop();
    [[nodiscard]] double currentPosition() const;
    [[nodiscard]] double duration() const;
    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] QString errorString() const { return m_error; }

signals:
    void playStateChange(int oldState, qint32 newState);

private:
    QString m_fileName;
    QString m_error;
    State m_state = State::Stopped;
};

} // namespace quorvela
