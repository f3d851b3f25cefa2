#pragma once

#include "audio/nullaudiooutput.h"

#include <QFile>

namespace quorvela {

// A stand-in device that writes exactly what it plays, at the pace of the wall clock, into a
// WAV file: samples reach the file once the clock has passed them, and what was pulled but
// not yet heard when playing stops is dropped, as a device drops it. The file is created by the
// first start(), in that track's own format unless one is given, and grows over later ones,
// which are converted to the file's format; its header is brought up to date whenever playing
// stops, and when the output is destroyed. Takes 16-bit integer or 32-bit float samples.
class WavAudioOutput final : public NullAudioOutput {
    Q_OBJECT
public:
    explicit WavAudioOutput(const QString& path, const AudioFormat& format = {},
                            QObject* parent = nullptr);
    ~WavAudioOutput() override;

    [[nodiscard]] AudioFormat formatFor(const AudioFormat& source) override;
    void stop() override;

    [[nodiscard]] QString path() const { return m_file.fileName(); }

protected:
    void consume(const char* data, qint64 size) override;
    [[nodiscard]] bool open() override;

private:
    // Moves the samples heard by now from the queue to the file.
    void writeHeard();
    void writeHeader();

    QByteArray m_queue;         // pulled, not yet heard
    qint64 m_framesWritten = 0; // of the current start()

    QFile m_file;
    AudioFormat m_fileFormat;
    qint64 m_dataBytes = 0;
};

} // namespace quorvela
