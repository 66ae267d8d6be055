// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Ink.h"
#include "content/Score.h"

#include <QImage>
#include <vector>

namespace zupfomat::content {

// Where everything of a sheet goes, so that notes and tab can be checked against each other.
struct SheetLayout {
    int width = 0;
    int height = 0;
    int staffBottomLine = 0;  // y of the treble staff's lowest line (E4)
    int staffSpacing = 0;     // pixels between staff lines
    int tabTopLine = 0;       // y of string 1's line
    int tabSpacing = 0;
    std::vector<int> eventX;  // x of each event's note heads, and of its fret numbers
    std::vector<int> barX;    // x of each bar line
    bool tabOnly = false;
    // Passages far above the staff are written an octave lower under "8va": only where the
    // notes would otherwise run into the header.
    bool ottava = false;

    int tabLineY(int string) const { return tabTopLine + (string - 1) * tabSpacing; }
    // Written a octave above sounding pitch, as guitar music is; 0 is the bottom line E4.
    int staffY(int staffStep) const { return staffBottomLine - staffStep * staffSpacing / 2; }
};

// What a sheet shows in its header besides the title: a riff names the rhythm it is played
// with; any kind that is not a lesson picture shows its level and focus.
enum class SheetKind { Riff, Exercise, Lesson };

struct SheetStyle {
    int width = 700;
    int height = 175;
    SheetKind kind = SheetKind::Riff;
    bool tabOnly = false;     // the lesson pictures: tablature without the staff
    bool numberBars = false;
    // Tab-only: a "3" bracket over each beat of triplet eighths. Off, the lesson pictures are
    // drawn as they have been; the staff always brackets them.
    bool tripletBrackets = false;
};

// Diatonic step above E4 of a written MIDI note, and whether it needs a sharp.
int staffStep(int writtenMidi, bool* sharp);

// The header's texts: the tempo mark ("\u2669 = 100", a dotted quarter in 6/8) and the line
// under the title (level, focus and, for a riff, its rhythm).
QString tempoText(const Score& score);
QString headerDetails(const Score& score, SheetKind kind);

// Whether the narrow face the tab-only pictures set their fret numbers in is installed; a wider
// stand-in would make neighbouring numbers collide, so a missing one is an error, named in `error`.
bool tabOnlyFontFound(QString* error);

SheetLayout layoutSheet(const Score& score, const SheetStyle& style = {});
// Draws the sheet; with `ink`, records the box and kind of everything it draws.
QImage renderSheet(const Score& score, const SheetStyle& style = {}, InkSheet* ink = nullptr);

} // namespace zupfomat::content
