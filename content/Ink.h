// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QString>

#include <vector>

namespace zupfomat::content {

// What a drawn thing is, so that a check can tell the overlaps notation means (a note head on its
// staff line, a fret number on its string) from the ones a reader trips over.
enum class Ink {
    StaffLine,
    LedgerLine,
    BarLine,
    Clef,
    KeySignature,
    TimeSignature,
    NoteHead,
    Accidental,
    Dot,
    Stem,
    Flag,
    Beam,
    Rest,
    TupletBracket,
    TupletNumber,
    Slur,          // an arc over notes in the staff or the tab
    BendSign,      // a bend's arrow or curve, and its small target note
    SlideLine,
    Vibrato,
    ExtentLine,    // the dashed line of "P.M." or "let ring"
    TabLine,
    TabNumber,
    Label,         // any text: titles, tempo, technique names, "full", "3" outside a bracket
    Frame,         // the outline of a diagram or fretboard
    GridLine,      // a fretboard's string and fret lines
    Chip,          // a note name's box on a fretboard, sitting on its string
};

struct InkBox {
    Ink kind = Ink::Label;
    QRectF box;        // the ink's bounding box in the picture's pixels
    int owner = -1;    // the event (or diagram) it belongs to; -1 for none
    QString what;      // for messages: the text of a label, the fret of a number
    double capHeight = 0; // a text's: the height of its font's "H", what a reader sees as its size
};

// Everything a picture has drawn, in drawing order.
class InkSheet {
public:
    void add(Ink kind, const QRectF& box, int owner = -1, const QString& what = {}, double capHeight = 0)
    {
        boxes_.push_back({kind, box.normalized(), owner, what, capHeight});
    }
    void add(const InkBox& box) { boxes_.push_back(box); }
    const std::vector<InkBox>& boxes() const { return boxes_; }

private:
    std::vector<InkBox> boxes_;
};

struct InkOverlap {
    InkBox first;
    InkBox second;
};

// Whether notation means these two to touch: a note head on a staff or ledger line, a stem on
// its head and beam, a fret number on its tab line, a chip on its string.
bool overlapIntended(const InkBox& a, const InkBox& b);

// Whether two drawn things collide: they overlap by more than `tolerance` pixels either way (a
// text with its clearance) and notation does not mean them to touch.
bool collides(const InkBox& a, const InkBox& b, double tolerance = 0.5);

// Whether `candidate` would collide with nothing drawn so far.
bool clearOf(const InkSheet& drawn, const InkBox& candidate);

// Every pair that overlaps by more than `tolerance` pixels either way and is not intended.
std::vector<InkOverlap> unintendedOverlaps(const std::vector<InkBox>& boxes, double tolerance = 0.5);

// "NoteHead", "Label 'full'": for a test's failure message.
QString describe(const InkBox& box);

} // namespace zupfomat::content
