#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace quorvela {

// Keeps embedded pictures as files a desktop can show: each picture is written once, under a
// name made from its content, to $XDG_CACHE_HOME/quorvela/art/.
class ArtCache {
public:
    // The cache folder, or another one (tests).
    explicit ArtCache(QString folder = defaultFolder());

    [[nodiscard]] static QString defaultFolder();

    // The file URL of the stored picture; empty when it cannot be stored.
    [[nodiscard]] QUrl store(const QByteArray& picture, const QString& mimeType) const;

private:
    QString m_folder;
};

} // namespace quorvela
