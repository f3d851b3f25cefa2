// Part of the transport bar: a click on the position slider's groove moves the handle there.
#include "widgets/clickjump.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

namespace quorvela {

namespace {

// The slider takes a press of these buttons as "put the handle here", and then follows the
// mouse as if the handle had been grabbed there.
class ClickJumpStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton | Qt::MiddleButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void jumpWhereClicked(QAbstractSlider* slider) {
    // Drawn by a copy of the program's own style (the proxy owns it), so the slider looks like
    // every other control; the desktop's default style when that one cannot be copied.
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    auto* style = new ClickJumpStyle(base);
    style->setParent(slider);
    slider->setStyle(style);
}

} // namespace quorvela
