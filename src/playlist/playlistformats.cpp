#include "playlist/playlistformats.h"

#include "playlist/m3uparser.h"
#include "playlist/plainparser.h"
#include "playlist/plsparser.h"

namespace quorvela {

namespace {

const PlainParser Plain;
const M3uParser M3u;
const M3uParser M3uByHeader(M3uParser::QuotedLine::Kept);
const PlsParser Pls;

bool isM3uName(const QString& fileName) {
    return fileName.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive) ||
           fileName.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive);
}

bool isPlsName(const QString& fileName) {
    return fileName.endsWith(QLatin1String(".pls"), Qt::CaseInsensitive);
}

} // namespace

const PlaylistParser& playlistParserFor(const QString& fileName, QByteArrayView bytes) {
    // A PLS file saved under the wrong name is still unmistakably PLS; read as M3U it would
    // give nothing but bogus entries.
    if (Pls.recognises(bytes))
        return Pls;
    if (isM3uName(fileName))
        return M3u;
    if (M3uByHeader.recognises(bytes))
        return M3uByHeader;
    return Plain;
}

bool isPlaylistName(const QString& fileName) {
    return isM3uName(fileName) || isPlsName(fileName);
}

const PlaylistWriter& playlistWriterFor(const QString& fileName) {
    if (isPlsName(fileName))
        return Pls;
    return M3u;
}

} // namespace quorvela
