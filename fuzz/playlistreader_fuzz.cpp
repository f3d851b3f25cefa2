// libFuzzer target for the playlist reader: any bytes must give a list of entries without a
// crash, a hang or a sanitizer report, and the entries must obey the reader's own promises.
#include "playlist/playlistreader.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QString folder = QStringLiteral("/lists/rock");

    const QStringList entries = quorvela::readPlaylist(bytes, folder);
    for (const QString& entry : entries) {
        // Every entry is resolved: reading it again as an item changes nothing.
        if (quorvela::resolvePlaylistItem(entry, folder) != entry)
            std::abort();
    }
    // Each entry needs at least one byte or a separator: more entries than bytes is a bug.
    if (entries.size() > qsizetype(size) + 1)
        std::abort();

    const QStringList limited = quorvela::readPlaylist(bytes, folder, 3);
    if (limited != entries.mid(0, 3))
        std::abort();
    return 0;
}
