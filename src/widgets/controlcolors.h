// The colours of a control's text and background, as the player's lists and swatches take them.
#pragma once

#include "settings/colorvalue.h"

class QWidget;

// A control's text and background colour, kept on the control as its 32-bit colour value so
// that a system colour goes back out exactly as it came in.
namespace quorvela {

void setForeColor(QWidget* control, color::Value value);
void setBackColor(QWidget* control, color::Value value);
[[nodiscard]] color::Value foreColor(const QWidget* control);
[[nodiscard]] color::Value backColor(const QWidget* control);

} // namespace quorvela
