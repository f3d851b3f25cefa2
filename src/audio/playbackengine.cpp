#include "audio/playbackengine.h"

#include "audio/audiooutput.h"
#include "audio/mp3decoder.h"

#include <algorithm>
#include <cmath>

namespace quorvela {

PlaybackEngine::PlaybackEngine(QObject* parent) : PlaybackEngine(nullptr, parent) {}

PlaybackEngine::PlaybackEngine(std::unique_ptr<AudioOutput> output, QObject* parent)
    : QObject(parent), m_decoder([this](quint64 start, const QString& reason) {
          // The engine's end stops this thread before the queue goes.
          m_decodeReports.post([this, start, reason] { decodingFailed(start, reason); });
      }) {
    setAudioOutput(output ? std::move(output) : createAudioOutputFromEnvironment());
}

PlaybackEngine::~PlaybackEngine() {
    cancelScan();
    for (Scan& scan : m_cancelledScans)
        scan.thread.join();
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

bool PlaybackEngine::open(const QString& path) {
    // The new file is tried on its own first: one that cannot be played leaves what plays
    // playing, and the window's labels stay true. The decoding thread then opens it for
    // itself.
    Mp3Decoder next;
    if (!next.open(path)) {
        m_error = next.errorString();
        return false;
    }
    closeFile();
    m_fileFormat = next.outputFormat();
    m_lengthFrames = next.lengthFrames();
    m_lengthExact = next.isLengthExact();
    m_decoder.load([path]() -> std::unique_ptr<AudioSource> {
        auto decoder = std::make_unique<Mp3Decoder>();
        if (!decoder->open(path))
            return nullptr;
        return decoder;
    });
    m_fileName = path;
    m_error.clear();
    ++m_trackSerial;
    emit trackChanged();
    if (m_lengthExact)
        emit durationChanged(duration());
    else
        startScan();
    return true;
}

void PlaybackEngine::closeFile() {
    stopOutput();
    cancelScan();
    m_fileName.clear();
    m_fileFormat = {};
    m_lengthFrames = -1;
    m_lengthExact = false;
    m_stretchStart = 0.0;
    setState(State::Stopped);
}

void PlaybackEngine::cancelScan() {
    // A cancelled scan gives up at its next read, which a slow disk may make long: it ends on
    // its own, and is joined once it has, or when the engine goes.
    std::erase_if(m_cancelledScans, [](Scan& scan) {
        if (!scan.done->load())
            return false;
        scan.thread.join();
        return true;
    });
    if (!m_scan.thread.joinable())
        return;
    m_scan.cancel->store(true);
    m_cancelledScans.push_back(std::move(m_scan));
    m_scan = {};
}

void PlaybackEngine::startScan() {
    cancelScan();
    const quint64 serial = m_trackSerial;
    const QString path = m_fileName;
    // The destructor joins this thread before the engine goes away, so posting to it is safe.
    m_scan.thread = std::thread([this, serial, path, cancel = m_scan.cancel, done = m_scan.done] {
        const qint64 frames = Mp3Decoder::scanLength(path, cancel.get());
        if (!cancel->load())
            m_scanReports.post([this, serial, frames] { scanFinished(serial, frames); });
        done->store(true);
    });
}

void PlaybackEngine::scanFinished(quint64 serial, qint64 frames) {
    if (serial != m_trackSerial || !isOpen())
        return;
    if (m_scan.thread.joinable())
        m_scan.thread.join();
    m_scan = {};
    if (frames >= 0) {
        m_lengthFrames = frames;
        m_lengthExact = true;
    }
    emit durationChanged(duration());
}

AudioFormat PlaybackEngine::outputFormat() const {
    // The output takes the file's own format wherever it can; where it cannot, libmpg123
    // decodes to the output's.
    return m_output->formatFor(m_fileFormat);
}

qint64 PlaybackEngine::frameAt(double seconds) const {
    return static_cast<qint64>(std::llround(seconds * outputFormat().sampleRate()));
}

bool PlaybackEngine::play() {
    if (!isOpen()) {
        m_error = QStringLiteral("No file is open.");
        return false;
    }
    switch (m_state) {
    case State::Playing:
        return true;
    case State::Paused:
        m_output->resume();
        setState(State::Playing);
        return true;
    case State::Stopped:
        break;
    }
    startOutput();
    setState(State::Playing);
    return true;
}

void PlaybackEngine::startOutput() {
    stopOutput();
    const AudioFormat format = outputFormat();
    m_stretchStart = 0.0;
    m_decodeStart = m_decoder.startAt(format, 0);
    m_stream = m_output->start(format, &m_decoder);
}

void PlaybackEngine::pause() {
    if (m_state != State::Playing)
        return;
    // The stream falls silent at once and keeps its place in the desktop's mixer. What it
    // held is dropped, unheard, and it is filled again from the sample heard last, ready to
    // go on: a server that would play out what it holds before it falls silent (PipeWire's)
    // so stops as soon as it can, and nothing is heard twice.
    const double heard = position();
    m_output->pause();
    m_stretchStart = heard;
    m_decodeStart = m_decoder.startAt(outputFormat(), frameAt(heard));
    m_output->flush();
    setState(State::Paused);
}

void PlaybackEngine::stop() {
    stopOutput();
    m_stretchStart = 0.0;
    setState(State::Stopped);
}

bool PlaybackEngine::seek(double seconds) {
    if (!isOpen() || m_state == State::Stopped || !std::isfinite(seconds))
        return false;
    const double length = duration();
    seconds = std::max(0.0, length > 0.0 ? std::min(seconds, length) : seconds);
    m_stretchStart = seconds;
    m_decodeStart = m_decoder.startAt(outputFormat(), frameAt(seconds));
    m_output->flush();
    emit seeked(seconds);
    return true;
}

void PlaybackEngine::stopOutput() {
    m_stream = 0;
    if (m_output)
        m_output->stop();
    m_decoder.halt();
}

void PlaybackEngine::decodingFailed(quint64 start, const QString& reason) {
    if (start == m_decodeStart && m_state != State::Stopped)
        failPlaying(reason);
}

void PlaybackEngine::outputFailed(quint64 stream, const QString& reason) {
    if (stream == m_stream)
        failPlaying(reason);
}

void PlaybackEngine::failPlaying(const QString& reason) {
    m_error = reason;
    stop();
    emit playFailed(reason);
}

void PlaybackEngine::outputFinished(quint64 stream) {
    if (stream == m_stream && m_state == State::Playing)
        stop();
}

void PlaybackEngine::outputLost(quint64 stream, const QString& reason) {
    if (stream != m_stream || m_state == State::Stopped)
        return;
    // Nothing more will be heard: say so as a stop does, so the labels read stopped.
    m_error = reason;
    stop();
    emit interrupted(reason);
}

double PlaybackEngine::position() const {
    if (m_state == State::Stopped || !m_output)
        return 0.0;
    double position = m_stretchStart;
    if (m_state == State::Playing)
        position += static_cast<double>(m_output->processedUSecs()) / 1'000'000.0;
    const double length = duration();
    return length > 0.0 ? std::min(position, length) : position;
}

double PlaybackEngine::duration() const {
    if (!isOpen() || m_lengthFrames < 0)
        return 0.0;
    return static_cast<double>(m_lengthFrames) / m_fileFormat.sampleRate();
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
    // it; in the samples, the change would wait behind what is decoded ahead.
    const bool applied = m_output && m_output->setVolume(m_level, m_muted);
    const float gain = m_muted ? 0.0f : static_cast<float>(linearVolume(m_level));
    m_decoder.setGain(applied ? 1.0f : gain);
}

void PlaybackEngine::setState(State state) {
    if (state == m_state)
        return;
    const State old = m_state;
    m_state = state;
    emit stateChanged(old, state);
}

} // namespace quorvela
