// SPDX-License-Identifier: GPL-3.0-or-later
// Usage: bench_tempo [program folder] | bench_tempo --passes CAPTURE.raw RECORDING LOOP_MS FIRST_TEMPO STEP
//        (a capture of a loop whose tempo rises by STEP each pass: where each pass begins and how it
//        plays; LOOP_MS 0 for riff 1's loop point)
// Riff 1, exercise 1 and Rock 1 at 50, 75 and 125 % through the real device into SDL's disk driver:
// what the stretching costs, how exact the loop's seams stay, how soon a change is heard; and, side
// by side with Rubber Band's own command-line tool (offline, the same library) and FFmpeg's atempo
// on the same file, how far pitch and note onsets are from the ideal and how sharp the attacks stay.
#include "bench/BenchStats.h"
#include "mainwindow/LoopLead.h"
#include "media/AudioOutput.h"
#include "media/ContentFolder.h"
#include "media/LoopPoint.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/DeviceStatus.h"
#include "tests/support/DiskDriver.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cmath>
#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

constexpr double kFramesPerMs = 44.1;
constexpr int kSeams = 3;
constexpr int kTempos[] = {50, 75, 125};
constexpr int kPitches = 3; // strongest partials compared

struct Piece {
    const char* name;
    QString path;
    bool riffLead; // the poll tick arms riff 1's lead; the others loop whole
};

struct Looped {
    std::vector<int16_t> output;
    int64_t playStart = 0;
    int64_t loopFrames = 0;
    double stretchShare = 0; // of one core, per second of audio handed out
};

Looped loopAt(const Piece& piece, int tempo, const std::string& raw)
{
    Looped l;
    {
        DiskDriver disk(raw, Pace::AsFastAsFilled);
        PlaybackDevice device;
        MediaChannel channel(device);
        channel.setTempo(tempo);
        waitUntil([&] { return device.diagnostics().stretcherReady; }, 10s);
        openDecoded(device, channel, piece.path.toStdString());
        const int64_t lengthMs = length(channel);
        const LoopLeadRule rule = loopLeadRule(1);
        const int64_t point = piece.riffLead && rule.kind == LoopLeadRule::Divide ? lengthMs - loopLeadFor(lengthMs, rule.divisor) : lengthMs;
        channel.sendMediaCommand("play myMP3 from 0");
        channel.expectRestartAt(point);
        waitUntil([&] { return device.diagnostics().loopSplices >= kSeams + 2; }, 120s);
        const PlaybackDevice::Diagnostics d = device.diagnostics();
        l.stretchShare = d.stretchedFrames > 0 ? double(d.stretchNs) * 1e-9 / (double(d.stretchedFrames) / 44100.0) : 0;
        l.loopFrames = point >= lengthMs ? int64_t(decodeToDeviceFormat(piece.path.toStdString()).size() / 2)
                                         : loopFrameFor(point, int64_t(decodeToDeviceFormat(piece.path.toStdString()).size() / 2));
    }
    l.output = readRawSamples(raw);
    // SDL writes silence of its own while its device waits paused: the play begins where the
    // riff's first sound, stretched, says.
    const std::vector<int16_t> file = decodeToDeviceFormat(piece.path.toStdString());
    l.playStart = firstSoundFrame(l.output) - int64_t(double(firstSoundFrame(file)) * 100.0 / tempo);
    return l;
}

// Largest distance (ms) of each seam from where loop point ÷ tempo puts it.
double seamError(const Looped& l, double speed)
{
    const std::vector<float> attacks = attackEnvelope(monoOf(l.output));
    const double period = double(l.loopFrames) / speed;
    const int64_t probe = l.playStart + int64_t(period * 0.05);
    const int64_t probeLength = int64_t(period * 0.9);
    double worst = 0;
    for (int k = 1; k <= kSeams; ++k) {
        const int64_t expected = probe + int64_t(std::llround(period * k));
        const int64_t found = bestMatch(attacks, probe, probeLength, expected, int64_t(20 * kFramesPerMs));
        worst = std::max(worst, std::abs(double(found - expected)) / kFramesPerMs);
    }
    return worst;
}

