// libFuzzer target for the playlist readers: any bytes, read in every format, must give a list
// of entries without a crash, a hang or a sanitizer report, and the entries must obey the
// reader's own promises.
#include "playlist/m3uparser.h"
#include "playlist/plainparser.h"
#include "playlist/playlistformats.h"
#include "playlist/plsparser.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const quorvela::PlaylistParser& parser, QByteArrayView bytes) {
    static const QString folder = QStringLiteral("/lists/rock");
    const quorvela::PlaylistEntries read = parser.read(bytes, folder);
    const QStringList& entries = read.paths;
    for (const QString& entry : entries) {
        // Every entry is resolved: reading it again as an item changes nothing.
        if (quorvela::resolvePlaylistItem(entry, folder) != entry)
            std::abort();
    }
    // The bytes of an entry whose text may name another file lie in the input, given once per
    // entry and in order, and name an absolute path or nothing.
    qsizetype previous = -1;
    for (const quorvela::PlaylistEntries::RawItem& raw : read.rawItems) {
        if (raw.index <= previous || raw.index >= entries.size() ||
            raw.bytes.data() < bytes.data() ||
            raw.bytes.data() + raw.bytes.size() > bytes.data() + bytes.size())
            std::abort();
        previous = raw.index;
        const QByteArray name = quorvela::resolvePlaylistBytes(raw.bytes, folder);
        if (!name.isEmpty() && !name.startsWith('/'))
            std::abort();
    }
    // Each entry needs at least one byte or a separator: more entries than bytes is a bug.
    if (entries.size() > bytes.size() + 1)
        std::abort();
    if (parser.read(bytes, folder, 3).paths != entries.mid(0, 3))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const quorvela::PlainParser plain;
    static const quorvela::M3uParser m3u;
    static const quorvela::M3uParser m3uByHeader(quorvela::M3uParser::QuotedLine::Kept);
    static const quorvela::PlsParser pls;
    static const QString m3uName = QStringLiteral("list.m3u");
    static const QString otherName = QStringLiteral("list.txt");
    check(plain, bytes);
    check(m3u, bytes);
    check(m3uByHeader, bytes);
    check(pls, bytes);
    check(quorvela::playlistParserFor(m3uName, bytes), bytes);
    check(quorvela::playlistParserFor(otherName, bytes), bytes);
    return 0;
}
