// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Generator.h"
#include "content/Loudness.h"

#include "content/AudioFileWriter.h"
#include "content/GifWriter.h"
#include "content/HelpScreenshot.h"
#include "content/LessonPictures.h"
#include "content/NoteFormat.h"
#include "content/Pictures.h"
#include "content/Rhythms.h"
#include "content/SheetRenderer.h"
#include "content/Synth.h"
#include "mainwindow/LoopLead.h"
#include "media/ContentFolder.h"
#include "media/LoopPoint.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

namespace zupfomat::content {
namespace {

constexpr double kRiffEnding = 0.4; // riffs that keep the lead they had
constexpr double kLessonEnding = 1.5;
constexpr double kEndFade = 0.02;
// A riff that loops whole is cut in its last bar's sound; a longer fade would be heard as a gap.
constexpr double kSeamFade = 0.005;
// Lengths tried either side of the nearest one: a loop frame moves by at least half a WMA
// frame with each frame of length, so the best fit is never further away.
constexpr int64_t kNearbyLengths = 3;

struct Job {
    QString name;
    std::function<bool(QString*)> run;
};

struct LessonPiece {
    const char* notes;
    int page;
};
const LessonPiece kLessons[] = {
    {"lesson-moll-exercise", 1},
    {"lesson-moll-beispiel", 2},
    {"lesson-dur-exercise", 3},
    {"lesson-dur-beispiel", 4},
};

bool replaceWith(const QString& temporary, const QString& path, QString* error)
{
    QFile::remove(path);
    if (QFile::rename(temporary, path))
        return true;
    QFile::remove(temporary);
    *error = QStringLiteral("cannot rename into place: ") + path;
    return false;
}

bool writeAudio(const QString& path, const std::vector<int16_t>& pcm, AudioFileFormat format, QString* error)
{
    const QString temporary = path + QStringLiteral(".part");
    EncodeSettings settings;
    settings.format = format;
    settings.bitRate = format == AudioFileFormat::Wma ? 128000 : 160000;
    std::string why;
    if (!writeAudioFile(temporary.toStdString(), pcm, kRenderRate, 2, settings, &why)) {
        QFile::remove(temporary);
        *error = QString::fromStdString(why) + QStringLiteral(": ") + path;
        return false;
    }
    return replaceWith(temporary, path, error);
}

bool writeJpeg(const QImage& image, const QString& path, QString* error)
{
    const QString temporary = path + QStringLiteral(".part");
    if (!image.save(temporary, "JPG", 92)) {
        *error = QStringLiteral("cannot write ") + path;
        return false;
    }
    return replaceWith(temporary, path, error);
}

bool writePng(const QImage& image, const QString& path, QString* error)
{
    if (image.save(path, "PNG"))
        return true;
    *error = QStringLiteral("cannot write ") + path;
    return false;
}

bool renderPiece(const Score& score, PieceKind kind, int number, double tempoFactor, const QString& soundFont,
                 const QString& path, AudioFileFormat format, QString* error)
{
    const LoopFit fit = fitRecording(score, kind, number, tempoFactor);
    if (std::abs(fit.tempoFactor / tempoFactor - 1) >= kLargestTempoNudge) {
        *error = QStringLiteral("the music does not fit whole WMA frames without a tempo change of %1 %: %2")
                     .arg((fit.tempoFactor / tempoFactor - 1) * 100, 0, 'f', 2)
                     .arg(path);
        return false;
    }
    RenderJob job;
    job.notes = scoreNotes(score, fit.tempoFactor);
    job.guitarProgram = programFor(score.sound);
    job.seconds = double(fit.totalFrames) / kRenderRate;
    std::string why;
    std::vector<float> pcm = renderJob(job, soundFont.toStdString(), &why);
    if (pcm.empty()) {
        *error = QString::fromStdString(why);
        return false;
    }
    pcm.resize(size_t(fit.totalFrames) * 2);
    const bool loopsWhole = kind == PieceKind::Riff && loopLeadRule(number).kind == LoopLeadRule::Zero;
    fadeOut(pcm, loopsWhole ? kSeamFade : kEndFade);
    levelToLoudness(pcm);
    std::vector<int16_t> samples = toSamples(pcm);
    if (format == AudioFileFormat::Wma) // one frame of lead-in for the WMA decoder's delay to swallow
        samples.insert(samples.begin(), size_t(kWmaFrameSamples) * 2, 0);
    return writeAudio(path, samples, format, error);
}

int64_t wholeWmaFramesNear(double frames)
{
    return std::max<int64_t>(1, std::llround(frames / kWmaFrameSamples)) * kWmaFrameSamples;
}

// Where the device splices a riff's loop on a recording of totalFrames: the poll tick arms the
// length it reads less the riff's lead.
int64_t spliceFrame(int64_t totalFrames, int divisor)
{
    const int64_t lengthMs = loopFramesToMs(totalFrames);
    return loopFrameFor(lengthMs - loopLeadFor(lengthMs, divisor), totalFrames);
}

// Of the whole-frame lengths around `nominal`, the one whose loop (from the start to
// loopFrame(length)) takes the smallest tempo nudge to fill with `filling` frames, counted at
// the asked tempo; `music` of those frames are the bars, the rest a rest.
template <typename LoopFrame>
LoopFit nearestFit(double music, double filling, double tempoFactor, double nominal, LoopFrame loopFrame)
{
    const int64_t nearest = wholeWmaFramesNear(nominal);
    LoopFit best;
    double bestOff = 0;
    for (int64_t total = nearest - kNearbyLengths * kWmaFrameSamples; total <= nearest + kNearbyLengths * kWmaFrameSamples;
         total += kWmaFrameSamples) {
        const int64_t loop = total > 0 ? loopFrame(total) : 0;
        if (loop <= 0)
            continue;
        const double nudge = filling / double(loop);
        if (best.totalFrames == 0 || std::abs(nudge - 1) < bestOff) {
            best = {tempoFactor * nudge, total, int64_t(std::llround(music / nudge))};
            bestOff = std::abs(nudge - 1);
        }
    }
    return best;
}

std::vector<Job> dataJobs(const GeneratorOptions& o, const ContentFolder& folder)
{
    std::vector<Job> jobs;
    auto notes = [&o](const QString& name) { return o.notesFolder + "/" + name + ".txt"; };
    auto sheetAndRecordings = [&](const QString& noteName, PieceKind kind, int number, const QString& sheet,
                                  std::vector<std::pair<bool, QString>> recordings) {
        jobs.push_back({sheet, [=](QString* error) {
                            Score score;
                            SheetStyle style;
                            style.kind = kind == PieceKind::Exercise ? SheetKind::Exercise : SheetKind::Riff;
                            return loadScore(notes(noteName), &score, error) && writeGif(renderSheet(score, style), sheet, error);
                        }});
        for (const auto& [slow, path] : recordings) {
            jobs.push_back({path, [=, slow = slow, path = path](QString* error) {
                                Score score;
                                return loadScore(notes(noteName), &score, error) &&
                                       renderPiece(score, kind, number, slow ? score.slowShare() : 1.0, o.soundFont, path,
                                                   AudioFileFormat::Wma, error);
                            }});
        }
    };
    for (int n = 1; n <= ContentFolder::kRiffCount; ++n)
        sheetAndRecordings(QStringLiteral("riff%1").arg(n), PieceKind::Riff, n, folder.riffSheet(n),
                           {{false, folder.riffRecording(n)}});
    for (int k = 1; k <= ContentFolder::kExerciseCount; ++k)
        sheetAndRecordings(QStringLiteral("ex%1").arg(k), PieceKind::Exercise, k, folder.exerciseSheet(k),
                           {{false, folder.exerciseRecording(k, ExerciseTempo::Normal)},
                            {true, folder.exerciseRecording(k, ExerciseTempo::Slow)}});
    for (const LessonPiece& lesson : kLessons) {
        const QString path = folder.lessonRecording(lesson.page);
        const QString noteName = QString::fromLatin1(lesson.notes);
        jobs.push_back({path, [=](QString* error) {
                            Score score;
                            return loadScore(notes(noteName), &score, error) &&
                                   renderPiece(score, PieceKind::Lesson, lesson.page, 1.0, o.soundFont, path,
                                               AudioFileFormat::Mp3, error);
                        }});
    }
    for (int i = 0; i < ContentFolder::kRhythmCount; ++i) {
        const QString path = folder.rhythmRecording(i);
        jobs.push_back({path, [=](QString* error) {
                            std::string why;
                            const RhythmLoop loop = renderRhythm(rhythmPatterns()[size_t(i)], o.soundFont.toStdString(), &why,
                                                                         RhythmLevel::PackLoudness);
                            if (loop.loop.empty()) {
                                *error = QString::fromStdString(why);
                                return false;
                            }
                            return writeAudio(path, loop.toEncode, AudioFileFormat::Wma, error);
                        }});
    }
    jobs.push_back({folder.background(), [=](QString* error) { return writeJpeg(paintBackground(), folder.background(), error); }});
    jobs.push_back({folder.lampUnlit(), [=](QString* error) { return writeJpeg(paintLamp(false), folder.lampUnlit(), error); }});
    jobs.push_back({folder.lampLit(), [=](QString* error) { return writeJpeg(paintLamp(true), folder.lampLit(), error); }});
    return jobs;
}

bool runJobs(const std::vector<Job>& jobs, int threads, bool progress, QString* error)
{
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    auto worker = [&] {
        for (size_t i = next++; i < jobs.size() && !failed; i = next++) {
            QString why;
            if (!jobs[i].run(&why)) {
                std::lock_guard<std::mutex> guard(errorMutex);
                if (!failed.exchange(true))
                    *error = why;
                return;
            }
            const size_t count = ++done;
            if (progress && (count % 10 == 0 || count == jobs.size())) {
                std::printf("zupfomat-content: %zu of %zu files\n", count, jobs.size());
                std::fflush(stdout);
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < std::max(1, threads); ++t)
        pool.emplace_back(worker);
    for (auto& thread : pool)
        thread.join();
    return !failed;
}

} // namespace

LoopFit fitRecording(const Score& score, PieceKind kind, int number, double tempoFactor)
{
    const double music = score.seconds() / tempoFactor * kRenderRate;
    auto wholeRecording = [](int64_t total) { return total; };
    switch (kind) {
    case PieceKind::Riff: {
        const LoopLeadRule rule = loopLeadRule(number);
        if (rule.kind == LoopLeadRule::Divide) {
            const int d = rule.divisor;
            return nearestFit(music, music, tempoFactor, music * d / (d - 1.0),
                              [d](int64_t total) { return spliceFrame(total, d); });
        }
        if (rule.kind == LoopLeadRule::Zero)
            return nearestFit(music, music, tempoFactor, music, wholeRecording);
        return {tempoFactor, wholeWmaFramesNear(music + kRiffEnding * kRenderRate), int64_t(std::llround(music))};
    }
    case PieceKind::Exercise: {
        // Restarts at its end, after a bar's rest: the next round comes in on the beat.
        const double bar = score.beats * 4.0 / score.beatValue * 60.0 / score.tempo / tempoFactor * kRenderRate;
        return nearestFit(music, music + bar, tempoFactor, music + bar, wholeRecording);
    }
    case PieceKind::Lesson:
        break;
    }
    // An MP3 played through once: no whole frames to keep.
    return {tempoFactor, int64_t(std::llround(music + kLessonEnding * kRenderRate)), int64_t(std::llround(music))};
}

double recordingSeconds(const Score& score, PieceKind kind, int number, double tempoFactor)
{
    return double(fitRecording(score, kind, number, tempoFactor).totalFrames) / kRenderRate;
}

bool loadScore(const QString& path, Score* score, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + path;
        return false;
    }
    ParseError parseError;
    const auto parsed = parseScore(file.readAll().toStdString(), &parseError);
    if (!parsed) {
        *error = QStringLiteral("%1:%2:%3: %4")
                     .arg(path)
                     .arg(parseError.line)
                     .arg(parseError.column)
                     .arg(QString::fromStdString(parseError.message));
        return false;
    }
    *score = *parsed;
    return true;
}

bool generateDataTree(const GeneratorOptions& options, QString* error)
{
    // The tree's program folder is the folder that holds Data: the names are the program's own.
    const QString absolute = QDir(options.dataFolder).absolutePath();
    if (absolute.section('/', -1) != QLatin1String("Data")) {
        *error = QStringLiteral("the content folder must be named Data: ") + options.dataFolder;
        return false;
    }
    const QString programFolder = absolute.section('/', 0, -2);
    const ContentFolder folder(programFolder.isEmpty() ? QStringLiteral("/") : programFolder);
    for (const char* sub : {"images", "wma"}) {
        if (!QDir().mkpath(options.dataFolder + "/" + sub)) {
            *error = QStringLiteral("cannot create ") + options.dataFolder + "/" + sub;
            return false;
        }
    }
    if (options.soundFont.isEmpty() || !QFile::exists(options.soundFont)) {
        *error = QStringLiteral("no General MIDI soundfont (install fluid-soundfont-gm)");
        return false;
    }
    return runJobs(dataJobs(options, folder), options.threads, options.progress, error);
}

bool writeDesignPictures(const QString& notesFolder, const QString& folder, QString* error)
{
    QDir().mkpath(folder);
    const QImage background = paintBackground();
    const QImage screenshot = paintHelpScreenshot(notesFolder, error);
    if (screenshot.isNull() || !writeJpeg(screenshot, folder + "/screenshot.jpg", error))
        return false;
    if (!writePng(background, folder + "/background.png", error) ||
        !writePng(backgroundPatch(background), folder + "/patch.png", error) ||
        !writePng(paintGreenDot(), folder + "/dot.png", error) || !writePng(paintIcon(), folder + "/icon.png", error))
        return false;
    // Each lesson picture at the size its page shows it, so nothing is scaled.
    const std::vector<LessonPicture> pictures = lessonPictures(notesFolder, error);
    if (pictures.empty())
        return false;
    for (const LessonPicture& picture : pictures) {
        const QString path = folder + "/" + picture.name;
        const bool written = path.endsWith(".gif")   ? writeGif(picture.image, path, error)
                             : path.endsWith(".jpg") ? writeJpeg(picture.image, path, error)
                                                     : picture.image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
        if (!written && error->isEmpty())
            *error = QStringLiteral("cannot write ") + path;
        if (!written)
            return false;
    }
    return true;
}

} // namespace zupfomat::content
