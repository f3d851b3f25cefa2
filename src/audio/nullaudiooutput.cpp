#include "audio/nullaudiooutput.h"

#include <QIODevice>

#include <algorithm>

namespace quorvela {

namespace {
// How far ahead of the clock samples are pulled, and how often. A real device's buffer is a
// little shorter (a volume change is heard that much later); each wake-up costs more CPU than
// decoding what it pulls, so they are kept few.
constexpr qint64 LeadUSecs = 600'000;
constexpr int PullIntervalMs = 500;
} // namespace

NullAudioOutput::NullAudioOutput(const AudioFormat& format, QObject* parent)
    : AudioOutput(parent), m_fixedFormat(format) {
    m_timer.setInterval(PullIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &NullAudioOutput::pull);
}

NullAudioOutput::~NullAudioOutput() {
    NullAudioOutput::stop();
}

AudioFormat NullAudioOutput::formatFor(const AudioFormat& source) {
    if (m_fixedFormat.isValid()) {
        m_format = m_fixedFormat;
    } else {
        m_format = source;
        m_format.setSampleFormat(AudioFormat::Int16);
    }
    if (!m_format.isValid())
        m_error = QStringLiteral("The output format is not valid.");
    return m_format;
}

bool NullAudioOutput::start(QIODevice* source) {
    stop();
    if (!m_format.isValid() || !source) {
        m_error = QStringLiteral("The output format is not valid.");
        return false;
    }
    if (!open())
        return false;
    m_source = source;
    m_pulledFrames = 0;
    m_stoppedAtUSecs = 0;
    m_drained = false;
    m_running = true;
    m_clock.start();
    pull();
    if (!m_drained)
        m_timer.start();
    return true;
}

void NullAudioOutput::stop() {
    m_timer.stop();
    if (m_running)
        m_stoppedAtUSecs = m_clock.nsecsElapsed() / 1000;
    m_running = false;
    m_source = nullptr;
}

qint64 NullAudioOutput::clockUSecs() const {
    return m_running ? m_clock.nsecsElapsed() / 1000 : m_stoppedAtUSecs;
}

qint64 NullAudioOutput::processedUSecs() const {
    if (m_format.sampleRate() <= 0)
        return 0;
    const qint64 pulledUSecs = m_pulledFrames * 1'000'000 / m_format.sampleRate();
    return std::min(clockUSecs(), pulledUSecs);
}

qint64 NullAudioOutput::heardFrames() const {
    if (m_format.sampleRate() <= 0)
        return 0;
    // Compared in microseconds first, as processedUSecs() is, so that an output whose clock
    // reached the end has heard the last frame too.
    const qint64 clock = clockUSecs();
    if (clock >= m_pulledFrames * 1'000'000 / m_format.sampleRate())
        return m_pulledFrames;
    return std::min(m_pulledFrames, clock * m_format.sampleRate() / 1'000'000);
}

void NullAudioOutput::pull() {
    if (!m_source || !m_running || m_drained)
        return;
    const int bytesPerFrame = m_format.bytesPerFrame();
    const qint64 wantedFrames =
        (clockUSecs() + LeadUSecs) * m_format.sampleRate() / 1'000'000 - m_pulledFrames;
    qint64 wantedBytes = wantedFrames * bytesPerFrame;
    while (wantedBytes > 0) {
        m_buffer.resize(static_cast<qsizetype>(wantedBytes));
        const qint64 got = m_source->read(m_buffer.data(), wantedBytes);
        if (got <= 0)
            break;
        const qint64 whole = got - got % bytesPerFrame;
        consume(m_buffer.constData(), whole);
        m_pulledFrames += whole / bytesPerFrame;
        wantedBytes -= whole;
    }
    if (m_source->atEnd()) {
        m_drained = true;
        m_timer.stop();
        emit drained();
    }
}

void NullAudioOutput::consume(const char*, qint64) {}

} // namespace quorvela
