#include "audio/playbackengine.h"

#include "audio/audioconvert.h"
#include "audio/audiooutput.h"
#include "audio/decodersource.h"
#include "audio/mp3decoder.h"

#include <algorithm>
#include <cmath>

namespace quorvela {

namespace {
// Once the source is at its end, the engine looks again when the last sample should have been
// heard, and no sooner than this; an output that stands still that long has ended anyway.
constexpr int MinEndCheckMs = 10;
constexpr qint64 StalledCheckMs = 100;
constexpr qint64 EndStallMs = 1000;
constexpr int WatchdogIntervalMs = 5000;

AudioFormat decodedFormat(const Mp3Decoder& decoder) {
    AudioFormat format;
    format.setSampleRate(decoder.sampleRate());
    format.setChannelCount(decoder.channels());
    format.setSampleFormat(AudioFormat::Float);
    return format;
}
} // namespace

PlaybackEngine::PlaybackEngine(std::unique_ptr<AudioOutput> output, QObject* parent)
    : QObject(parent), m_decoder(std::make_unique<Mp3Decoder>()),
      m_source(std::make_unique<DecoderSource>(*m_decoder)) {
    m_endTimer.setSingleShot(true);
    m_endTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_endTimer, &QTimer::timeout, this, &PlaybackEngine::checkTrackEnd);
    m_watchdog.setInterval(WatchdogIntervalMs);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        if (m_source->isOpen() && m_source->atEnd())
            outputDrained();
    });
    setAudioOutput(output ? std::move(output) : createAudioOutputFromEnvironment());
}

PlaybackEngine::~PlaybackEngine() {
    cancelScan();
    stopOutput();
    m_output.reset();
}

void PlaybackEngine::setAudioOutput(std::unique_ptr<AudioOutput> output) {
    stop();
    stopOutput();
    m_output = output ? std::move(output) : createAudioOutput(QString());
    // Queued: an output may report the end from inside start(), before the state is set.
    connect(m_output.get(), &AudioOutput::drained, this, &PlaybackEngine::outputDrained,
            Qt::QueuedConnection);
    connect(m_output.get(), &AudioOutput::lost, this, &PlaybackEngine::outputLost);
    applyGain();
}

void PlaybackEngine::outputLost(const QString& reason) {
    if (m_state != State::Playing)
        return;
    // Nothing more will be heard: say so as a stop does, so the labels read stopped.
    m_error = reason;
    stop();
}

bool PlaybackEngine::isOpen() const {
    return m_decoder->isOpen();
}

bool PlaybackEngine::open(const QString& path) {
    // The new file is tried on its own first: one that cannot be played leaves what plays
    // playing, and the window's labels stay true.
    auto next = std::make_unique<Mp3Decoder>();
    if (!next->open(path)) {
        m_error = next->errorString();
        return false;
    }
    closeFile();
    m_decoder = std::move(next);
    m_source = std::make_unique<DecoderSource>(*m_decoder);
    applyGain();
    m_fileName = path;
    m_error.clear();
    ++m_trackSerial;
    m_atFileStart = true;
    m_fileRate = m_decoder->sampleRate();
    m_lengthFrames = m_decoder->lengthFrames();
    emit trackChanged();
    if (m_decoder->isLengthExact())
        emit durationChanged(duration());
    else
        startScan();
    return true;
}

void PlaybackEngine::closeFile() {
    stopOutput();
    cancelScan();
    m_decoder->close();
    m_fileName.clear();
    m_lengthFrames = -1;
    m_fileRate = 0;
    m_scanned = false;
    m_atFileStart = false;
    m_startSeconds = 0.0;
    m_restartOnResume = false;
    setState(State::Stopped);
}

void PlaybackEngine::cancelScan() {
    if (m_scanCancel)
        m_scanCancel->store(true);
    m_scanCancel.reset();
    // A cancelled scan gives up at its next read, so this wait is short.
    if (m_scan.joinable())
        m_scan.join();
}

void PlaybackEngine::startScan() {
    cancelScan();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_scanCancel = cancel;
    const quint64 serial = m_trackSerial;
    const QString path = m_fileName;
    // The next file and the destructor cancel and join this thread before the engine goes
    // away, so posting to it is safe; a posted result dies with the engine if never run.
    m_scan = std::thread([this, serial, path, cancel] {
        const qint64 frames = Mp3Decoder::scanLength(path, cancel.get());
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(
            this, [this, serial, frames] { scanFinished(serial, frames); }, Qt::QueuedConnection);
    });
}

void PlaybackEngine::scanFinished(quint64 serial, qint64 frames) {
    if (serial != m_trackSerial || !m_decoder->isOpen())
        return;
    if (m_scan.joinable())
        m_scan.join();
    m_scanCancel.reset();
    if (frames >= 0) {
        m_lengthFrames = frames;
        m_scanned = true;
    }
    emit durationChanged(duration());
}

bool PlaybackEngine::play() {
    if (!m_decoder->isOpen()) {
        m_error = QStringLiteral("No file is open.");
        return false;
    }
    switch (m_state) {
    case State::Playing:
        return true;
    case State::Paused:
        if (!startOutputAt(m_startSeconds)) {
            stop();
            return false;
        }
        setState(State::Playing);
        return true;
    case State::Stopped:
        break;
    }
    if (!startOutputAt(0.0))
        return false;
    setState(State::Playing);
    return true;
}

void PlaybackEngine::pause() {
    if (m_state != State::Playing)
        return;
    // What the output holds but was not heard is dropped, so the sound stops at once; playing
    // goes on from the sample the listener heard last.
    m_startSeconds = position();
    stopOutput();
    m_restartOnResume = true;
    setState(State::Paused);
}

