#include "player/playlistitemdelegate.h"

namespace quorvela {

QString PlaylistItemDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    if (value.metaType().id() == QMetaType::QString) {
        const QString text = value.toString();
        if (text.size() > LongestShown) {
            qsizetype cut = LongestShown;
            // Never split a character outside the basic plane.
            if (text.at(cut - 1).isHighSurrogate())
                --cut;
            return QStyledItemDelegate::displayText(text.left(cut) + QChar(0x2026), locale);
        }
    }
    return QStyledItemDelegate::displayText(value, locale);
}

} // namespace quorvela
