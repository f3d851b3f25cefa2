// Part of the transport bar: its symbols, drawn to stand out in light and dark schemes alike.
#include "widgets/transportsymbols.h"

#include <QIconEngine>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace quorvela {

namespace {

// Draws on a grid of 16 by 16 units, centred in the rectangle asked for.
class SymbolEngine final : public QIconEngine {
public:
    SymbolEngine(TransportSymbol symbol, const QColor& normal, const QColor& disabled)
        : m_symbol(symbol), m_normal(normal), m_disabled(disabled) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal side = std::min(rect.width(), rect.height());
        if (side <= 0)
            return;
        const QColor color = mode == QIcon::Disabled ? m_disabled : m_normal;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(QRectF(rect).center() - QPointF(side / 2, side / 2));
        painter->scale(side / 16.0, side / 16.0);
        painter->setPen(Qt::NoPen);
        painter->setBrush(color);
        switch (m_symbol) {
        case TransportSymbol::Play:
            painter->drawPolygon(QPolygonF({{4.5, 2.5}, {13.5, 8}, {4.5, 13.5}}));
            break;
        case TransportSymbol::Pause:
            painter->drawRect(QRectF(4, 3, 3, 10));
            painter->drawRect(QRectF(9, 3, 3, 10));
            break;
        case TransportSymbol::Stop:
            painter->drawRect(QRectF(3.5, 3.5, 9, 9));
            break;
        case TransportSymbol::Volume:
        case TransportSymbol::Muted:
            drawSpeaker(painter, color);
            break;
        }
        painter->restore();
    }

    [[nodiscard]] QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return picture;
    }

    [[nodiscard]] QIconEngine* clone() const override { return new SymbolEngine(*this); }

private:
    void drawSpeaker(QPainter* painter, const QColor& color) const {
        painter->drawPolygon(
            QPolygonF({{1.5, 6}, {4.5, 6}, {8.5, 2.5}, {8.5, 13.5}, {4.5, 10}, {1.5, 10}}));
        QPen pen(color, 1.5, Qt::SolidLine, Qt::RoundCap);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        if (m_symbol == TransportSymbol::Muted) {
            painter->drawLine(QPointF(10.5, 5.5), QPointF(14.5, 10.5));
            painter->drawLine(QPointF(14.5, 5.5), QPointF(10.5, 10.5));
            return;
        }
        // Two sound waves; angles in sixteenths of a degree.
        constexpr int Start = -50 * 16;
        constexpr int Span = 100 * 16;
        painter->drawArc(QRectF(6, 5, 6, 6), Start, Span);
        painter->drawArc(QRectF(4, 2, 11, 12), Start, Span);
    }

    TransportSymbol m_symbol;
    QColor m_normal;
    QColor m_disabled;
};

} // namespace

QIcon drawnSymbol(TransportSymbol symbol, const QPalette& palette) {
    return QIcon(new SymbolEngine(symbol, palette.color(QPalette::Active, QPalette::ButtonText),
                                  palette.color(QPalette::Disabled, QPalette::ButtonText)));
}

} // namespace quorvela
