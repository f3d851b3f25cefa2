#include "player/playlistitemdelegate.h"

#include "common/localpath.h"

namespace quorvela {

QString PlaylistItemDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    if (value.metaType().id() == QMetaType::QString) {
        // A name that is not UTF-8 (opened from the command line or a drop) is shown as it
        // reads, not as the bytes it is kept as.
        const QString text = readablePath(value.toString());
        if (text.size() > LongestShown) {
            qsizetype cut = LongestShown;
            // Never split a character outside the basic plane.
            if (text.at(cut - 1).isHighSurrogate())
                --cut;
            return QStyledItemDelegate::displayText(text.left(cut) + QChar(0x2026), locale);
        }
        return QStyledItemDelegate::displayText(text, locale);
    }
    return QStyledItemDelegate::displayText(value, locale);
}

} // namespace quorvela
