// Part of the transport bar: its symbols, drawn to stand out in light and dark schemes alike.
#pragma once

#include <QIcon>
#include <QPalette>

namespace quorvela {

enum class TransportSymbol { Play, Pause, Stop, Volume, Muted };

// A symbol of the transport bar drawn in the palette's button text colour (its disabled
// colour on a button that is off), so that it stands out on the button in light and dark
// colour schemes alike, and sharp at any size. The style's own media symbols are black
// pictures, which vanish on a dark button.
[[nodiscard]] QIcon drawnSymbol(TransportSymbol symbol, const QPalette& palette);

} // namespace quorvela
