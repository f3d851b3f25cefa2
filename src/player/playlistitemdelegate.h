#pragma once

#include <QStyledItemDelegate>

namespace quorvela {

// Shows a playlist entry readably, each byte of its name that is not UTF-8 as the character
// it stands for (see common/localpath.h), and cut short when it is too long to be read on
// screen anyway. Laying out a line of millions of characters (a loaded file with no line
// ends) would take seconds and gigabytes on every paint; the entry itself stays whole.
class PlaylistItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr qsizetype LongestShown = 1000;

    [[nodiscard]] QString displayText(const QVariant& value, const QLocale& locale) const override;
};

} // namespace quorvela
