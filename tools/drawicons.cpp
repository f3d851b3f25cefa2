// Paints the program's icons and writes them as PNG files at the sizes the desktop asks for.
// The drawings are made on a 64 x 64 grid, the same grid as data/icons/*.svg.
//
// Build and run (or configure with -DQUORVELA_BUILD_ICON_TOOL=ON and build drawicons):
//   g++ -std=c++20 -fPIC tools/drawicons.cpp -o drawicons $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen ./drawicons data/icons

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Sizes[] = {16, 32, 48, 64, 128};

// A yellow loudspeaker sending out sound waves, blue and green in turn. At 16 pixels three
// waves run together, so the smallest size gets two bolder ones.
void paintProgramIcon(QPainter& p, int size) {
    const QColor outline(0x5a, 0x45, 0x00);
    QPainterPath speaker;
    speaker.addRect(QRectF(8, 24, 11, 16));
    QPainterPath cone;
    cone.moveTo(19, 24);
    cone.lineTo(33, 12);
    cone.lineTo(33, 52);
    cone.lineTo(19, 40);
    cone.closeSubpath();
    p.setPen(QPen(outline, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xf5, 0xc4, 0x00));
    p.drawPath(speaker.united(cone));

    const QColor blue(0x1e, 0x6f, 0xd9);
    const QColor green(0x2e, 0xa0, 0x43);
    struct Wave {
        double radius;
        QColor color;
    };
    const bool small = size <= 16;
    const std::vector<Wave> waves = small ? std::vector<Wave>{{12, green}, {24, blue}}
                                          : std::vector<Wave>{{9, blue}, {17, green}, {25, blue}};
    p.setBrush(Qt::NoBrush);
    for (const auto& wave : waves) {
        p.setPen(QPen(wave.color, small ? 6.5 : 4.5, Qt::SolidLine, Qt::RoundCap));
        const QRectF box(36 - wave.radius, 32 - wave.radius, 2 * wave.radius, 2 * wave.radius);
        p.drawArc(box, -45 * 16, 90 * 16);
    }
}

// A grey speech bubble holding a blue question mark.
void paintHelpIcon(QPainter& p, int /*size*/) {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(4, 6, 56, 40), 11, 11);
    QPainterPath tail;
    tail.moveTo(15, 44);
    tail.lineTo(12, 59);
    tail.lineTo(29, 44);
    tail.closeSubpath();
    p.setPen(QPen(QColor(0x5f, 0x63, 0x68), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xc4, 0xc7, 0xcc));
    p.drawPath(bubble.united(tail));

    QPainterPath mark;
    mark.moveTo(24, 20.5);
    mark.cubicTo(24, 15, 27.5, 12, 32, 12);
    mark.cubicTo(36.5, 12, 40, 15, 40, 19.5);
    mark.cubicTo(40, 24, 36, 25.5, 33.8, 27.3);
    mark.cubicTo(32.4, 28.5, 32, 29.6, 32, 31.5);
    mark.lineTo(32, 33);
    const QColor blue(0x1a, 0x5f, 0xd0);
    p.setPen(QPen(blue, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawEllipse(QPointF(32, 40), 3.8, 3.8);
}

bool writeIcon(const QString& folder, const QString& name,
               const std::function<void(QPainter&, int)>& paint) {
    for (const int size : Sizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 64.0, size / 64.0);
        paint(painter, size);
        painter.end();
        const QString file = QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(name).arg(size));
        if (!image.save(file)) {
            std::fprintf(stderr, "drawicons: cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    const bool ok = writeIcon(folder, QStringLiteral("quorvela"), paintProgramIcon) &&
                    writeIcon(folder, QStringLiteral("help"), paintHelpIcon);
    return ok ? 0 : 1;
}
