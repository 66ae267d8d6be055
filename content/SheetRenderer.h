// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

    int tabLineY(int string) const { return tabTopLine + (string - 1) * tabSpacing; }
    // Written a octave above sounding pitch, as guitar music is; 0 is the bottom line E4.
    int staffY(int staffStep) const { return staffBottomLine - staffStep * staffSpacing / 2; }
};

struct SheetStyle {
    int width = 700;
    int height = 170;
    bool tabOnly = false;     // the lesson pictures: tablature without the staff
    bool numberBars = false;
    // Tab-only: a "3" bracket over each beat of triplet eighths. Off, the lesson pictures are
    // drawn as they have been; the staff always brackets them.
    bool tripletBrackets = false;
};

// Diatonic step above E4 of a written MIDI note, and whether it needs a sharp.
int staffStep(int writtenMidi, bool* sharp);

SheetLayout layoutSheet(const Score& score, const SheetStyle& style = {});
QImage renderSheet(const Score& score, const SheetStyle& style = {});

} // namespace zupfomat::content
