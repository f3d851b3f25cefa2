#pragma once

#include "playlist/playlistparser.h"

namespace quorvela {

// Items separated by commas and line ends: hand-made lists, and the lists this program saved
// before it wrote M3U and PLS. An item that holds a comma stands in double quotes.
class PlainParser final : public PlaylistParser {
protected:
    void parse(const char* begin, const char* end, PlaylistItems& items) const override;
};

} // namespace quorvela
