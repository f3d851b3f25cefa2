#include "mpris/artcache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace quorvela {

namespace {

// The extension tells image viewers what the file holds; the bytes decide over a MIME type
// that tag writers often get wrong.
QString extensionFor(const QByteArray& picture, const QString& mimeType) {
    if (picture.startsWith("\x89PNG"))
        return QStringLiteral("png");
    if (picture.startsWith("\xFF\xD8"))
        return QStringLiteral("jpg");
    if (picture.startsWith("GIF8"))
        return QStringLiteral("gif");
    if (mimeType.endsWith(QLatin1String("png")))
        return QStringLiteral("png");
    if (mimeType.endsWith(QLatin1String("jpeg")) || mimeType.endsWith(QLatin1String("jpg")))
        return QStringLiteral("jpg");
    return QStringLiteral("img");
}

} // namespace

ArtCache::ArtCache(QString folder) : m_folder(std::move(folder)) {}

QString ArtCache::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/quorvela/art");
}

QUrl ArtCache::store(const QByteArray& picture, const QString& mimeType) const {
    if (picture.isEmpty() || m_folder.isEmpty())
        return {};
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(picture, QCryptographicHash::Sha256).toHex()) +
        QLatin1Char('.') + extensionFor(picture, mimeType);
    const QString path = QDir(m_folder).filePath(name);
    // The name is the content, so a file already there holds this picture.
    if (!QFileInfo::exists(path)) {
        if (!QDir().mkpath(m_folder))
            return {};
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size() ||
            !file.commit())
            return {};
    }
    return QUrl::fromLocalFile(path);
}

} // namespace quorvela
