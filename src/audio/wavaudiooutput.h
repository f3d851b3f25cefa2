#pragma once

#include "audio/nullaudiooutput.h"

#include <QFile>

namespace quorvela {

// A stand-in device that writes exactly what it plays, at the pace of the wall clock, into a
// 16-bit WAV file: samples reach the file once the clock has passed them, and what was copied
// but not yet heard when playing stops, pauses or moves is dropped, as a device drops it. The
// file is created by the first start(), in that track's own format unless one is given, and
// grows over later ones, which the decoder gives in the file's format; its header is brought
// up to date with every write, so it always describes what the file holds.
class WavAudioOutput final : public NullAudioOutput {
    Q_OBJECT
public:
    explicit WavAudioOutput(const QString& path, const AudioFormat& format = {},
                            QObject* parent = nullptr);
    ~WavAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& file) override;

    [[nodiscard]] QString path() const { return m_file.fileName(); }

protected:
    [[nodiscard]] QString open(const AudioFormat& format) override;
    void consume(const char* data, qsizetype size) override;
    void heard() override;
    void dropped() override;

private:
    void writeHeader();

    QByteArray m_queue;         // copied, not yet heard
    qint64 m_framesWritten = 0; // since the start or the last flush

    QFile m_file;
    AudioFormat m_fileFormat;
    qint64 m_dataBytes = 0;
};

} // namespace quorvela
