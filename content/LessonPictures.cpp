// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/LessonPictures.h"

#include "content/Generator.h"
#include "content/SheetRenderer.h"
#include "lessons/LessonDesigns.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zupfomat::content {
namespace {

constexpr int kStrings = 6;
const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "H"};
const int kOpen[kStrings] = {64, 59, 55, 50, 45, 40}; // e h g d A E, top to bottom as drawn
const char* const kStringNames[kStrings] = {"e", "h", "g", "d", "A", "E"};
constexpr int kRootA = 9; // pitch classes of the two roots the lessons teach
constexpr int kRootC = 0;

// A minor and C major pentatonic share their notes: A C D E G. Their degrees, counted from A.
int pentatonicDegree(int midi)
{
    switch (midi % 12) {
    case 9: return 0;
    case 0: return 1;
    case 2: return 2;
    case 4: return 3;
    case 7: return 4;
    default: return -1;
    }
}

// The degree each string starts the minor position at frets 5 to 8 with: A on the e string, E, C,
// G, D and A on the low E. A note's position is counted on from there, one a note up its string.
const int kFirstPositionDegree[kStrings] = {0, 3, 1, 4, 2, 0};
constexpr int kPositions = 5;

const QColor kCellColours[kPositions] = {QColor(255, 210, 120), QColor(170, 220, 255), QColor(190, 240, 170),
                                         QColor(250, 180, 210), QColor(220, 200, 255)};
const QColor kRootOutline(220, 0, 0);
const QColor kChipOutline(80, 80, 80);
const QColor kStringColour(110, 110, 110);
const QColor kFretColour(70, 70, 70);

constexpr double kRootPen = 2;   // a root's red outline, drawn inside its chip
constexpr double kChipPen = 0.8; // thin enough to leave the name room
constexpr double kNutPen = 3;    // the nut stands out from the frets
constexpr double kLinePen = 1;

// Names as large as the strings' distance allows, up to this; a bold 13 px Liberation Sans has
// capitals of about 9.5 px.
constexpr int kMostNamePixels = 18;
constexpr int kBarsPerPosition = 2; // up the cell and down again

QFont boldFont(double pixels)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(1, int(pixels)));
    font.setBold(true);
    return font;
}

// Draws `text` in the painter's font, its capitals centred on `centre`, and returns its ink's box.
QRectF drawCentred(QPainter& p, const QString& text, QPointF centre)
{
    const QFontMetricsF metrics(p.font());
    const QRectF tight = metrics.tightBoundingRect(text);
    const QPointF baseline(centre.x() - tight.center().x(), centre.y() + metrics.capHeight() / 2);
    p.drawText(baseline, text);
    return tight.translated(baseline);
}

void addInk(InkSheet* ink, Ink kind, const QRectF& box, int owner = -1, const QString& what = {})
{
    if (ink)
        ink->add(kind, box, owner, what);
}

// A straight line of the grid, and its ink as wide as its pen.
void drawGridLine(QPainter& p, QPointF from, QPointF to, const QPen& pen, Ink kind, InkSheet* ink, int owner = -1)
{
    p.setPen(pen);
    p.drawLine(from, to);
    const double half = pen.widthF() / 2;
    addInk(ink, kind, QRectF(from, to).normalized().adjusted(-half, -half, half, half), owner);
}

enum class NoteRole { Plain, Root };

// A note's name in a chip that fills `chip`; outlines are drawn inside it, so its box is its ink.
void drawChip(QPainter& p, const QRectF& chip, const QString& name, const QColor& fill, NoteRole role,
              InkSheet* ink, int owner = -1)
{
    const double pen = role == NoteRole::Root ? kRootPen : kChipPen;
    const QRectF outline = chip.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    p.setPen(QPen(role == NoteRole::Root ? kRootOutline : kChipOutline, pen));
    p.setBrush(fill);
    if (role == NoteRole::Root)
        p.drawEllipse(outline);
    else
        p.drawRoundedRect(outline, 3, 3);
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    drawCentred(p, name, chip.center());
    addInk(ink, Ink::Chip, chip, owner, name);
}

