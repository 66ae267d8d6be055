// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Pictures.h"

#include "mainwindow/Form1Design.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdint>

namespace zupfomat::content {
namespace {

// Deterministic hash noise: the same picture on every run and machine.
double lattice(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xffff) / 65535.0;
}

double smoothNoise(double x, double y, uint32_t seed)
{
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = lattice(x0, y0, seed), b = lattice(x0 + 1, y0, seed);
    const double c = lattice(x0, y0 + 1, seed), d = lattice(x0 + 1, y0 + 1, seed);
    return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

double turbulence(double x, double y)
{
    double sum = 0, scale = 1, weight = 0.5;
    for (int octave = 0; octave < 5; ++octave) {
        sum += weight * smoothNoise(x * scale / 90.0, y * scale / 90.0, 17u + uint32_t(octave));
        scale *= 2;
        weight *= 0.5;
    }
    return sum;
}

void paintMarble(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double vein = std::fabs(std::sin((x * 0.012 + y * 0.006) + turbulence(x, y) * 7.0));
            const double shade = 0.87 + 0.13 * std::pow(vein, 0.35);
            const int base = int(250 * shade);
            line[x] = qRgb(std::min(255, base + 2), std::min(255, base), std::min(255, base + 3));
        }
    }
}

QPainterPath star(QPointF centre, double outer, double inner, double turn)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? inner : outer;
        const double a = turn + i * M_PI / 5 - M_PI / 2;
        const QPointF point(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

void paintStars(QPainter& p)
{
    for (int i = 0; i < 46; ++i) {
        const QPointF centre(lattice(i, 1, 5) * kForm1Width, lattice(i, 2, 5) * kForm1Height);
        if (kSheetPanel.adjusted(-10, -10, 10, 10).contains(centre.toPoint()))
            continue;
        const double size = 6 + lattice(i, 3, 5) * 14;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(236, 150, 190, 46));
        p.drawPath(star(centre, size, size * 0.45, lattice(i, 4, 5) * M_PI));
    }
}

void paintTitlePlate(QPainter& p)
{
    const QRectF plate(268, 12, 464, 142);
    QLinearGradient olive(plate.topLeft(), plate.bottomLeft());
    olive.setColorAt(0, QColor(150, 150, 62));
    olive.setColorAt(1, QColor(104, 106, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 20, 90)); // shadow below and right
    p.drawRoundedRect(plate.translated(4, 4), 18, 18);
    p.setBrush(olive);
    p.drawRoundedRect(plate, 18, 18);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(205, 205, 140), 2)); // raised edge: light above and left
    p.drawRoundedRect(plate.adjusted(2, 2, -2, -2), 16, 16);
    p.setPen(QPen(QColor(70, 70, 20), 2));
    p.drawLine(QPointF(plate.left() + 18, plate.bottom() - 2), QPointF(plate.right() - 18, plate.bottom() - 2));

    QFont lettering(QStringLiteral("Comic Neue"));
    lettering.setBold(true);
    lettering.setPixelSize(64);
    lettering.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(lettering);
    const QRectF title(plate.left(), plate.top() + 10, plate.width(), 80);
    p.setPen(QColor(60, 62, 16));
    p.drawText(title.translated(2, 2), Qt::AlignCenter, QStringLiteral("ZUPFOMAT"));
    p.setPen(QColor(236, 236, 190));
    p.drawText(title.translated(-1, -1), Qt::AlignCenter, QStringLiteral("ZUPFOMAT"));
    p.setPen(QColor(178, 180, 96));
    p.drawText(title, Qt::AlignCenter, QStringLiteral("ZUPFOMAT"));

    QFont credit(QStringLiteral("Liberation Sans"));
    credit.setPixelSize(13);
    credit.setItalic(true);
    p.setFont(credit);
    p.setPen(QColor(236, 236, 200));
    p.drawText(QRectF(plate.left(), plate.top() + 92, plate.width() - 90, 24), Qt::AlignCenter,
               QStringLiteral("Riffs, \u00dcbungen und Rhythmen zum Gitarre-\u00dcben"));
}

