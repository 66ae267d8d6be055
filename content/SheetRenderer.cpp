// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/SheetRenderer.h"

#include "content/EngravingPainter.h"
#include "content/Rhythms.h"
#include "content/Spelling.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

namespace zupfomat::content {
namespace {

constexpr int kRightMargin = 14;
constexpr int kHeadWidth = 8;
constexpr int kStemLength = 21;        // three and a half spaces, as engravers cut them
constexpr int kStaffSpacing = 6;
constexpr int kTabSpacing = 9;         // room for a fret number between two strings
constexpr int kStaffBottomLine = 72;   // under the header and the notes above the staff
constexpr int kBottomMargin = 7;       // below the tab's lowest string
constexpr int kClefLeft = 6;
constexpr int kClefWidth = 26;
constexpr int kSignatureStep = 7;      // one sharp or flat of the key signature and the paper after it
constexpr int kTimeSignatureWidth = 14;
constexpr int kFirstNoteGap = 14;      // after the time signature: room for a first note's accidental
constexpr double kAccidentalGap = 2.5; // paper between an accidental and its head or a bar line
constexpr double kAccidentalRoom = 9;  // what an accidental needs before its head
constexpr double kBarGap = 12;
constexpr double kFinalBarOffset = 3;  // the final double bar's thick line, right of the thin one
constexpr double kFinalBarPen = 2.5;
constexpr int kTitleSize = 13;
constexpr int kTextSize = 10;          // every other text: 7 px and more of cap height
constexpr int kTabNumberSize = 10;
constexpr int kLabelRowDrop = 11;      // the lowest row's baseline above the tab's top line: clear of the arcs
constexpr int kTabOnlyLabelRowDrop = 12; // the lesson pictures' taller digits lift their arcs
constexpr double kBeamWidth = 3.0;
constexpr double kSlurGap = 2.0;       // between a slur's ends and its heads

// The note value as written (4 for "4", "4." and "4t"): it, not the ticks, decides flags and beams.
int writtenValue(const Event& e)
{
    int value = 0;
    for (char c : e.durationText) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}
bool hasFlag(const Event& e) { return writtenValue(e) >= 8; }
bool isSixteenth(const Event& e) { return writtenValue(e) >= 16; }
bool isTriplet(const Event& e) { return !e.durationText.empty() && e.durationText.back() == 't'; }
bool isDotted(const Event& e) { return !e.durationText.empty() && e.durationText.back() == '.'; }

QFont sansFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// The lesson pictures fit ten bars of eighths, many of them two-digit frets, across one page:
// their digits are set in a narrow face, large, with paper between the two digits of a number.
const char* const kTabOnlyDigitFamily = "Liberation Sans Narrow";
constexpr int kTabOnlyDigitPixels = 14;       // digits 10 px high, read at a glance while playing
constexpr double kTabOnlyDigitSpacing = 2.5;  // 3 px between the digits of "12", not one blot

QFont tabOnlyDigitFont()
{
    QFont font(QString::fromLatin1(kTabOnlyDigitFamily));
    font.setPixelSize(kTabOnlyDigitPixels);
    font.setLetterSpacing(QFont::AbsoluteSpacing, kTabOnlyDigitSpacing);
    return font;
}

QFont tabNumberFont(const SheetLayout& l)
{
    return l.tabOnly ? tabOnlyDigitFont() : sansFont(kTabNumberSize, true);
}

// Where a fret number's text starts so that its glyphs are centred on `centre`. The lesson
// pictures start every number on a whole pixel: each is then as crisp as the next, and the paper
// between its digits the same in all of them.
QPointF fretNumberOrigin(const SheetLayout& l, const QString& text, QPointF centre)
{
    const QPointF origin = centre - QFontMetricsF(tabNumberFont(l)).tightBoundingRect(text).center();
    if (!l.tabOnly)
        return origin;
    return {std::floor(origin.x() + 0.5), std::floor(origin.y() + 0.5)};
}

// The box a fret number's glyphs cover, centred on `centre`.
QRectF fretNumberInk(const SheetLayout& l, const QString& text, QPointF centre)
{
    return QFontMetricsF(tabNumberFont(l)).tightBoundingRect(text).translated(fretNumberOrigin(l, text, centre));
}

// A beat for beaming: a quarter in 4/4, a dotted quarter in 6/8.
int beatTicks(const Score& score) { return score.beatValue == 8 ? kTicksPerQuarter * 3 / 2 : kTicksPerQuarter; }

int signatureWidth(const Score& score) { return std::abs(keyFifths(score.key)) * kSignatureStep; }

// Where an event's parts ended up, for the marks drawn after the heads.
struct Placed {
    int top = 0, bottom = 0; // y of the highest and lowest head
    bool stemUp = true;
    int stemEnd = 0;         // y of the stem's (or beam's) end
    QRectF accidentals;      // where its accidentals stand, left of the heads
    double stemX = 0;
};

void drawTrebleClef(EngravingPainter& p, const SheetLayout& l)
{
    p.setInk(Ink::Clef);
    QFont clef(QStringLiteral("FreeSerif"));
    clef.setPixelSize(l.staffSpacing * 7);
    const char32_t glyph = 0x1D11E;
    if (QFontMetricsF(clef).inFontUcs4(glyph)) {
        p.setFont(clef);
        p.drawText(QPointF(kClefLeft, l.staffY(0) + l.staffSpacing * 1.2), QString::fromUcs4(&glyph, 1));
        return;
    }
    p.setFont(sansFont(l.staffSpacing * 5, true));
    p.drawText(QPointF(kClefLeft + 2, l.staffY(0)), QStringLiteral("G"));
}

// The accidentals as paths about their centre, a staff space `s` high per unit.
QPainterPath sharpPath(double x, double y, double s)
{
    QPainterPath path;
    path.moveTo(x - 1.5, y - 1.3 * s);
    path.lineTo(x - 1.5, y + 1.4 * s);
    path.moveTo(x + 1.5, y - 1.4 * s);
    path.lineTo(x + 1.5, y + 1.3 * s);
    path.moveTo(x - 3, y - 0.35 * s);
    path.lineTo(x + 3, y - 0.65 * s);
    path.moveTo(x - 3, y + 0.65 * s);
    path.lineTo(x + 3, y + 0.35 * s);
    return path;
}

QPainterPath flatPath(double x, double y, double s)
{
    QPainterPath path;
    path.moveTo(x - 2, y - 1.8 * s);
    path.lineTo(x - 2, y + 0.5 * s);
    path.cubicTo(x + 1, y + 0.1 * s, x + 4.5, y - 0.6 * s, x - 2, y - 0.3 * s);
    return path;
}

QPainterPath naturalPath(double x, double y, double s)
{
    QPainterPath path;
    path.moveTo(x - 1.5, y - 1.3 * s);
    path.lineTo(x - 1.5, y + 0.5 * s);
    path.lineTo(x + 1.5, y + 0.3 * s);
    path.moveTo(x + 1.5, y + 1.3 * s);
    path.lineTo(x + 1.5, y - 0.5 * s);
    path.lineTo(x - 1.5, y - 0.3 * s);
    return path;
}

QPainterPath accidentalPath(Accidental a, double x, double y, double s)
{
    switch (a) {
    case Accidental::Sharp: return sharpPath(x, y, s);
    case Accidental::Flat: return flatPath(x, y, s);
    case Accidental::Natural: return naturalPath(x, y, s);
    case Accidental::None: break;
    }
    return {};
}

void drawKeySignature(EngravingPainter& p, const SheetLayout& l, int fifths, double left)
{
    p.setInk(Ink::KeySignature);
    const Accidental kind = fifths > 0 ? Accidental::Sharp : Accidental::Flat;
    double x = left + kSignatureStep / 2.0;
    for (int step : signatureSteps(fifths)) {
        p.drawPath(accidentalPath(kind, x, l.staffY(step), l.staffSpacing));
        x += kSignatureStep;
    }
}

QPainterPath restPath(const Event& e, int x, double mid)
{
    QPainterPath path;
    if (e.duration >= kTicksPerQuarter) {
        path.moveTo(x - 1, mid - 8);
        path.lineTo(x + 3, mid - 3);
        path.lineTo(x - 1, mid + 1);
        path.lineTo(x + 3, mid + 6);
        path.quadTo(x - 3, mid + 4, x + 1, mid + 10);
        return path;
    }
    path.addEllipse(QPointF(x - 2, mid - 3), 1.8, 1.8);
    path.moveTo(x - 2, mid - 2);
    path.lineTo(x + 3, mid - 4);
    path.lineTo(x - 1, mid + 7);
    if (isSixteenth(e)) {
        path.addEllipse(QPointF(x - 3, mid + 2), 1.8, 1.8);
        path.moveTo(x - 3, mid + 3);
        path.lineTo(x + 1, mid + 1);
    }
    return path;
}

// How far, in staff spaces, a rest may move up or down out of a beam's or flag's way.
constexpr int kRestMoves = 3;

// The rest's middle: the staff's middle line, or the nearest whole space up or down where it
// keeps clear of beams and flags, as engravers move rests in a beamed group.
double restMiddle(const EngravingPainter& p, const SheetLayout& l, const Event& e, int x, int owner)
{
    const double mid = l.staffY(4);
    for (int move = 0; p.ink() && move <= kRestMoves; ++move) {
        for (int sign : {1, -1}) {
            const double y = mid + sign * move * l.staffSpacing;
            const QRectF box = restPath(e, x, y).boundingRect().adjusted(-0.5, -0.5, 0.5, 0.5);
            if (clearOf(*p.ink(), {Ink::Rest, box, owner, {}}))
                return y;
        }
    }
    return mid;
}

void drawRest(EngravingPainter& p, const SheetLayout& l, const Event& e, int x, int owner)
{
    p.setInk(Ink::Rest, owner);
    p.setBrush(Qt::black);
    if (e.duration >= 960) { // whole and half rests: a block under or on a line
        const int y = e.duration >= 1920 ? l.staffY(6) : l.staffY(4) - 3;
        p.drawRect(x - 4, y, 8, 3);
        p.setBrush(Qt::NoBrush);
        return;
    }
    if (e.duration >= kTicksPerQuarter)
        p.setBrush(Qt::NoBrush);
    p.drawPath(restPath(e, x, restMiddle(p, l, e, x, owner)));
    p.setBrush(Qt::NoBrush);
}

// Draws the heads, ledger lines, accidentals and dots of one event; returns its highest and lowest y.
std::pair<int, int> drawHeads(EngravingPainter& p, const SheetLayout& l, const Event& e, int x,
                              const std::vector<WrittenNote>& heads, int owner, QRectF* accidentals)
{
    int top = 1 << 20, bottom = -(1 << 20);
    const bool hollow = e.duration >= 960;
    double accidentalRight = x - kHeadWidth / 2.0 - kAccidentalGap;
    int lastAccidentalStep = 1 << 20;
    for (size_t i = 0; i < heads.size(); ++i) {
        const int step = heads[i].step();
        const int y = l.staffY(step);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        // Ledger lines below the staff (C4 and lower) and above it (A5 and higher).
        p.setInk(Ink::LedgerLine, owner);
        for (int s = -2; s >= step; s -= 2)
            p.drawLine(x - kHeadWidth / 2 - 3, l.staffY(s), x + kHeadWidth / 2 + 3, l.staffY(s));
        for (int s = 10; s <= step; s += 2)
            p.drawLine(x - kHeadWidth / 2 - 3, l.staffY(s), x + kHeadWidth / 2 + 3, l.staffY(s));
        // Seconds in a chord: the upper head moves to the right of the stem.
        const int shift = (i > 0 && step - heads[i - 1].step() == 1) ? kHeadWidth - 1 : 0;
        QPainterPath head;
        head.addEllipse(QPointF(x + shift, y), kHeadWidth / 2.0, l.staffSpacing / 2.0 - 0.3);
        QTransform tilt;
        tilt.translate(x + shift, y);
        tilt.rotate(-20);
        tilt.translate(-(x + shift), -y);
        p.setInk(Ink::NoteHead, owner);
        p.setBrush(hollow ? Qt::NoBrush : QBrush(Qt::black));
        p.drawPath(tilt.map(head));
        p.setBrush(Qt::NoBrush);
        if (heads[i].accidental != Accidental::None) {
            // Accidentals of a chord closer than a sixth stand in a column each, leftwards.
            const bool crowded = lastAccidentalStep - step < 6 && step - lastAccidentalStep < 6;
            const double right = crowded ? accidentalRight - kAccidentalRoom + kAccidentalGap : x - kHeadWidth / 2.0 - kAccidentalGap;
            p.setInk(Ink::Accidental, owner);
            const QPainterPath sign = accidentalPath(heads[i].accidental, right - 3.5, y, l.staffSpacing);
            p.drawPath(sign);
            *accidentals = accidentals->united(sign.boundingRect());
            accidentalRight = right;
            lastAccidentalStep = step;
        }
        if (isDotted(e)) {
            p.setInk(Ink::Dot, owner);
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(x + kHeadWidth / 2.0 + 4, y - ((step % 2 == 0) ? 3 : 0)), 1.2, 1.2);
            p.setBrush(Qt::NoBrush);
        }
    }
    return {top, bottom};
}

// The rows above the tab, from the lowest up: technique names, then vibrato, then the extents of
// "P.M." and "let ring". A mark climbs to the next row only where the one below is taken.
constexpr double kLaneHeight = 10; // a label's cap height and the paper between two rows
constexpr int kLanes = 3;          // labels, vibrato, extents: each its own row where they meet
constexpr double kLabelGap = 3;    // the least paper between two technique names side by side
constexpr double kVibratoLength = 20;
constexpr double kWaveHeight = 2.5; // up and down from the wave's middle

double laneBaseline(const SheetLayout& l, int lane)
{
    return l.tabLineY(1) - (l.tabOnly ? kTabOnlyLabelRowDrop : kLabelRowDrop) - lane * kLaneHeight;
}
// The middle of a row's capitals, where lines and waves run beside its labels.
double laneMiddle(const SheetLayout& l, int lane) { return laneBaseline(l, lane) - 3.5; }

// The lowest row where the boxes `boxesAt(row)` collide with nothing drawn so far; `none` when no
// row is clear.
template <typename BoxesAt>
int clearLane(const EngravingPainter& p, BoxesAt boxesAt, int none = 0)
{
    for (int lane = 0; p.ink() && lane < kLanes; ++lane) {
        const std::vector<InkBox> boxes = boxesAt(lane);
        if (std::all_of(boxes.begin(), boxes.end(), [&](const InkBox& b) { return clearOf(*p.ink(), b); }))
            return lane;
    }
    return none;
}

QFont labelFont() { return sansFont(kTextSize, false); }

// A wavy line from `from` to `to`, where vibrato is marked.
void drawWavyLine(EngravingPainter& p, double from, double to, double y)
{
    QPainterPath wave;
    wave.moveTo(from, y);
    const double half = 2.5; // half a wave
    for (double x = from; x + half <= to; x += half)
        wave.quadTo(x + half / 2, y + (int(std::lround((x - from) / half)) % 2 ? kWaveHeight : -kWaveHeight), x + half, y);
    p.drawCurve(wave);
}

void drawLabelInLane(EngravingPainter& p, const SheetLayout& l, double centre, const QString& text, int owner)
{
    const QFont font = labelFont();
    const auto at = [&](int lane) { return QPointF(centre, laneBaseline(l, lane)); };
    const int lane = clearLane(p, [&](int k) {
        return std::vector<InkBox>{{Ink::Label, textInkAt(font, at(k), Qt::AlignHCenter | Qt::AlignBaseline, text), owner, text}};
    });
    p.setInk(Ink::Label, owner);
    p.setFont(font);
    p.drawTextAt(at(lane), Qt::AlignHCenter | Qt::AlignBaseline, text);
}

constexpr double kBendRight = 10;  // the bend arrow's shaft, right of its fret number
constexpr double kArrowHead = 3.5;
constexpr double kBendFoot = 6;    // the arrow leaves its fret number this far right of its middle
constexpr double kBendLabelGap = 2;   // between the arrow's head and "full"
constexpr double kBendFootPaper = 1.5; // the lesson pictures: between a number's ink and its arrow

// Where a bend's arrow leaves its fret number and where its shaft rises, right of the number's
// middle. The lesson pictures' numbers are wider: there the arrow starts at the number's ink.
struct BendOffsets {
    double foot = kBendFoot;
    double shaft = kBendRight;
};

BendOffsets bendOffsets(const SheetLayout& l, const FrettedNote& n)
{
    if (!l.tabOnly)
        return {};
    const QRectF number = fretNumberInk(l, QString::number(n.fret), QPointF(0, 0));
    const double foot = number.right() + kBendFootPaper;
    return {foot, foot + kBendRight - kBendFoot};
}

QString bendName(const FrettedNote& n) { return n.bendSemitones == 2 ? QStringLiteral("full") : QStringLiteral("\u00bd"); }

// A bend: an arrow up from the fret number to the lowest clear row, marked "full" or "½" at its
// tip. Returns the right edge of what it drew, where a vibrato line may start.
double drawTabBend(EngravingPainter& p, const SheetLayout& l, const FrettedNote& n, int x, int owner)
{
    const double y = l.tabLineY(n.string);
    const QFont font = labelFont();
    const BendOffsets at = bendOffsets(l, n);
    const auto tipAt = [&](int lane) { return QPointF(x + at.shaft, laneBaseline(l, lane) + 1); };
    const auto labelAt = [&](int lane) { return QPointF(tipAt(lane).x() + kArrowHead + kBendLabelGap, laneBaseline(l, lane)); };
    const int lane = clearLane(p, [&](int k) {
        const QRectF shaft(QPointF(x + at.foot, tipAt(k).y()), QPointF(tipAt(k).x() + kArrowHead, y));
        return std::vector<InkBox>{{Ink::BendSign, shaft, owner, {}},
                                   {Ink::Label, textInkAt(font, labelAt(k), Qt::AlignLeft | Qt::AlignBaseline, bendName(n)), owner, {}}};
    });
    const QPointF tip = tipAt(lane);
    p.setInk(Ink::BendSign, owner);
    QPainterPath arrow;
    arrow.moveTo(x + at.foot, y);
    arrow.quadTo(tip.x(), y, tip.x(), tip.y() + kArrowHead * 1.4);
    p.drawCurve(arrow);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({tip, tip + QPointF(-kArrowHead, kArrowHead * 1.5), tip + QPointF(kArrowHead, kArrowHead * 1.5)}));
    p.setBrush(Qt::NoBrush);
    p.setInk(Ink::Label, owner);
    p.setFont(font);
    return p.drawTextAt(labelAt(lane), Qt::AlignLeft | Qt::AlignBaseline, bendName(n)).right();
}

