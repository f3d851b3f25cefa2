#include "support/fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace quorvela::test {

namespace {
bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}
} // namespace

bool makeToneMp3(const QString& path, double seconds, int frequency, int sampleRate, int channels) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString wav = path + QStringLiteral(".tmp.wav");
    const bool ok =
        run(QStringLiteral("sox"),
            {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(sampleRate),
             QStringLiteral("-c"), QString::number(channels), QStringLiteral("-b"),
             QStringLiteral("16"), wav, QStringLiteral("synth"), QString::number(seconds),
             QStringLiteral("sine"), QString::number(frequency), QStringLiteral("vol"),
             QStringLiteral("0.5")}) &&
        run(QStringLiteral("lame"),
            {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"), wav, path});
    QFile::remove(wav);
    return ok && QFileInfo(path).size() > 0;
}

} // namespace quorvela::test
