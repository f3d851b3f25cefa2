// Part of the transport bar: a click on the position slider's groove moves the handle there.
#pragma once

class QAbstractSlider;

namespace quorvela {

// Makes a click on the slider's groove move the handle to the point clicked, as the position
// slider of a media player is expected to, instead of a page towards it. Dragging the handle
// and the keys work as before.
void jumpWhereClicked(QAbstractSlider* slider);

} // namespace quorvela