// Half the ink width of the fret number an event has on a string (its text clearance included).
double fretHalfWidth(const SheetLayout& l, const Event* e, int string)
{
    for (const FrettedNote& n : e->notes) {
        if (n.string == string)
            return QFontMetricsF(tabNumberFont(l)).tightBoundingRect(QString::number(n.fret)).width() / 2 + 1;
    }
    return 0;
}

constexpr double kArcRise = 3.5; // a tab arc's bow above its ends

// A hammer-on or pull-off: an arc from the note before, over the fret numbers; a slide: a straight
// line from the fret before, rising or falling with the pitch.
void drawTabLegato(EngravingPainter& p, const SheetLayout& l, const Event& e, int x, const Event& previous,
                   int previousX, int owner)
{
    const double numberTop = QFontMetricsF(tabNumberFont(l)).tightBoundingRect(QStringLiteral("0")).height() / 2 + 1.5;
    for (const FrettedNote& n : e.notes) {
        const int y = l.tabLineY(n.string);
        if (n.technique == Technique::Slide) {
            int from = n.fret;
            for (const FrettedNote& before : previous.notes) {
                if (before.string == n.string)
                    from = before.fret;
            }
            const double rise = n.fret >= from ? l.tabSpacing / 3.0 : -l.tabSpacing / 3.0;
            p.setInk(Ink::SlideLine, owner);
            p.drawLine(QLineF(previousX + 8, y + rise, x - 8, y - rise));
        } else if (n.technique == Technique::HammerOn || n.technique == Technique::PullOff) {
            // From above the middle of one number to the next, as a slur joins note heads.
            const double ends = y - numberTop;
            const double fromX = previousX + 1, toX = x - 1;
            QPainterPath arc;
            arc.moveTo(fromX, ends);
            arc.quadTo((fromX + toX) / 2.0, ends - 2 * kArcRise, toX, ends);
            p.setInk(Ink::Slur, owner);
            p.drawCurve(arc);
        }
    }
}

