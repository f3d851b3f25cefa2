#include "support/fixtures.h"

#include "support/audiofixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include <ftw.h>

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

bool copyFileTo(const QString& from, const QByteArray& to) {
    const QString staging = from + QStringLiteral(".copy");
    QFile::remove(staging);
    return QFile::copy(from, staging) &&
           ::rename(QFile::encodeName(staging).constData(), to.constData()) == 0;
}

bool removeTree(const QByteArray& path) {
    const auto remove = [](const char* name, const struct stat*, int, FTW*) {
        return ::remove(name);
    };
    return ::nftw(path.constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

} // namespace quorvela::test
