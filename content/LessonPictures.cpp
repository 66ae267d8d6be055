#include "content/LessonPictures.h"

#include <QFont>
#include <QPainter>

namespace zupfomat::content {
namespace {

const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "H"};
const int kOpen[6] = {64, 59, 55, 50, 45, 40}; // e h g d A E, top to bottom as drawn
const char* const kStringNames[6] = {"e", "h", "g", "d", "A", "E"};
// A minor and C major pentatonic share their notes: A C D E G.
bool inPentatonic(int midi)
{
    const int pc = midi % 12;
    return pc == 9 || pc == 0 || pc == 2 || pc == 4 || pc == 7;
}

const QColor kCellColours[5] = {QColor(255, 210, 120), QColor(170, 220, 255), QColor(190, 240, 170),
                                 QColor(250, 180, 210), QColor(220, 200, 255)};

} // namespace

QImage paintFretboard(Fretboard which, QSize size)
{
    const int firstFret = which == Fretboard::WholeNeck ? 0 : which == Fretboard::MinorCells ? 4 : 4;
    const int lastFret = which == Fretboard::WholeNeck ? 17 : 13;
    const int rootPc = which == Fretboard::MajorCells ? 0 : 9;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int top = which == Fretboard::MajorCells ? 26 : 8;
    const double left = 26;
    const double fretWidth = (size.width() - left - 8) / double(lastFret - firstFret + 1);
    const double stringGap = (size.height() - top - 8) / 5.0;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(int(std::min(stringGap * 0.7, fretWidth * 0.38)));
    font.setBold(true);
    p.setFont(font);
    for (int s = 0; s < 6; ++s) {
        const double y = top + s * stringGap;
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.drawLine(QPointF(left, y), QPointF(size.width() - 8, y));
        p.setPen(Qt::black);
        p.drawText(QRectF(2, y - stringGap / 2, left - 6, stringGap), Qt::AlignCenter, QString::fromLatin1(kStringNames[s]));
    }
    for (int f = firstFret; f <= lastFret + 1; ++f) {
        const double x = left + (f - firstFret) * fretWidth;
        p.setPen(QPen(QColor(60, 60, 60), f == 0 ? 3 : 1));
        p.drawLine(QPointF(x, top), QPointF(x, top + 5 * stringGap));
    }
    if (which == Fretboard::MajorCells) {
        const struct { int fret; const char* text; } marks[] = {{5, "5.Bd"}, {7, "7Bd"}, {12, "12.Bd"}};
        for (const auto& mark : marks)
            p.drawText(QRectF(left + (mark.fret - firstFret) * fretWidth, 2, fretWidth, 18), Qt::AlignCenter,
                       QString::fromLatin1(mark.text));
    }
    for (int s = 0; s < 6; ++s) {
        for (int f = firstFret; f <= lastFret; ++f) {
            const int midi = kOpen[s] + f;
            if (!inPentatonic(midi))
                continue;
            const QRectF box(left + (f - firstFret) * fretWidth + fretWidth * 0.14, top + s * stringGap - stringGap * 0.4,
                             fretWidth * 0.72, stringGap * 0.8);
            const int cell = std::min(4, std::max(0, (f - firstFret) / 3));
            p.setPen(QPen(QColor(80, 80, 80), 0.8));
            p.setBrush(kCellColours[cell]);
            p.drawRect(box);
            p.setPen(Qt::black);
            p.drawText(box, Qt::AlignCenter, QString::fromLatin1(kNames[midi % 12]));
            if (midi % 12 == rootPc) {
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(QColor(220, 0, 0), 1.6));
                p.drawEllipse(box.center(), box.width() * 0.62, box.height() * 0.62);
            }
        }
    }
    return image;
}

} // namespace zupfomat::content