// The technique an event's name above the tab says: its chord's notes share one.
Technique namedTechnique(const Event& e)
{
    for (const FrettedNote& n : e.notes) {
        if (n.technique == Technique::HammerOn || n.technique == Technique::PullOff || n.technique == Technique::Slide)
            return n.technique;
    }
    return Technique::Picked;
}

QString techniqueName(Technique t, bool abbreviated)
{
    if (t == Technique::Slide)
        return QStringLiteral("sl.");
    if (t == Technique::HammerOn)
        return abbreviated ? QStringLiteral("H") : QStringLiteral("H.O.");
    return abbreviated ? QStringLiteral("P") : QStringLiteral("P.O.");
}

double techniqueCentre(const SheetLayout& l, size_t i) { return (l.eventX[i - 1] + l.eventX[i]) / 2.0; }

// A fast legato run has no room for "H.O." and "P.O." side by side: the whole sheet then writes
// "H" and "P", as tab books do, rather than mixing both forms.
bool abbreviateTechniques(const SheetLayout& l, const Score& score)
{
    const QFontMetricsF metrics(labelFont());
    double lastRight = -1e9;
    for (size_t i = 1; i < score.events.size(); ++i) {
        const Technique t = namedTechnique(score.events[i]);
        if (t == Technique::Picked)
            continue;
        const double half = metrics.tightBoundingRect(techniqueName(t, false)).width() / 2;
        if (techniqueCentre(l, i) - half < lastRight + kLabelGap)
            return true;
        lastRight = techniqueCentre(l, i) + half;
    }
    return false;
}

// Arcs, slide lines, bends, their names and vibrato, each in the lowest row clear of the rest.
void drawTechniques(EngravingPainter& p, const SheetLayout& l, const Score& score)
{
    for (size_t i = 1; i < score.events.size(); ++i)
        drawTabLegato(p, l, score.events[i], l.eventX[i], score.events[i - 1], l.eventX[i - 1], int(i));
    const bool abbreviated = abbreviateTechniques(l, score);
    std::vector<double> vibratoFrom(score.events.size());
    for (size_t i = 0; i < score.events.size(); ++i) {
        const Technique t = namedTechnique(score.events[i]);
        if (i > 0 && t != Technique::Picked)
            drawLabelInLane(p, l, techniqueCentre(l, i), techniqueName(t, abbreviated), int(i));
        vibratoFrom[i] = l.eventX[i] - 3;
        for (const FrettedNote& n : score.events[i].notes) {
            if (n.technique == Technique::Bend)
                vibratoFrom[i] = drawTabBend(p, l, n, l.eventX[i], int(i)) + 3;
        }
    }
    for (size_t i = 0; i < score.events.size(); ++i) {
        const auto& notes = score.events[i].notes;
        if (std::none_of(notes.begin(), notes.end(), [](const FrettedNote& n) { return n.vibrato; }))
            continue;
        const double from = vibratoFrom[i];
        const auto waveAt = [&](int lane) {
            return QRectF(from, laneMiddle(l, lane) - kWaveHeight - 1, kVibratoLength, 2 * kWaveHeight + 2);
        };
        const int lane = clearLane(p, [&](int k) { return std::vector<InkBox>{{Ink::Vibrato, waveAt(k), int(i), {}}}; });
        p.setInk(Ink::Vibrato, int(i));
        drawWavyLine(p, from, from + kVibratoLength, laneMiddle(l, lane));
    }
}

constexpr double kTabOnlyLineBreak = 1; // the string's line stops this short of a fret number's ink

// Where a string's line is left out for its fret number. On the sheets, a whole space high and an
// advance wide; in the lesson pictures, whose letter-spaced numbers stand closer to their
// neighbours and to bar lines, only round the number's ink.
QRectF tabLineBreak(const SheetLayout& l, const QString& text, QPointF centre)
{
    if (l.tabOnly) {
        const QRectF ink = fretNumberInk(l, text, centre);
        return ink.adjusted(-kTabOnlyLineBreak, -kTabOnlyLineBreak, kTabOnlyLineBreak, kTabOnlyLineBreak);
    }
    const double w = QFontMetricsF(tabNumberFont(l)).horizontalAdvance(text);
    return QRectF(centre.x() - w / 2 - 1, centre.y() - l.tabSpacing / 2.0, w + 2, l.tabSpacing);
}

void drawTabNumbers(EngravingPainter& p, const SheetLayout& l, const Event& e, int x, int owner)
{
    p.setInk(Ink::TabNumber, owner);
    p.setFont(tabNumberFont(l));
    for (const FrettedNote& n : e.notes) {
        const QString text = QString::number(n.fret);
        const int y = l.tabLineY(n.string);
        p.fillRect(tabLineBreak(l, text, QPointF(x, y)), Qt::white);
        p.drawText(fretNumberOrigin(l, text, QPointF(x, y)), text);
    }
}

// Three triplet eighths, notes or rests, that fill a beat between them.
bool tripletEighths(const Score& score, size_t first, size_t last)
{
    if (last != first + 2 || last >= score.events.size() || score.events[first].start % kTicksPerQuarter != 0)
        return false;
    for (size_t i = first; i <= last; ++i) {
        if (score.events[i].durationText != "8t")
            return false;
    }
    return true;
}

