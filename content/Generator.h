// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Score.h"

#include <QString>

#include <cstdint>

namespace zupfomat::content {

enum class PieceKind { Riff, Exercise, Lesson };

// A recording planned to loop on the beat. A WMA decodes to whole 2048-sample frames, so the
// tempo is nudged a little until the music fits them: a riff's last bar ends on the frame at
// which the device splices its loop, a riff that loops whole is exactly its bars, and an
// exercise ends one bar after its music. In frames as the recording decodes, at 44.1 kHz.
struct LoopFit {
    double tempoFactor = 1;    // as played: the factor asked for, nudged
    int64_t totalFrames = 0;   // the whole recording
    int64_t musicEndFrame = 0; // the end of the last bar
};

// A nudge below this goes unheard; a piece that needs more is refused rather than played off tempo.
inline constexpr double kLargestTempoNudge = 0.01;

LoopFit fitRecording(const Score& score, PieceKind kind, int number, double tempoFactor);

// How long a piece's recording runs, as fitRecording plans it: the music, then what rings on
// until the loop comes round (a lesson, played once, rings out for a while).
double recordingSeconds(const Score& score, PieceKind kind, int number, double tempoFactor);

struct GeneratorOptions {
    QString notesFolder;  // the note files (content/notes)
    QString dataFolder;   // the Data tree to write
    QString soundFont;
    int threads = 2;
    bool progress = true;
};

// Writes the whole Data tree. Returns false with a message naming the file on any failure.
bool generateDataTree(const GeneratorOptions& options, QString* error);

// Writes the design pictures (background, patch, dot, icon, lesson pictures) into a folder.
bool writeDesignPictures(const QString& notesFolder, const QString& folder, QString* error);

// Reads and parses one note file; the message names file, line and column.
bool loadScore(const QString& path, Score* score, QString* error);

} // namespace zupfomat::content
