// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/EngravingPainter.h"

#include <QFontMetricsF>
#include <QPainterPathStroker>

namespace zupfomat::content {
namespace {

// Where the text's baseline origin goes so that its tight box meets the anchor as aligned.
QPointF textOrigin(const QRectF& tight, const QPointF& anchor, Qt::Alignment align)
{
    double x = anchor.x() - tight.left();
    if (align & Qt::AlignHCenter)
        x = anchor.x() - tight.center().x();
    else if (align & Qt::AlignRight)
        x = anchor.x() - tight.right();
    double y = anchor.y(); // the baseline
    if (align & Qt::AlignTop)
        y = anchor.y() - tight.top();
    else if (align & Qt::AlignVCenter)
        y = anchor.y() - tight.center().y();
    else if (align & Qt::AlignBottom)
        y = anchor.y() - tight.bottom();
    return {x, y};
}

} // namespace

QRectF EngravingPainter::stroked(const QPainterPath& path) const
{
    QPainterPathStroker stroker;
    stroker.setWidth(p_.pen().widthF());
    stroker.setCapStyle(p_.pen().capStyle());
    return path.boundingRect().united(stroker.createStroke(path).boundingRect());
}

void EngravingPainter::drawLine(const QLineF& line)
{
    p_.drawLine(line);
    QPainterPath path(line.p1());
    path.lineTo(line.p2());
    record(stroked(path));
}

void EngravingPainter::drawPath(const QPainterPath& path)
{
    p_.drawPath(path);
    record(stroked(path));
}

void EngravingPainter::drawCurve(const QPainterPath& path)
{
    constexpr int kPieces = 12; // short enough that a piece's box hugs the curve
    p_.drawPath(path);
    const double half = p_.pen().widthF() / 2;
    QPointF from = path.pointAtPercent(0);
    for (int i = 1; i <= kPieces; ++i) {
        const QPointF to = path.pointAtPercent(double(i) / kPieces);
        record(QRectF(from, to).normalized().adjusted(-half, -half, half, half));
        from = to;
    }
}

void EngravingPainter::drawEllipse(const QPointF& center, double rx, double ry)
{
    QPainterPath path;
    path.addEllipse(center, rx, ry);
    drawPath(path);
}

void EngravingPainter::drawPolygon(const QPolygonF& polygon)
{
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    drawPath(path);
}

void EngravingPainter::fillRect(const QRectF& rect, const QColor& color)
{
    p_.fillRect(rect, color);
    if (color != Qt::white)
        record(rect);
}

void EngravingPainter::drawRect(const QRectF& rect)
{
    QPainterPath path;
    path.addRect(rect);
    drawPath(path);
}

QRectF EngravingPainter::drawText(const QRectF& rect, int flags, const QString& text)
{
    const QRectF line = p_.boundingRect(rect, flags, text);
    p_.drawText(rect, flags, text);
    const QFontMetricsF metrics(p_.font());
    const QRectF box = metrics.tightBoundingRect(text).translated(line.left(), line.top() + metrics.ascent());
    record(box, text, capHeightOf(p_.font()));
    return box;
}

QRectF EngravingPainter::drawText(const QPointF& baseline, const QString& text)
{
    p_.drawText(baseline, text);
    const QRectF box = QFontMetricsF(p_.font()).tightBoundingRect(text).translated(baseline);
    record(box, text, capHeightOf(p_.font()));
    return box;
}

QRectF EngravingPainter::drawTextAt(const QPointF& anchor, Qt::Alignment align, const QString& text)
{
    const QRectF tight = QFontMetricsF(p_.font()).tightBoundingRect(text);
    return drawText(textOrigin(tight, anchor, align), text);
}

void EngravingPainter::record(const QRectF& box, const QString& what, double capHeight)
{
    if (ink_)
        ink_->add(kind_, box, owner_, what, capHeight);
}

double capHeightOf(const QFont& font) { return QFontMetricsF(font).tightBoundingRect(QStringLiteral("H")).height(); }

QRectF textInkAt(const QFont& font, const QPointF& anchor, Qt::Alignment align, const QString& text)
{
    const QRectF tight = QFontMetricsF(font).tightBoundingRect(text);
    return tight.translated(textOrigin(tight, anchor, align));
}

} // namespace zupfomat::content