QString noteName(int midi) { return QString::fromLatin1(kNames[midi % 12]); }

// ---- The small diagrams under a lick -----------------------------------------------------------

struct CellNote {
    int string = 1; // 1 is the high e
    int fret = 0;
};

constexpr double kDiagramInset = 2;       // between the frame and the outer strings' chips
constexpr double kFretLabelWidth = 24;    // the column left of the nut that names the first fret
constexpr double kDiagramRightInset = 4;  // the strings stop short of the frame
constexpr double kDiagramGap = 14;        // between two diagrams
constexpr double kDiagramMargin = 4;      // between the outer diagrams and the picture's edges
constexpr double kChipPadding = 12;       // a chip's width beyond its name's
constexpr double kChipSideRoom = 6;       // a chip's width short of its fret's

void drawDiagramFrame(QPainter& p, const QRectF& box, InkSheet* ink, int owner)
{
    const QPen pen(QColor(80, 80, 80), kLinePen);
    const QRectF edge = box.adjusted(0.5, 0.5, -0.5, -0.5);
    drawGridLine(p, edge.topLeft(), edge.topRight(), pen, Ink::Frame, ink, owner);
    drawGridLine(p, edge.bottomLeft(), edge.bottomRight(), pen, Ink::Frame, ink, owner);
    drawGridLine(p, edge.topLeft(), edge.bottomLeft(), pen, Ink::Frame, ink, owner);
    drawGridLine(p, edge.topRight(), edge.bottomRight(), pen, Ink::Frame, ink, owner);
}

// A chord-box style diagram: the fret of its first column at the left, six strings, a name chip
// for every note of the cell. Chips are as tall as the strings are apart, so none overlaps.
void paintCellDiagram(QPainter& p, const QRectF& box, const std::vector<CellNote>& notes, int rootPc, int owner,
                      InkSheet* ink)
{
    int lowest = 99, highest = 0;
    for (const CellNote& n : notes) {
        lowest = std::min(lowest, n.fret);
        highest = std::max(highest, n.fret);
    }
    const int frets = highest - lowest + 1;
    const int namePixels = std::clamp(int((box.height() - 2 * kDiagramInset) / kStrings) - 1, 1, kMostNamePixels);
    const double chipHeight = namePixels + 1;
    const double stringGap = (box.height() - 2 * kDiagramInset - chipHeight) / (kStrings - 1);
    const double top = box.top() + kDiagramInset + chipHeight / 2;
    const double bottom = top + (kStrings - 1) * stringGap;
    const double left = box.left() + kFretLabelWidth;
    const double right = box.right() - kDiagramRightInset;
    const double fretWidth = (right - left) / frets;
    drawDiagramFrame(p, box, ink, owner);
    p.setFont(boldFont(namePixels - 2));
    p.setPen(Qt::black);
    const QString first = QStringLiteral("%1.").arg(lowest);
    addInk(ink, Ink::Label, drawCentred(p, first, QPointF(box.left() + kFretLabelWidth / 2, top)), owner, first);
    for (int s = 0; s < kStrings; ++s) {
        const double y = top + s * stringGap;
        drawGridLine(p, QPointF(left, y), QPointF(right, y), QPen(kStringColour, kLinePen), Ink::GridLine, ink, owner);
    }
    for (int f = 0; f <= frets; ++f) {
        const double x = left + f * fretWidth;
        drawGridLine(p, QPointF(x, top), QPointF(x, bottom), QPen(kFretColour, f == 0 ? 2 : kLinePen), Ink::GridLine,
                     ink, owner);
    }
    const QFont nameFont = boldFont(namePixels);
    p.setFont(nameFont);
    const QFontMetricsF metrics(nameFont);
    for (const CellNote& n : notes) {
        const int midi = kOpen[n.string - 1] + n.fret;
        const QString name = noteName(midi);
        const double width = std::min(fretWidth - kChipSideRoom, metrics.horizontalAdvance(name) + kChipPadding);
        const QPointF centre(left + (n.fret - lowest + 0.5) * fretWidth, top + (n.string - 1) * stringGap);
        const QRectF chip(centre.x() - width / 2, centre.y() - chipHeight / 2, width, chipHeight);
        drawChip(p, chip, name, kCellColours[0], midi % 12 == rootPc ? NoteRole::Root : NoteRole::Plain, ink, owner);
    }
}

