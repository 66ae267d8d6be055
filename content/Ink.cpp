// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Ink.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace zupfomat::content {
namespace {

bool isPair(const InkBox& a, const InkBox& b, Ink x, Ink y)
{
    return (a.kind == x && b.kind == y) || (a.kind == y && b.kind == x);
}

bool isAnyPair(const InkBox& a, const InkBox& b, std::initializer_list<std::pair<Ink, Ink>> pairs)
{
    return std::any_of(pairs.begin(), pairs.end(), [&](const auto& p) { return isPair(a, b, p.first, p.second); });
}

bool isLine(Ink k) { return k == Ink::StaffLine || k == Ink::LedgerLine; }

} // namespace

bool overlapIntended(const InkBox& a, const InkBox& b)
{
    // Lines of one system meet each other: staff lines, ledger lines, bar lines, tab lines.
    const auto structural = [](Ink k) { return isLine(k) || k == Ink::BarLine || k == Ink::TabLine; };
    if (structural(a.kind) && structural(b.kind))
        return true;
    // Whatever sits on the staff by its nature crosses its lines.
    const auto onStaff = [](Ink k) {
        return k == Ink::Clef || k == Ink::KeySignature || k == Ink::TimeSignature || k == Ink::NoteHead ||
               k == Ink::Accidental || k == Ink::Stem || k == Ink::Flag || k == Ink::Beam || k == Ink::Rest ||
               k == Ink::Slur || k == Ink::Dot || k == Ink::BendSign;
    };
    if ((isLine(a.kind) && onStaff(b.kind)) || (isLine(b.kind) && onStaff(a.kind)))
        return true;
    // One event's own parts: its heads, stem, flag, beam and dots, the strokes of its rest, bend
    // sign, slur or bracket, the fret numbers of its chord, stacked string by string; and a
    // diagram's frame, whose sides meet at its corners.
    if (a.owner >= 0 && a.owner == b.owner &&
        isAnyPair(a, b, {{Ink::NoteHead, Ink::NoteHead}, {Ink::NoteHead, Ink::Stem}, {Ink::Stem, Ink::Flag},
                         {Ink::Flag, Ink::Flag}, {Ink::Stem, Ink::Beam}, {Ink::NoteHead, Ink::Dot},
                         {Ink::Rest, Ink::Rest}, {Ink::BendSign, Ink::BendSign}, {Ink::Slur, Ink::Slur},
                         {Ink::Vibrato, Ink::Vibrato}, {Ink::TupletBracket, Ink::TupletBracket},
                         {Ink::ExtentLine, Ink::ExtentLine},
                         {Ink::TabNumber, Ink::TabNumber}, {Ink::Frame, Ink::Frame}}))
        return true;
    // Beams join stems of the group they belong to, and one beam touches the next in a group.
    if (isAnyPair(a, b, {{Ink::Stem, Ink::Beam}, {Ink::Beam, Ink::Beam}}))
        return true;
    // A fret number sits on its string's line, which is broken for it; a chip on its string.
    // "TAB" stands on the tab's lines as a clef stands on the staff's.
    if (isAnyPair(a, b, {{Ink::TabNumber, Ink::TabLine}, {Ink::Clef, Ink::TabLine}, {Ink::Chip, Ink::GridLine}, {Ink::GridLine, Ink::GridLine},
                         {Ink::GridLine, Ink::Frame}, {Ink::Chip, Ink::Frame}}))
        return true;
    // A bracket holds its number in a gap at its middle.
    if (isPair(a, b, Ink::TupletBracket, Ink::TupletNumber))
        return true;
    // A tab slide line and a slur start and end at their fret numbers; a bend sign leaves its number.
    if (isAnyPair(a, b, {{Ink::SlideLine, Ink::TabNumber}, {Ink::BendSign, Ink::TabNumber}, {Ink::Slur, Ink::TabLine},
                         {Ink::SlideLine, Ink::TabLine}, {Ink::BendSign, Ink::TabLine}}))
        return true;
    // The dashed line of an extent starts at its label.
    if (isPair(a, b, Ink::ExtentLine, Ink::Label) && a.owner >= 0 && a.owner == b.owner)
        return true;
    return false;
}

namespace {

// How far two boxes share ink along one axis; a hairline's box is as thin as its pen, so the
// boxes are not shrunk (an empty QRectF never intersects anything) but their overlap measured.
double shared(double aFrom, double aTo, double bFrom, double bTo) { return std::min(aTo, bTo) - std::max(aFrom, bFrom); }

bool overlaps(const QRectF& a, const QRectF& b, double tolerance)
{
    return shared(a.left(), a.right(), b.left(), b.right()) > tolerance &&
           shared(a.top(), a.bottom(), b.top(), b.bottom()) > tolerance;
}

} // namespace

// Text that another mark touches reads as one smudge: it keeps this much paper round its glyphs.
constexpr double kTextClearance = 1.0;

QRectF withClearance(const InkBox& box)
{
    const bool text = box.kind == Ink::Label || box.kind == Ink::TabNumber || box.kind == Ink::TupletNumber;
    const double c = text ? kTextClearance : 0.0;
    return box.box.adjusted(-c, -c, c, c);
}

bool collides(const InkBox& a, const InkBox& b, double tolerance)
{
    return overlaps(withClearance(a), withClearance(b), tolerance) && !overlapIntended(a, b);
}

bool clearOf(const InkSheet& drawn, const InkBox& candidate)
{
    return std::none_of(drawn.boxes().begin(), drawn.boxes().end(),
                        [&](const InkBox& b) { return collides(b, candidate); });
}

std::vector<InkOverlap> unintendedOverlaps(const std::vector<InkBox>& boxes, double tolerance)
{
    std::vector<InkOverlap> found;
    for (size_t i = 0; i < boxes.size(); ++i) {
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            if (collides(boxes[i], boxes[j], tolerance))
                found.push_back({boxes[i], boxes[j]});
        }
    }
    return found;
}

QString describe(const InkBox& box)
{
    static const char* const kNames[] = {"StaffLine", "LedgerLine", "BarLine", "Clef", "KeySignature", "TimeSignature",
                                         "NoteHead", "Accidental", "Dot", "Stem", "Flag", "Beam", "Rest",
                                         "TupletBracket", "TupletNumber", "Slur", "BendSign", "SlideLine", "Vibrato",
                                         "ExtentLine", "TabLine", "TabNumber", "Label", "Frame", "GridLine", "Chip"};
    QString text = QString::fromLatin1(kNames[int(box.kind)]);
    if (!box.what.isEmpty())
        text += QStringLiteral(" '%1'").arg(box.what);
    return text + QStringLiteral(" at %1,%2 %3x%4")
                      .arg(box.box.x(), 0, 'f', 1)
                      .arg(box.box.y(), 0, 'f', 1)
                      .arg(box.box.width(), 0, 'f', 1)
                      .arg(box.box.height(), 0, 'f', 1);
}

} // namespace zupfomat::content
