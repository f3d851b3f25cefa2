#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace quorvela::test {

// Makes a sine tone as an MP3: sox writes the WAV, lame encodes it (lame's LAME/Info header
// makes the length exact). lameArgs come before the file names, e.g. {"-b", "128"}.
// Returns the MP3's path, or an empty string (with the tools' output in *error) on failure.
QString makeToneMp3(const QString& dir, const QString& name, double seconds, int rate, int channels,
                    double frequency, const QStringList& lameArgs, QString* error = nullptr);

// Writes a file with the given bytes, creating folders as needed.
bool writeFile(const QString& path, const QByteArray& bytes);
// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);
// An ID3v2 tag of the given total size holding nothing but padding.
QByteArray id3Padding(int totalSize);
// Qt Test rows ("bytes", "create") of files named .mp3 that hold no MPEG audio at all: none,
// an empty one, text, random bytes, nothing but tags.
void addFilesThatAreNotMp3();

// Runs a tool to its end; false (with its output in *error) when it fails.
bool runTool(const QString& program, const QStringList& args, QString* error = nullptr);

// A WAV file read whole: 16-bit PCM or 32-bit float, samples scaled to [-1, 1].
struct WavData {
    bool valid = false;
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved

    [[nodiscard]] qint64 frames() const {
        return channels > 0 ? static_cast<qint64>(samples.size()) / channels : 0;
    }
    [[nodiscard]] std::vector<float> channel(int index) const;
};
WavData readWav(const QString& path);

// The frequency of a steady tone from its rising zero crossings, in Hz.
double toneFrequency(const std::vector<float>& samples, int rate);
// Root mean square of the samples.
double rms(const std::vector<float>& samples);

} // namespace quorvela::test
