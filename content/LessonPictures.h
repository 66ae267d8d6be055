#pragma once

#include <QImage>

namespace zupfomat::content {

enum class Fretboard { MinorCells, MajorCells, WholeNeck };

// A fretboard section with note names in coloured boxes, one colour per cell, roots circled.
QImage paintFretboard(Fretboard which, QSize size);

} // namespace zupfomat::content
