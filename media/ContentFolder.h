// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace zupfomat {

enum class ExerciseTempo { Normal, Slow };

// Where the content lies: the folder Data beside the program, never the working directory.
// Paths come back in the platform's own separators.
class ContentFolder {
public:
    static constexpr int kRiffCount = 58;
    static constexpr int kExerciseCount = 42;
    static constexpr int kRhythmCount = 7;
    static constexpr int kLessonRecordingCount = 4;

    // The folder of the running program (QCoreApplication::applicationDirPath()).
    static ContentFolder besideProgram();
    explicit ContentFolder(QString programFolder);

    const QString& programFolder() const { return programFolder_; }

    QString riffSheet(int riff) const;
    QString exerciseSheet(int exercise) const;
    QString riffRecording(int riff) const;
    QString exerciseRecording(int exercise, ExerciseTempo tempo) const;
    // Index 0 to 6 in the order of the rhythm list ("Rock 1" first).
    QString rhythmRecording(int index) const;
    // Lesson page 1 to 4: minor exercise, minor example, major exercise, major example.
    QString lessonRecording(int page) const;
    QString background() const;
    QString lampUnlit() const;
    QString lampLit() const;

private:
    QString join(const QString& relative) const;

    QString programFolder_;
};

} // namespace zupfomat
