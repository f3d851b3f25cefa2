#include "audio/playbackengine.h"

#include "audio/audiooutput.h"
#include "audio/mp3decoder.h"

#include <algorithm>
#include <cmath>

namespace quorvela {

PlaybackEngine::PlaybackEngine(QObject* parent) : PlaybackEngine(nullptr, parent) {}

PlaybackEngine::PlaybackEngine(std::unique_ptr<AudioOutput> output, QObject* parent)
    : QObject(parent), m_decoder(std::make_unique<Mp3Decoder>()) {
    setAudioOutput(output ? std::move(output) : createAudioOutputFromEnvironment());
}

PlaybackEngine::~PlaybackEngine() {
    cancelScan();
    stopOutput();
    m_output.reset();
}

void PlaybackEngine::setAudioOutput(std::unique_ptr<AudioOutput> output) {
    stop();
    m_output = output ? std::move(output) : createAudioOutput(QString());
    connect(m_output.get(), &AudioOutput::started, this, [this](quint64 stream) {
        if (stream == m_stream)
            emit sounding();
    });
    connect(m_output.get(), &AudioOutput::failed, this, &PlaybackEngine::outputFailed);
    connect(m_output.get(), &AudioOutput::finished, this, &PlaybackEngine::outputFinished);
    connect(m_output.get(), &AudioOutput::lost, this, &PlaybackEngine::outputLost);
    connect(m_output.get(), &AudioOutput::volumeChangedOutside, this,
            &PlaybackEngine::volumeChangedOutside);
    applyGain();
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
    // away, so posting to it is safe.
    m_scan = std::thread([this, serial, path, cancel] {
        const qint64 frames = Mp3Decoder::scanLength(path, cancel.get());
        if (!cancel->load())
            m_scanReports.post([this, serial, frames] { scanFinished(serial, frames); });
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
    // The output takes the file's own format wherever it can; where it cannot, libmpg123
    // decodes to the output's.
    AudioFormat fileFormat;
    fileFormat.setSampleRate(m_decoder->sampleRate());
    fileFormat.setChannelCount(m_decoder->channels());
    fileFormat.setSampleFormat(AudioFormat::Int16);
    const AudioFormat format = m_output->formatFor(fileFormat);
    if (format != m_decoder->outputFormat()) {
        if (!m_decoder->setOutputFormat(format)) {
            m_error = m_decoder->errorString();
            return false;
        }
        applyGain();
    }
    // A freshly opened file starts where it is, at its start.
    if (!(m_atFileStart && seconds == 0.0)) {
        const auto frame = static_cast<qint64>(std::llround(seconds * format.sampleRate()));
        if (!m_decoder->seek(frame)) {
            m_error = QStringLiteral("The file cannot be played from there.");
            return false;
        }
    }
    m_atFileStart = false;
    m_stream = m_output->start(format, m_decoder.get());
    m_startSeconds = seconds;
    m_restartOnResume = false;
    return true;
}

void PlaybackEngine::stopOutput() {
    m_stream = 0;
    if (m_output)
        m_output->stop();
}

void PlaybackEngine::outputFailed(quint64 stream, const QString& reason) {
    if (stream != m_stream)
        return;
    m_error = reason;
    stop();
    emit playFailed(reason);
}

void PlaybackEngine::outputFinished(quint64 stream) {
    if (stream == m_stream && m_state == State::Playing)
        stop();
}

void PlaybackEngine::outputLost(quint64 stream, const QString& reason) {
    if (stream != m_stream || m_state != State::Playing)
        return;
    // Nothing more will be heard: say so as a stop does, so the labels read stopped.
    m_error = reason;
    stop();
    emit interrupted(reason);
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

int PlaybackEngine::volume() const {
    return static_cast<int>(std::lround(std::min(m_level, 1.0) * 100.0));
}

void PlaybackEngine::setVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == volume())
        return;
    m_level = percent / 100.0;
    applyGain();
    emit volumeChanged(percent);
}

void PlaybackEngine::volumeChangedOutside(double level, bool muted) {
    // The output has it already; the level is kept exactly, so that the next track sounds as
    // the mixer left this one, also beyond what the slider shows.
    const int before = volume();
    m_level = std::max(0.0, level);
    if (volume() != before)
        emit volumeChanged(volume());
    if (muted != m_muted) {
        m_muted = muted;
        emit mutedChanged(m_muted);
    }
}

void PlaybackEngine::setMuted(bool muted) {
    if (muted == m_muted)
        return;
    m_muted = muted;
    applyGain();
    emit mutedChanged(m_muted);
}

double PlaybackEngine::linearVolume(double level) {
    // The sound server's scale, which its mixers show: the factor is the cube of the level,
    // so that even steps are heard as roughly even steps of loudness.
    if (!(level > 0.0))
        return 0.0;
    return level * level * level;
}

void PlaybackEngine::applyGain() {
    // A device that sets the volume itself changes it at once, and the desktop's mixer shows
    // it; in the samples, the change would wait behind what the device holds.
    const bool applied = m_output && m_output->setVolume(m_level, m_muted);
    const float gain = m_muted ? 0.0f : static_cast<float>(linearVolume(m_level));
    m_decoder->setGain(applied ? 1.0f : gain);
}

void PlaybackEngine::setState(State state) {
    if (state == m_state)
        return;
    const State old = m_state;
    m_state = state;
    emit stateChanged(old, state);
}

} // namespace quorvela