void paintButton(QPainter& p, const QRect& rect)
{
    const QRectF face = QRectF(rect).adjusted(-5, -3, 5, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 120, 120, 110));
    p.drawRoundedRect(face.translated(2, 2), 5, 5);
    QLinearGradient white(face.topLeft(), face.bottomLeft());
    white.setColorAt(0, QColor(255, 255, 255));
    white.setColorAt(1, QColor(232, 232, 236));
    p.setBrush(white);
    p.setPen(QPen(QColor(170, 170, 176), 1));
    p.drawRoundedRect(face, 5, 5);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(face.topLeft() + QPointF(4, 1), face.topRight() + QPointF(-4, 1));
}

void paintDot(QPainter& p, const QRect& lamp)
{
    const QPointF centre = QRectF(lamp).center();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(130, 130, 130, 110));
    p.drawEllipse(centre + QPointF(1.5, 1.5), 9, 9);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(190, 190, 190), 1));
    p.drawEllipse(centre, 9, 9);
}

} // namespace

QImage paintBackground()
{
    QImage image(kForm1Width, kForm1Height, QImage::Format_RGB32);
    paintMarble(image);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintStars(p);
    paintTitlePlate(p);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRect(kSheetPanel.translated(3, 3));
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(40, 40, 48), 2));
    p.drawRect(QRectF(kSheetPanel).adjusted(1, 1, -1, -1));

    // PLAY and LOOP are the two halves of one painted button.
    const QRect playLoop = form1Control("Labelplay").rect.united(form1Control("Labelloop").rect);
    paintButton(p, playLoop);
    for (const ControlDesign& control : form1Design()) {
        const std::string name = control.name;
        if (control.paintedButton && name != "Labelplay" && name != "Labelloop")
            paintButton(p, control.rect);
    }
    for (const char* lamp : {"Imageschnell", "Imagelangsam", "Image1"})
        paintDot(p, form1Control(lamp).rect);
    return image;
}

QImage backgroundPatch(const QImage& background) { return background.copy(form1Control("Image2").rect); }

QImage paintLamp(bool lit)
{
    QImage image(12, 12, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(4.5, 4.5), 7);
    glow.setColorAt(0, lit ? QColor(220, 255, 200) : QColor(120, 170, 110));
    glow.setColorAt(0.5, lit ? QColor(40, 255, 40) : QColor(40, 110, 40));
    glow.setColorAt(1, lit ? QColor(0, 190, 0) : QColor(20, 70, 20));
    p.setPen(QPen(lit ? QColor(0, 120, 0) : QColor(30, 60, 30), 0.8));
    p.setBrush(glow);
    p.drawEllipse(QRectF(0.8, 0.8, 10.4, 10.4));
    return image;
}

QImage paintGreenDot() { return paintLamp(true); }

QImage paintIcon()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The drum kit behind: a bass drum and a cymbal.
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QRectF(3, 14, 17, 17));
    p.setBrush(QColor(240, 240, 240));
    p.drawEllipse(QRectF(7, 18, 9, 9));
    p.setBrush(QColor(230, 190, 40));
    p.drawEllipse(QRectF(1, 5, 12, 4));
    p.drawLine(QPointF(7, 9), QPointF(7, 16));
    // The electric guitar in front, neck up to the right.
    p.save();
    p.translate(20, 21);
    p.rotate(-40);
    p.setBrush(QColor(30, 60, 200));
    QPainterPath body;
    body.addEllipse(QRectF(-7, -2, 10, 11));
    body.addEllipse(QRectF(-6, -8, 8, 8));
    p.drawPath(body.simplified());
    p.setBrush(QColor(120, 70, 30));
    p.drawRect(QRectF(-1.2, -21, 2.4, 15));
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(-2, -25, 4, 4));
    p.setPen(QPen(Qt::white, 0.8));
    p.drawLine(QPointF(-3, 2), QPointF(1, 2));
    p.restore();
    return image;
}

} // namespace zupfomat::content
