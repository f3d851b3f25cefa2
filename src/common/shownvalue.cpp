#include "common/shownvalue.h"

#include <QLabel>

namespace quorvela {

void setShownValueName(QLabel* label, const QString& name) {
    label->setAccessibleName(name);
    label->setAccessibleDescription(label->text());
}

void showValue(QLabel* label, const QString& text) {
    // The elapsed time is shown many times a second; a screen reader hears of changes only.
    if (label->text() != text)
        label->setText(text);
    if (label->accessibleDescription() != text)
        label->setAccessibleDescription(text);
}

} // namespace quorvela