// A bracket from left to right with "3" in a gap at its middle; its ends hook towards the notes.
void drawTupletBracket(EngravingPainter& p, double left, double right, double y, bool hooksDown, int owner)
{
    const double hook = hooksDown ? 4 : -4;
    const double mid = (left + right) / 2;
    p.setFont(sansFont(kTextSize, false));
    const QRectF number = textInkAt(p.font(), QPointF(mid, y), Qt::AlignCenter, QStringLiteral("3"));
    p.setInk(Ink::TupletBracket, owner);
    p.drawLine(left, y + hook, left, y);
    p.drawLine(left, y, number.left() - 2, y);
    p.drawLine(number.right() + 2, y, right, y);
    p.drawLine(right, y, right, y + hook);
    p.setInk(Ink::TupletNumber, owner);
    p.drawTextAt(QPointF(mid, y), Qt::AlignCenter, QStringLiteral("3"));
}

// A run of triplet notes and rests that make one "3": three of the shortest, or three of the longest.
std::vector<std::pair<size_t, size_t>> tupletGroups(const Score& score)
{
    std::vector<std::pair<size_t, size_t>> groups;
    size_t i = 0;
    while (i < score.events.size()) {
        if (!isTriplet(score.events[i])) {
            ++i;
            continue;
        }
        const size_t first = i;
        int sum = 0, shortest = 1 << 20, longest = 0;
        while (i < score.events.size() && isTriplet(score.events[i])) {
            const int d = score.events[i].duration;
            sum += d;
            shortest = std::min(shortest, d);
            longest = std::max(longest, d);
            ++i;
            if (sum == 3 * shortest || sum == 3 * longest)
                break;
        }
        groups.push_back({first, i - 1});
    }
    return groups;
}

// The staff's beam groups: events within one beat that have flags, or single events.
std::vector<std::pair<size_t, size_t>> beamGroups(const Score& score)
{
    std::vector<std::pair<size_t, size_t>> groups;
    const int beat = beatTicks(score);
    size_t first = 0;
    while (first < score.events.size()) {
        size_t last = first;
        const int group = score.events[first].start / beat;
        if (hasFlag(score.events[first]) || score.events[first].notes.empty()) {
            while (last + 1 < score.events.size() && score.events[last + 1].start / beat == group &&
                   (hasFlag(score.events[last + 1]) || score.events[last + 1].notes.empty()))
                ++last;
        }
        groups.push_back({first, last});
        first = last + 1;
    }
    return groups;
}

// A beam that would lie on a staff line merges with it: it moves off to hang from the line or sit on it.
int beamOffLines(const SheetLayout& l, int y, bool up)
{
    for (int line = 0; line <= 8; line += 2) {
        const double ly = l.staffY(line);
        if (std::abs(y - ly) < kBeamWidth / 2 + 1)
            return int(up ? ly - kBeamWidth / 2 - 1.5 : ly + kBeamWidth / 2 + 1.5);
    }
    return y;
}

// One beam group's stems, flags and beams; fills in where each event's stem ended.
void drawStemsAndBeams(EngravingPainter& p, const SheetLayout& l, const Score& score, std::vector<Placed>& placed,
                       const std::vector<std::vector<WrittenNote>>& written, size_t first, size_t last)
{
    int stepSum = 0, count = 0;
    std::vector<size_t> noted;
    for (size_t i = first; i <= last; ++i) {
        if (score.events[i].notes.empty())
            continue;
        noted.push_back(i);
        for (const WrittenNote& n : written[i]) {
            stepSum += n.step();
            ++count;
        }
    }
    if (count == 0)
        return;
    const bool up = stepSum < 4 * count; // below the middle line: stems go up
    const bool beamed = noted.size() >= 2 && hasFlag(score.events[noted.front()]);
    // A beam lies straight, beyond the most extreme head of the group.
    int beamY = up ? 1 << 20 : -(1 << 20);
    for (size_t i : noted)
        beamY = up ? std::min(beamY, placed[i].top - kStemLength) : std::max(beamY, placed[i].bottom + kStemLength);
    beamY = beamOffLines(l, beamY, up);
    auto stemX = [&](size_t i) { return l.eventX[i] + (up ? kHeadWidth / 2.0 - 0.5 : -kHeadWidth / 2.0 + 0.5); };
    for (size_t i : noted) {
        const Event& e = score.events[i];
        placed[i].stemUp = up;
        const int from = up ? placed[i].bottom : placed[i].top;
        const int to = beamed ? beamY : (up ? placed[i].top - kStemLength : placed[i].bottom + kStemLength);
        placed[i].stemEnd = to;
        placed[i].stemX = stemX(i);
        if (e.duration >= 1920)
            continue; // a whole note has no stem
        p.setInk(Ink::Stem, int(i));
        p.drawLine(stemX(i), from, stemX(i), to);
        if (!beamed && hasFlag(e)) {
            p.setInk(Ink::Flag, int(i));
            const double x = stemX(i);
            for (int f = 0; f < (isSixteenth(e) ? 2 : 1); ++f) {
                const int y = to + (up ? f * 5 : -f * 5);
                QPainterPath flag;
                flag.moveTo(x, y);
                flag.cubicTo(x + 1, y + (up ? 6 : -6), x + 8, y + (up ? 7 : -7), x + 5, y + (up ? 14 : -14));
                p.drawPath(flag);
            }
        }
    }
    if (!beamed)
        return;
    p.save();
    p.setPen(QPen(Qt::black, kBeamWidth, Qt::SolidLine, Qt::FlatCap));
    p.setInk(Ink::Beam);
    p.drawLine(stemX(noted.front()), beamY, stemX(noted.back()), beamY);
    const int second = beamY + (up ? 5 : -5);
    for (size_t k = 0; k < noted.size(); ++k) {
        if (!isSixteenth(score.events[noted[k]]))
            continue;
        const bool nextToo = k + 1 < noted.size() && isSixteenth(score.events[noted[k + 1]]);
        const bool prevToo = k > 0 && isSixteenth(score.events[noted[k - 1]]);
        if (nextToo)
            p.drawLine(stemX(noted[k]), second, stemX(noted[k + 1]), second);
        else if (!prevToo) // a lone sixteenth: a short stub towards its neighbour
            p.drawLine(stemX(noted[k]), second, stemX(noted[k]) + (k + 1 < noted.size() ? 6 : -6), second);
    }
    p.restore();
}

// Whether the events first..last are beamed together as one group of the staff.
bool beamedTogether(const Score& score, size_t first, size_t last)
{
    for (const auto& [a, b] : beamGroups(score)) {
        if (a <= first && last <= b) {
            for (size_t i = first; i <= last; ++i) {
                if (score.events[i].notes.empty() || !hasFlag(score.events[i]))
                    return false;
            }
            return last > first;
        }
    }
    return false;
}

// A "3" over (or under, by the stems) each triplet group, outside the staff; a bracket where the
// notes are not beamed together.
void drawTuplets(EngravingPainter& p, const SheetLayout& l, const Score& score, const std::vector<Placed>& placed)
{
    constexpr double kClear = 6; // from the stems' ends or the staff to the bracket's line
    for (const auto& [first, last] : tupletGroups(score)) {
        int ups = 0, downs = 0;
        double high = l.staffY(8), low = l.staffY(0);
        for (size_t i = first; i <= last; ++i) {
            if (score.events[i].notes.empty())
                continue;
            (placed[i].stemUp ? ups : downs)++;
            high = std::min<double>({high, double(placed[i].top), double(placed[i].stemEnd)});
            low = std::max<double>({low, double(placed[i].bottom), double(placed[i].stemEnd)});
        }
        const bool above = ups >= downs;
        const double y = above ? high - kClear - 4 : low + kClear + 4;
        const double left = l.eventX[first] - 5, right = l.eventX[last] + 5;
        if (beamedTogether(score, first, last)) {
            p.setInk(Ink::TupletNumber);
            p.setFont(sansFont(kTextSize, false));
            p.drawTextAt(QPointF((left + right) / 2, y), Qt::AlignCenter, QStringLiteral("3"));
        } else {
            drawTupletBracket(p, left, right, y, above, int(first));
        }
    }
}

// Where a slur meets one of its notes: just beyond the head on the slur's side, or beyond the
// stem's end where the stem stands on that side; the later note's accidental is kept clear too.
QPointF slurEnd(const SheetLayout& l, const Placed& at, int x, bool below, bool later)
{
    const double headEdge = l.staffSpacing / 2.0 + kSlurGap;
    if (at.stemUp == !below && at.stemEnd != 0)
        return {at.stemX, below ? at.stemEnd + kSlurGap : at.stemEnd - kSlurGap};
    double y = below ? at.bottom + headEdge : at.top - headEdge;
    if (later && !at.accidentals.isEmpty())
        y = below ? std::max(y, at.accidentals.bottom() + kSlurGap) : std::min(y, at.accidentals.top() - kSlurGap);
    return {x + (later ? -1.0 : 1.0), y};
}