struct Quality {
    double pitchCents = 0;   // largest distance of the strongest partials from the file's
    double onsetMeanMs = 0;  // mean distance of the file's notes from their time ÷ tempo
    double onsetMaxMs = 0;
    double riseRatio = 0;    // median attack rise time against the file's
};

// `stretched` plays the file from frame `start` on at `speed`.
Quality compare(const std::vector<int16_t>& fileStereo, const std::vector<float>& stretched, int64_t start, double speed)
{
    Quality q;
    const std::vector<float> file = monoOf(fileStereo);
    const int64_t fileFrames = int64_t(file.size());
    const int64_t span = std::min<int64_t>(int64_t(double(fileFrames) / speed), int64_t(stretched.size()) - start);
    const std::vector<double> want = dominantFrequencies(file, 0, fileFrames, kPitches);
    const std::vector<double> got = dominantFrequencies(stretched, start, span, kPitches * 3);
    for (double w : want) {
        double nearest = 1e9;
        for (double g : got)
            nearest = std::min(nearest, std::abs(centsBetween(g, w)));
        q.pitchCents = std::max(q.pitchCents, nearest);
    }
    const std::vector<int64_t> notes = onsets(file);
    const std::vector<int64_t> heard = onsets(stretched, start, start + span);
    std::vector<double> rises;
    double total = 0;
    int counted = 0;
    for (int64_t note : notes) {
        const double expected = double(start) + double(note) / speed;
        if (expected >= double(start + span))
            break;
        double nearest = 1e9;
        int64_t at = 0;
        for (int64_t h : heard)
            if (std::abs(double(h) - expected) < nearest) {
                nearest = std::abs(double(h) - expected);
                at = h;
            }
        total += nearest / kFramesPerMs;
        ++counted;
        q.onsetMaxMs = std::max(q.onsetMaxMs, nearest / kFramesPerMs);
        const double own = riseFrames(file, note);
        if (own > 0)
            rises.push_back(riseFrames(stretched, at) / own);
    }
    q.onsetMeanMs = counted ? total / counted : 0;
    q.riseRatio = bench::median(rises);
    return q;
}

bool writeWav(const std::string& path, const std::vector<int16_t>& stereo)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const uint32_t bytes = uint32_t(stereo.size() * 2);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF");
    u32(36 + bytes);
    f.write("WAVEfmt ");
    u32(16), u16(1), u16(2), u32(44100), u32(44100 * 4), u16(4), u16(16);
    f.write("data");
    u32(bytes);
    f.write(reinterpret_cast<const char*>(stereo.data()), bytes);
    return true;
}

// Another tool's stretch of the file, decoded: empty when the tool is not there.
std::vector<float> offline(const QString& program, const QStringList& arguments, const std::string& out)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(120000) || tool.exitCode() != 0)
        return {};
    return monoOf(decodeToDeviceFormat(out));
}

// Where the file begins in a tool's output: near its first sound, where most of the file's notes
// fall on notes of the output at their time ÷ tempo.
int64_t offlineStart(const std::vector<int16_t>& file, const std::vector<float>& stretched, double speed)
{
    int64_t first = 0;
    while (first < int64_t(stretched.size()) && std::abs(stretched[size_t(first)]) < 1.0f / 4096)
        ++first;
    const int64_t guess = std::max<int64_t>(0, first - int64_t(double(std::max<int64_t>(firstSoundFrame(file), 0)) / speed));
    const std::vector<int64_t> notes = onsets(monoOf(file));
    const std::vector<int64_t> heard = onsets(stretched);
    int64_t best = guess;
    int bestMatched = -1;
    for (int64_t start = std::max<int64_t>(0, guess - int64_t(200 * kFramesPerMs)); start <= guess + int64_t(200 * kFramesPerMs);
         start += int64_t(kFramesPerMs)) {
        int matched = 0;
        for (int64_t note : notes) {
            const double expected = double(start) + double(note) / speed;
            matched += std::any_of(heard.begin(), heard.end(), [&](int64_t h) { return std::abs(double(h) - expected) < 15 * kFramesPerMs; });
        }
        if (matched > bestMatched)
            best = start, bestMatched = matched;
    }
    return best;
}

