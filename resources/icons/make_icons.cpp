// SPDX-License-Identifier: MIT
// Draws the toolbar icons (16 x 15 pixels, one PNG per command id), the map cursors of the zoom
// and pan tracks (32 x 32, "cursor<resource id>.png") and the program icon into the current
// folder. Not part of the build; the PNGs it writes are kept in the repository.
//
//   g++ -std=c++20 -fPIC make_icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_icons
//   (cd resources/icons && QT_QPA_PLATFORM=offscreen /tmp/make_icons)
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <functional>

namespace {

const QColor kInk(64, 64, 64);
const QColor kPaper(255, 255, 255);
const QColor kFolder(232, 192, 72);
const QColor kFolderDark(176, 136, 32);
const QColor kBlue(48, 96, 192);
const QColor kGreen(48, 150, 64);
const QColor kRed(208, 48, 48);
const QColor kGrey(160, 160, 160);

// Each icon twice: 16 x 15 and, drawn by the same strokes at twice the scale, "<id>@2x.png",
// which Qt takes on screens of twice the density.
void Save(int id, const std::function<void(QPainter&)>& draw) {
    for (const int scale : {1, 2}) {
        QImage image(16 * scale, 15 * scale, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.scale(scale, scale);
        draw(p);
        p.end();
        image.save(QString::number(id) + (scale == 1 ? ".png" : "@2x.png"));
    }
}

void Page(QPainter& p, int x0, int y0, int x1, int y1) {
    // A sheet with its top-right corner folded.
    QPolygon sheet;
    sheet << QPoint(x0, y0) << QPoint(x1 - 3, y0) << QPoint(x1, y0 + 3) << QPoint(x1, y1)
          << QPoint(x0, y1);
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawPolygon(sheet);
    p.drawLine(x1 - 3, y0, x1 - 3, y0 + 3);
    p.drawLine(x1 - 3, y0 + 3, x1, y0 + 3);
}

void Floppy(QPainter& p, int x0, int y0, int size) {
    p.setPen(kInk);
    p.setBrush(kBlue);
    p.drawRect(x0, y0, size, size);
    p.fillRect(x0 + 2, y0 + 1, size - 3, size / 2 - 1, kPaper);
    p.fillRect(x0 + 3, y0 + size - 4, size - 5, 4, kGrey);
    p.fillRect(x0 + size - 5, y0 + size - 3, 2, 2, kInk);
}

void Magnifier(QPainter& p, bool plus) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(QColor(220, 236, 255));
    p.drawEllipse(QPointF(6.5, 6.0), 4.6, 4.6);
    p.setPen(QPen(QColor(120, 72, 32), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.0, 9.6), QPointF(14.0, 13.4));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.fillRect(4, 5, 6, 2, kInk);
    if (plus) p.fillRect(6, 3, 2, 6, kInk);
}

// A thick arrow pointing in direction (dx, dy), centred in the icon.
void Arrow(QPainter& p, int dx, int dy) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF arrow;
    arrow << QPointF(7, 0) << QPointF(1, -6) << QPointF(1, -2.5) << QPointF(-6, -2.5)
          << QPointF(-6, 2.5) << QPointF(1, 2.5) << QPointF(1, 6);
    p.translate(7.5, 7.0);
    p.rotate(std::atan2(dy, dx) * 180.0 / M_PI);
    p.setPen(QPen(QColor(24, 64, 140), 1.0));
    p.setBrush(QColor(72, 132, 220));
    p.drawPolygon(arrow);
}

void Window(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawRect(1, 1, 13, 12);
    p.fillRect(2, 2, 12, 2, kBlue);
}

// A 32 x 32 cursor: black shapes with a white outline so that they show on any relief.
void SaveCursor(int id, const std::function<void(QPainter&, const QPen&, const QBrush&)>& draw) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    draw(p, QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin), Qt::NoBrush);
    draw(p, QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin), Qt::NoBrush);
    p.end();
    image.save(QStringLiteral("cursor%1.png").arg(id));
}

// The magnifier cursor: the lens centred at (12, 12), the hot spot, with a plus or a minus.
void MagnifierCursor(int id, bool plus) {
    SaveCursor(id, [plus](QPainter& p, const QPen& pen, const QBrush&) {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        QPen handle = pen;
        handle.setWidthF(pen.widthF() + 2.5);
        p.setPen(handle);
        p.drawLine(QPointF(18.5, 18.5), QPointF(28, 28));
        p.setPen(pen);
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
        if (plus) p.drawLine(QPointF(12, 8), QPointF(12, 16));
    });
}