void PlaybackEngine::stop() {
    stopOutput();
    m_startSeconds = 0.0;
    m_restartOnResume = false;
    setState(State::Stopped);
}

bool PlaybackEngine::seek(double seconds) {
    if (!m_decoder->isOpen() || m_state == State::Stopped || !std::isfinite(seconds))
        return false;
    const double length = duration();
    seconds = std::max(0.0, length > 0.0 ? std::min(seconds, length) : seconds);
    if (m_state == State::Paused) {
        stopOutput();
        m_startSeconds = seconds;
        m_restartOnResume = true;
        emit seeked(seconds);
        return true;
    }
    if (!startOutputAt(seconds)) {
        stop();
        return false;
    }
    emit seeked(seconds);
    return true;
}

bool PlaybackEngine::startOutputAt(double seconds) {
    stopOutput();
    const AudioFormat format = m_output->formatFor(decodedFormat(*m_decoder));
    if (!format.isValid() || format.bytesPerFrame() <= 0) {
        m_error = m_output->errorString();
        return false;
    }
    if (format.sampleRate() != m_decoder->sampleRate() && !resamplerAvailable()) {
        m_error = QStringLiteral("The sound cannot be converted from %1 Hz to %2 Hz: the "
                                 "resampling library (libsoxr) is missing.")
                      .arg(m_decoder->sampleRate())
                      .arg(format.sampleRate());
        return false;
    }
    // A fresh file starts where it is: its first frame was decoded while opening it.
    if (!(m_atFileStart && seconds == 0.0)) {
        const auto frame = static_cast<qint64>(std::llround(seconds * m_fileRate));
        if (!m_decoder->seek(frame)) {
            m_error = QStringLiteral("The file cannot be played from there.");
            return false;
        }
    }
    m_atFileStart = false;
    m_source->begin(format);
    if (!m_output->start(m_source.get())) {
        m_error = m_output->errorString();
        m_source->close();
        return false;
    }
    m_startSeconds = seconds;
    m_restartOnResume = false;
    m_watchdog.start();
    return true;
}

void PlaybackEngine::stopOutput() {
    m_endTimer.stop();
    m_drainClock.invalidate();
    m_watchdog.stop();
    if (m_output)
        m_output->stop();
    if (m_source)
        m_source->close();
}

void PlaybackEngine::outputDrained() {
    if (m_state != State::Playing || !m_source->isOpen() || !m_source->atEnd() ||
        m_drainClock.isValid())
        return;
    m_watchdog.stop();
    m_drainClock.start();
    m_lastHeardUSecs = m_output->processedUSecs();
    m_lastProgressMs = 0;
    checkTrackEnd();
}

void PlaybackEngine::checkTrackEnd() {
    const AudioFormat format = m_source->format();
    const qint64 deliveredUSecs =
        m_source->framesDelivered() * 1'000'000 / std::max(1, format.sampleRate());
    const qint64 heard = m_output->processedUSecs();
    const bool moved = heard > m_lastHeardUSecs;
    if (moved) {
        m_lastHeardUSecs = heard;
        m_lastProgressMs = m_drainClock.elapsed();
    }
    // The output reports the source's end while its buffer still plays; stopping then would
    // cut the track's end off, so wait until the last sample was heard.
    if (heard < deliveredUSecs && m_drainClock.elapsed() - m_lastProgressMs < EndStallMs) {
        // Wake once more when the rest should have been heard, not every few milliseconds.
        // An output whose clock stands still is looked at less often.
        const qint64 restMs = (deliveredUSecs - heard + 999) / 1000;
        const qint64 waitMs = moved ? restMs : std::max<qint64>(restMs, StalledCheckMs);
        m_endTimer.start(static_cast<int>(std::clamp<qint64>(waitMs, MinEndCheckMs, EndStallMs)));
        return;
    }
    stop();
}

double PlaybackEngine::position() const {
    if (m_state == State::Stopped || !m_output)
        return 0.0;
    if (m_restartOnResume)
        return m_startSeconds;
    const double position =
        m_startSeconds + static_cast<double>(m_output->processedUSecs()) / 1'000'000.0;
    const double length = duration();
    return length > 0.0 ? std::min(position, length) : position;
}

double PlaybackEngine::duration() const {
    if (!m_decoder->isOpen() || m_lengthFrames < 0 || m_fileRate <= 0)
        return 0.0;
    return static_cast<double>(m_lengthFrames) / m_fileRate;
}

bool PlaybackEngine::isDurationExact() const {
    return m_decoder->isLengthExact() || m_scanned;
}

void PlaybackEngine::setVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == m_volume)
        return;
    m_volume = percent;
    applyGain();
    emit volumeChanged(m_volume);
}

void PlaybackEngine::setMuted(bool muted) {
    if (muted == m_muted)
        return;
    m_muted = muted;
    applyGain();
    emit mutedChanged(m_muted);
}

void PlaybackEngine::applyGain() {
    const double linear = linearVolume(m_volume / 100.0);
    const float gain = m_muted ? 0.0f : static_cast<float>(linear);
    // A device that sets the volume itself changes it at once; in the samples, the change
    // would wait behind what the device holds.
    const bool applied = m_output && m_output->setVolume(gain);
    m_source->setGain(applied ? 1.0f : gain);
}

void PlaybackEngine::setState(State state) {
    if (state == m_state)
        return;
    const State old = m_state;
    m_state = state;
    emit stateChanged(old, state);
}

} // namespace quorvela