void printQuality(const std::string& prefix, const Quality& q)
{
    bench::report(prefix + " pitch error", {q.pitchCents}, "cents");
    bench::report(prefix + " onset error mean", {q.onsetMeanMs}, "ms");
    bench::report(prefix + " onset error max", {q.onsetMaxMs}, "ms");
    bench::report(prefix + " attack rise vs original", {q.riseRatio}, "x");
}

// Riff 1 at 100 %, then 75 % while it plays: how long until the output leaves the file's samples.
double changeLatencyMs(const std::string& path, const std::string& raw)
{
    const std::vector<int16_t> file = decodeToDeviceFormat(path);
    int64_t changeFrame = 0;
    {
        DiskDriver disk(raw);
        PlaybackDevice device;
        MediaChannel channel(device);
        channel.setTempo(80);
        waitUntil([&] { return device.diagnostics().stretcherReady; }, 10s);
        channel.setTempo(100);
        openDecoded(device, channel, path);
        channel.sendMediaCommand("play myMP3 from 0");
        waitUntil([&] { return device.diagnostics().firstFrameCallback > 0; }, 10s);
        std::this_thread::sleep_for(1200ms);
        const auto since = std::chrono::steady_clock::now() - device.diagnostics().firstFrameTime;
        channel.setTempo(75);
        changeFrame = std::chrono::duration_cast<std::chrono::microseconds>(since).count() * 441 / 10000;
        std::this_thread::sleep_for(800ms);
    }
    const std::vector<int16_t> out = readRawSamples(raw);
    const int64_t start = firstSoundFrame(out) - firstSoundFrame(file);
    for (int64_t f = 0; start >= 0 && start + f < int64_t(out.size() / 2) && f < int64_t(file.size() / 2); ++f)
        if (out[size_t((start + f) * 2)] != file[size_t(f * 2)])
            return double(f - changeFrame) / kFramesPerMs;
    return -1;
}

