// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Ink.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace zupfomat::content {

// A painter that keeps the ink box of everything it draws, as the kind of ink set last (as a
// pen is), so that a check can look for collisions; without an ink sheet it only draws.
class EngravingPainter {
public:
    EngravingPainter(QPainter& painter, InkSheet* ink) : p_(painter), ink_(ink) {}

    // What the following drawing is and which event it belongs to.
    void setInk(Ink kind, int owner = -1) { kind_ = kind, owner_ = owner; }

    void drawLine(const QLineF& line);
    void drawLine(double x1, double y1, double x2, double y2) { drawLine(QLineF(x1, y1, x2, y2)); }
    void drawPath(const QPainterPath& path);
    // A slur, arc or wave: recorded as the boxes of short pieces along it, since the box of a
    // whole curve would cover the heads at its ends.
    void drawCurve(const QPainterPath& path);
    void drawEllipse(const QPointF& center, double rx, double ry);
    void drawPolygon(const QPolygonF& polygon);
    void fillRect(const QRectF& rect, const QColor& color); // paper-coloured fills leave no ink
    void drawRect(const QRectF& rect);
    void drawRect(double x, double y, double w, double h) { drawRect(QRectF(x, y, w, h)); }
    // Text in a rectangle as QPainter::drawText places it; records its glyphs' ink, not its line box.
    QRectF drawText(const QRectF& rect, int flags, const QString& text);
    QRectF drawText(const QPointF& baseline, const QString& text);
    // Text whose glyphs' ink sits at `anchor` as `align` says.
    QRectF drawTextAt(const QPointF& anchor, Qt::Alignment align, const QString& text);

    void setFont(const QFont& font) { p_.setFont(font); }
    const QFont& font() const { return p_.font(); }
    void setPen(const QPen& pen) { p_.setPen(pen); }
    void setBrush(const QBrush& brush) { p_.setBrush(brush); }
    void save() { p_.save(); }
    void restore() { p_.restore(); }
    void record(const QRectF& box, const QString& what = {}, double capHeight = 0);
    // Everything recorded so far, to find a clear spot for what comes next.
    const InkSheet* ink() const { return ink_; }

private:
    QRectF stroked(const QPainterPath& path) const;

    QPainter& p_;
    InkSheet* ink_;
    Ink kind_ = Ink::Label;
    int owner_ = -1;
};

// The height of a capital "H" in `font`: the size a reader sees.
double capHeightOf(const QFont& font);

// The box a text's glyphs cover when drawn with EngravingPainter::drawTextAt.
QRectF textInkAt(const QFont& font, const QPointF& anchor, Qt::Alignment align, const QString& text);

} // namespace zupfomat::content