// The open hand of the pan track; the hot spot is the middle of the palm (16, 17).
void HandCursor(int id) {
    SaveCursor(id, [](QPainter& p, const QPen& pen, const QBrush&) {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath hand;
        // Four fingers and the thumb, then the palm below them.
        const double fingers[4][2] = {{10, 9}, {14, 5}, {18, 5}, {22, 8}};
        for (const auto& f : fingers) {
            hand.moveTo(f[0] - 1.6, 16);
            hand.lineTo(f[0] - 1.6, f[1] + 1.6);
            hand.arcTo(QRectF(f[0] - 1.6, f[1], 3.2, 3.2), 180, -180);
            hand.lineTo(f[0] + 1.6, 16);
        }
        hand.moveTo(8.4, 18);
        hand.lineTo(5, 15);
        hand.arcTo(QRectF(3, 13, 3.2, 3.2), 135, 180);
        hand.lineTo(9, 24);
        hand.moveTo(8.4, 16);
        hand.lineTo(8.4, 22);
        hand.quadTo(9, 28, 15, 28);
        hand.lineTo(19, 28);
        hand.quadTo(23.6, 28, 23.6, 22);
        hand.lineTo(23.6, 9.6);
        p.drawPath(hand);
    });
}

void AppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 48.0, size / 48.0);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(2, 2, 44, 44), 7, 7);
    QLinearGradient sky(0, 2, 0, 46);
    sky.setColorAt(0, QColor(200, 226, 255));
    sky.setColorAt(1, QColor(120, 170, 230));
    p.fillPath(frame, sky);
    p.setClipPath(frame);
    // Hills coloured like the relief: green low, brown high.
    QPainterPath hills;
    hills.moveTo(2, 36);
    hills.cubicTo(10, 20, 16, 14, 22, 16);
    hills.cubicTo(28, 18, 30, 8, 36, 10);
    hills.cubicTo(42, 12, 44, 22, 46, 26);
    hills.lineTo(46, 46);
    hills.lineTo(2, 46);
    hills.closeSubpath();
    QLinearGradient relief(0, 8, 0, 40);
    relief.setColorAt(0.0, QColor(150, 96, 48));
    relief.setColorAt(0.35, QColor(214, 190, 90));
    relief.setColorAt(0.7, QColor(90, 170, 70));
    relief.setColorAt(1.0, QColor(40, 120, 60));
    p.fillPath(hills, relief);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
    for (int i = 0; i < 3; ++i)
        p.drawPath(hills.translated(0, 6.0 * (i + 1)));
    // The sea.
    p.fillRect(QRectF(2, 38, 44, 8), QColor(40, 90, 190));
    p.setClipping(false);
    p.setPen(QPen(QColor(30, 50, 90), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(frame);
    p.end();
    image.save(QStringLiteral("kovview%1.png").arg(size == 48 ? QString() : QString::number(size)));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);

    Save(57600, [](QPainter& p) { Page(p, 3, 0, 12, 14); });
    Save(57601, [](QPainter& p) {
        p.setPen(kFolderDark);
        p.setBrush(kFolder);
        p.drawPolygon(QPolygon({{0, 3}, {5, 3}, {6, 4}, {12, 4}, {12, 13}, {0, 13}}));
        p.setBrush(QColor(248, 220, 120));
        p.drawPolygon(QPolygon({{0, 13}, {3, 7}, {15, 7}, {12, 13}}));
        p.setPen(QPen(kGreen, 1));
        p.drawLine(9, 0, 13, 0);
        p.drawLine(13, 0, 13, 4);
        p.drawLine(12, 3, 14, 3);
    });
    Save(57603, [](QPainter& p) { Floppy(p, 1, 1, 13); });
    Save(57604, [](QPainter& p) {
        Floppy(p, 0, 3, 11);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor(120, 72, 32), 1));
        p.setBrush(QColor(250, 200, 80));
        p.drawPolygon(QPolygonF({QPointF(9, 9), QPointF(15, 2), QPointF(16, 3.5),
                                 QPointF(10.5, 10.5), QPointF(8.5, 11)}));
    });
    Save(57607, [](QPainter& p) {
        p.setPen(kInk);
        p.setBrush(kPaper);
        p.drawRect(4, 0, 7, 5);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(1, 5, 13, 6);
        p.fillRect(11, 7, 2, 1, kGreen);
        p.setBrush(kPaper);
        p.drawRect(4, 9, 7, 5);
        p.drawLine(6, 11, 9, 11);
    });
    Save(32771, [](QPainter& p) {
        // Layers of a project, stacked.
        p.setRenderHint(QPainter::Antialiasing, true);
        const QColor fills[] = {QColor(72, 132, 220), QColor(214, 170, 80), QColor(90, 180, 80)};
        for (int i = 0; i < 3; ++i) {
            const double y = 9.5 - i * 3.5;
            p.setPen(QPen(kInk, 0.9));
            p.setBrush(fills[i]);
            p.drawPolygon(QPolygonF(
                {QPointF(7.5, y - 3), QPointF(15, y), QPointF(7.5, y + 3), QPointF(0.5, y)}));
        }
    });
    Save(32777, [](QPainter& p) {
        QLinearGradient ramp(1, 0, 15, 0);
        ramp.setColorAt(0.0, QColor(0, 0, 255));
        ramp.setColorAt(0.25, QColor(0, 200, 255));
        ramp.setColorAt(0.5, QColor(0, 200, 0));
        ramp.setColorAt(0.75, QColor(255, 220, 0));
        ramp.setColorAt(1.0, QColor(220, 0, 0));
        p.fillRect(1, 2, 14, 7, ramp);
        p.setPen(kInk);
        p.setBrush(Qt::NoBrush);
        p.drawRect(1, 2, 13, 7);
        for (int x = 2; x <= 13; x += 3)
            p.drawLine(x, 10, x, 12);
        p.drawLine(1, 12, 14, 12);
    });
    Save(32795, [](QPainter& p) {
        p.fillRect(1, 1, 14, 13, QColor(214, 236, 200));
        p.setPen(QColor(0, 0, 128));
        p.setBrush(Qt::NoBrush);
        p.drawRect(1, 1, 13, 12);
        p.drawLine(8, 1, 8, 13);
        p.drawLine(1, 7, 14, 7);
        p.setPen(kRed);
        p.drawLine(3, 3, 6, 3);
        p.drawLine(10, 9, 13, 9);
    });
    Save(33033, [](QPainter& p) {
        p.fillRect(4, 4, 8, 7, QColor(120, 190, 100));
        p.setPen(kInk);
        p.setBrush(Qt::NoBrush);
        p.drawRect(4, 4, 7, 6);
        p.setPen(QPen(kBlue, 1));
        // Corner arrows pointing outwards.
        p.drawLine(0, 0, 3, 3);
        p.drawLine(0, 0, 3, 0);
        p.drawLine(0, 0, 0, 3);
        p.drawLine(15, 0, 12, 3);
        p.drawLine(15, 0, 12, 0);
        p.drawLine(15, 0, 15, 3);
        p.drawLine(0, 14, 3, 11);
        p.drawLine(0, 14, 3, 14);
        p.drawLine(0, 14, 0, 11);
        p.drawLine(15, 14, 12, 11);
        p.drawLine(15, 14, 12, 14);
        p.drawLine(15, 14, 15, 11);
    });
    Save(33031, [](QPainter& p) { Magnifier(p, true); });
    Save(33032, [](QPainter& p) { Magnifier(p, false); });
    Save(33034, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor(24, 64, 140), 0.8));
        p.setBrush(QColor(72, 132, 220));
        QPolygonF cross;
        const double c = 7.5, r = 7.0, a = 3.2, w = 1.3;
        cross << QPointF(c, c - r) << QPointF(c + a, c - r + a) << QPointF(c + w, c - r + a)
              << QPointF(c + w, c - w) << QPointF(c + r - a, c - w) << QPointF(c + r - a, c - a)
              << QPointF(c + r, c) << QPointF(c + r - a, c + a) << QPointF(c + r - a, c + w)
              << QPointF(c + w, c + w) << QPointF(c + w, c + r - a) << QPointF(c + a, c + r - a)
              << QPointF(c, c + r) << QPointF(c - a, c + r - a) << QPointF(c - w, c + r - a)
              << QPointF(c - w, c + w) << QPointF(c - r + a, c + w) << QPointF(c - r + a, c + a)
              << QPointF(c - r, c) << QPointF(c - r + a, c - a) << QPointF(c - r + a, c - w)
              << QPointF(c - w, c - w) << QPointF(c - w, c - r + a) << QPointF(c - a, c - r + a);
        p.translate(0, -0.5);
        p.drawPolygon(cross);
    });
    Save(33021, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kGreen, 2.0, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2, 10, 10), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF({QPointF(7, -1), QPointF(12, 2.5), QPointF(7, 6)}));
    });
    Save(32776, [](QPainter& p) {
        p.setPen(kInk);
        p.setBrush(QColor(255, 255, 192));
        p.drawRect(3, 3, 12, 9);
        p.fillRect(5, 5, 7, 1, kInk);
        p.fillRect(5, 7, 9, 1, kInk);
        p.fillRect(5, 9, 5, 1, kInk);
        p.setPen(kRed);
        p.drawLine(0, 0, 4, 4);
        p.drawLine(0, 0, 3, 0);
        p.drawLine(0, 0, 0, 3);
    });
    Save(33012, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(230, 230, 230));
        p.drawEllipse(QPointF(7.5, 7.0), 7, 7);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(QPolygonF({QPointF(7.5, 1), QPointF(10, 4), QPointF(5, 4)}));
        p.drawPolygon(QPolygonF({QPointF(7.5, 13), QPointF(10, 10), QPointF(5, 10)}));
        p.drawPolygon(QPolygonF({QPointF(1.5, 7), QPointF(4.5, 4.5), QPointF(4.5, 9.5)}));
        p.drawPolygon(QPolygonF({QPointF(13.5, 7), QPointF(10.5, 4.5), QPointF(10.5, 9.5)}));
        p.setBrush(kInk);
        p.drawEllipse(QPointF(7.5, 7.0), 1.3, 1.3);
    });
    Save(32782, [](QPainter& p) {
        p.setPen(kInk);
        p.setBrush(kPaper);
        p.drawRect(1, 7, 13, 3);
        p.fillRect(2, 8, 3, 2, kInk);
        p.fillRect(8, 8, 3, 2, kInk);
        p.drawLine(1, 4, 1, 6);
        p.drawLine(8, 4, 8, 6);
        p.drawLine(14, 4, 14, 6);
        p.setPen(QColor(0, 0, 128));
        p.drawLine(1, 12, 14, 12);
    });
    Save(59392, [](QPainter& p) {
        Window(p);
        p.fillRect(2, 5, 12, 3, QColor(210, 210, 210));
        p.fillRect(3, 6, 2, 1, kInk);
        p.fillRect(6, 6, 2, 1, kInk);
        p.fillRect(9, 6, 2, 1, kInk);
    });
    Save(59393, [](QPainter& p) {
        Window(p);
        p.fillRect(2, 10, 12, 3, QColor(210, 210, 210));
        p.fillRect(3, 11, 5, 1, kInk);
        p.fillRect(10, 11, 3, 1, kGreen);
    });
    Save(33044, [](QPainter& p) { Arrow(p, -1, 0); });
    Save(33046, [](QPainter& p) { Arrow(p, 1, 0); });
    Save(33042, [](QPainter& p) { Arrow(p, 0, -1); });
    Save(33048, [](QPainter& p) { Arrow(p, 0, 1); });
    Save(32786, [](QPainter& p) {
        Page(p, 1, 0, 9, 10);
        Page(p, 6, 4, 14, 14);
        p.setPen(kGrey);
        p.drawLine(8, 8, 12, 8);
        p.drawLine(8, 10, 12, 10);
        p.drawLine(8, 12, 12, 12);
    });
    Save(32773, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QPolygonF shape({QPointF(2, 11), QPointF(5, 2), QPointF(13, 4), QPointF(12, 12)});
        p.setPen(QPen(kRed, 1.2));
        p.setBrush(QColor(240, 120, 120, 110));
        p.drawPolygon(shape);
        p.setRenderHint(QPainter::Antialiasing, false);
        for (const QPointF& v : shape)
            p.fillRect(QRectF(v.x() - 1, v.y() - 1, 3, 3), kInk);
    });
    Save(32775, [](QPainter& p) {
        p.setPen(kInk);
        p.drawLine(1, 13, 14, 13);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kRed, 1.4));
        p.drawLine(QPointF(1.5, 12.5), QPointF(13.5, 3));
        p.setPen(QPen(kBlue, 1));
        p.drawArc(QRectF(-4, 7.5, 11, 11), 0, 38 * 16);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(12, 2, 3, 3, kInk);
        p.fillRect(0, 11, 3, 3, kInk);
    });
    Save(32774, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath ground;
        ground.moveTo(1, 12);
        ground.cubicTo(4, 5, 6, 3, 8, 6);
        ground.cubicTo(10, 9, 12, 2, 15, 4);
        ground.lineTo(15, 14);
        ground.lineTo(1, 14);
        ground.closeSubpath();
        p.fillPath(ground, QColor(190, 150, 90));
        p.setPen(QPen(QColor(110, 70, 30), 1.2));
        p.drawPath(ground);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(kInk);
        p.drawLine(0, 0, 0, 14);
        p.drawLine(0, 14, 15, 14);
    });
    Save(32788, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kGrey, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(1, 12), QPointF(5, 3), QPointF(10, 9), QPointF(14, 2)}));
        p.setPen(QPen(kRed, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(14, 14));
        p.drawLine(QPointF(14, 8), QPointF(8, 14));
    });
    Save(57667, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor(24, 64, 140), 1));
        p.setBrush(QColor(72, 132, 220));
        p.drawEllipse(QPointF(7.5, 7.0), 6.8, 6.8);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 16, 15), Qt::AlignCenter, QStringLiteral("?"));
    });

    MagnifierCursor(9301, true);
    MagnifierCursor(9302, false);
    HandCursor(801);

    AppIcon(48);
    AppIcon(128);
    return 0;
}
