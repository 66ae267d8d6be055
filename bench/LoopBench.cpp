// SPDX-License-Identifier: GPL-3.0-or-later
// Usage: bench_loop [program folder] | bench_loop --capture OUTPUT.raw RECORDING DIVISOR (0: lead 0)
//        | bench_loop --map OUTPUT.raw RECORDING
// Every recording of the pack looped through the real device into SDL's disk driver, as the
// poll tick arms it: how far each loop period is from its loop point, what silence the seam
// adds, and how large the step at the seam is next to the music's own steps around it.
#include "bench/BenchStats.h"
#include "mainwindow/LoopLead.h"
#include "media/ContentFolder.h"
#include "media/LoopPoint.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

using namespace zupfomat;
using namespace std::chrono_literals;

namespace {

constexpr int kSeams = 3;
constexpr int64_t kMatchFrames = 2048;          // how much of the opening identifies a restart
constexpr int64_t kSearchFrames = 44100;        // how far from the expected frame a restart is looked for
constexpr int64_t kSurroundingFrames = 44100 / 20; // the music's own steps: 50 ms either side

struct Piece {
    QString path;
    LoopLeadRule rule; // the lead the poll tick gives it
    const char* kind;
};

struct SeamFigures {
    std::vector<double> periodMinusPoint; // ms
    std::vector<double> addedSilence;     // ms
    int seamStep = 0;                     // largest sample step across a seam
    int surroundingStep = 0;              // largest step within 50 ms of the seams
    int64_t firstStart = 0;               // output frame at which the recording first starts
    QString failure;
};

int64_t leadOf(int64_t lengthMs, const LoopLeadRule& rule)
{
    return rule.kind == LoopLeadRule::Divide ? loopLeadFor(lengthMs, rule.divisor) : 0;
}

int stepAt(const std::vector<int16_t>& s, int64_t frame)
{
    int step = 0;
    for (int c = 0; c < 2; ++c)
        step = std::max(step, std::abs(s[size_t(frame * 2 + c)] - s[size_t((frame - 1) * 2 + c)]));
    return step;
}

bool matchesOpening(const std::vector<int16_t>& out, int64_t at, const std::vector<int16_t>& file, int64_t from)
{
    const int64_t frames = std::min<int64_t>(kMatchFrames, int64_t(file.size() / 2) - from);
    if (at < 0 || (at + from + frames) * 2 > int64_t(out.size()))
        return false;
    return std::equal(file.begin() + from * 2, file.begin() + (from + frames) * 2, out.begin() + (at + from) * 2);
}

// Where the file starts again nearest to `expected` in the output, or -1.
int64_t findRestart(const std::vector<int16_t>& out, int64_t expected, const std::vector<int16_t>& file, int64_t firstSound)
{
    for (int64_t d = 0; d <= kSearchFrames; ++d) {
        if (matchesOpening(out, expected + d, file, firstSound))
            return expected + d;
        if (d > 0 && matchesOpening(out, expected - d, file, firstSound))
            return expected - d;
    }
    return -1;
}

int64_t zeroFramesBefore(const std::vector<int16_t>& s, int64_t frame)
{
    int64_t count = 0;
    while (frame - count > 0 && s[size_t((frame - count - 1) * 2)] == 0 && s[size_t((frame - count - 1) * 2 + 1)] == 0)
        ++count;
    return count;
}

// The seams of a captured loop of `file` that comes round at `point` ms, from its first sound on.
SeamFigures analyse(const std::vector<int16_t>& out, const std::vector<int16_t>& file, int64_t point, int seams)
{
    SeamFigures figures;
    const int64_t loopFrames = loopFrameFor(point, int64_t(file.size() / 2));
    const int64_t firstSound = testing::firstSoundFrame(file);
    // Where the recording first starts: at the output's first sound, or later in a capture
    // that played something else before it.
    int64_t start = testing::firstSoundFrame(out) - firstSound;
    while (start + firstSound < int64_t(out.size() / 2) && !matchesOpening(out, start, file, firstSound))
        ++start;
    if (!matchesOpening(out, start, file, firstSound)) {
        figures.failure = QStringLiteral("the recording is not in the output");
        return figures;
    }
    figures.firstStart = start;
    const int64_t musicSilenceAtEnd = zeroFramesBefore(file, loopFrames);
    for (int seam = 1; seams == 0 || seam <= seams; ++seam) {
        const int64_t restart = findRestart(out, start + loopFrames, file, firstSound);
        if (restart < 0) {
            if (seams == 0)
                break; // as many as the capture holds
            figures.failure = QStringLiteral("no restart found after pass %1").arg(seam);
            return figures;
        }
        figures.periodMinusPoint.push_back(double(restart - start) * 1000.0 / kLoopFramesPerSecond - double(point));
        figures.addedSilence.push_back(double(std::max<int64_t>(0, zeroFramesBefore(out, restart) - musicSilenceAtEnd)) *
                                       1000.0 / kLoopFramesPerSecond);
        figures.seamStep = std::max(figures.seamStep, stepAt(out, restart));
        for (int64_t f = restart - kSurroundingFrames; f < restart + kSurroundingFrames; ++f)
            if (f != restart && f > 0 && (f + 1) * 2 <= int64_t(out.size()))
                figures.surroundingStep = std::max(figures.surroundingStep, stepAt(out, f));
        start = restart;
    }
    return figures;
}

SeamFigures measure(const Piece& piece, const std::string& raw)
{
    const std::string path = piece.path.toStdString();
    int64_t point = 0;
    int64_t spliced = 0;
    {
        PlaybackDevice device;
        MediaChannel channel(device);
        channel.openMediaFile(path);
        testing::waitUntil([&] { return device.diagnostics().decoded; }, 10s);
        const int64_t length = channel.sendMediaCommand("status myMP3 length");
        point = length - leadOf(length, piece.rule);
        channel.sendMediaCommand("play myMP3 from 0");
        channel.expectRestartAt(point);
        testing::waitUntil([&] { return device.diagnostics().loopSplices > kSeams; }, 60s);
        spliced = device.diagnostics().loopSplices;
    }
    if (spliced <= kSeams)
        return {{}, {}, 0, 0, 0, QStringLiteral("only %1 seams").arg(spliced)};
    return analyse(testing::readRawSamples(raw), testing::decodeToDeviceFormat(path), point, kSeams);
}

// A capture made elsewhere (the program under Xvfb with SDL's disk driver): the seams of its
// loop of one recording, each on a line.
int analyseCapture(const std::string& raw, const std::string& recording, int divisor)
{
    const std::vector<int16_t> out = testing::readRawSamples(raw);
    const std::vector<int16_t> file = testing::decodeToDeviceFormat(recording);
    const int64_t length = loopFramesToMs(int64_t(file.size() / 2));
    const LoopLeadRule rule = divisor > 0 ? LoopLeadRule{LoopLeadRule::Divide, divisor} : LoopLeadRule{};
    const int64_t point = length - leadOf(length, rule);
    if (point <= 0) {
        std::printf("no loop point in %s\n", recording.c_str());
        return 1;
    }
    std::printf("loop point %lld ms of %lld ms\n", (long long)point, (long long)length);
    const SeamFigures f = analyse(out, file, point, 0);
    if (!f.failure.isEmpty()) {
        std::printf("%s\n", qPrintable(f.failure));
        return 1;
    }
    for (size_t i = 0; i < f.periodMinusPoint.size(); ++i)
        std::printf("seam %zu: period - loop point %.3f ms, silence added %.3f ms\n", i + 1, f.periodMinusPoint[i],
                    f.addedSilence[i]);
    std::printf("first start at %.3f s\n", double(f.firstStart) / kLoopFramesPerSecond);
    std::printf("largest step at a seam %d, within 50 ms of them %d\n", f.seamStep, f.surroundingStep);
    return 0;
}

std::vector<Piece> pack(const ContentFolder& folder)
{
    std::vector<Piece> pieces;
    for (int n = 1; n <= ContentFolder::kRiffCount; ++n)
        pieces.push_back({folder.riffRecording(n), loopLeadRule(n), "riff"}); // 9 and 11: lead 0 as after start-up
    for (int k = 1; k <= ContentFolder::kExerciseCount; ++k) {
        pieces.push_back({folder.exerciseRecording(k, ExerciseTempo::Normal), {}, "exercise"});
        pieces.push_back({folder.exerciseRecording(k, ExerciseTempo::Slow), {}, "slow exercise"});
    }
    for (int i = 0; i < ContentFolder::kRhythmCount; ++i)
        pieces.push_back({folder.rhythmRecording(i), {}, "rhythm"});
    for (int page = 1; page <= 4; ++page) // watched by the tick with riff 1 on show, as after start-up
        pieces.push_back({folder.lessonRecording(page), loopLeadRule(1), "lesson"});
    return pieces;
}

// Which part of the recording each half second of a capture holds: to hear where playback went
// on after the sound server was gone for a while.
int mapCapture(const std::string& raw, const std::string& recording)
{
    const std::vector<int16_t> out = testing::readRawSamples(raw);
    const std::vector<int16_t> file = testing::decodeToDeviceFormat(recording);
    constexpr int64_t kStep = kLoopFramesPerSecond / 2;
    constexpr int64_t kProbe = 1024;
    for (int64_t at = 0; (at + kProbe) * 2 <= int64_t(out.size()); at += kStep) {
        const auto begin = out.begin() + at * 2;
        const bool silent = std::all_of(begin, begin + kProbe * 2, [](int16_t s) { return s == 0; });
        const auto found = silent ? file.end() : std::search(file.begin(), file.end(), begin, begin + kProbe * 2);
        if (silent)
            std::printf("capture %7.3f s: silence\n", double(at) / kLoopFramesPerSecond);
        else if (found == file.end())
            std::printf("capture %7.3f s: not the recording\n", double(at) / kLoopFramesPerSecond);
        else
            std::printf("capture %7.3f s: recording at %7.3f s\n", double(at) / kLoopFramesPerSecond,
                        double((found - file.begin()) / 2) / kLoopFramesPerSecond);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::string(argv[1]) == "--map")
        return mapCapture(argv[2], argv[3]);
    if (argc == 5 && std::string(argv[1]) == "--capture")
        return analyseCapture(argv[2], argv[3], std::atoi(argv[4]));
    const QString programFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();
    const ContentFolder folder(programFolder);
    if (!QFileInfo::exists(folder.riffRecording(1))) {
        std::printf("loop bench: no content in %s (make content)\n", qPrintable(programFolder));
        return 1;
    }
    testing::TempFolder temp;
    const std::string raw = temp.path("loop.raw");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(raw));
    qputenv("SDL_DISKAUDIODELAY", "0"); // the samples are what is measured, not the time