// Finds each pass of a loop whose tempo rises pass by pass in a capture (interleaved S16 stereo),
// by the file's note onsets: where it begins, how long it lasts, how many notes are where the
// pass's tempo puts them, and the longest silence at its start.
int passes(const char* capturePath, const char* recording, int64_t loopMs, int firstTempo, int step)
{
    const std::vector<int16_t> captureStereo = readRawSamples(capturePath);
    const std::vector<float> capture = monoOf(captureStereo);
    const std::vector<int16_t> fileStereo = decodeToDeviceFormat(recording);
    if (loopMs <= 0) { // where the poll tick arms riff 1
        const int64_t lengthMs = decodedMs(recording);
        const LoopLeadRule rule = loopLeadRule(1);
        loopMs = lengthMs - (rule.kind == LoopLeadRule::Divide ? loopLeadFor(lengthMs, rule.divisor) : 0);
    }
    const int64_t loopFrames = loopFrameFor(loopMs, int64_t(fileStereo.size() / 2));
    const std::vector<int64_t> notes = onsets(monoOf(fileStereo), 0, loopFrames);
    const std::vector<int64_t> heard = onsets(capture);
    constexpr double kMatchMs = 15;
    auto fit = [&](double start, double speed, double* error) {
        int matched = 0;
        double total = 0;
        for (int64_t note : notes) {
            const double expected = start + double(note) / speed;
            double nearest = 1e9;
            for (int64_t h : heard)
                nearest = std::min(nearest, std::abs(double(h) - expected));
            if (nearest <= kMatchMs * kFramesPerMs) {
                ++matched;
                total += nearest / kFramesPerMs;
            }
        }
        *error = matched ? total / matched : 0;
        return matched;
    };
    const int64_t first = firstSoundFrame(captureStereo);
    double start = double(first) - double(firstSoundFrame(fileStereo)) * 100.0 / firstTempo;
    int tempo = firstTempo;
    for (int pass = 0; start + double(loopFrames) * 100.0 / tempo < double(capture.size()); ++pass) {
        const double speed = tempo / 100.0;
        double best = start, bestError = 0;
        int bestMatched = -1;
        for (double s = start - 300 * kFramesPerMs; s <= start + 300 * kFramesPerMs; s += kFramesPerMs / 2) {
            double error = 0;
            const int matched = fit(s, speed, &error);
            if (matched > bestMatched || (matched == bestMatched && error < bestError)) {
                best = s, bestMatched = matched, bestError = error;
            }
        }
        const double length = double(loopFrames) / speed;
        const int64_t at = int64_t(best);
        const int64_t silence = longestSilence(captureStereo, at - 2205, at + 2205);
        const int seamStep = largestStep(captureStereo, at - 88, at + 88);
        const int ownStep = largestStep(captureStereo, at - 2205, at + 2205);
        std::printf("pass %d at %d %%: starts %.3f s, %d of %zu notes within %.0f ms (mean %.1f ms), %.1f ms silence "
                    "at its start, largest step %d there (%d within 50 ms), lasts %.3f s\n",
                    pass + 1, tempo, best / 44100.0, bestMatched, notes.size(), kMatchMs, bestError,
                    silence / kFramesPerMs, seamStep, ownStep, length / 44100.0);
        start = best + length;
        tempo = std::min(100, tempo + step);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 7 && std::string(argv[1]) == "--passes")
        return passes(argv[2], argv[3], std::atoll(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    const QString programFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();
    const ContentFolder folder(programFolder);
    const Piece pieces[] = {{"riff 1", folder.riffRecording(1), true},
                            {"exercise 1", folder.exerciseRecording(1, ExerciseTempo::Normal), false},
                            {"rock 1", folder.rhythmRecording(0), false}};
    if (!QFileInfo::exists(pieces[0].path)) {
        std::printf("tempo bench: no content in %s (make content)\n", qPrintable(programFolder));
        return 1;
    }
    TempFolder temp;
    for (const Piece& piece : pieces) {
        const std::vector<int16_t> file = decodeToDeviceFormat(piece.path.toStdString());
        const std::string wav = temp.path("in.wav");
        writeWav(wav, file);
        for (int tempo : kTempos) {
            const double speed = tempo / 100.0;
            const std::string label = std::string(piece.name) + " at " + std::to_string(tempo) + " %";
            const Looped l = loopAt(piece, tempo, temp.path("loop.raw"));
            bench::report(label + " stretching CPU", {l.stretchShare * 100}, "% of one core");
            bench::report(label + " seam error", {seamError(l, speed)}, "ms");
            printQuality(label + " device", compare(file, monoOf(l.output), l.playStart, speed));
            const std::string rb = temp.path("rb.wav");
            const std::vector<float> rubberband =
                offline(QStringLiteral("rubberband"), {QStringLiteral("-q"), QStringLiteral("-3"), QStringLiteral("--tempo"), QString::number(speed),
                                                       QString::fromStdString(wav), QString::fromStdString(rb)},
                        rb);
            if (!rubberband.empty())
                printQuality(label + " rubberband tool", compare(file, rubberband, offlineStart(file, rubberband, speed), speed));
            const std::string at = temp.path("atempo.wav");
            const std::vector<float> atempo =
                offline(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                                                   QStringLiteral("-i"), QString::fromStdString(wav), QStringLiteral("-af"),
                                                   QStringLiteral("atempo=%1").arg(speed), QString::fromStdString(at)},
                        at);
            if (!atempo.empty())
                printQuality(label + " ffmpeg atempo", compare(file, atempo, offlineStart(file, atempo, speed), speed));
        }
    }
    std::vector<double> latencies;
    for (int run = 0; run < 3; ++run)
        latencies.push_back(changeLatencyMs(pieces[0].path.toStdString(), temp.path("change.raw")));
    bench::report("riff 1 tempo change 100 to 75 % heard after", latencies, "ms");
    return 0;
}
