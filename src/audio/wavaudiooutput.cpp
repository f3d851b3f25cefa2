#include "audio/wavaudiooutput.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace quorvela {

namespace {
constexpr qint64 HeaderBytes = 44;
constexpr quint16 PcmFormat = 1;
constexpr quint16 FloatFormat = 3;

void putLe32(char* at, quint32 value) {
    qToLittleEndian(value, at);
}
void putLe16(char* at, quint16 value) {
    qToLittleEndian(value, at);
}
} // namespace

WavAudioOutput::WavAudioOutput(const QString& path, const AudioFormat& format, QObject* parent)
    : NullAudioOutput(format, parent), m_file(path) {}

WavAudioOutput::~WavAudioOutput() {
    WavAudioOutput::stop();
}

bool WavAudioOutput::open() {
    const auto sampleFormat = format().sampleFormat();
    if (sampleFormat != AudioFormat::Int16 && sampleFormat != AudioFormat::Float) {
        setError(QStringLiteral("A WAV output takes 16-bit or float samples only."));
        return false;
    }
    if (m_file.isOpen())
        return true;
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        setError(
            QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString()));
        return false;
    }
    m_fileFormat = format();
    m_dataBytes = 0;
    writeHeader();
    return true;
}

AudioFormat WavAudioOutput::formatFor(const AudioFormat& source) {
    // One file holds one format: later tracks are converted to the first one's.
    return NullAudioOutput::formatFor(m_file.isOpen() ? m_fileFormat : source);
}

void WavAudioOutput::consume(const char* data, qint64 size) {
    if (pulledFrames() == 0) {
        // A new start(): nothing of an earlier one is left to hear.
        m_queue.clear();
        m_framesWritten = 0;
    }
    m_queue.append(data, static_cast<qsizetype>(size));
    writeHeard();
}

void WavAudioOutput::writeHeard() {
    const int bytesPerFrame = format().bytesPerFrame();
    const qint64 frames = std::max<qint64>(0, heardFrames() - m_framesWritten);
    const qint64 bytes = std::min<qint64>(frames * bytesPerFrame, m_queue.size());
    if (bytes <= 0 || !m_file.isOpen())
        return;
    // The RIFF sizes are 32 bits wide; past that, the rest would make a broken file.
    if (HeaderBytes + m_dataBytes + bytes <= std::numeric_limits<quint32>::max()) {
        m_file.seek(HeaderBytes + m_dataBytes);
        m_dataBytes += m_file.write(m_queue.constData(), bytes);
    }
    m_queue.remove(0, static_cast<qsizetype>(bytes));
    m_framesWritten += bytes / bytesPerFrame;
}

void WavAudioOutput::stop() {
    NullAudioOutput::stop();
    writeHeard();
    m_queue.clear();
    writeHeader();
}

namespace {
// Puts a four-letter RIFF tag (no terminating zero) at the given place.
void putTag(char* at, const char (&tag)[5]) {
    std::copy_n(tag, 4, at);
}
} // namespace

void WavAudioOutput::writeHeader() {
    if (!m_file.isOpen())
        return;
    const AudioFormat f = m_fileFormat;
    const bool isFloat = f.sampleFormat() == AudioFormat::Float;
    char header[HeaderBytes] = {};
    putTag(header, "RIFF");
    putLe32(header + 4, static_cast<quint32>(HeaderBytes - 8 + m_dataBytes));
    putTag(header + 8, "WAVE");
    putTag(header + 12, "fmt ");
    putLe32(header + 16, 16);
    putLe16(header + 20, isFloat ? FloatFormat : PcmFormat);
    putLe16(header + 22, static_cast<quint16>(f.channelCount()));
    putLe32(header + 24, static_cast<quint32>(f.sampleRate()));
    putLe32(header + 28, static_cast<quint32>(f.sampleRate() * f.bytesPerFrame()));
    putLe16(header + 32, static_cast<quint16>(f.bytesPerFrame()));
    putLe16(header + 34, static_cast<quint16>(f.bytesPerSample() * 8));
    putTag(header + 36, "data");
    putLe32(header + 40, static_cast<quint32>(m_dataBytes));
    m_file.seek(0);
    m_file.write(header, HeaderBytes);
    m_file.flush();
}

} // namespace quorvela
