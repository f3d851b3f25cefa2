#pragma once

#include "playlist/playlistwriter.h"

namespace quorvela {

// PLS: the values of its File1=, File2=, ... keys in the order of their numbers; titles and
// lengths are not entries. Written as "[playlist]", the FileN= keys in order, then
// NumberOfEntries= and Version=2.
class PlsParser final : public PlaylistWriter {
public:
    // The first line that is not blank is "[playlist]", in any case.
    [[nodiscard]] bool recognises(QByteArrayView bytes) const override;

protected:
    void parse(const char* begin, const char* end, PlaylistItems& items) const override;
    void writeHeader(QByteArray& out) const override;
    void writeEntry(QByteArray& out, qsizetype number, const QByteArray& line) const override;
    void writeFooter(QByteArray& out, qsizetype count) const override;
};

} // namespace quorvela
