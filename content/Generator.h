#pragma once

#include "content/Score.h"

#include <QString>

namespace zupfomat::content {

enum class PieceKind { Riff, Exercise, Lesson };

// How long a piece's recording runs: the music, then an ending so that a looped riff comes
// round at its loop point on the beat instead of cutting into the music.
double recordingSeconds(const Score& score, PieceKind kind, int number, double tempoFactor);

inline constexpr double kSlowTempo = 0.6;

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