// The notes a lick plays in each stretch of kBarsPerPosition bars, each fretted note once.
std::vector<std::vector<CellNote>> positionsOf(const Score& lick)
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
    return positions;
}

// ---- The fretboards ---------------------------------------------------------------------------

enum class FretNames { NumbersBelow, BundAbove };

struct BoardDesign {
    int firstFret;
    int lastFret;
    int rootPc;
    int firstColourPosition; // the position painted in the first colour: the key's own first one
    FretNames fretNames;
};

// All five positions of the pentatonic scale between the 5th and the 17th fret; the chart the
// whole neck from the open strings.
BoardDesign boardDesign(Fretboard which)
{
    switch (which) {
    case Fretboard::MinorCells: return {5, 17, kRootA, 0, FretNames::NumbersBelow};
    case Fretboard::MajorCells: return {5, 17, kRootC, 1, FretNames::BundAbove};
    case Fretboard::WholeNeck: break;
    }
    return {0, 17, kRootA, 0, FretNames::NumbersBelow};
}

// The frets a guitar marks with inlays; the major board names these above its strings.
constexpr int kMarkedFrets[] = {3, 5, 7, 9, 12, 15, 17};

constexpr double kBoardMargin = 3;        // between the drawing and the picture's edges
constexpr double kStringNameColumn = 26;  // left of the board, for the strings' names
constexpr double kChipShare = 0.86;       // of the strings' distance: neighbours' chips keep 2 px apart
constexpr double kChipWidthShare = 0.72;  // of a fret's width
constexpr double kNameClearance = 3;      // a chip's height beyond its name's pixel size
constexpr double kLeastFretNamePixels = 13; // capitals of 9.5 px: read at a glance beside the board
constexpr double kFretNameShare = 0.065;     // of the picture's height: a tall chart names its frets larger
constexpr double kFretNameRowPadding = 3;    // the fret names' row beyond their pixel size
constexpr double kStringNamePixels = 16;  // a lower-case string name stays 8 px of ink high
constexpr double kStringNameShare = 0.8;  // of the strings' distance, so neighbouring names keep apart

struct BoardGeometry {
    int firstFret = 0;
    double left = 0; // the first column's left edge
    double right = 0;
    double fretWidth = 0;
    double top = 0; // the high e's line
    double stringGap = 0;
    double chipHeight = 0;
    double fretNamePixels = 0;
    double fretNameRow = 0;

    double columnLeft(int fret) const { return left + (fret - firstFret) * fretWidth; }
    double columnCentre(int fret) const { return columnLeft(fret) + fretWidth / 2; }
    double stringY(int index) const { return top + index * stringGap; } // 0 is the high e
    double bottom() const { return stringY(kStrings - 1); }
};

BoardGeometry boardGeometry(const BoardDesign& design, QSize size)
{
    BoardGeometry g;
    g.firstFret = design.firstFret;
    g.left = kStringNameColumn;
    g.right = size.width() - kBoardMargin;
    g.fretWidth = (g.right - g.left) / (design.lastFret - design.firstFret + 1);
    g.fretNamePixels = std::max(kLeastFretNamePixels, std::floor(size.height() * kFretNameShare));
    g.fretNameRow = g.fretNamePixels + kFretNameRowPadding;
    const double above = design.fretNames == FretNames::BundAbove ? g.fretNameRow : 0;
    const double below = design.fretNames == FretNames::NumbersBelow ? g.fretNameRow : 0;
    const double strings = size.height() - 2 * kBoardMargin - above - below;
    // The outer strings' chips reach half a chip beyond them.
    g.stringGap = strings / (kStrings - 1 + kChipShare);
    g.chipHeight = kChipShare * g.stringGap;
    g.top = kBoardMargin + above + g.chipHeight / 2;
    return g;
}

