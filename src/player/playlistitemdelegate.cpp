#include "player/playlistitemdelegate.h"

#include "common/localpath.h"

namespace quorvela {

QString PlaylistItemDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    if (value.metaType().id() != QMetaType::QString)
        return QStyledItemDelegate::displayText(value, locale);
    QString text = value.toString();
    if (text.size() > LongestShown) {
        qsizetype cut = LongestShown;
        // Never split a character outside the basic plane.
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text = text.left(cut) + QChar(0x2026);
    }
    if (hasForeignBytes(text))
        text = readablePath(text);
    return QStyledItemDelegate::displayText(text, locale);
}

} // namespace quorvela
