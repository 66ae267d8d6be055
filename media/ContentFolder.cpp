// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/ContentFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace zupfomat {
namespace {

const char* const kRhythmFiles[ContentFolder::kRhythmCount] = {
    "rock1.wma", "rock2.wma", "rock3.wma", "blues1.wma", "blues2.wma", "pop.wma", "681.wma",
};

const char* const kLessonFiles[ContentFolder::kLessonRecordingCount] = {
    "pent moll cells exercise.mp3",
    "pent moll cells beispiel.mp3",
    "pent dur cells exercise.mp3",
    "pent dur cells beispiel.mp3",
};

QString number(int n) { return QString::number(n); }

} // namespace

ContentFolder ContentFolder::besideProgram() { return ContentFolder(QCoreApplication::applicationDirPath()); }

ContentFolder::ContentFolder(QString programFolder) : programFolder_(std::move(programFolder))
{
    while (programFolder_.size() > 1 && (programFolder_.endsWith('/') || programFolder_.endsWith('\\')))
        programFolder_.chop(1);
}

QString ContentFolder::join(const QString& relative) const
{
    return QDir::toNativeSeparators(programFolder_ + QStringLiteral("/Data/") + relative);
}

QString ContentFolder::riffSheet(int riff) const { return join("images/riff" + number(riff) + ".gif"); }
QString ContentFolder::exerciseSheet(int exercise) const { return join("images/ex" + number(exercise) + ".gif"); }
QString ContentFolder::riffRecording(int riff) const { return join("wma/riff" + number(riff) + ".wma"); }

QString ContentFolder::exerciseRecording(int exercise, ExerciseTempo tempo) const
{
    const QString slowMark = tempo == ExerciseTempo::Slow ? QStringLiteral("l") : QString();
    return join("wma/ex" + number(exercise) + slowMark + ".wma");
}

// Outside the list, the first rhythm: it is what the player falls back to.
QString ContentFolder::rhythmRecording(int index) const
{
    const int valid = index >= 0 && index < kRhythmCount ? index : 0;
    return join(QStringLiteral("wma/") + kRhythmFiles[valid]);
}

QString ContentFolder::lessonRecording(int page) const
{
    const int valid = page >= 1 && page <= kLessonRecordingCount ? page : 1;
    return join(QStringLiteral("wma/") + kLessonFiles[valid - 1]);
}

QString ContentFolder::background() const { return join("images/hinten7.jpg"); }
QString ContentFolder::lampUnlit() const { return join("images/gruen.jpg"); }
QString ContentFolder::lampLit() const { return join("images/gruen2.jpg"); }

} // namespace zupfomat