void drawStrings(QPainter& p, const BoardGeometry& g, InkSheet* ink)
{
    p.setFont(boldFont(std::min(kStringNamePixels, g.stringGap * kStringNameShare)));
    for (int s = 0; s < kStrings; ++s) {
        const double y = g.stringY(s);
        drawGridLine(p, QPointF(g.left, y), QPointF(g.right, y), QPen(kStringColour, kLinePen), Ink::GridLine, ink);
        p.setPen(Qt::black);
        const QString name = QString::fromLatin1(kStringNames[s]);
        addInk(ink, Ink::Label, drawCentred(p, name, QPointF(g.left / 2, y)), -1, name);
    }
}

// Fret wire f closes the column of fret f; the nut (wire 0) closes the open strings' column.
void drawFrets(QPainter& p, const BoardGeometry& g, const BoardDesign& design, InkSheet* ink)
{
    for (int wire = std::max(0, design.firstFret - 1); wire <= design.lastFret; ++wire) {
        const double x = g.columnLeft(wire + 1);
        const QPen pen(kFretColour, wire == 0 ? kNutPen : kLinePen);
        drawGridLine(p, QPointF(x, g.stringY(0)), QPointF(x, g.bottom()), pen, Ink::GridLine, ink);
    }
}

void drawFretNames(QPainter& p, const BoardGeometry& g, const BoardDesign& design, InkSheet* ink)
{
    p.setFont(boldFont(g.fretNamePixels));
    p.setPen(Qt::black);
    const auto name = [&](int fret, const QString& text, double y) {
        addInk(ink, Ink::Label, drawCentred(p, text, QPointF(g.columnCentre(fret), y)), -1, text);
    };
    if (design.fretNames == FretNames::BundAbove) {
        const double y = g.stringY(0) - g.chipHeight / 2 - g.fretNameRow / 2;
        for (const int fret : kMarkedFrets) {
            if (fret >= design.firstFret && fret <= design.lastFret)
                name(fret, QStringLiteral("%1. Bund").arg(fret), y);
        }
        return;
    }
    const double y = g.bottom() + g.chipHeight / 2 + g.fretNameRow / 2;
    for (int fret = std::max(1, design.firstFret); fret <= design.lastFret; ++fret)
        name(fret, QString::number(fret), y);
}

// The colour of the position a note starts on its string, the key's first position first.
QColor positionColour(int stringIndex, int midi, const BoardDesign& design)
{
    const int position = (pentatonicDegree(midi) - kFirstPositionDegree[stringIndex] + kPositions) % kPositions;
    return kCellColours[(position - design.firstColourPosition + kPositions) % kPositions];
}

void drawBoardChips(QPainter& p, const BoardGeometry& g, const BoardDesign& design, InkSheet* ink)
{
    p.setFont(boldFont(std::min<double>(kMostNamePixels, g.chipHeight - kNameClearance)));
    const double width = g.fretWidth * kChipWidthShare;
    for (int s = 0; s < kStrings; ++s) {
        for (int fret = design.firstFret; fret <= design.lastFret; ++fret) {
            const int midi = kOpen[s] + fret;
            if (pentatonicDegree(midi) < 0)
                continue;
            const QRectF chip(g.columnCentre(fret) - width / 2, g.stringY(s) - g.chipHeight / 2, width, g.chipHeight);
            drawChip(p, chip, noteName(midi), positionColour(s, midi, design),
                     midi % 12 == design.rootPc ? NoteRole::Root : NoteRole::Plain, ink);
        }
    }
}

// ---- The pictures as the pages show them --------------------------------------------------------

enum class Drawing { Tablature, TablatureAndCells, Board };

struct PictureRecipe {
    const char* name;
    int page;
    Drawing drawing;
    const char* notes; // the exercise or lick of a tablature
    int rootPc;        // of the cells under a lick
    Fretboard board;
};

