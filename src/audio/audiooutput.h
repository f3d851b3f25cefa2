#pragma once

#include "audio/audioformat.h"
#include "audio/reportqueue.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace quorvela {

class DecodeAhead;

// Where the player's samples go: the sound device, or a stand-in that keeps the same pace
// without one. An output plays on a thread of its own and copies its samples there from what
// the engine's decoding thread decoded ahead; it never reads a file or decodes anything.
//
// Its interface belongs to the thread that made it (the window's), and every call returns at
// once: nothing here waits for a sound server, a disk or a decode. What happens later is
// reported back on that thread, through the signals below, each carrying the number start()
// gave the stream, so that a report about a stream already let go is told apart; a report
// about a stretch that pause() and flush() dropped is not delivered at all.
//
// Lifecycle of one stream, which lives as long as its track plays:
//   formatFor() -> start() -> started() -> [pause() / resume() / flush()]... -> finished()
//                           \-> failed()  \-> lost()           stop() ends it at any point
class AudioOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The format the next start() takes samples in, given the file's own: the file's rate and
    // channel count whenever the output takes them, so that nothing is converted on the way;
    // always 16-bit samples.
    [[nodiscard]] virtual AudioFormat formatFor(const AudioFormat& file) = 0;

    // Starts a new stream in format, copying from source on the output's thread; whatever
    // played before is let go first. The source stays alive until stop() (or the next
    // start()). The listener's clock starts at 0. Returns the stream's number, which the
    // reports about it carry.
    virtual quint64 start(const AudioFormat& format, DecodeAhead* source) = 0;

    // Silences the stream at once and holds it, with its place in the desktop's mixer; the
    // clock stands still. resume() goes on. Both are safe with nothing started.
    virtual void pause() = 0;
    virtual void resume() = 0;

    // Drops what the stream holds, unheard, and what the source has buffered, which the
    // caller has just pointed at a new place; the stream goes on from there (or stays paused)
    // with its clock back at 0. The stream itself is kept.
    virtual void flush() = 0;

    // Ends the stream at once and drops what it holds, unheard. Once it returns, the source is
    // never read again. Safe at any time, also with nothing started.
    virtual void stop() = 0;

    // Microseconds the listener has heard of the stream since its start or its last flush(),
    // never more than was copied; 0 before it started sounding and after stop(). It never
    // goes back, also when the sound server is slow to answer. Cheap enough for a display
    // timer.
    [[nodiscard]] virtual qint64 processedUSecs() = 0;

    // Sets the loudness the output applies by itself, so that a change is heard at once rather
    // than after what the output holds: level on the scale desktop mixers show (0 silent,
    // 1 full; the sound server's own), and muted apart from it, as the mixers keep it. False
    // when the output has no volume of its own: the samples then carry the volume.
    [[nodiscard]] virtual bool setVolume(double level, bool muted) {
        Q_UNUSED(level);
        Q_UNUSED(muted);
        return false;
    }

signals:
    // The stream sounds: the device took it.
    void started(quint64 stream);
    // The stream could not be started; nothing of it was heard.
    void failed(quint64 stream, const QString& reason);
    // The source came to its end and its last sample has been heard. Reported once per
    // stream; the stream is over then.
    void finished(quint64 stream);
    // Playing ended for good without stop(): the device was unplugged or the sound server
    // went away. The next start() looks for a device again.
    void lost(quint64 stream, const QString& reason);
    // Someone else set the current stream's volume: the desktop's mixer, pactl, pavucontrol.
    void volumeChangedOutside(double level, bool muted);

protected:
    // Runs report on the thread that owns the output, in the order posted. Safe from any
    // thread until the output's own thread has been stopped, which a subclass does first
    // thing in its destructor.
    void post(std::function<void()> report) { m_reports.post(std::move(report)); }

private:
    ReportQueue m_reports;
};

// The output named by a selection: "" for the sound device, "null" for a silent output that
// keeps real time, "wav:PATH" for one that also writes what it plays into the WAV file PATH.
// Anything else selects the sound device.
[[nodiscard]] std::unique_ptr<AudioOutput> createAudioOutput(const QString& selection);

// The selection in the environment variable QUORVELA_AUDIO_OUTPUT.
[[nodiscard]] std::unique_ptr<AudioOutput> createAudioOutputFromEnvironment();

} // namespace quorvela
