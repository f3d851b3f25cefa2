#pragma once

#include "playlist/playlistparser.h"
#include "playlist/playlistwriter.h"

#include <QByteArrayView>
#include <QString>

namespace quorvela {

// The format a playlist file is read in, told from its first lines: extended M3U, PLS, else
// the plain comma list.
[[nodiscard]] const PlaylistParser& playlistParserFor(QByteArrayView bytes);

// The format Save writes to a file of this name: PLS for a name ending in ".pls" (any case),
// extended M3U for any other.
[[nodiscard]] const PlaylistWriter& playlistWriterFor(const QString& fileName);

} // namespace quorvela
