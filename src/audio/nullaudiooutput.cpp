#include "audio/nullaudiooutput.h"

#include "audio/decodeahead.h"

#include <algorithm>

namespace quorvela {

namespace {
// How far ahead of the clock samples are copied, and how often. A real device's buffer is a
// little shorter (a volume change is heard that much later); each wake-up costs more CPU than
// copying what it takes, so they are kept few.
constexpr std::chrono::microseconds Lead{600'000};
constexpr std::chrono::milliseconds PullInterval{500};
// While the samples are late (an underrun), how often to look for them.
constexpr std::chrono::milliseconds UnderrunRetry{20};
// Copied in pieces, so that a piece's buffer stays small.
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

quint64 NullAudioOutput::start(const AudioFormat& format, DecodeAhead* source) {
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
            m_running = true;
            m_paused = false;
            restartClock();
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

void NullAudioOutput::restartClock() {
    ++m_stretch;
    m_copiedFrames = 0;
    m_sourceEnded = false;
    m_finished = false;
    m_clockUSecs = 0;
    m_clockSince = Clock::now();
}

void NullAudioOutput::pause() {
    const std::lock_guard lock(m_mutex);
    if (!m_running || m_paused)
        return;
    heard();
    m_clockUSecs = clockUSecs();
    m_paused = true;
}

void NullAudioOutput::resume() {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_running || !m_paused)
            return;
        m_paused = false;
        m_clockSince = Clock::now();
    }
    m_wake.notify_all();
}

void NullAudioOutput::flush() {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
        heard();
        dropped();
        m_source->clear();
        restartClock();
    }
    m_wake.notify_all();
}

void NullAudioOutput::stop() {
    const std::lock_guard lock(m_mutex);
    endStream();
}

void NullAudioOutput::endStream() {
    if (!m_running)
        return;
    heard();
    dropped();
    m_running = false;
    m_source = nullptr;
    restartClock();
}

qint64 NullAudioOutput::clockUSecs() const {
    if (!m_running || m_paused || m_finished)
        return m_clockUSecs;
    return m_clockUSecs +
           std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_clockSince)
               .count();
}

qint64 NullAudioOutput::copiedUSecs() const {
    return m_format.microsecondsFor(m_copiedFrames);
}

qint64 NullAudioOutput::processedUSecs() {
    const std::lock_guard lock(m_mutex);
    if (!m_running)
        return 0;
    return std::min(clockUSecs(), copiedUSecs());
}

qint64 NullAudioOutput::heardFrames() const {
    if (!m_running || m_format.sampleRate() <= 0)
        return 0;
    // Compared in microseconds first, as processedUSecs() is, so that an output whose clock
    // reached the end has heard the last frame too.
    const qint64 clock = clockUSecs();
    if (clock >= copiedUSecs())
        return m_copiedFrames;
    return std::min(m_copiedFrames, clock * m_format.sampleRate() / 1'000'000);
}

bool NullAudioOutput::pull() {
    const int bytesPerFrame = m_format.bytesPerFrame();
    const qint64 aheadUSecs = clockUSecs() + Lead.count();
    qint64 wantedBytes =
        (aheadUSecs * m_format.sampleRate() / 1'000'000 - m_copiedFrames) * bytesPerFrame;
    while (wantedBytes > 0) {
        const qint64 pieceBytes = std::min(wantedBytes, PieceFrames * bytesPerFrame);
        m_buffer.resize(static_cast<std::size_t>(pieceBytes));
        const qsizetype got = m_source->read(m_buffer.data(), pieceBytes);
        if (got > 0) {
            consume(m_buffer.data(), got);
            m_copiedFrames += got / bytesPerFrame;
            wantedBytes -= got;
        }
        if (got < pieceBytes) {
            m_sourceEnded = m_source->atEnd();
            return m_sourceEnded;
        }
    }
    return true;
}

void NullAudioOutput::run() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_running || m_paused || m_finished) {
            m_wake.wait(lock);
            continue;
        }
        const bool inTime = m_sourceEnded || pull();
        if (!m_sourceEnded && clockUSecs() > copiedUSecs()) {
            // An underrun: the listener hears silence, and the sound goes on where it was
            // once the samples come.
            m_clockUSecs = copiedUSecs();
            m_clockSince = Clock::now();
        }
        heard();
        if (!m_sourceEnded) {
            m_wake.wait_for(lock, inTime ? PullInterval : UnderrunRetry);
            continue;
        }
        const qint64 restUSecs = copiedUSecs() - clockUSecs();
        if (restUSecs > 0) {
            m_wake.wait_for(lock, std::chrono::microseconds(restUSecs));
            continue;
        }
        // Played out: the clock stays at the last sample until the stream is let go.
        m_clockUSecs = copiedUSecs();
        m_finished = true;
        post([this, serial = m_serial, stretch = m_stretch] {
            bool current = false;
            {
                const std::lock_guard stillCurrent(m_mutex);
                current = m_running && m_serial == serial && m_stretch == stretch;
            }
            if (current)
                emit finished(serial);
        });
    }
}

} // namespace quorvela
