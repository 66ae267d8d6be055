// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/LoopLead.h"
#include "media/LoopPoint.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/DeviceStatus.h"
#include "tests/support/DiskDriver.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

constexpr double kFramesPerMs = 44.1;
constexpr int kSeams = 4;
constexpr int kPitches = 3; // the file's strongest partials that must sound at their pitch
constexpr double kSeamToleranceMs = 1.0;
// Measured on riff 1: its strongest partials stay within 4 cents, its low E within 5.5 at 125 %.
constexpr double kPitchToleranceCents = 6.0;
// How far a stretched note may begin from its time ÷ tempo. Most land within 5 ms; the stretcher's
// window lets the first chord out of silence swell up to 12.4 ms early at 75 %.
constexpr double kNoteToleranceMs = 13.0;

const std::string kRiff1 = ZUPFOMAT_DATA_DIR "/wma/riff1.wma";

// Where the window arms riff 1's loop: its length less the lead its rule gives.
int64_t riff1LoopPoint(int64_t lengthMs)
{
    const LoopLeadRule rule = loopLeadRule(1);
    return lengthMs - (rule.kind == LoopLeadRule::Divide ? loopLeadFor(lengthMs, rule.divisor) : 0);
}

void waitForStretcher(PlaybackDevice& device)
{
    QVERIFY(waitUntil([&] { return device.diagnostics().stretcherReady; }, 10s));
}

struct Capture {
    std::vector<int16_t> output;
    std::vector<int16_t> file;
    int64_t loopFrames = 0;
    int64_t playStart = -1; // output frame the play began at
};

// Riff 1 looped at `tempo` as the window loops it, until kSeams + 1 seams have passed. Empty when
// the capture does not hold every frame the device handed out.
Capture captureLoop(int tempo, const std::string& raw)
{
    Capture c;
    c.file = decodeToDeviceFormat(kRiff1);
    int64_t handedOut = 0;
    {
        DiskDriver disk(raw, Pace::AsFastAsFilled);
        PlaybackDevice device;
        MediaChannel channel(device);
        channel.setTempo(tempo);
        device.prepare();
        // Until the disk driver is open, the clock would play what it never writes.
        if (!waitUntil([&] { return device.diagnostics().stretcherReady && device.diagnostics().outputName == "sdl:disk"; }, 10s) ||
            !openDecoded(device, channel, kRiff1))
            return {};
        const int64_t point = riff1LoopPoint(length(channel));
        c.loopFrames = loopFrameFor(point, int64_t(c.file.size() / 2));
        channel.sendMediaCommand("play myMP3 from 0");
        channel.expectRestartAt(point);
        // The input splices ahead of what is heard by the stretcher's window: one more pass.
        waitUntil([&] { return device.diagnostics().loopSplices >= kSeams + 2; }, 60s);
        const PlaybackDevice::Diagnostics d = device.diagnostics();
        handedOut = d.missedPeriods == 0 ? d.callbacks * AudioOutput::kPeriodFrames : -1;
    }
    c.output = readRawSamples(raw);
    // The last periods before the close may not reach the file; anything more went elsewhere. (SDL
    // adds silence of its own while the device is paused before the first open, never less.)
    const int64_t captured = int64_t(c.output.size() / 2);
    if (handedOut < 0 || captured < handedOut - 4 * AudioOutput::kPeriodFrames)
        return {};
    // The stretched riff sounds from its first frame on, as the file does from its first sound.
    c.playStart = firstSoundFrame(c.output) - int64_t(double(firstSoundFrame(c.file)) * kTempoNormal / tempo);
    return c;
}

// On a busy machine the clock may stand in for the disk driver for a moment; such a capture has
// a hole in it and is taken again.
Capture loopRiff1(int tempo, const std::string& raw)
{
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        Capture c = captureLoop(tempo, raw);
        if (!c.output.empty())
            return c;
        qWarning("capture %d at %d %% was incomplete", attempt + 1, tempo);
    }
    return {};
}

} // namespace

class TempoTest : public QObject {
    Q_OBJECT

