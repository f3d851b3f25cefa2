#include "playlist/playlistformats.h"

#include "playlist/m3uparser.h"
#include "playlist/plainparser.h"
#include "playlist/plsparser.h"

namespace quorvela {

namespace {

const PlainParser Plain;
const M3uParser M3u;
const PlsParser Pls;

} // namespace

const PlaylistParser& playlistParserFor(QByteArrayView bytes) {
    if (M3u.recognises(bytes))
        return M3u;
    if (Pls.recognises(bytes))
        return Pls;
    return Plain;
}

const PlaylistWriter& playlistWriterFor(const QString& fileName) {
    if (fileName.endsWith(QLatin1String(".pls"), Qt::CaseInsensitive))
        return Pls;
    return M3u;
}

} // namespace quorvela
