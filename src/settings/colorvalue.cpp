#include "settings/colorvalue.h"

namespace quorvela::color {

Value fromQColor(const QColor& c) {
    const QColor rgb = c.toRgb();
    return fromRgb(rgb.red(), rgb.green(), rgb.blue());
}

QString toText(Value v) {
    return QString::number(static_cast<std::int32_t>(v));
}

std::optional<Value> fromText(const QString& text) {
    bool ok = false;
    // Only plain decimal digits with an optional minus, as toText writes them (and as
    // hand-edited files usually hold them, so surrounding blanks are forgiven).
    const QString trimmed = text.trimmed();
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar ch = trimmed.at(i);
        if (!(ch.isDigit() && ch.unicode() < 128) && !(i == 0 && ch == QLatin1Char('-')))
            return std::nullopt;
    }
    const qint64 wide = trimmed.toLongLong(&ok);
    if (!ok || wide < INT32_MIN || wide > INT32_MAX)
        return std::nullopt;
    const auto value = static_cast<Value>(static_cast<std::int32_t>(wide));
    if (!isValid(value))
        return std::nullopt;
    return value;
}

QColor resolve(Value v, const QPalette& palette) {
    if (!isSystem(v))
        return {static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                static_cast<int>((v >> 16) & 0xFF)};
    using R = QPalette::ColorRole;
    const QPalette::ColorGroup active = QPalette::Active;
    switch (v & ~SystemFlag) {
    case 0: // scroll bar
        return palette.color(active, R::Mid);
    case 1: // desktop
        return palette.color(active, R::Dark);
    case 2: // active caption
        return palette.color(active, R::Highlight);
    case 3: // inactive caption
        return palette.color(active, R::Mid);
    case 4: // menu
        return palette.color(active, R::Window);
    case 5: // window background
        return palette.color(active, R::Base);
    case 6: // window frame
        return palette.color(active, R::Shadow);
    case 7: // menu text
        return palette.color(active, R::WindowText);
    case 8: // window text
        return palette.color(active, R::Text);
    case 9: // caption text
        return palette.color(active, R::HighlightedText);
    case 10: // active border
    case 11: // inactive border
        return palette.color(active, R::Window);
    case 12: // application workspace
        return palette.color(active, R::Mid);
    case 13: // highlight
        return palette.color(active, R::Highlight);
    case 14: // highlighted text
        return palette.color(active, R::HighlightedText);
    case 15: // button face
        return palette.color(active, R::Button);
    case 16: // button shadow
        return palette.color(active, R::Dark);
    case 17: // grey text
        return palette.color(QPalette::Disabled, R::Text);
    case 18: // button text
        return palette.color(active, R::ButtonText);
    case 19: // inactive caption text
        return palette.color(QPalette::Inactive, R::WindowText);
    case 20: // button highlight
        return palette.color(active, R::Light);
    case 21: // dark 3D shadow
        return palette.color(active, R::Shadow);
    case 22: // 3D light
        return palette.color(active, R::Midlight);
    case 23: // tooltip text
        return palette.color(active, R::ToolTipText);
    case 24: // tooltip background
        return palette.color(active, R::ToolTipBase);
    default:
        return palette.color(active, R::Text);
    }
}

} // namespace quorvela::color