    TempFolder folder;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.valid());
        QVERIFY2(QFileInfo::exists(QString::fromStdString(kRiff1)), "the content pack is built first");
    }

    // A slowed or hurried loop comes round every loop point ÷ tempo, without silence at the seam,
    // at the recording's pitch, with every note where the tempo puts it.
    void aStretchedLoopKeepsItsPeriodPitchAndNotes_data()
    {
        QTest::addColumn<int>("tempo");
        QTest::newRow("75 %") << 75;
        QTest::newRow("125 %") << 125;
    }
    void aStretchedLoopKeepsItsPeriodPitchAndNotes()
    {
        QFETCH(int, tempo);
        const double speed = tempo / 100.0;
        const Capture c = loopRiff1(tempo, folder.path("loop.raw"));
        QVERIFY(c.loopFrames > 0);
        const std::vector<float> out = monoOf(c.output);
        const std::vector<float> file = monoOf(c.file);
        const std::vector<float> attacks = attackEnvelope(out);
        const int64_t fileStart = firstSoundFrame(c.file);
        const int64_t outStart = firstSoundFrame(c.output);
        QVERIFY(outStart >= 0);
        // Where the play began in the output: the file's own silence before its first sound, stretched.
        const double playStart = double(c.playStart);
        const double period = double(c.loopFrames) / speed;
        QVERIFY2(double(out.size()) > playStart + period * (kSeams + 1),
                 qPrintable(QStringLiteral("only %1 s captured").arg(out.size() / 44100.0)));

        // Each pass matches the first one period on: the seam comes exactly on time.
        const int64_t probe = int64_t(playStart + period * 0.05);
        const int64_t probeLength = int64_t(period * 0.9);
        for (int k = 1; k <= kSeams; ++k) {
            const int64_t expected = probe + int64_t(std::llround(period * k));
            double score = 0;
            const int64_t found = bestMatch(attacks, probe, probeLength, expected, int64_t(20 * kFramesPerMs), &score);
            QVERIFY2(score > 0.5, qPrintable(QStringLiteral("pass %1 does not recur (correlation %2)").arg(k).arg(score)));
            const double errorMs = double(found - expected) / kFramesPerMs;
            QVERIFY2(std::abs(errorMs) <= kSeamToleranceMs, qPrintable(QStringLiteral("seam %1 off by %2 ms").arg(k).arg(errorMs)));
            // No silence at the seam beyond what the riff has there of its own.
            const int64_t seam = int64_t(playStart + period * k);
            const int64_t own = longestSilence(c.file, c.loopFrames - 2205, c.loopFrames) +
                                longestSilence(c.file, 0, std::min<int64_t>(2205, c.loopFrames));
            const int64_t heard = longestSilence(c.output, seam - int64_t(2205 / speed), seam + int64_t(2205 / speed));
            QVERIFY2(double(heard) <= double(own) / speed + kFramesPerMs,
                     qPrintable(QStringLiteral("seam %1 has %2 ms of silence").arg(k).arg(heard / kFramesPerMs)));
        }

        // The pitches the riff sounds are the ones it sounds at its own tempo: each of the file's
        // strongest partials is among the capture's, within 5 cents.
        const std::vector<double> want = dominantFrequencies(file, fileStart, c.loopFrames - fileStart, kPitches);
        const std::vector<double> got = dominantFrequencies(out, int64_t(playStart), int64_t(period * kSeams), kPitches * 3);
        QCOMPARE(int(want.size()), kPitches);
        for (double partial : want) {
            double nearest = 1e9;
            for (double heard : got)
                nearest = std::min(nearest, std::abs(centsBetween(heard, partial)));
            QVERIFY2(nearest <= kPitchToleranceCents, qPrintable(QStringLiteral("%1 Hz in the file is %2 cents away").arg(partial).arg(nearest)));
        }

        // Every note of the file begins in the first pass at its time ÷ tempo.
        const std::vector<int64_t> fileNotes = onsets(file, 0, c.loopFrames);
        const std::vector<int64_t> heardNotes = onsets(out, int64_t(playStart), int64_t(playStart + period));
        QVERIFY(fileNotes.size() >= 4);
        for (int64_t note : fileNotes) {
            const double expected = playStart + double(note) / speed;
            const auto nearest = std::min_element(heardNotes.begin(), heardNotes.end(), [&](int64_t a, int64_t b) {
                return std::abs(double(a) - expected) < std::abs(double(b) - expected);
            });
            const double errorMs = nearest == heardNotes.end() ? 1e9 : (double(*nearest) - expected) / kFramesPerMs;
            QVERIFY2(std::abs(errorMs) <= kNoteToleranceMs, qPrintable(QStringLiteral("the note at %1 ms is %2 ms off")
                                                               .arg(double(note) / kFramesPerMs)
                                                               .arg(errorMs)));
        }
    }

    // Status answers in the recording's own milliseconds: what has been heard of it, and its
    // whole length, whatever the tempo; at the end position is length.
    void positionAndLengthStayTheRecordings_data()
    {
        QTest::addColumn<int>("tempo");
        QTest::newRow("50 %") << 50;
        QTest::newRow("100 %") << 100;
        QTest::newRow("150 %") << 150;
    }
    void positionAndLengthStayTheRecordings()
    {
        QFETCH(int, tempo);
        const std::string path = folder.path("two-seconds.wma");
        QVERIFY(writeWma(path, 2.0));
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.setTempo(tempo);
        if (tempo != 100)
            waitForStretcher(device);
        QVERIFY(openDecoded(device, channel, path));
        const int32_t lengthMs = length(channel);
        QCOMPARE(int64_t(lengthMs), decodedMs(path));
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) > 400; }, 10s));
        // The frames handed out so far, at the tempo, are what has been heard of the recording.
        const PlaybackDevice::Diagnostics d = device.diagnostics();
        const int32_t heard = position(channel);
        if (tempo != 100) {
            const double handedOutMs = double(d.stretchedFrames) / kFramesPerMs * tempo / 100.0;
            QVERIFY2(std::abs(heard - handedOutMs) <= 60,
                     qPrintable(QStringLiteral("position %1 ms, %2 ms handed out").arg(heard).arg(handedOutMs)));
        }
        QCOMPARE(length(channel), lengthMs);
        QVERIFY(waitUntil([&] { return position(channel) == lengthMs; }, 20s));
        QCOMPARE(length(channel), lengthMs);
    }

    // At 100 the decoded samples go out untouched, even after another tempo was chosen and left;
    // a play restarts at once at any tempo.
    void atNormalTempoTheFileIsHeardBitForBit()
    {
        const std::string path = folder.path("sweep.wma");
        QVERIFY(writeWma(path, 1.0));
        const std::string raw = folder.path("normal.raw");
        {
            DiskDriver disk(raw);
            PlaybackDevice device;
            MediaChannel channel(device);
            channel.setTempo(60);
            waitForStretcher(device);
            QVERIFY(openDecoded(device, channel, path));
            channel.sendMediaCommand("play myMP3 from 0");
            QVERIFY(waitUntil([&] { return position(channel) > 300; }, 10s));
            channel.setTempo(100);
            channel.sendMediaCommand("play myMP3 from 0");
            QVERIFY(waitUntil([&] { return position(channel) == length(channel); }, 10s));
        }
        const std::vector<int16_t> file = decodeToDeviceFormat(path);
        const std::vector<int16_t> output = readRawSamples(raw);
        // The last play is the file whole, back to back with nothing changed.
        const int64_t fileFrames = int64_t(file.size() / 2);
        bool found = false;
        for (int64_t at = int64_t(output.size() / 2) - fileFrames; at >= 0 && !found; --at)
            found = std::equal(file.begin(), file.end(), output.begin() + at * 2);
        QVERIFY2(found, "the play at 100 % is not the file sample for sample");
    }

    // Slowing a loop while it plays is heard at once, without a click: the output leaves the
    // file's own samples within 150 ms of the change, with no step larger than the music's own.
    void aChangeWhilePlayingIsHeardAtOnceWithoutAClick()
    {
        const std::string raw = folder.path("change.raw");
        std::vector<int16_t> file = decodeToDeviceFormat(kRiff1);
        int64_t changeFrame = 0; // output frame at which the change was asked for
        {
            DiskDriver disk(raw);
            PlaybackDevice device;
            MediaChannel channel(device);
            channel.setTempo(80);
            waitForStretcher(device);
            channel.setTempo(100);
            QVERIFY(openDecoded(device, channel, kRiff1));
            channel.sendMediaCommand("play myMP3 from 0");
            QVERIFY(waitUntil([&] { return device.diagnostics().firstFrameCallback > 0; }, 10s));
            std::this_thread::sleep_for(1500ms);
            const PlaybackDevice::Diagnostics before = device.diagnostics();
            const auto sinceFirst = std::chrono::steady_clock::now() - before.firstFrameTime;
            channel.setTempo(75);
            changeFrame = std::chrono::duration_cast<std::chrono::microseconds>(sinceFirst).count() * 441 / 10000;
            std::this_thread::sleep_for(1500ms);
        }
        const std::vector<int16_t> output = readRawSamples(raw);
        const int64_t start = firstSoundFrame(output) - firstSoundFrame(file);
        QVERIFY(start >= 0);
        int64_t left = -1; // first frame that is not the file's
        for (int64_t f = 0; start + f < int64_t(output.size() / 2) && f < int64_t(file.size() / 2); ++f)
            if (output[size_t((start + f) * 2)] != file[size_t(f * 2)] || output[size_t((start + f) * 2 + 1)] != file[size_t(f * 2 + 1)]) {
                left = f;
                break;
            }
        QVERIFY(left > 0);
        const double latencyMs = double(left - changeFrame) / kFramesPerMs;
        QVERIFY2(latencyMs <= 150, qPrintable(QStringLiteral("heard %1 ms after the change").arg(latencyMs)));
        const int64_t around = int64_t(2 * kFramesPerMs);
        const int step = largestStep(output, start + left - around, start + left + around);
        const int own = largestStep(file, left - int64_t(50 * kFramesPerMs), left + int64_t(50 * kFramesPerMs));
        QVERIFY2(step <= own, qPrintable(QStringLiteral("a step of %1 at the change, the music's own up to %2").arg(step).arg(own)));
    }
};

QTEST_GUILESS_MAIN(TempoTest)
#include "TempoTest.moc"
