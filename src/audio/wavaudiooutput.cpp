#include "audio/wavaudiooutput.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace quorvela {

namespace {
constexpr qint64 HeaderBytes = 44;
constexpr quint16 PcmFormat = 1;

void putLe32(char* at, quint32 value) {
    qToLittleEndian(value, at);
}
void putLe16(char* at, quint16 value) {
    qToLittleEndian(value, at);
}
// Puts a four-letter RIFF tag (no terminating zero) at the given place.
void putTag(char* at, const char (&tag)[5]) {
    std::copy_n(tag, 4, at);
}
} // namespace

WavAudioOutput::WavAudioOutput(const QString& path, const AudioFormat& format, QObject* parent)
    : NullAudioOutput(format, parent), m_file(path) {}

WavAudioOutput::~WavAudioOutput() {
    shutDown();
}

AudioFormat WavAudioOutput::formatFor(const AudioFormat& file) {
    // One file holds one format: later tracks are decoded to the first one's.
    return m_fileFormat.isValid() ? m_fileFormat : NullAudioOutput::formatFor(file);
}

QString WavAudioOutput::open(const AudioFormat& format) {
    if (format.sampleFormat() != AudioFormat::Int16)
        return QStringLiteral("A WAV output takes 16-bit samples only.");
    if (m_file.isOpen())
        return format == m_fileFormat ? QString()
                                      : QStringLiteral("The WAV file holds another format.");
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
    m_fileFormat = format;
    m_dataBytes = 0;
    writeHeader();
    return {};
}

void WavAudioOutput::consume(const char* data, qsizetype size) {
    m_queue.append(data, size);
}

void WavAudioOutput::heard() {
    const int bytesPerFrame = format().bytesPerFrame();
    const qint64 frames = std::max<qint64>(0, heardFrames() - m_framesWritten);
    const qint64 bytes = std::min<qint64>(frames * bytesPerFrame, m_queue.size());
    if (bytes <= 0 || !m_file.isOpen())
        return;
    // The RIFF sizes are 32 bits wide; past that, the rest would make a broken file.
    if (HeaderBytes + m_dataBytes + bytes <= std::numeric_limits<quint32>::max()) {
        m_file.seek(HeaderBytes + m_dataBytes);
        // A failed write adds nothing, so the header never claims more than the file holds.
        m_dataBytes += std::max<qint64>(0, m_file.write(m_queue.constData(), bytes));
    }
    m_queue.remove(0, static_cast<qsizetype>(bytes));
    m_framesWritten += bytes / bytesPerFrame;
    // So that the file is whole at any moment, also when the program is gone.
    writeHeader();
}

void WavAudioOutput::dropped() {
    m_queue.clear();
    m_framesWritten = 0;
    writeHeader();
}

void WavAudioOutput::writeHeader() {
    if (!m_file.isOpen())
        return;
    const AudioFormat f = m_fileFormat;
    char header[HeaderBytes] = {};
    putTag(header, "RIFF");
    putLe32(header + 4, static_cast<quint32>(HeaderBytes - 8 + m_dataBytes));
    putTag(header + 8, "WAVE");
    putTag(header + 12, "fmt ");
    putLe32(header + 16, 16);
    putLe16(header + 20, PcmFormat);
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