// Slurs over hammer-ons, pull-offs and slides in the staff: from the note before to the note, on
// the heads' side away from the stems; over both where the stems point different ways.
void drawStaffSlurs(EngravingPainter& p, const SheetLayout& l, const Score& score, const std::vector<Placed>& placed)
{
    for (size_t i = 1; i < score.events.size(); ++i) {
        const Event& e = score.events[i];
        const Event& before = score.events[i - 1];
        const bool slurred = std::any_of(e.notes.begin(), e.notes.end(), [](const FrettedNote& n) {
            return n.technique == Technique::HammerOn || n.technique == Technique::PullOff || n.technique == Technique::Slide;
        });
        if (!slurred || before.notes.empty())
            continue;
        const bool below = placed[i].stemUp && placed[i - 1].stemUp;
        const QPointF from = slurEnd(l, placed[i - 1], l.eventX[i - 1], below, false);
        const QPointF to = slurEnd(l, placed[i], l.eventX[i], below, true);
        const double bow = below ? l.staffSpacing * 1.2 : -l.staffSpacing * 1.2;
        const double quarter = (to.x() - from.x()) / 4;
        QPainterPath slur;
        slur.moveTo(from);
        slur.cubicTo(from.x() + quarter, from.y() + bow, to.x() - quarter, to.y() + bow, to.x(), to.y());
        p.setInk(Ink::Slur, int(i));
        p.drawCurve(slur);
    }
}

// A bend in the staff: a curved arrow up from the head to the pitch it reaches.
void drawStaffBends(EngravingPainter& p, const SheetLayout& l, const Score& score, const std::vector<Placed>& placed)
{
    for (size_t i = 0; i < score.events.size(); ++i) {
        for (const FrettedNote& n : score.events[i].notes) {
            if (n.technique != Technique::Bend)
                continue;
            const double x = l.eventX[i] + kHeadWidth / 2.0 + (placed[i].stemUp ? 3 : 2) + (isDotted(score.events[i]) ? 5 : 0);
            const double from = placed[i].top;
            const double to = from - l.staffSpacing * (n.bendSemitones == 2 ? 1.0 : 0.5) - 3;
            QPainterPath bend;
            bend.moveTo(x, from);
            bend.quadTo(x + 5, from, x + 5, to + 3);
            p.setInk(Ink::BendSign, int(i));
            p.drawCurve(bend);
            p.setBrush(Qt::black);
            p.drawPolygon(QPolygonF({QPointF(x + 5, to), QPointF(x + 3, to + 3.5), QPointF(x + 7, to + 3.5)}));
            p.setBrush(Qt::NoBrush);
        }
    }
}

bool palmMuted(const Event& e)
{
    return std::any_of(e.notes.begin(), e.notes.end(), [](const FrettedNote& n) { return n.palmMuted; });
}
bool letRing(const Event& e) { return e.letRing; }

constexpr double kExtentEndTick = 3; // the short upright that ends an extent's dashed line
constexpr double kLineBreak = 3;     // paper either side of what an extent's line breaks for

// Where an extent's line along `row` must break: round everything drawn that it would touch.
std::vector<std::pair<double, double>> lineGaps(const EngravingPainter& p, const QRectF& row, int owner)
{
    std::vector<std::pair<double, double>> gaps;
    for (const InkBox& b : p.ink()->boxes()) {
        if (collides(b, {Ink::ExtentLine, row, owner, {}}))
            gaps.push_back({b.box.left() - kLineBreak, b.box.right() + kLineBreak});
    }
    std::sort(gaps.begin(), gaps.end());
    return gaps;
}

// A dashed line from `from` to `to`, left out over the gaps, and its end tick where it ends.
void drawBrokenLine(EngravingPainter& p, double from, double to, double y, const std::vector<std::pair<double, double>>& gaps,
                    int owner)
{
    p.save();
    p.setPen(QPen(Qt::black, 1.0, Qt::DashLine));
    p.setInk(Ink::ExtentLine, owner);
    for (const auto& [gapLeft, gapRight] : gaps) {
        if (gapLeft >= to)
            break;
        if (gapLeft > from)
            p.drawLine(from, y, gapLeft, y);
        from = std::max(from, gapRight);
    }
    if (from < to)
        p.drawLine(from, y, to, y);
    p.restore();
    if (from < to)
        p.drawLine(to, y - kExtentEndTick, to, y + kExtentEndTick);
}

// A label over each run of events that have something in common ("P.M.", "let ring"), and a
// dashed line on to the last of them, in the lowest row where label and line are clear.
void drawExtents(EngravingPainter& p, const SheetLayout& l, const Score& score, bool (*marked)(const Event&),
                 const QString& label)
{
    const QFont font = labelFont();
    for (size_t first = 0; first < score.events.size(); ++first) {
        if (!marked(score.events[first]))
            continue;
        size_t last = first;
        while (last + 1 < score.events.size() && marked(score.events[last + 1]))
            ++last;
        const int owner = int(first);
        const double textLeft = l.eventX[first] - 6;
        double end = l.eventX[last] + 8;
        if (last + 1 < score.events.size()) // clear of a label that may start at the next event
            end = std::min(end, l.eventX[last + 1] - 10.0);
        const auto textAt = [&](int lane) {
            return textInkAt(font, QPointF(textLeft, laneBaseline(l, lane)), Qt::AlignLeft | Qt::AlignBaseline, label);
        };
        const bool lined = end > textAt(0).right() + 4;
        const auto lineAt = [&](int lane) {
            const double y = laneMiddle(l, lane);
            return QRectF(QPointF(textAt(lane).right() + 3, y - kExtentEndTick), QPointF(end + 0.5, y + kExtentEndTick));
        };
        // A long line that no row leaves clear stands in the row its label does and breaks
        // round what it meets there, as a dashed line breaks round a technique's name.
        int lane = clearLane(
            p,
            [&](int k) {
                std::vector<InkBox> boxes{{Ink::Label, textAt(k), owner, label}};
                if (lined)
                    boxes.push_back({Ink::ExtentLine, lineAt(k), owner, {}});
                return boxes;
            },
            -1);
        if (lane < 0)
            lane = clearLane(p, [&](int k) { return std::vector<InkBox>{{Ink::Label, textAt(k), owner, label}}; });
        const std::vector<std::pair<double, double>> gaps = lineGaps(p, lineAt(lane), owner);
        p.setInk(Ink::Label, owner);
        p.setFont(font);
        const QRectF text = p.drawTextAt(QPointF(textLeft, laneBaseline(l, lane)), Qt::AlignLeft | Qt::AlignBaseline, label);
        if (lined)
            drawBrokenLine(p, text.right() + 3, end, laneMiddle(l, lane), gaps, owner);
        first = last;
    }
}

// A shuffle: two beamed eighths are played as a quarter and an eighth of a triplet. Drawn left of
// `right`, its top at `top`; returns its left edge.
constexpr double kShuffleMarkWidth = 52;
constexpr double kShuffleMarkTop = 5; // its "3" stands above this, inside the page
constexpr double kHeaderGap = 24; // between the title and the line of level, focus and rhythm

// The shuffle mark's little notes belong together as one event's parts do.
constexpr int kTempoMarkOwner = 1 << 20;