    std::vector<double> periodMinusPoint, addedSilence, seamSteps, surroundingSteps;
    int louderSeams = 0;
    int failures = 0;
    const std::vector<Piece> pieces = pack(folder);
    for (const Piece& piece : pieces) {
        const SeamFigures f = measure(piece, raw);
        std::remove(raw.c_str());
        if (!f.failure.isEmpty()) {
            ++failures;
            std::printf("loop bench: %s: %s\n", qPrintable(piece.path), qPrintable(f.failure));
            continue;
        }
        periodMinusPoint.insert(periodMinusPoint.end(), f.periodMinusPoint.begin(), f.periodMinusPoint.end());
        addedSilence.insert(addedSilence.end(), f.addedSilence.begin(), f.addedSilence.end());
        seamSteps.push_back(f.seamStep);
        surroundingSteps.push_back(f.surroundingStep);
        if (f.seamStep > f.surroundingStep) {
            ++louderSeams;
            std::printf("loop bench: %s (%s): step %d at the seam, %d around it\n", qPrintable(piece.path), piece.kind,
                        f.seamStep, f.surroundingStep);
        }
    }
    bench::report("loop period minus loop point, " + std::to_string(pieces.size()) + " recordings x " +
                      std::to_string(kSeams) + " seams",
                  periodMinusPoint, "ms");
    bench::report("silence added at a seam", addedSilence, "ms");
    bench::report("largest sample step at a recording's seams", seamSteps, "");
    bench::report("largest sample step within 50 ms of them", surroundingSteps, "");
    std::printf("seams with a step larger than the music's own: %d of %zu recordings; failed: %d\n", louderSeams,
                pieces.size(), failures);
    return 0;
}
