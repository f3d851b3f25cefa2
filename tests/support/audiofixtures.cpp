#include "support/audiofixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace quorvela::test {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray id3Padding(int totalSize) {
    const int body = totalSize - 10;
    QByteArray tag("ID3\x03\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.append(static_cast<char>((body >> shift) & 0x7f));
    tag.append(QByteArray(body, '\0'));
    return tag;
}

void addFilesThatAreNotMp3() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("create");
    QByteArray random(qsizetype{256} * 1024, '\0');
    QRandomGenerator generator(4711);
    for (auto& byte : random)
        byte = static_cast<char>(generator.bounded(256));
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("text renamed") << QByteArray("#EXTM3U\nsong.mp3\n").repeated(100) << true;
    QTest::newRow("random bytes") << random << true;
    QTest::newRow("ID3 tag only") << id3Padding(300000) << true;
    QTest::newRow("ID3v1 tag only") << QByteArray("TAG").append(QByteArray(125, 'x')) << true;
}

#if defined(__SANITIZE_THREAD__)
// Under ThreadSanitizer a tool is started with posix_spawn(): after QProcess forks a process
// that has threads, the sanitizer stops watching the test's own thread for good, and every
// race the test should catch would go unreported.
bool runTool(const QString& program, const QStringList& args, QString* error) {
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& arg : args)
        words.push_back(QFile::encodeName(arg));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray log = QFile::encodeName(QDir::temp().filePath(
        QStringLiteral("quorvela-tool-%1.log").arg(QCoreApplication::applicationPid())));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    int status = -1;
    const bool started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    const bool ok =
        started && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok && error) {
        QFile output(QFile::decodeName(log));
        *error = program + QLatin1String(": ") +
                 (output.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(output.readAll())
                                                   : QStringLiteral("did not start"));
    }
    QFile::remove(QFile::decodeName(log));
    return ok;
}
#else
bool runTool(const QString& program, const QStringList& args, QString* error) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (error)
            *error = program + QLatin1String(": ") + QString::fromLocal8Bit(process.readAll()) +
                     process.errorString();
        return false;
    }
    return true;
}
#endif

QString makeToneMp3(const QString& dir, const QString& name, double seconds, int rate, int channels,
                    double frequency, const QStringList& lameArgs, QString* error) {
    const QString wav = QDir(dir).filePath(name + QLatin1String(".wav"));
    QString mp3 = QDir(dir).filePath(name + QLatin1String(".mp3"));
    // Repeatable mode: sox's default dither is random, so every run would encode a different
    // file and decode to a slightly different length under damage.
    if (!runTool(QStringLiteral("sox"),
                 {QStringLiteral("-R"), QStringLiteral("-n"), QStringLiteral("-r"),
                  QString::number(rate), QStringLiteral("-c"), QString::number(channels),
                  QStringLiteral("-b"), QStringLiteral("16"), wav, QStringLiteral("synth"),
                  QString::number(seconds), QStringLiteral("sine"), QString::number(frequency),
                  QStringLiteral("vol"), QStringLiteral("0.5")},
                 error))
        return {};
    QStringList args = lameArgs;
    args << QStringLiteral("--quiet") << wav << mp3;
    if (!runTool(QStringLiteral("lame"), args, error))
        return {};
    QFile::remove(wav);
    return mp3;
}

std::vector<float> WavData::channel(int index) const {
    std::vector<float> out;
    if (channels <= 0)
        return out;
    out.reserve(samples.size() / static_cast<std::size_t>(channels));
    for (std::size_t i = static_cast<std::size_t>(index); i < samples.size();
         i += static_cast<std::size_t>(channels))
        out.push_back(samples[i]);
    return out;
}

WavData readWav(const QString& path) {
    WavData wav;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return wav;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return wav;
    int format = 0;
    int bits = 0;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const auto size =
            static_cast<qsizetype>(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
        const char* body = bytes.constData() + at + 8;
        if (id == "fmt " && size >= 16) {
            format = qFromLittleEndian<quint16>(body);
            wav.channels = qFromLittleEndian<quint16>(body + 2);
            wav.rate = static_cast<int>(qFromLittleEndian<quint32>(body + 4));
            bits = qFromLittleEndian<quint16>(body + 14);
        } else if (id == "data") {
            const qsizetype length = std::min(size, bytes.size() - at - 8);
            if (format == 1 && bits == 16) {
                for (qsizetype i = 0; i + 2 <= length; i += 2)
                    wav.samples.push_back(qFromLittleEndian<qint16>(body + i) / 32768.0f);
            } else if (format == 3 && bits == 32) {
                for (qsizetype i = 0; i + 4 <= length; i += 4) {
                    float value = 0.0f;
                    std::memcpy(&value, body + i, 4);
                    wav.samples.push_back(value);
                }
            } else {
                return wav;
            }
            wav.valid = wav.channels > 0 && wav.rate > 0;
            return wav;
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

double toneFrequency(const std::vector<float>& samples, int rate) {
    qint64 first = -1;
    qint64 last = -1;
    qint64 crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            if (first < 0)
                first = static_cast<qint64>(i);
            else
                ++crossings;
            last = static_cast<qint64>(i);
        }
    }
    if (crossings == 0 || rate <= 0)
        return 0.0;
    return crossings * static_cast<double>(rate) / static_cast<double>(last - first);
}

double rms(const std::vector<float>& samples) {
    if (samples.empty())
        return 0.0;
    double sum = 0.0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

} // namespace quorvela::test