double drawShuffleMark(EngravingPainter& p, double right, double top)
{
    const double x = right - kShuffleMarkWidth;
    p.save();
    p.setBrush(Qt::black);
    auto note = [&](double nx, double stemTop) {
        p.setInk(Ink::NoteHead, kTempoMarkOwner);
        p.drawEllipse(QPointF(nx, top + 14), 2.6, 1.9);
        p.setInk(Ink::Stem, kTempoMarkOwner);
        p.drawLine(QLineF(nx + 2.4, top + 14, nx + 2.4, stemTop));
    };
    note(x, top + 4); // the two eighths, beamed
    note(x + 9, top + 4);
    p.setPen(QPen(Qt::black, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.setInk(Ink::Beam, kTempoMarkOwner);
    p.drawLine(QLineF(x + 2.4, top + 5, x + 11.4, top + 5));
    p.setPen(QPen(Qt::black, 1.0));
    p.setInk(Ink::Label);
    p.setFont(sansFont(kTextSize, false));
    p.drawTextAt(QPointF(x + 20, top + 9), Qt::AlignCenter, QStringLiteral("="));
    note(x + 31, top + 6); // quarter and eighth under a triplet bracket
    note(x + 41, top + 6);
    p.setInk(Ink::Flag, kTempoMarkOwner);
    p.drawLine(QLineF(x + 43.4, top + 6, x + 46.4, top + 10));
    p.setBrush(Qt::NoBrush);
    p.setInk(Ink::TupletBracket, kTempoMarkOwner);
    p.drawLine(QLineF(x + 29, top + 3, x + 29, top + 1));
    p.drawLine(QLineF(x + 29, top + 1, x + 32, top + 1));
    p.drawLine(QLineF(x + 42, top + 1, x + 46, top + 1));
    p.drawLine(QLineF(x + 46, top + 1, x + 46, top + 3));
    p.setInk(Ink::TupletNumber, kTempoMarkOwner);
    p.drawTextAt(QPointF(x + 37, top + 1), Qt::AlignCenter, QStringLiteral("3"));
    p.restore();
    return x;
}

constexpr double kHeaderLeft = 8;
constexpr double kTitleBaseline = 14;
constexpr double kTabOnlyTitleBaseline = 13; // the rows of marks above a bare tab need every pixel
constexpr double kDetailsBaseline = 29;

void drawHeader(EngravingPainter& p, const SheetLayout& l, const Score& score, const SheetStyle& style)
{
    p.setInk(Ink::Label);
    p.setFont(sansFont(kTitleSize, true));
    const double titleBaseline = style.tabOnly ? kTabOnlyTitleBaseline : kTitleBaseline;
    const QRectF title = p.drawTextAt(QPointF(kHeaderLeft, titleBaseline), Qt::AlignLeft | Qt::AlignBaseline,
                                      QString::fromStdString(score.title));
    double right = l.width - kRightMargin;
    if (!style.tabOnly) {
        p.setFont(sansFont(kTextSize + 2, false));
        const QRectF tempo = p.drawTextAt(QPointF(right, kTitleBaseline), Qt::AlignRight | Qt::AlignBaseline, tempoText(score));
        right = tempo.left() - 8;
    }
    if (score.shuffle)
        drawShuffleMark(p, right, kShuffleMarkTop);
    const QString details = headerDetails(score, style.kind);
    if (details.isEmpty())
        return;
    // Beside the title where it fits, else on a line of its own under it, at the left or the
    // right, wherever the notes leave it clear.
    const QFont font = sansFont(kTextSize, false);
    if (score.shuffle)
        right -= kShuffleMarkWidth + 8;
    const double width = QFontMetricsF(font).tightBoundingRect(details).width();
    std::vector<std::pair<QPointF, Qt::Alignment>> places;
    if (title.right() + kHeaderGap + width < right)
        places.push_back({{title.right() + kHeaderGap, kTitleBaseline}, Qt::AlignLeft});
    places.push_back({{kHeaderLeft, kDetailsBaseline}, Qt::AlignLeft});
    places.push_back({{double(l.width - kRightMargin), kDetailsBaseline}, Qt::AlignRight});
    auto chosen = places.front();
    for (const auto& place : places) {
        const QRectF box = textInkAt(font, place.first, place.second | Qt::AlignBaseline, details);
        if (p.ink() && clearOf(*p.ink(), {Ink::Label, box, -1, details})) {
            chosen = place;
            break;
        }
    }
    p.setInk(Ink::Label);
    p.setFont(font);
    p.drawTextAt(chosen.first, chosen.second | Qt::AlignBaseline, details);
}

} // namespace

bool tabOnlyFontFound(QString* error)
{
    const QFont font = tabOnlyDigitFont();
    const QString found = QFontInfo(font).family();
    if (found == font.family())
        return true;
    *error = QStringLiteral("the lesson tablature's fret numbers need the font \"%1\" (fonts-liberation), "
                            "found only \"%2\"").arg(font.family(), found);
    return false;
}

int staffStep(int writtenMidi, bool* sharp)
{
    // Steps of each pitch class within the octave C..B, sharps written on the note below.
    static const int stepOf[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    static const bool sharpOf[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
    const int octave = writtenMidi / 12 - 1;
    const int pc = writtenMidi % 12;
    if (sharp)
        *sharp = sharpOf[pc];
    // E4 (written MIDI 64) is step 0: octave 4, step 2 of the octave.
    return (octave - 4) * 7 + stepOf[pc] - 2;
}

QString tempoText(const Score& score)
{
    // In 6/8 the beat is a dotted quarter: three eighths, two thirds of the quarters' count.
    if (score.beatValue == 8 && score.beats % 3 == 0)
        return QStringLiteral("\u2669. = %1").arg(int(std::lround(score.tempo * 2.0 / 3.0)));
    return QStringLiteral("\u2669 = %1").arg(score.tempo);
}

QString headerDetails(const Score& score, SheetKind kind)
{
    if (kind == SheetKind::Lesson)
        return {};
    QStringList parts;
    if (score.level > 0)
        parts << QStringLiteral("Stufe %1 von %2").arg(score.level).arg(kTopLevel);
    if (!score.focus.empty())
        parts << QString::fromStdString(score.focus);
    if (kind == SheetKind::Riff) {
        if (const RhythmPattern* rhythm = rhythmFor(score))
            parts << QStringLiteral("Rhythmus: %1").arg(QString::fromUtf8(rhythm->name));
    }
    return parts.join(QStringLiteral("  \u00b7  "));
}

namespace {

constexpr double kFretGap = 5; // paper between the fret numbers of neighbouring events

// Half the widest fret number of an event, with its text clearance.
double widestFret(const SheetLayout& l, const Event& e)
{
    double widest = 0;
    for (const FrettedNote& n : e.notes)
        widest = std::max(widest, fretHalfWidth(l, &e, n.string));
    return widest;
}

// Event weights for spacing by duration: a longer note gets more paper, but less than in
// proportion, as engravers space.
std::vector<double> durationWeights(const Score& score)
{
    std::vector<double> weight;
    for (const Event& e : score.events)
        weight.push_back(std::max(1.0, std::sqrt(e.duration / 120.0)));
    return weight;
}

SheetLayout spacedLayout(const Score& score, const SheetStyle& style)
{
    SheetLayout l;
    l.width = style.width;
    l.height = style.height;
    l.staffSpacing = kStaffSpacing;
    l.staffBottomLine = kStaffBottomLine;
    l.tabSpacing = kTabSpacing;
    l.tabTopLine = style.height - kBottomMargin - 5 * l.tabSpacing;
    const std::vector<std::vector<WrittenNote>> written = writtenNotes(score);
    auto needsAccidental = [&](size_t i) {
        return std::any_of(written[i].begin(), written[i].end(),
                           [](const WrittenNote& n) { return n.accidental != Accidental::None; });
    };
    // Space by duration, but never so tight that fret numbers touch; accidentals take their room.
    const std::vector<double> weight = durationWeights(score);
    std::vector<double> least;
    double total = 0, accidentals = 0, leastTotal = 0;
    for (size_t i = 0; i < score.events.size(); ++i) {
        total += weight[i];
        accidentals += needsAccidental(i) ? kAccidentalRoom : 0;
        const double next = i + 1 < score.events.size() ? widestFret(l, score.events[i + 1]) : kHeadWidth;
        least.push_back(widestFret(l, score.events[i]) + next + kFretGap);
        leastTotal += least.back();
    }
    const int left = kClefLeft + kClefWidth + signatureWidth(score) + kTimeSignatureWidth + 6;
    const int bars = int(score.barStarts.size()) - 1;
    const double usable = style.width - left - kRightMargin - kBarGap * bars - accidentals - kFirstNoteGap;
    // A bar full of sixteenths with accidentals may not fit even at the least spacing: the gaps
    // between fret numbers then give up what is missing, so the music stays on the page.
    const double squeeze = std::min(1.0, usable / leastTotal);
    double x = left + kFirstNoteGap;
    size_t bar = 1;
    l.barX.push_back(left);
    for (size_t i = 0; i < score.events.size(); ++i) {
        if (needsAccidental(i))
            x += kAccidentalRoom;
        l.eventX.push_back(int(std::lround(x)));
        x += least[i] * squeeze + std::max(0.0, usable - leastTotal) * weight[i] / total;
        const int end = score.events[i].start + score.events[i].duration;
        if (bar < score.barStarts.size() && end >= score.barStarts[bar]) {
            l.barX.push_back(int(std::lround(x - 2)));
            x += kBarGap;
            ++bar;
        }
    }
    return l;
}

// ---- The lesson pictures' tablature: spaced by what stands on each string ---------------------

constexpr int kTabOnlyTabSpacing = 14;        // a 10 px fret number and paper above and below it
constexpr int kTabOnlyTopLine = 48;           // the title, bar numbers, technique names and bends above
constexpr double kTabOnlyFirstBarLine = 25;   // just right of "TAB"
constexpr double kTabOnlyRightMargin = 5;     // the final double bar keeps clear of the edge
constexpr double kTabOnlyNumberGap = 6;       // between numbers on one string: twice the paper inside one
constexpr double kTabOnlyLeastStep = 7;       // notes on different strings still read one after the other
constexpr double kTabOnlyBarPaper = 3;        // between a bar line and the ink either side of it
constexpr double kTabOnlySlideRoom = 8;       // a slide's line is seen between its numbers
constexpr int kStretchSteps = 40;             // halvings that find the stretch to a fraction of a pixel
constexpr double kNowhere = -1e9;             // the right edge of a string nothing stands on yet

// What one event draws, from its x: on each string its fret number, and a bend's arrow, which
// rises from its string through the ones above it; in the lowest row above the tab its
// technique's name, centred between it and the note before, and a bend's "full".
struct StringInk {
    int string = 1;
    double left = 0, right = 0;
};

struct EventInk {
    std::vector<StringInk> strings;
    double nameHalfWidth = 0; // 0: no name
    bool bend = false;
    double bendLabelLeft = 0, bendLabelRight = 0;
    bool slide = false;
};

EventInk eventInk(const SheetLayout& l, const Event& e)
{
    EventInk ink;
    const QFont labels = labelFont();
    for (const FrettedNote& n : e.notes) {
        const QRectF number = fretNumberInk(l, QString::number(n.fret), QPointF(0, 0));
        ink.strings.push_back({n.string, number.left(), number.right()});
        ink.slide = ink.slide || n.technique == Technique::Slide;
        if (n.technique != Technique::Bend)
            continue;
        const double shaftRight = bendOffsets(l, n).shaft + kArrowHead;
        for (int string = 1; string <= n.string; ++string)
            ink.strings.push_back({string, number.left(), shaftRight});
        ink.bend = true;
        ink.bendLabelLeft = shaftRight + kBendLabelGap;
        ink.bendLabelRight = ink.bendLabelLeft + QFontMetricsF(labels).tightBoundingRect(bendName(n)).width();
    }
    const Technique named = namedTechnique(e);
    if (named != Technique::Picked)
        ink.nameHalfWidth = QFontMetricsF(labels).tightBoundingRect(techniqueName(named, false)).width() / 2;
    return ink;
}

// How far right the ink placed so far reaches: on each string, in the row of names above the
// tab, and since the last bar line.
struct TabOnlyReach {
    std::vector<double> string = std::vector<double>(7, kNowhere);
    double names = kNowhere;
    double bar = kNowhere;
};

// The least x of an event: clear of the ink before it on its strings and in the row of names, and
// of the bar line it may follow.
double leastTabOnlyX(const EventInk& ink, const TabOnlyReach& reach, double previousX, double barLine, bool barStart)
{
    double x = barStart ? barLine + kTabOnlyBarPaper : previousX + kTabOnlyLeastStep;
    if (ink.slide && !barStart)
        x = std::max(x, previousX + kTabOnlySlideRoom + 2 * kTabOnlyLeastStep);
    for (const StringInk& s : ink.strings) {
        x = std::max(x, reach.string[size_t(s.string)] + kTabOnlyNumberGap - s.left);
        if (barStart)
            x = std::max(x, barLine + kTabOnlyBarPaper - s.left);
    }
    if (ink.nameHalfWidth > 0) // its centre, halfway back to the note before, clear of the last name
        x = std::max(x, 2 * (reach.names + kLabelGap + ink.nameHalfWidth) - previousX);
    if (ink.bend)
        x = std::max(x, reach.names + kLabelGap - ink.bendLabelLeft);
    return x;
}

void occupy(const EventInk& ink, double x, double previousX, TabOnlyReach& reach)
{
    for (const StringInk& s : ink.strings) {
        reach.string[size_t(s.string)] = std::max(reach.string[size_t(s.string)], x + s.right);
        reach.bar = std::max(reach.bar, x + s.right);
    }
    if (ink.nameHalfWidth > 0)
        reach.names = (previousX + x) / 2 + ink.nameHalfWidth;
    if (ink.bend)
        reach.names = std::max(reach.names, x + ink.bendLabelRight);
}

// Places events and bar lines from the left, each as far left as the ink before it allows and
// then `stretch` times its duration's share further; returns the final bar line's x.
double placeTabOnly(const Score& score, const std::vector<EventInk>& ink, const std::vector<double>& share, double stretch,
                    std::vector<double>& eventX, std::vector<double>& barX)
{
    eventX.clear();
    barX.assign(1, kTabOnlyFirstBarLine);
    TabOnlyReach reach;
    bool barStart = true;
    size_t bar = 1;
    for (size_t i = 0; i < score.events.size(); ++i) {
        const double previousX = i > 0 ? eventX.back() : kNowhere;
        double x = leastTabOnlyX(ink[i], reach, previousX, barX.back(), barStart);
        if (!barStart) // a bar's first note has had the last one's share before the bar line
            x += stretch * share[i - 1];
        x = std::ceil(x); // on a whole pixel, as its number is drawn
        eventX.push_back(x);
        occupy(ink[i], x, previousX, reach);
        barStart = false;
        const Event& e = score.events[i];
        if (bar < score.barStarts.size() && e.start + e.duration >= score.barStarts[bar]) {
            barX.push_back(std::ceil(std::max(reach.bar, x) + kTabOnlyBarPaper + stretch * share[i]));
            reach.bar = kNowhere;
            barStart = true;
            ++bar;
        }
    }
    return barX.back();
}

SheetLayout tabOnlyLayout(const Score& score, const SheetStyle& style)
{
    SheetLayout l;
    l.width = style.width;
    l.height = style.height;
    l.tabOnly = true;
    l.staffSpacing = kStaffSpacing;
    l.tabSpacing = kTabOnlyTabSpacing;
    l.tabTopLine = kTabOnlyTopLine;
    std::vector<EventInk> ink;
    for (const Event& e : score.events)
        ink.push_back(eventInk(l, e));
    if (!ink.empty()) // no note before the first to name a hammer-on from
        ink.front().nameHalfWidth = 0;
    std::vector<double> share = durationWeights(score);
    const double total = std::accumulate(share.begin(), share.end(), 0.0);
    for (double& s : share)
        s /= total;
    // The stretch that brings the final bar line to the right margin: the paper beyond the least
    // spacing, given out by duration.
    const double end = l.width - kTabOnlyRightMargin - kFinalBarOffset - kFinalBarPen / 2;
    std::vector<double> eventX, barX;
    double low = 0, high = std::max(0.0, end);
    for (int step = 0; step < kStretchSteps; ++step) {
        const double stretch = (low + high) / 2;
        (placeTabOnly(score, ink, share, stretch, eventX, barX) > end ? high : low) = stretch;
    }
    const double reached = placeTabOnly(score, ink, share, low, eventX, barX);
    // Music that does not fit even at the least spacing is pressed together to stay on the page.
    const double squeeze = std::min(1.0, (end - kTabOnlyFirstBarLine) / (reached - kTabOnlyFirstBarLine));
    const auto onPage = [&](double x) { return int(std::lround(kTabOnlyFirstBarLine + (x - kTabOnlyFirstBarLine) * squeeze)); };
    std::transform(eventX.begin(), eventX.end(), std::back_inserter(l.eventX), onPage);
    std::transform(barX.begin(), barX.end(), std::back_inserter(l.barX), onPage);
    return l;
}

// Notes this high (three ledger lines above the staff and more) are written an octave lower
// under "8va", as engravers do, so that they keep clear of the header.
constexpr int kOttavaFrom = 14;
constexpr double kOttavaClear = 4;  // paper between the highest ink of the passage and "8va"
constexpr double kOttavaHook = 4;   // the downward end of its dashed line

int highestStep(const std::vector<WrittenNote>& notes)
{
    int high = -1000;
    for (const WrittenNote& n : notes)
        high = std::max(high, n.step());
    return high;
}

// Lowers each very high passage, the whole beats that hold such notes, by an octave; returns the
// passages' first and last events.
std::vector<std::pair<size_t, size_t>> lowerHighPassages(const Score& score, std::vector<std::vector<WrittenNote>>& written)
{
    const int beat = beatTicks(score);
    const auto beatOf = [&](size_t i) { return score.events[i].start / beat; };
    std::vector<std::pair<size_t, size_t>> passages;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i].empty() || highestStep(written[i]) < kOttavaFrom)
            continue;
        size_t first = i, last = i;
        while (first > 0 && beatOf(first - 1) == beatOf(i))
            --first;
        while (last + 1 < written.size() && beatOf(last + 1) == beatOf(i))
            ++last;
        if (!passages.empty() && passages.back().second + 1 >= first)
            first = passages.back().first, passages.pop_back();
        passages.push_back({first, last});
        i = last;
    }
    for (const auto& [first, last] : passages) {
        for (size_t i = first; i <= last; ++i) {
            for (WrittenNote& n : written[i])
                n.octave -= 1;
        }
    }
    return passages;
}

// "8va" and a dashed line with a hook at its end over a passage written an octave lower.
void drawOttava(EngravingPainter& p, const SheetLayout& l, const std::vector<Placed>& placed, size_t first, size_t last)
{
    double high = l.staffY(8);
    for (size_t i = first; i <= last; ++i)
        high = std::min<double>({high, double(placed[i].top), placed[i].stemUp ? double(placed[i].stemEnd) : high});
    const QFont font = labelFont();
    const int owner = int(first);
    const QString text = QStringLiteral("8va");
    const double left = l.eventX[first] - kHeadWidth, right = l.eventX[last] + kHeadWidth;
    double baseline = high - kOttavaClear;
    const auto clearAt = [&](double y) {
        const QRectF label = textInkAt(font, QPointF(left, y), Qt::AlignLeft | Qt::AlignBaseline, text);
        const QRectF line(QPointF(label.right() + 3, label.top()), QPointF(right + 0.5, y + kOttavaHook));
        return clearOf(*p.ink(), {Ink::Label, label, owner, text}) && clearOf(*p.ink(), {Ink::ExtentLine, line, owner, {}});
    };
    while (p.ink() && baseline > l.staffY(8) - 2 * kLaneHeight && !clearAt(baseline))
        baseline -= 1;
    p.setInk(Ink::Label, owner);
    p.setFont(font);
    const QRectF label = p.drawTextAt(QPointF(left, baseline), Qt::AlignLeft | Qt::AlignBaseline, text);
    const double y = label.top() + 1;
    p.save();
    p.setInk(Ink::ExtentLine, owner);
    p.setPen(QPen(Qt::black, 1.0, Qt::DashLine));
    p.drawLine(label.right() + 3, y, right, y);
    p.restore();
    p.drawLine(right, y, right, y + kOttavaHook);
}

constexpr double kBarNumberInset = 3; // a bar's number stands over its start, right of its bar line
constexpr int kBarNumberLane = 1;     // the lowest row is left to the techniques' names and bends

void drawBarNumber(EngravingPainter& p, const SheetLayout& l, double barX, int number)
{
    p.setInk(Ink::Label);
    p.setFont(labelFont());
    const QPointF at(barX + kBarNumberInset, laneBaseline(l, kBarNumberLane));
    p.drawTextAt(at, Qt::AlignLeft | Qt::AlignBaseline, QString::number(number));
}

// Draws the whole sheet at layout `l`, recording its ink as it goes: what is drawn later finds
// its place clear of what is drawn before it, the header last (first on a bare tab).
void drawSheet(QImage& image, const SheetLayout& l, const Score& score, const SheetStyle& style, InkSheet& ink)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    EngravingPainter p(painter, &ink);

    // Without the staff, the title stands where the marks above the tab go: they find their rows
    // clear of it.
    if (style.tabOnly)
        drawHeader(p, l, score, style);
    const int right = l.barX.back();
    if (!style.tabOnly) {
        p.setInk(Ink::StaffLine);
        for (int line = 0; line < 5; ++line)
            p.drawLine(kClefLeft - 2, l.staffY(line * 2), right, l.staffY(line * 2));
        drawTrebleClef(p, l);
        const double signatureLeft = kClefLeft + kClefWidth;
        drawKeySignature(p, l, keyFifths(score.key), signatureLeft);
        p.setInk(Ink::TimeSignature);
        p.setFont(sansFont(l.staffSpacing * 2 + 4, true));
        const double timeX = signatureLeft + signatureWidth(score) + kTimeSignatureWidth / 2.0;
        p.drawTextAt(QPointF(timeX, l.staffY(6)), Qt::AlignCenter, QString::number(score.beats));
        p.drawTextAt(QPointF(timeX, l.staffY(2)), Qt::AlignCenter, QString::number(score.beatValue));
    }
    p.setInk(Ink::TabLine);
    for (int s = 1; s <= 6; ++s)
        p.drawLine(8, l.tabLineY(s), right, l.tabLineY(s));
    p.setInk(Ink::Clef);
    p.setFont(sansFont(std::min(l.tabSpacing + 1, 13), true));
    const char* tab[] = {"T", "A", "B"};
    for (int i = 0; i < 3; ++i)
        p.drawTextAt(QPointF(18, l.tabLineY(1) + l.tabSpacing * (1 + i * 1.6)), Qt::AlignCenter, QString::fromLatin1(tab[i]));

    // Bar lines through both staves.
    for (size_t b = 0; b < l.barX.size(); ++b) {
        const int x = l.barX[b];
        if (b == 0 && !style.tabOnly)
            continue; // the staves begin with the clef, not a bar line
        p.setInk(Ink::BarLine);
        if (!style.tabOnly)
            p.drawLine(x, l.staffY(8), x, l.staffY(0));
        p.drawLine(x, l.tabLineY(1), x, l.tabLineY(6));
        if (style.numberBars && b + 1 < l.barX.size())
            drawBarNumber(p, l, x, int(b) + 1);
    }
    if (l.barX.size() > 1) { // a final double bar
        p.save();
        p.setInk(Ink::BarLine);
        p.setPen(QPen(Qt::black, kFinalBarPen));
        const double thick = right + kFinalBarOffset;
        if (!style.tabOnly)
            p.drawLine(thick, l.staffY(8), thick, l.staffY(0));
        p.drawLine(thick, l.tabLineY(1), thick, l.tabLineY(6));
        p.restore();
    }

    std::vector<std::vector<WrittenNote>> written = writtenNotes(score);
    const std::vector<std::pair<size_t, size_t>> ottavas =
        l.ottava ? lowerHighPassages(score, written) : std::vector<std::pair<size_t, size_t>>{};
    std::vector<Placed> placed(score.events.size());
    for (size_t i = 0; i < score.events.size(); ++i) {
        const Event& e = score.events[i];
        if (!style.tabOnly && !e.notes.empty())
            std::tie(placed[i].top, placed[i].bottom) = drawHeads(p, l, e, l.eventX[i], written[i], int(i), &placed[i].accidentals);
        drawTabNumbers(p, l, e, l.eventX[i], int(i));
    }
    if (style.tabOnly && style.tripletBrackets) {
        for (size_t i = 0; i + 2 < score.events.size(); ++i) {
            if (tripletEighths(score, i, i + 2))
                drawTupletBracket(p, l.eventX[i] - 6, l.eventX[i + 2] + 6, l.tabLineY(1) - 27, true, int(i));
        }
    }
    if (!style.tabOnly) {
        for (const auto& [first, last] : beamGroups(score))
            drawStemsAndBeams(p, l, score, placed, written, first, last);
        for (size_t i = 0; i < score.events.size(); ++i) {
            if (score.events[i].notes.empty())
                drawRest(p, l, score.events[i], l.eventX[i], int(i));
        }
        drawTuplets(p, l, score, placed);
        drawStaffSlurs(p, l, score, placed);
        drawStaffBends(p, l, score, placed);
        for (const auto& [first, last] : ottavas)
            drawOttava(p, l, placed, first, last);
    }
    drawTechniques(p, l, score);
    drawExtents(p, l, score, palmMuted, QStringLiteral("P.M."));
    drawExtents(p, l, score, letRing, QStringLiteral("let ring"));
    if (!style.tabOnly)
        drawHeader(p, l, score, style);
}

