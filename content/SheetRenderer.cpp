// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/SheetRenderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>

namespace zupfomat::content {
namespace {

constexpr int kLeftMargin = 62;   // clef and time signature
constexpr int kRightMargin = 14;
constexpr int kHeadWidth = 8;
constexpr int kStemLength = 21;

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

// A beat for beaming: a quarter in 4/4, a dotted quarter in 6/8.
int beatTicks(const Score& score) { return score.beatValue == 8 ? kTicksPerQuarter * 3 / 2 : kTicksPerQuarter; }

void drawTrebleClef(QPainter& p, const SheetLayout& l)
{
    QFont clef(QStringLiteral("FreeSerif"));
    clef.setPixelSize(l.staffSpacing * 7);
    const char32_t glyph = 0x1D11E;
    if (QFontMetrics(clef).inFontUcs4(glyph)) {
        p.setFont(clef);
        p.drawText(QPointF(6, l.staffY(0) + l.staffSpacing * 1.2), QString::fromUcs4(&glyph, 1));
        return;
    }
    p.setFont(sansFont(l.staffSpacing * 5, true));
    p.drawText(QPointF(8, l.staffY(0)), QStringLiteral("G"));
}

void drawSharp(QPainter& p, double x, double y, int s)
{
    p.drawLine(QLineF(x - 1, y - s, x - 1, y + s));
    p.drawLine(QLineF(x + 2, y - s - 1, x + 2, y + s - 1));
    p.drawLine(QLineF(x - 3, y - 1.5, x + 4, y - 2.5));
    p.drawLine(QLineF(x - 3, y + 2, x + 4, y + 1));
}

void drawNatural(QPainter& p, double x, double y, int s)
{
    p.drawLine(QLineF(x - 2, y - s, x - 2, y + s / 2.0));
    p.drawLine(QLineF(x + 2, y - s / 2.0, x + 2, y + s));
    p.drawLine(QLineF(x - 2, y + s / 2.0 - 1, x + 2, y + s / 2.0 - 2));
    p.drawLine(QLineF(x - 2, y - s / 2.0 + 2, x + 2, y - s / 2.0 + 1));
}

void drawRest(QPainter& p, const SheetLayout& l, const Event& e, int x)
{
    const int mid = l.staffY(4);
    p.setBrush(Qt::black);
    if (e.duration >= 960) { // whole and half rests: a block under or on a line
        const int y = e.duration >= 1920 ? l.staffY(6) : l.staffY(4) - 3;
        p.drawRect(x - 4, y, 8, 3);
    } else if (e.duration >= kTicksPerQuarter) {
        QPainterPath path;
        path.moveTo(x - 1, mid - 8);
        path.lineTo(x + 3, mid - 3);
        path.lineTo(x - 1, mid + 1);
        path.lineTo(x + 3, mid + 6);
        path.quadTo(x - 3, mid + 4, x + 1, mid + 10);
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    } else {
        p.drawEllipse(QPointF(x - 2, mid - 3), 1.8, 1.8);
        p.drawLine(QLineF(x - 2, mid - 2, x + 3, mid - 4));
        p.drawLine(QLineF(x + 3, mid - 4, x - 1, mid + 7));
        if (isSixteenth(e)) {
            p.drawEllipse(QPointF(x - 3, mid + 2), 1.8, 1.8);
            p.drawLine(QLineF(x - 3, mid + 3, x + 1, mid + 1));
        }
    }
    p.setBrush(Qt::NoBrush);
}

struct Head {
    int step;
    bool sharp;
};

std::vector<Head> headsOf(const Event& e)
{
    std::vector<Head> heads;
    for (const FrettedNote& n : e.notes) {
        Head h{};
        h.step = staffStep(midiNote(n) + 12, &h.sharp);
        heads.push_back(h);
    }
    std::sort(heads.begin(), heads.end(), [](const Head& a, const Head& b) { return a.step < b.step; });
    return heads;
}

// Draws the heads, ledger lines and accidentals of one event; returns its lowest and highest y.
std::pair<int, int> drawHeads(QPainter& p, const SheetLayout& l, const Event& e, int x,
                              std::map<int, bool>& sharpInBar)
{
    const std::vector<Head> heads = headsOf(e);
    int top = 1 << 20, bottom = -(1 << 20);
    const bool hollow = e.duration >= 960;
    for (size_t i = 0; i < heads.size(); ++i) {
        const Head& h = heads[i];
        const int y = l.staffY(h.step);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        // Ledger lines below the staff (C4 and lower) and above it (A5 and higher).
        for (int step = -2; step >= h.step; step -= 2)
            p.drawLine(x - kHeadWidth / 2 - 3, l.staffY(step), x + kHeadWidth / 2 + 3, l.staffY(step));
        for (int step = 10; step <= h.step; step += 2)
            p.drawLine(x - kHeadWidth / 2 - 3, l.staffY(step), x + kHeadWidth / 2 + 3, l.staffY(step));
        // Seconds in a chord: the upper head moves to the right of the stem.
        const int shift = (i > 0 && heads[i].step - heads[i - 1].step == 1) ? kHeadWidth - 1 : 0;
        QPainterPath head;
        head.addEllipse(QPointF(x + shift, y), kHeadWidth / 2.0, l.staffSpacing / 2.0 - 0.3);
        QTransform tilt;
        tilt.translate(x + shift, y);
        tilt.rotate(-20);
        tilt.translate(-(x + shift), -y);
        p.setBrush(hollow ? Qt::NoBrush : QBrush(Qt::black));
        p.drawPath(tilt.map(head));
        p.setBrush(Qt::NoBrush);
        const auto known = sharpInBar.find(h.step);
        const bool wasSharp = known != sharpInBar.end() && known->second;
        if (h.sharp && !wasSharp)
            drawSharp(p, x - kHeadWidth - 3, y, l.staffSpacing);
        else if (!h.sharp && wasSharp)
            drawNatural(p, x - kHeadWidth - 3, y, l.staffSpacing);
        sharpInBar[h.step] = h.sharp;
        if (isDotted(e))
            p.drawEllipse(QPointF(x + kHeadWidth / 2.0 + 4, y - ((h.step % 2 == 0) ? 2 : 0)), 1.2, 1.2);
    }
    return {top, bottom};
}

// A wavy line from a note onwards, where vibrato and its like are marked.
void drawWavyLine(QPainter& p, double from, double to, double y)
{
    QPainterPath wave;
    wave.moveTo(from, y);
    const double half = 2.5; // half a wave
    for (double x = from; x + half <= to; x += half)
        wave.quadTo(x + half / 2, y + (int(std::lround((x - from) / half)) % 2 ? 2.5 : -2.5), x + half, y);
    p.drawPath(wave);
}

// A hammer-on or pull-off: an arc from the note before, named above the tab; a bend: an arrow
// up from the fret number, marked "full"; a slide: a straight line from the fret before, rising
// or falling with the pitch, marked "sl."; vibrato: a wavy line above the tab from the note on.
void drawTechniques(QPainter& p, const SheetLayout& l, const Event& e, int x, const Event* previous, int previousX)
{
    for (const FrettedNote& n : e.notes) {
        const int y = l.tabLineY(n.string);
        if (n.vibrato)
            drawWavyLine(p, x - 3, x + 17, l.tabLineY(1) - 8);
        if (!previous)
            continue;
        if (n.technique == Technique::Slide) {
            int from = n.fret;
            for (const FrettedNote& before : previous->notes) {
                if (before.string == n.string)
                    from = before.fret;
            }
            const double rise = n.fret >= from ? l.tabSpacing / 3.0 : -l.tabSpacing / 3.0;
            p.drawLine(QLineF(previousX + 8, y + rise, x - 8, y - rise));
            p.setFont(sansFont(8, false));
            p.drawText(QRect((previousX + x) / 2 - 14, l.tabLineY(1) - 16, 28, 10), Qt::AlignCenter, QStringLiteral("sl."));
        } else if (n.technique == Technique::HammerOn || n.technique == Technique::PullOff) {
            QPainterPath arc;
            arc.moveTo(previousX + 2, y - l.tabSpacing / 2);
            arc.quadTo((previousX + x) / 2.0, y - l.tabSpacing * 1.3, x - 2, y - l.tabSpacing / 2);
            p.drawPath(arc);
            p.setFont(sansFont(8, false));
            p.drawText(QRect((previousX + x) / 2 - 14, l.tabLineY(1) - 16, 28, 10), Qt::AlignCenter,
                       n.technique == Technique::HammerOn ? QStringLiteral("H.O.") : QStringLiteral("P.O."));
        } else if (n.technique == Technique::Bend) {
            const QPointF top(x + 12, l.tabLineY(1) - 8);
            QPainterPath arrow;
            arrow.moveTo(x + 6, y);
            arrow.quadTo(x + 12, y, top.x(), top.y() + 4);
            p.drawPath(arrow);
            p.setBrush(Qt::black);
            p.drawPolygon(QPolygonF({top, top + QPointF(-3, 5), top + QPointF(3, 5)}));
            p.setBrush(Qt::NoBrush);
            p.setFont(sansFont(8, false));
            p.drawText(QRect(int(top.x()) - 12, int(top.y()) - 11, 24, 10), Qt::AlignCenter,
                       n.bendSemitones == 2 ? QStringLiteral("full") : QStringLiteral("\u00bd"));
        }
    }
}

void drawTabNumbers(QPainter& p, const SheetLayout& l, const Event& e, int x)
{
    p.setFont(sansFont(l.tabOnly ? 9 : std::min(l.tabSpacing + 1, 13), !l.tabOnly));
    const QFontMetrics metrics(p.font());
    for (const FrettedNote& n : e.notes) {
        const QString text = QString::number(n.fret);
        const int w = metrics.horizontalAdvance(text);
        const int y = l.tabLineY(n.string);
        p.fillRect(QRect(x - w / 2 - 1, y - l.tabSpacing / 2, w + 2, l.tabSpacing), Qt::white);
        p.drawText(QRect(x - w / 2 - 4, y - l.tabSpacing, w + 8, 2 * l.tabSpacing), Qt::AlignCenter, text);
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
void drawTripletBracket(QPainter& p, int left, int right, int y, bool hooksDown)
{
    const int hook = hooksDown ? 4 : -4;
    const int mid = (left + right) / 2;
    p.drawLine(left, y + hook, left, y);
    p.drawLine(left, y, mid - 5, y);
    p.drawLine(mid + 5, y, right, y);
    p.drawLine(right, y, right, y + hook);
    p.setFont(sansFont(9, false));
    p.drawText(QRect(mid - 5, y - 6, 10, 12), Qt::AlignCenter, QStringLiteral("3"));
}

// One beam group: events within one beat that have flags.
void drawStemsAndBeams(QPainter& p, const SheetLayout& l, const Score& score,
                       const std::vector<std::pair<int, int>>& extents, size_t first, size_t last)
{
    int stepSum = 0, count = 0;
    for (size_t i = first; i <= last; ++i) {
        if (score.events[i].notes.empty())
            continue;
        for (const Head& h : headsOf(score.events[i])) {
            stepSum += h.step;
            ++count;
        }
    }
    if (count == 0)
        return;
    const bool up = stepSum < 4 * count; // below the middle line: stems go up
    std::vector<size_t> noted;
    for (size_t i = first; i <= last; ++i) {
        if (!score.events[i].notes.empty())
            noted.push_back(i);
    }
    const bool beamed = noted.size() >= 2 && hasFlag(score.events[noted.front()]);
    // A beam lies straight, beyond the most extreme head of the group.
    int beamY = up ? 1 << 20 : -(1 << 20);
    for (size_t i : noted)
        beamY = up ? std::min(beamY, extents[i].first - kStemLength) : std::max(beamY, extents[i].second + kStemLength);
    QPen thick(Qt::black, 3.0, Qt::SolidLine, Qt::FlatCap);
    for (size_t k = 0; k < noted.size(); ++k) {
        const size_t i = noted[k];
        const Event& e = score.events[i];
        if (e.duration >= 1920)
            continue; // a whole note has no stem
        const int x = l.eventX[i] + (up ? kHeadWidth / 2 - 1 : -kHeadWidth / 2 + 1);
        const int from = up ? extents[i].second : extents[i].first;
        const int to = beamed ? beamY : (up ? extents[i].first - kStemLength : extents[i].second + kStemLength);
        p.drawLine(x, from, x, to);
        if (!beamed && hasFlag(e)) {
            const int flags = isSixteenth(e) ? 2 : 1;
            for (int f = 0; f < flags; ++f) {
                const int y = to + (up ? f * 5 : -f * 5);
                QPainterPath flag;
                flag.moveTo(x, y);
                flag.cubicTo(x + 1, y + (up ? 6 : -6), x + 8, y + (up ? 7 : -7), x + 5, y + (up ? 14 : -14));
                p.drawPath(flag);
            }
        }
    }
    if (tripletEighths(score, first, last)) {
        int tip = up ? 1 << 20 : -(1 << 20);
        for (size_t i : noted) {
            const int end = beamed ? beamY : (up ? extents[i].first - kStemLength : extents[i].second + kStemLength);
            tip = up ? std::min(tip, end) : std::max(tip, end);
        }
        drawTripletBracket(p, l.eventX[first] - 5, l.eventX[last] + 5, up ? tip - 8 : tip + 8, up);
    }
    if (!beamed)
        return;
    p.save();
    p.setPen(thick);
    auto stemX = [&](size_t i) { return l.eventX[i] + (up ? kHeadWidth / 2 - 1 : -kHeadWidth / 2 + 1); };
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
    if (isTriplet(score.events[noted.front()]) && !tripletEighths(score, first, last)) {
        p.setFont(sansFont(9, false));
        const int mid = (stemX(noted.front()) + stemX(noted.back())) / 2;
        p.drawText(QRect(mid - 6, up ? beamY - 13 : beamY + 2, 12, 11), Qt::AlignCenter, QStringLiteral("3"));
    }
}

bool palmMuted(const Event& e)
{
    return std::any_of(e.notes.begin(), e.notes.end(), [](const FrettedNote& n) { return n.palmMuted; });
}
bool letRing(const Event& e) { return e.letRing; }

// A label over each run of events that have something in common ("P.M.", "let ring"), and a
// dashed line on to the last of them.
void drawExtents(QPainter& p, const SheetLayout& l, const Score& score, bool (*marked)(const Event&), const QString& label)
{
    p.setFont(sansFont(8, false));
    const int y = l.tabLineY(1) - 11;
    for (size_t first = 0; first < score.events.size(); ++first) {
        if (!marked(score.events[first]))
            continue;
        size_t last = first;
        while (last + 1 < score.events.size() && marked(score.events[last + 1]))
            ++last;
        const int textLeft = l.eventX[first] - 8;
        const int textWidth = QFontMetrics(p.font()).horizontalAdvance(label) + 2;
        p.drawText(QRect(textLeft, y - 5, textWidth, 10), Qt::AlignLeft | Qt::AlignVCenter, label);
        int end = l.eventX[last] + 8;
        if (last + 1 < score.events.size()) // clear of a label that may start at the next event
            end = std::min(end, l.eventX[last + 1] - 12);
        if (end > textLeft + textWidth + 2) {
            // The line goes round the marks of the notes under it (H.O., sl., a bend's "full",
            // vibrato), which sit at its height.
            std::vector<std::pair<int, int>> gaps;
            for (size_t i = first; i <= last + 1 && i < score.events.size(); ++i) {
                for (const FrettedNote& n : score.events[i].notes) {
                    const int x = l.eventX[i];
                    if (i > 0 && (n.technique == Technique::HammerOn || n.technique == Technique::PullOff ||
                                  n.technique == Technique::Slide))
                        gaps.push_back({(l.eventX[i - 1] + x) / 2 - 14, (l.eventX[i - 1] + x) / 2 + 14});
                    if (n.technique == Technique::Bend)
                        gaps.push_back({x, x + 24});
                    if (n.vibrato)
                        gaps.push_back({x - 3, x + 17});
                }
            }
            std::sort(gaps.begin(), gaps.end());
            p.save();
            p.setPen(QPen(Qt::black, 1.0, Qt::DashLine));
            int from = textLeft + textWidth + 1;
            for (const auto& [gapLeft, gapRight] : gaps) {
                if (gapLeft - 2 > from)
                    p.drawLine(from, y, std::min(end, gapLeft - 2), y);
                from = std::max(from, gapRight + 2);
            }
            if (from < end)
                p.drawLine(from, y, end, y);
            p.restore();
            p.drawLine(end, y - 3, end, y + 3);
        }
        first = last;
    }
}

// A shuffle: two beamed eighths are played as a quarter and an eighth of a triplet.
void drawShuffleMark(QPainter& p, int right, int top)
{
    p.save();
    p.setBrush(Qt::black);
    auto note = [&](double x, double stemTop) {
        p.drawEllipse(QPointF(x, top + 13), 2.6, 1.9);
        p.drawLine(QLineF(x + 2.4, top + 13, x + 2.4, stemTop));
    };
    const int x = right;
    note(x, top + 3); // the two eighths, beamed
    note(x + 9, top + 3);
    p.setPen(QPen(Qt::black, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QLineF(x + 2.4, top + 4, x + 11.4, top + 4));
    p.setPen(QPen(Qt::black, 1.0));
    p.setFont(sansFont(11, false));
    p.drawText(QRect(x + 15, top + 2, 12, 14), Qt::AlignCenter, QStringLiteral("="));
    note(x + 31, top + 5); // quarter and eighth under a triplet bracket
    note(x + 41, top + 5);
    p.drawLine(QLineF(x + 43.4, top + 5, x + 46.4, top + 9));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QLineF(x + 29, top + 2, x + 29, top));
    p.drawLine(QLineF(x + 29, top, x + 34, top));
    p.drawLine(QLineF(x + 41, top, x + 46, top));
    p.drawLine(QLineF(x + 46, top, x + 46, top + 2));
    p.setFont(sansFont(8, false));
    p.drawText(QRect(x + 34, top - 5, 7, 10), Qt::AlignCenter, QStringLiteral("3"));
    p.restore();
}

} // namespace

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

SheetLayout layoutSheet(const Score& score, const SheetStyle& style)
{
    SheetLayout l;
    l.width = style.width;
    l.height = style.height;
    l.tabOnly = style.tabOnly;
    l.staffSpacing = 6;
    if (style.tabOnly) {
        l.tabSpacing = 14;
        l.tabTopLine = 48; // room above for bar numbers, H.O., P.O. and bends
    } else {
        l.staffBottomLine = 72;
        l.tabSpacing = 9;
        l.tabTopLine = style.height - 14 - 5 * l.tabSpacing;
    }
    // Space by duration, but never so tight that fret numbers touch.
    std::vector<double> weight;
    double total = 0;
    for (const Event& e : score.events) {
        weight.push_back(std::max(1.0, std::sqrt(e.duration / 120.0)));
        total += weight.back();
    }
    const int left = style.tabOnly ? 40 : kLeftMargin;
    const int bars = int(score.barStarts.size()) - 1;
    const double barGap = 12;
    const double usable = style.width - left - kRightMargin - barGap * bars;
    double x = left + 10;
    size_t bar = 1;
    l.barX.push_back(left);
    for (size_t i = 0; i < score.events.size(); ++i) {
        l.eventX.push_back(int(std::lround(x)));
        x += usable * weight[i] / total;
        const int end = score.events[i].start + score.events[i].duration;
        if (bar < score.barStarts.size() && end >= score.barStarts[bar]) {
            l.barX.push_back(int(std::lround(x - 2)));
            x += barGap;
            ++bar;
        }
    }
    return l;
}

QImage renderSheet(const Score& score, const SheetStyle& style)
{
    const SheetLayout l = layoutSheet(score, style);
    QImage image(l.width, l.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.0));

    if (!style.tabOnly) {
        p.setFont(sansFont(12, true));
        p.drawText(QRect(8, 2, l.width - 120, 16), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(score.title));
        p.setFont(sansFont(11, false));
        p.drawText(QRect(l.width - 130, 2, 122, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("\u2669 = %1").arg(score.tempo));
        if (score.shuffle)
            drawShuffleMark(p, l.width - 130 + 122 - QFontMetrics(p.font()).horizontalAdvance(QStringLiteral("\u2669 = %1").arg(score.tempo)) - 58, 3);
    } else {
        p.setFont(sansFont(12, true));
        p.drawText(QRect(8, 2, l.width - 16, 16), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(score.title));
        if (score.shuffle)
            drawShuffleMark(p, l.width - 56, 5);
    }

    const int right = l.barX.back();
    if (!style.tabOnly) {
        for (int line = 0; line < 5; ++line)
            p.drawLine(l.barX.front() - kLeftMargin + 4, l.staffY(line * 2), right, l.staffY(line * 2));
        drawTrebleClef(p, l);
        p.setFont(sansFont(l.staffSpacing * 2 + 3, true));
        p.drawText(QRect(36, l.staffY(8) - 1, 16, l.staffSpacing * 2), Qt::AlignCenter, QString::number(score.beats));
        p.drawText(QRect(36, l.staffY(4) - 1, 16, l.staffSpacing * 2), Qt::AlignCenter, QString::number(score.beatValue));
    }
    for (int s = 1; s <= 6; ++s)
        p.drawLine(8, l.tabLineY(s), right, l.tabLineY(s));
    p.setFont(sansFont(std::min(l.tabSpacing + 1, 13), true));
    const char* tab[] = {"T", "A", "B"};
    for (int i = 0; i < 3; ++i)
        p.drawText(QRect(12, l.tabLineY(1) + l.tabSpacing / 2 + i * (l.tabSpacing * 5 / 3) - 2, 14, l.tabSpacing + 4),
                   Qt::AlignCenter, QString::fromLatin1(tab[i]));

    // Bar lines through both staves.
    for (size_t b = 0; b < l.barX.size(); ++b) {
        const int x = l.barX[b];
        if (b == 0 && !style.tabOnly)
            continue; // the staves begin with the clef, not a bar line
        if (!style.tabOnly)
            p.drawLine(x, l.staffY(8), x, l.staffY(0));
        p.drawLine(x, l.tabLineY(1), x, l.tabLineY(6));
        if (style.numberBars && b + 1 < l.barX.size()) {
            p.setFont(sansFont(9, false));
            p.drawText(QPointF(x + 2, l.tabLineY(1) - 20), QString::number(b + 1));
        }
    }
    if (l.barX.size() > 1) { // a final double bar
        QPen heavy(Qt::black, 2.5);
        p.save();
        p.setPen(heavy);
        p.drawLine(right + 3, style.tabOnly ? l.tabLineY(1) : l.staffY(8), right + 3, style.tabOnly ? l.tabLineY(6) : l.staffY(0));
        p.drawLine(right + 3, l.tabLineY(1), right + 3, l.tabLineY(6));
        p.restore();
    }

    std::vector<std::pair<int, int>> extents(score.events.size(), {0, 0});
    std::map<int, bool> sharpInBar;
    size_t bar = 1;
    for (size_t i = 0; i < score.events.size(); ++i) {
        const Event& e = score.events[i];
        while (bar < score.barStarts.size() && e.start >= score.barStarts[bar]) {
            sharpInBar.clear(); // accidentals hold to the end of their bar
            ++bar;
        }
        if (!style.tabOnly) {
            if (e.notes.empty())
                drawRest(p, l, e, l.eventX[i]);
            else
                extents[i] = drawHeads(p, l, e, l.eventX[i], sharpInBar);
        }
        drawTabNumbers(p, l, e, l.eventX[i]);
        drawTechniques(p, l, e, l.eventX[i], i > 0 ? &score.events[i - 1] : nullptr, i > 0 ? l.eventX[i - 1] : 0);
    }
    if (style.tabOnly && style.tripletBrackets) {
        for (size_t i = 0; i + 2 < score.events.size(); ++i) {
            if (tripletEighths(score, i, i + 2))
                drawTripletBracket(p, l.eventX[i] - 6, l.eventX[i + 2] + 6, l.tabLineY(1) - 27, true);
        }
    }
    drawExtents(p, l, score, palmMuted, QStringLiteral("P.M."));
    drawExtents(p, l, score, letRing, QStringLiteral("let ring"));
    if (!style.tabOnly) {
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
            drawStemsAndBeams(p, l, score, extents, first, last);
            first = last + 1;
        }
    }
    return image;
}

} // namespace zupfomat::content
