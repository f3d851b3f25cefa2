#include "support/fixtures.h"

#include "support/audiofixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvela::test {

bool makeToneMp3(const QString& path, double seconds, int frequency, int sampleRate, int channels) {
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    const QString made =
        makeToneMp3(target.absolutePath(), QStringLiteral("tone-%1").arg(frequency), seconds,
                    sampleRate, channels, frequency, {QStringLiteral("-b"), QStringLiteral("128")});
    if (made.isEmpty())
        return false;
    QFile::remove(path);
    return QFile::rename(made, path);
}

} // namespace quorvela::test
