// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/LoopPoint.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/DeviceStatus.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <cstdlib>
#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

// Loops a file through SDL's disk driver with the point armed as the poll tick arms it,
// right after the play, and returns what reached the "sound card".
std::vector<int16_t> loopThroughDisk(const std::string& path, const std::string& raw, int64_t pointMs, int seams)
{
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(raw));
    {
        PlaybackDevice device;
        MediaChannel channel(device);
        openDecoded(device, channel, path); // a file that does not decode shows as too few seams
        channel.sendMediaCommand("play myMP3 from 0");
        channel.expectRestartAt(pointMs);
        // One seam more than checked: the last buffers before a close may never reach the file.
        const bool spliced = waitUntil([&] { return device.diagnostics().loopSplices >= seams + 1; }, 20s);
        if (!spliced)
            qWarning("only %lld seams", (long long)device.diagnostics().loopSplices);
    } // closing the device flushes the file
    qunsetenv("SDL_AUDIODRIVER");
    qunsetenv("SDL_DISKAUDIOFILE");
    return readRawSamples(raw);
}

enum class Seam { Exact, Declicked };

// Checks that the output, from its first sound on, is file[0, loopFrames) back to back, sample
// for sample, for at least `seams` seams; returns a message on the first difference. A
// declicked seam may only fade the last frames before it, down to silence.
QString loopedOutputDiffers(const std::vector<int16_t>& output, const std::vector<int16_t>& file, int64_t loopFrames,
                            int seams, Seam kind = Seam::Exact)
{
    const int64_t fileStart = firstSoundFrame(file);
    if (firstSoundFrame(output) < fileStart)
        return QStringLiteral("sound before the recording's own start");
    const size_t start = size_t(firstSoundFrame(output) - fileStart) * 2;
    const int64_t frames = int64_t(output.size() - start) / 2;
    if (frames < loopFrames * (seams + 1))
        return QStringLiteral("only %1 frames after the start, %2 wanted").arg(frames).arg(loopFrames * (seams + 1));
    // The last period may be cut short where the device was closed, and ends in silence.
    for (int64_t f = 0; f < frames; ++f) {
        const int64_t pass = f / loopFrames;
        const int64_t at = f % loopFrames;
        for (int c = 0; c < 2; ++c) {
            const int16_t got = output[start + size_t(f * 2 + c)];
            const int16_t want = file[size_t(at * 2 + c)];
            if (kind == Seam::Declicked && at >= loopFrames - kLoopDeclickFrames) {
                const bool fading = std::abs(got) <= std::abs(want) && (got == 0 || (got < 0) == (want < 0));
                if (!fading || (at == loopFrames - 1 && std::abs(got) > std::abs(want) / 64 + 1))
                    return QStringLiteral("pass %1, frame %2: %3 does not fade %4").arg(pass).arg(at).arg(got).arg(want);
                continue;
            }
            if (got != want && (pass < seams || got != 0))
                return QStringLiteral("pass %1, frame %2: %3, the file has %4").arg(pass).arg(at).arg(got).arg(file[size_t(at * 2 + c)]);
        }
    }
    return {};
}

} // namespace

class LoopSpliceTest : public QObject {
    Q_OBJECT

    TempFolder folder;
    std::string sweepFile;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.valid());
        sweepFile = folder.path("sweep.wma");
        QVERIFY(writeWma(sweepFile, 0.35));
    }

    // A rhythm loops whole: its point is its length, and every frame of it comes round.
    void aWholeLoopRepeatsTheFileBackToBack()
    {
        const std::vector<int16_t> file = decodeToDeviceFormat(sweepFile);
        const int64_t frames = int64_t(file.size() / 2);
        QVERIFY(frames % 44100 * 1000 % 44100 != 0); // the length in ms is rounded down: the end must still play
        const std::vector<int16_t> output =
            loopThroughDisk(sweepFile, folder.path("whole.raw"), loopFramesToMs(frames), 5);
        const QString difference = loopedOutputDiffers(output, file, frames, 5);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // A riff comes round at length - lead: the file up to the splice frame, repeated; the sweep
    // still sounds there, so its last frames fade out rather than click.
    void aRiffLoopRepeatsTheFileUpToItsPoint()
    {
        const std::vector<int16_t> file = decodeToDeviceFormat(sweepFile);
        const int64_t lengthMs = loopFramesToMs(int64_t(file.size() / 2));
        const int64_t point = lengthMs - lengthMs / 9;
        const int64_t loopFrames = loopFrameFor(point, int64_t(file.size() / 2));
        QCOMPARE(loopFramesToMs(loopFrames), point);     // the tick would see the point reached here
        QVERIFY(loopFramesToMs(loopFrames - 1) < point); // and not a frame earlier
        const std::vector<int16_t> output = loopThroughDisk(sweepFile, folder.path("riff.raw"), point, 5);
        const QString difference = loopedOutputDiffers(output, file, loopFrames, 5, Seam::Declicked);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Whatever cleared or never armed a loop, the recording plays once and stays at its end.
    void playsOnceUnlessArmed_data()
    {
        QTest::addColumn<QString>("clearedBy");
        QTest::newRow("never armed") << "nothing";
        QTest::newRow("play from 0") << "play";
        QTest::newRow("close and open") << "reopen";
        QTest::newRow("a point at 0") << "zero";
    }

    void playsOnceUnlessArmed()
    {
        QFETCH(QString, clearedBy);
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        QVERIFY(openDecoded(device, channel, sweepFile));
        const int32_t fullLength = length(channel);
        if (clearedBy != "nothing")
            channel.expectRestartAt(fullLength);
        if (clearedBy == "reopen") {
            channel.closeMedia();
            QVERIFY(openDecoded(device, channel, sweepFile));
        }
        channel.sendMediaCommand("play myMP3 from 0");
        if (clearedBy == "zero")
            channel.expectRestartAt(0);
        QVERIFY(waitUntil([&] { return position(channel) == fullLength; }, 3s));
        std::this_thread::sleep_for(100ms);
        QCOMPARE(position(channel), fullLength);
        QCOMPARE(device.diagnostics().loopSplices, 0);
    }

    // Armed too late for this pass (a changed lead): the device plays on to the end and leaves
    // the restart to the tick, as a device without splicing would.
    void aPointAlreadyPassedFallsBackToTheRestart()
    {
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        QVERIFY(openDecoded(device, channel, sweepFile));
        const int32_t fullLength = length(channel);
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) >= 150; }, 3s));
        channel.expectRestartAt(100);
        QVERIFY(waitUntil([&] { return position(channel) == fullLength; }, 3s));
        QCOMPARE(device.diagnostics().loopSplices, 0);
        // The tick's restart, then the same point armed again in time, splices.
        channel.sendMediaCommand("play myMP3 from 0");
        channel.expectRestartAt(100);
        QVERIFY(waitUntil([&] { return device.diagnostics().loopSplices >= 2; }, 3s));
        QVERIFY(position(channel) < 100);
    }
};

QTEST_GUILESS_MAIN(LoopSpliceTest)
#include "LoopSpliceTest.moc"
