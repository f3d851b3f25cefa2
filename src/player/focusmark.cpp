#include "player/focusmark.h"

#include <QEvent>
#include <QPainter>

namespace quorvela {

namespace {
constexpr int RingWidth = 2;
} // namespace

FocusMark::FocusMark(QWidget* control) : QWidget(control), m_control(control) {
    setObjectName(control->objectName() + QStringLiteral("FocusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(control->rect());
    setVisible(control->hasFocus());
    control->installEventFilter(this);
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_control) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            setVisible(m_control->hasFocus());
            raise();
            break;
        case QEvent::Resize:
            setGeometry(m_control->rect());
            break;
        default:
            break;
        }
    }
    return false;
}

void FocusMark::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), RingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(RingWidth / 2.0, RingWidth / 2.0, -RingWidth / 2.0,
                                             -RingWidth / 2.0));
}

} // namespace quorvela
