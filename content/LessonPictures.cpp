// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/LessonPictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <vector>

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

// Names as large as the strings' distance allows, up to this; a bold 13 px Liberation Sans has
// capitals of about 9.5 px.
constexpr int kMostNamePixels = 15;
constexpr int kBarsPerPosition = 2; // up the cell and down again

struct CellNote {
    int string = 1; // 1 is the high e
    int fret = 0;
};

// A chord-box style diagram: the fret of its first column at the left, six strings, a name chip
// for every note of the cell. Chips are as tall as the strings are apart, so none overlaps.
void paintCellDiagram(QPainter& p, const QRectF& box, const std::vector<CellNote>& notes, int rootPc)
{
    int lowest = 99, highest = 0;
    for (const CellNote& n : notes) {
        lowest = std::min(lowest, n.fret);
        highest = std::max(highest, n.fret);
    }
    const int frets = highest - lowest + 1;
    const int namePixels = std::clamp(int((box.height() - 4) / 6) - 1, 1, kMostNamePixels);
    const double chipHeight = namePixels + 1;
    const double stringGap = (box.height() - 4 - chipHeight) / 5.0;
    const double fretLabelWidth = 24;
    const double top = box.top() + 2 + chipHeight / 2;
    const double left = box.left() + fretLabelWidth;
    const double fretWidth = (box.width() - fretLabelWidth - 4) / frets;
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(namePixels - 2);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(box.left(), top - chipHeight / 2, fretLabelWidth - 2, chipHeight), Qt::AlignCenter,
               QStringLiteral("%1.").arg(lowest));
    for (int s = 0; s < 6; ++s) {
        const double y = top + s * stringGap;
        p.setPen(QPen(QColor(120, 120, 120), 1));
        p.drawLine(QPointF(left, y), QPointF(box.right() - 4, y));
    }
    for (int f = 0; f <= frets; ++f) {
        const double x = left + f * fretWidth;
        p.setPen(QPen(QColor(90, 90, 90), f == 0 ? 2 : 1));
        p.drawLine(QPointF(x, top), QPointF(x, top + 5 * stringGap));
    }
    font.setPixelSize(namePixels);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    for (const CellNote& n : notes) {
        const int midi = kOpen[n.string - 1] + n.fret;
        const QString name = QString::fromLatin1(kNames[midi % 12]);
        const double width = std::min(fretWidth - 6, metrics.horizontalAdvance(name) + 12);
        const QPointF centre(left + (n.fret - lowest + 0.5) * fretWidth, top + (n.string - 1) * stringGap);
        const QRectF chip(centre.x() - width / 2, centre.y() - chipHeight / 2, width, chipHeight);
        const bool root = midi % 12 == rootPc;
        p.setPen(root ? QPen(QColor(220, 0, 0), 2) : QPen(QColor(80, 80, 80), 0.8));
        p.setBrush(kCellColours[0]);
        p.drawRoundedRect(chip, 3, 3);
        p.setPen(Qt::black);
        p.drawText(chip, Qt::AlignCenter, name);
    }
}

} // namespace

void paintCellDiagrams(QImage& image, const Score& lick, int rootPitchClass, int top)
{
    std::vector<std::vector<CellNote>> positions;
    const int bars = int(lick.barStarts.size()) - 1;
    for (int first = 0; first < bars; first += kBarsPerPosition) {
        const int from = lick.barStarts[size_t(first)];
        const int to = lick.barStarts[size_t(std::min(bars, first + kBarsPerPosition))];
        std::vector<CellNote> cell;
        for (const Event& event : lick.events) {
            if (event.start < from || event.start >= to)
                continue;
            for (const FrettedNote& note : event.notes) {
                const bool known = std::any_of(cell.begin(), cell.end(), [&](const CellNote& c) {
                    return c.string == note.string && c.fret == note.fret;
                });
                if (!known)
                    cell.push_back({note.string, note.fret});
            }
        }
        if (!cell.empty())
            positions.push_back(cell);
    }
    if (positions.empty())
        return;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double gap = 14;
    const double width = (image.width() - 8 - gap * double(positions.size() - 1)) / double(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        const QRectF box(4 + double(i) * (width + gap), top, width, image.height() - top - 2);
        paintCellDiagram(p, box, positions[i], rootPitchClass);
    }
}

QImage paintFretboard(Fretboard which, QSize size)
{
    const int firstFret = which == Fretboard::WholeNeck ? 0 : which == Fretboard::MinorCells ? 4 : 4;
    const int lastFret = which == Fretboard::WholeNeck ? 17 : 13;
    const int rootPc = which == Fretboard::MajorCells ? 0 : 9;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Room above and below the outer strings for a root's circle, so nothing is cut at the edge;
    // the major diagram has its fret labels above.
    const double left = 26;
    const double fretWidth = (size.width() - left - 8) / double(lastFret - firstFret + 1);
    // A root's circle reaches 0.5 of the strings' distance above and below its string.
    const double stringGap = which == Fretboard::MajorCells ? (size.height() - 26 - 2) / 5.55 : (size.height() - 4) / 6.1;
    const double top = which == Fretboard::MajorCells ? 26 : 2 + 0.55 * stringGap;
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
