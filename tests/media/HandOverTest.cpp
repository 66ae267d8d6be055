// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/DeviceStatus.h"
#include "tests/support/DiskDriver.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

std::vector<int16_t> withoutLeadingSilence(std::vector<int16_t> samples)
{
    size_t first = 0;
    while (first + 1 < samples.size() && samples[first] == 0 && samples[first + 1] == 0)
        first += 2;
    samples.erase(samples.begin(), samples.begin() + long(first));
    return samples;
}

bool isNumberOrEmpty(const std::string& answer)
{
    return std::all_of(answer.begin(), answer.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

// What callers ask of the device reaches the audio callback without either waiting on the other.
class HandOverTest : public QObject {
    Q_OBJECT

    TempFolder folder;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.valid());
        QVERIFY(writeWma(folder.path("riff.wma"), 3.0));
        QVERIFY(writeWma(folder.path("short.wma"), 0.4));
    }

    // Callers, the disposer and the output's watcher all stall for 200 ms, three times over, while
    // a recording plays: the callback goes on as if nothing happened.
    void soundGoesOnWhileEveryLockIsHeld()
    {
        const std::string path = folder.path("riff.wma");
        const std::string raw = folder.path("held.raw");
        PlaybackDevice::Diagnostics seen;
        {
            DiskDriver disk(raw);
            PlaybackDevice device;
            MediaChannel channel(device);
            QVERIFY(openDecoded(device, channel, path));
            QCOMPARE(QString::fromStdString(device.diagnostics().outputName), QStringLiteral("sdl:disk"));
            channel.sendMediaCommand("play myMP3 from 0");
            QVERIFY(waitUntil([&] { return position(channel) > 300; }, 3s));
            for (int stall = 0; stall < 3; ++stall) {
                device.holdLocksFor(200ms);
                std::this_thread::sleep_for(100ms);
            }
            QVERIFY(waitUntil([&] { return position(channel) == length(channel); }, 5s));
            std::this_thread::sleep_for(100ms);
            seen = device.diagnostics();
        }
        const std::vector<int16_t> expected = withoutLeadingSilence(decodeToDeviceFormat(path));
        const std::vector<int16_t> output = withoutLeadingSilence(readRawSamples(raw));
        QVERIFY(output.size() >= expected.size());
        QVERIFY2(std::equal(expected.begin(), expected.end(), output.begin()), "the output is not the recording");
        QCOMPARE(seen.missedPeriods, int64_t(0));
        // A callback that waited on any of the locks would have taken 200 ms.
        QVERIFY2(seen.longestFillNs < 100'000'000, qPrintable(QStringLiteral("a fill took %1 ns").arg(seen.longestFillNs)));
    }

    // Four callers open, close, play, arm loop points and restart at random for ten seconds while
    // the disk driver pulls: every answer is a number or nothing, and the device is sound after.
    void callersFromSeveralThreadsAtOnce()
    {
        DiskDriver disk("/dev/null");
        PlaybackDevice device;
        const std::string paths[] = {folder.path("riff.wma"), folder.path("short.wma"), folder.path("missing.wma")};
        std::atomic<bool> stop{false};
        std::atomic<int> oddAnswers{0};
        std::vector<std::thread> callers;
        for (int caller = 0; caller < 4; ++caller) {
            callers.emplace_back([&, caller] {
                std::mt19937 random(unsigned(caller) + 1);
                while (!stop.load()) {
                    switch (random() % 6) {
                    case 0:
                        device.send("open " + paths[random() % 3] + " type MPEGVideo alias myMP3");
                        break;
                    case 1:
                        device.send("close myMP3");
                        break;
                    case 2:
                        device.send("play myMP3 from 0");
                        break;
                    case 3:
                        device.setLoopPoint(int64_t(random() % 3500) - 100);
                        break;
                    default:
                        if (!isNumberOrEmpty(device.send("status myMP3 position")) ||
                            !isNumberOrEmpty(device.send("status myMP3 length")))
                            ++oddAnswers;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
                }
            });
        }
        std::this_thread::sleep_for(10s);
        stop = true;
        for (auto& caller : callers)
            caller.join();
        QCOMPARE(oddAnswers.load(), 0);

        MediaChannel channel(device);
        channel.closeMedia();
        QVERIFY(openDecoded(device, channel, folder.path("riff.wma")));
        QCOMPARE(int64_t(length(channel)), decodedMs(folder.path("riff.wma")));
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) > 200; }, 3s));
        QCOMPARE(device.diagnostics().missedPeriods, int64_t(0));
    }
};

QTEST_GUILESS_MAIN(HandOverTest)
#include "HandOverTest.moc"
