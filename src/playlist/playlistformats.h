#pragma once

#include "playlist/playlistparser.h"
#include "playlist/playlistwriter.h"

#include <QByteArrayView>
#include <QString>

namespace quorvela {

// The format a playlist file is read in. A name ending in ".m3u" or ".m3u8" (any case) is
// M3U, header or not (most hand-made and exported M3U files have none), unless its first line
// that is not blank is "[playlist]". Any other name is told by its first lines: extended M3U,
// PLS, else the plain comma list.
[[nodiscard]] const PlaylistParser& playlistParserFor(const QString& fileName,
                                                      QByteArrayView bytes);

// Whether a file of this name is read as a playlist when it is handed over: a name ending in
// ".m3u", ".m3u8" or ".pls", any case.
[[nodiscard]] bool isPlaylistName(const QString& fileName);

// The format Save writes to a file of this name: PLS for a name ending in ".pls" (any case),
// extended M3U for any other.
[[nodiscard]] const PlaylistWriter& playlistWriterFor(const QString& fileName);

} // namespace quorvela
