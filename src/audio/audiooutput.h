#pragma once

#include "audio/audioformat.h"

#include <QObject>
#include <QString>

#include <memory>

class QIODevice;

namespace quorvela {

// Where the player's samples go: the sound device, or a stand-in that keeps the same pace
// without one. An output pulls samples from a source device; it never decodes anything.
//
// Lifecycle, all on the thread that owns the output:
//   formatFor() -> start() -> stop()   (repeatable)
// Pausing is a stop() and a new start() from the paused place, so that what was pulled but
// not heard is dropped at once rather than heard later. The output is destroyed only after
// stop() or with nothing started; destroying it stops it.
class AudioOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The format the next start() takes samples in, given the format the source decodes to:
    // the source's own rate and channel count whenever the output takes them, so that nothing
    // is converted on the way. An invalid format (with errorString()) means nothing can be
    // played now, e.g. when there is no sound server. Call it before every start().
    [[nodiscard]] virtual AudioFormat formatFor(const AudioFormat& source) = 0;

    // Starts pulling whole frames in formatFor()'s format from source, which is open for
    // reading and stays alive until stop(). The listener's clock (processedUSecs()) starts at
    // 0. False (with errorString()) when the output cannot be opened; nothing runs then.
    [[nodiscard]] virtual bool start(QIODevice* source) = 0;

    // Stops at once, drops what was pulled but not heard and lets go of the source. Safe to
    // call at any time, also when not started.
    virtual void stop() = 0;

    // Microseconds of sound the listener has heard since start(): never more than what was
    // pulled. Never blocks; cheap enough for a display timer.
    [[nodiscard]] virtual qint64 processedUSecs() const = 0;

    [[nodiscard]] virtual QString errorString() const = 0;

    // Sets the loudness the output applies by itself, as a linear factor (0 is silent), so that
    // a change is heard at once rather than after what the output holds. False when the output
    // has no volume of its own: the samples then carry the volume.
    [[nodiscard]] virtual bool setVolume(float linear) {
        Q_UNUSED(linear);
        return false;
    }

signals:
    // The source is at its end. The output goes on playing what it holds; processedUSecs()
    // keeps growing until all of it was heard, and stop() is the caller's to call then.
    void drained();
    // Playing ended for good without stop(): the device was unplugged or the sound server went
    // away. Emitted from the event loop, never from inside a call to the output; what was
    // started is stopped already, and the next formatFor() looks for a device again.
    void lost(const QString& reason);
};

// The output named by a selection: "" for the sound device, "null" for a silent output that
// keeps real time, "wav:PATH" for one that also writes what it plays into the WAV file PATH.
// Anything else selects the sound device.
[[nodiscard]] std::unique_ptr<AudioOutput> createAudioOutput(const QString& selection);

// The selection in the environment variable QUORVELA_AUDIO_OUTPUT.
[[nodiscard]] std::unique_ptr<AudioOutput> createAudioOutputFromEnvironment();

} // namespace quorvela
