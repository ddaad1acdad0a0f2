// SPDX-License-Identifier: MIT
// Draws the pictures of the map view and the scroll pad (scrollpad.png, pan_cursor.png,
// start.png) into the current folder. Not part of the build; the PNGs are committed. Rebuild with
//   g++ -std=c++20 -fPIC draw_view_images.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw
//   QT_QPA_PLATFORM=offscreen /tmp/draw
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// An arrow head pointing along angle a (radians, y up) with its tip at distance r from c.
QPolygonF ArrowHead(QPointF c, double a, double r, double length, double halfWidth) {
    const QPointF dir(std::cos(a), -std::sin(a));
    const QPointF normal(-dir.y(), dir.x());
    const QPointF tip = c + dir * r;
    const QPointF base = tip - dir * length;
    return QPolygonF({tip, base + normal * halfWidth, base - normal * halfWidth});
}

// The scroll pad: a round face centred at (35, 35) with eight arrows and a centre button.
QImage ScrollPad() {
    QImage image(79, 79, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(35.5, 35.5);
    // Drop shadow.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawEllipse(c + QPointF(3, 3), 34.5, 34.5);
    // Face with a light from the upper left.
    QRadialGradient face(c - QPointF(10, 10), 50);
    face.setColorAt(0.0, QColor(250, 250, 250));
    face.setColorAt(1.0, QColor(176, 184, 196));
    p.setBrush(face);
    p.setPen(QPen(QColor(96, 104, 120), 1.0));
    p.drawEllipse(c, 34.5, 34.5);
    // Sector lines between the arrows.
    p.setPen(QPen(QColor(150, 158, 172), 1.0));
    for (int i = 0; i < 8; ++i) {
        const double a = kPi / 8 + i * kPi / 4;
        const QPointF d(std::cos(a), -std::sin(a));
        p.drawLine(c + d * 11.0, c + d * 33.0);
    }
    // Arrows: larger for the four main directions.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 8; ++i) {
        const double a = i * kPi / 4;
        const bool main = i % 2 == 0;
        p.setBrush(main ? QColor(0, 0, 128) : QColor(40, 72, 150));
        p.drawPolygon(ArrowHead(c, a, main ? 31.0 : 29.0, main ? 11.0 : 9.0, main ? 7.0 : 5.5));
    }
    // Centre button (the zoom-and-move zone, 8 pixels).
    QRadialGradient centre(c - QPointF(2, 2), 9);
    centre.setColorAt(0.0, QColor(255, 236, 170));
    centre.setColorAt(1.0, QColor(214, 150, 40));
    p.setBrush(centre);
    p.setPen(QPen(QColor(120, 80, 20), 1.0));
    p.drawEllipse(c, 7.5, 7.5);
    p.setPen(QPen(QColor(90, 60, 10), 1.4));
    p.drawLine(c + QPointF(-3.5, 0), c + QPointF(3.5, 0));
    p.drawLine(c + QPointF(0, -3.5), c + QPointF(0, 3.5));
    return image;
}

// The centre and pan cursor: a four-way arrow, black with a white outline, hot spot in the middle.
QImage PanCursor() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(16, 16);
    QPainterPath path;
    for (int i = 0; i < 4; ++i) {
        const double a = i * kPi / 2;
        path.addPolygon(ArrowHead(c, a, 14.0, 6.0, 5.0));
        path.closeSubpath();
    }
    path.addRect(QRectF(c.x() - 1.5, c.y() - 9, 3, 18));
    path.addRect(QRectF(c.x() - 9, c.y() - 1.5, 18, 3));
    path.setFillRule(Qt::WindingFill);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(path.simplified());
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(path.simplified());
    return image;
}

// An invented landscape for the start screen: banded relief of two hills above a sea.
double Height(double x, double y) {
    const double hill1 = 180 * std::exp(-((x - 150) * (x - 150) + (y - 110) * (y - 110)) / 5000.0);
    const double hill2 = 120 * std::exp(-((x - 330) * (x - 330) + (y - 90) * (y - 90)) / 7000.0);
    const double ridge = 30 * std::sin(x / 37.0) * std::cos(y / 23.0);
    return hill1 + hill2 + ridge + 60 - y * 0.35;
}

QColor RampColour(double h) {
    if (h < 0) return QColor(70, 120, 190);
    const double t = std::min(1.0, h / 200.0);
    const int step = static_cast<int>(t * 10);  // flat bands
    const double s = step / 10.0;
    return QColor::fromHsvF(std::max(0.0, 0.33 - 0.3 * s), 0.55 + 0.2 * s, 0.85 - 0.25 * s);
}

QImage StartPicture() {
    constexpr int kWidth = 480;
    constexpr int kHeight = 270;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double h = Height(x, y);
            // Hill shading from the north-west.
            const double dx = Height(x + 1, y) - Height(x - 1, y);
            const double dy = Height(x, y + 1) - Height(x, y - 1);
            const double light = h < 0 ? 1.0 : std::clamp(1.0 - 0.04 * (dx + dy), 0.6, 1.2);
            QColor c = RampColour(h);
            c.setRgb(std::min(255, static_cast<int>(c.red() * light)),
                     std::min(255, static_cast<int>(c.green() * light)),
                     std::min(255, static_cast<int>(c.blue() * light)));
            image.setPixel(x, y, c.rgb());
        }
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Title band.
    p.fillRect(QRect(0, 180, kWidth, 90), QColor(0, 0, 64, 170));
    QFont title("Noto Sans CJK JP");
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 184, kWidth, 50), Qt::AlignCenter, "Kov View5");
    QFont sub("Noto Sans CJK JP");
    sub.setPixelSize(17);
    p.setFont(sub);
    p.drawText(QRect(0, 232, kWidth, 28), Qt::AlignCenter,
               QString::fromUtf8("5m 標高メッシュ ビューワ"));
    p.setPen(QPen(QColor(0, 0, 64), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, kWidth - 2, kHeight - 2));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    bool ok = ScrollPad().save("scrollpad.png");
    ok = PanCursor().save("pan_cursor.png") && ok;
    ok = StartPicture().save("start.png") && ok;
    return ok ? 0 : 1;
}
