// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Score.h"

#include <QImage>

namespace zupfomat::content {

enum class Fretboard { MinorCells, MajorCells, WholeNeck };

// A fretboard section with note names in coloured boxes, one colour per cell, roots circled.
QImage paintFretboard(Fretboard which, QSize size);

// Under a lick's tablature, from `top` down: one small fretboard per position the lick moves
// through (every two bars), with the names of the notes it plays there and its roots circled.
// Drawn at the size the page shows it, so the names stay readable.
void paintCellDiagrams(QImage& image, const Score& lick, int rootPitchClass, int top);

} // namespace zupfomat::content
