#pragma once

class QLabel;
class QString;

namespace quorvela {

// A label that shows a changing value (a time, a date, a track's name) carries a fixed
// accessible name that says what the value is; the value itself goes in as the accessible
// description, so a screen reader reads both. A label given a name would otherwise expose
// only the name.
void setShownValueName(QLabel* label, const QString& name);
// Shows text in such a label and keeps its description in step.
void showValue(QLabel* label, const QString& text);

} // namespace quorvela