// How far the staff may move down, towards the tab, to leave notes high above it clear of the
// header; the rows above the tab still have their room.
constexpr int kMostStaffDrop = 8;
constexpr int kStaffDropStep = 2;

size_t collisionsAt(const SheetLayout& l, const Score& score, const SheetStyle& style)
{
    QImage scratch(l.width, l.height, QImage::Format_RGB32);
    InkSheet ink;
    drawSheet(scratch, l, score, style, ink);
    return unintendedOverlaps(ink.boxes()).size();
}

} // namespace

SheetLayout layoutSheet(const Score& score, const SheetStyle& style)
{
    if (style.tabOnly)
        return tabOnlyLayout(score, style);
    SheetLayout best = spacedLayout(score, style);
    // The staff as it is first; then lower; then with its highest passages an octave down.
    size_t fewest = collisionsAt(best, score, style);
    for (bool ottava : {false, true}) {
        for (int drop = ottava ? 0 : kStaffDropStep; fewest > 0 && drop <= kMostStaffDrop; drop += kStaffDropStep) {
            SheetLayout other = spacedLayout(score, style);
            other.staffBottomLine += drop;
            other.ottava = ottava;
            const size_t collisions = collisionsAt(other, score, style);
            if (collisions < fewest) {
                best = other;
                fewest = collisions;
            }
        }
    }
    return best;
}

QImage renderSheet(const Score& score, const SheetStyle& style, InkSheet* ink)
{
    const SheetLayout l = layoutSheet(score, style);
    QImage image(l.width, l.height, QImage::Format_RGB32);
    InkSheet drawn;
    drawSheet(image, l, score, style, drawn);
    if (ink) {
        for (const InkBox& b : drawn.boxes())
            ink->add(b);
    }
    return image;
}

} // namespace zupfomat::content
