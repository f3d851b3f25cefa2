#pragma once

#include <QStringList>

namespace quorvela {

// The media types the program opens, as its desktop entry lists them: MP3 under each name
// desktops give it, then M3U and PLS playlists.
[[nodiscard]] inline QStringList openedMediaTypes() {
    return {QStringLiteral("audio/mpeg"),    QStringLiteral("audio/mp3"),
            QStringLiteral("audio/x-mp3"),   QStringLiteral("audio/x-mpeg"),
            QStringLiteral("audio/mpegurl"), QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("audio/x-scpls")};
}

} // namespace quorvela
