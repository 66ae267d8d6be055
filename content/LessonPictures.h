// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Ink.h"
#include "content/Score.h"

#include <QImage>
#include <QString>

#include <vector>

namespace zupfomat::content {

enum class Fretboard { MinorCells, MajorCells, WholeNeck };

// A fretboard section with note names in coloured chips, one colour per position the chip's note
// starts on its string, roots in red ovals, and the frets named. With `ink`, records everything drawn.
QImage paintFretboard(Fretboard which, QSize size, InkSheet* ink = nullptr);

// Under a lick's tablature, from `top` down: one small fretboard per position the lick moves
// through (every two bars), with the names of the notes it plays there and its roots circled.
// Drawn at the size the page shows it, so the names stay readable.
void paintCellDiagrams(QImage& image, const Score& lick, int rootPitchClass, int top, InkSheet* ink = nullptr);

// One picture of the lesson pages, as the generator writes it.
struct LessonPicture {
    QString name; // the file the page loads: "P1.bmp" … "P7.jpg"
    QImage image; // exactly the size of the picture's control on its page
    InkSheet ink;
};

// The seven lesson pictures, P1 to P7. Empty, with a message, when a note file cannot be read, a
// page has no control for a picture or the tablature's narrow face is not installed.
std::vector<LessonPicture> lessonPictures(const QString& notesFolder, QString* error);

} // namespace zupfomat::content
