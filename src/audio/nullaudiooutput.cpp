#include "audio/nullaudiooutput.h"

#include "audio/audiosource.h"

#include <algorithm>

namespace quorvela {

namespace {
// How far ahead of the clock samples are pulled, and how often. A real device's buffer is a
// little shorter (a volume change is heard that much later); each wake-up costs more CPU than
// decoding what it pulls, so they are kept few.
constexpr std::chrono::microseconds Lead{600'000};
constexpr std::chrono::milliseconds PullInterval{500};
// Read in pieces, so that the first samples are out before the whole lead is decoded.
constexpr qint64 PieceFrames = 4096;
} // namespace

NullAudioOutput::NullAudioOutput(const AudioFormat& format, QObject* parent)
    : AudioOutput(parent), m_fixedFormat(format) {}

NullAudioOutput::~NullAudioOutput() {
    shutDown();
}

void NullAudioOutput::shutDown() {
    {
        const std::lock_guard lock(m_mutex);
        endStream();
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

AudioFormat NullAudioOutput::formatFor(const AudioFormat& file) {
    AudioFormat format = m_fixedFormat.isValid() ? m_fixedFormat : file;
    format.setSampleFormat(AudioFormat::Int16);
    return format;
}

quint64 NullAudioOutput::start(const AudioFormat& format, AudioSource* source) {
    quint64 serial = 0;
    QString error;
    {
        const std::lock_guard lock(m_mutex);
        endStream();
        serial = ++m_serial;
        if (!format.isValid() || !source)
            error = QStringLiteral("The output format is not valid.");
        else
            error = open(format);
        if (error.isEmpty()) {
            m_format = format;
            m_source = source;
            m_pulledFrames = 0;
            m_sourceEnded = false;
            m_finished = false;
            m_running = true;
            m_startedAt = Clock::now();
            if (!m_thread.joinable())
                m_thread = std::thread([this] { run(); });
        }
    }
    m_wake.notify_all();
    if (error.isEmpty())
        post([this, serial] { emit started(serial); });
    else
        post([this, serial, error] { emit failed(serial, error); });
    return serial;
}

void NullAudioOutput::stop() {
    const std::lock_guard lock(m_mutex);
    endStream();
}

void NullAudioOutput::endStream() {
    if (!m_running)
        return;
    heard();
    ended();
    m_running = false;
    m_finished = false;
    m_source = nullptr;
    m_pulledFrames = 0;
}

qint64 NullAudioOutput::clockUSecs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_startedAt)
        .count();
}

qint64 NullAudioOutput::pulledUSecs() const {
    return m_format.sampleRate() > 0 ? m_pulledFrames * 1'000'000 / m_format.sampleRate() : 0;
}

qint64 NullAudioOutput::processedUSecs() const {
    const std::lock_guard lock(m_mutex);
    if (!m_running)
        return 0;
    return m_finished ? pulledUSecs() : std::min(clockUSecs(), pulledUSecs());
}

qint64 NullAudioOutput::heardFrames() const {
    if (!m_running || m_format.sampleRate() <= 0)
        return 0;
    // Compared in microseconds first, as processedUSecs() is, so that an output whose clock
    // reached the end has heard the last frame too.
    const qint64 clock = clockUSecs();
    if (m_finished || clock >= pulledUSecs())
        return m_pulledFrames;
    return std::min(m_pulledFrames, clock * m_format.sampleRate() / 1'000'000);
}

void NullAudioOutput::pull() {
    const int bytesPerFrame = m_format.bytesPerFrame();
    const qint64 aheadUSecs = clockUSecs() + Lead.count();
    qint64 wantedBytes =
        (aheadUSecs * m_format.sampleRate() / 1'000'000 - m_pulledFrames) * bytesPerFrame;
    while (wantedBytes > 0 && !m_sourceEnded) {
        const qint64 pieceBytes = std::min(wantedBytes, PieceFrames * bytesPerFrame);
        m_buffer.resize(static_cast<std::size_t>(pieceBytes));
        const qsizetype got = m_source->read(m_buffer.data(), pieceBytes);
        const qsizetype whole = got - got % bytesPerFrame;
        if (whole <= 0) {
            m_sourceEnded = true;
            break;
        }
        consume(m_buffer.data(), whole);
        m_pulledFrames += whole / bytesPerFrame;
        wantedBytes -= whole;
    }
}

void NullAudioOutput::run() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_running || m_finished) {
            m_wake.wait(lock);
            continue;
        }
        if (!m_sourceEnded)
            pull();
        heard();
        if (!m_sourceEnded) {
            m_wake.wait_for(lock, PullInterval);
            continue;
        }
        const qint64 restUSecs = pulledUSecs() - clockUSecs();
        if (restUSecs > 0) {
            m_wake.wait_for(lock, std::chrono::microseconds(restUSecs));
            continue;
        }
        // Played out: the clock stays at the last sample until the stream is let go.
        const quint64 serial = m_serial;
        m_finished = true;
        m_source = nullptr;
        post([this, serial] { emit finished(serial); });
    }
}

} // namespace quorvela