const PictureRecipe kRecipes[] = {
    {"P1.bmp", 1, Drawing::Tablature, "lesson-moll-exercise", kRootA, Fretboard::MinorCells},
    {"P2.gif", 1, Drawing::Board, nullptr, kRootA, Fretboard::MinorCells},
    {"P3.gif", 2, Drawing::TablatureAndCells, "lesson-moll-beispiel", kRootA, Fretboard::MinorCells},
    {"P4.gif", 3, Drawing::Tablature, "lesson-dur-exercise", kRootC, Fretboard::MajorCells},
    {"P5.gif", 3, Drawing::Board, nullptr, kRootC, Fretboard::MajorCells},
    {"P6.gif", 4, Drawing::TablatureAndCells, "lesson-dur-beispiel", kRootC, Fretboard::MajorCells},
    {"P7.jpg", 5, Drawing::Board, nullptr, kRootA, Fretboard::WholeNeck},
};

constexpr int kCellsGap = 1; // between the tablature's lowest fret numbers and the diagrams

// The size of the control that shows a picture on its page; empty when the page has none.
QSize controlSize(int page, const QString& name)
{
    const QString resource = QStringLiteral(":/design/") + name;
    for (const ControlDesign& control : lessonPageDesign(page).controls) {
        if (control.picture && resource == QLatin1String(control.picture))
            return control.rect.size();
    }
    return {};
}

QImage paintTablature(const Score& score, const PictureRecipe& recipe, QSize size, InkSheet* ink)
{
    SheetStyle style;
    style.width = size.width();
    style.height = size.height();
    style.kind = SheetKind::Lesson;
    style.tabOnly = true;
    style.numberBars = true;
    if (recipe.drawing == Drawing::TablatureAndCells) {
        const SheetLayout layout = layoutSheet(score, style);
        style.height = layout.tabLineY(kStrings) + layout.tabSpacing / 2;
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).drawImage(0, 0, renderSheet(score, style, ink));
    if (recipe.drawing == Drawing::TablatureAndCells)
        paintCellDiagrams(image, score, recipe.rootPc, style.height + kCellsGap, ink);
    return image;
}

} // namespace

void paintCellDiagrams(QImage& image, const Score& lick, int rootPitchClass, int top, InkSheet* ink)
{
    const std::vector<std::vector<CellNote>> positions = positionsOf(lick);
    if (positions.empty())
        return;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double count = double(positions.size());
    const double width = (image.width() - 2 * kDiagramMargin - kDiagramGap * (count - 1)) / count;
    for (size_t i = 0; i < positions.size(); ++i) {
        const QRectF box(kDiagramMargin + double(i) * (width + kDiagramGap), top, width,
                         image.height() - top - kDiagramMargin / 2);
        paintCellDiagram(p, box, positions[i], rootPitchClass, int(i), ink);
    }
}

QImage paintFretboard(Fretboard which, QSize size, InkSheet* ink)
{
    const BoardDesign design = boardDesign(which);
    const BoardGeometry geometry = boardGeometry(design, size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawStrings(p, geometry, ink);
    drawFrets(p, geometry, design, ink);
    drawFretNames(p, geometry, design, ink);
    drawBoardChips(p, geometry, design, ink);
    return image;
}

std::vector<LessonPicture> lessonPictures(const QString& notesFolder, QString* error)
{
    if (!tabOnlyFontFound(error))
        return {};
    std::vector<LessonPicture> pictures;
    for (const PictureRecipe& recipe : kRecipes) {
        LessonPicture picture;
        picture.name = QString::fromLatin1(recipe.name);
        const QSize size = controlSize(recipe.page, picture.name);
        if (size.isEmpty()) {
            *error = QStringLiteral("lesson page %1 shows no %2").arg(recipe.page).arg(picture.name);
            return {};
        }
        if (recipe.drawing == Drawing::Board) {
            picture.image = paintFretboard(recipe.board, size, &picture.ink);
        } else {
            Score score;
            if (!loadScore(notesFolder + "/" + recipe.notes + ".txt", &score, error))
                return {};
            picture.image = paintTablature(score, recipe, size, &picture.ink);
        }
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

} // namespace zupfomat::content
