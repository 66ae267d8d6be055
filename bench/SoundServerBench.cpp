// SPDX-License-Identifier: GPL-3.0-or-later
// The real device through a private PulseAudio server: how soon "play" is heard at the sink,
// and how the device fares when the server goes away and comes back.
#include "bench/BenchStats.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QCoreApplication>

#include <thread>

using namespace zupfomat;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

// The recorder writes the sink's monitor as it comes, so the frames written when "play" is sent
// mark that moment in the capture; the first sound after it is where the sink got the recording.
// The recorder's own 10 ms fragments make the figure short by up to that much.
void benchPlayToSink(testing::PulseServer& server, const std::string& path)
{
    PlaybackDevice device;
    MediaChannel channel(device);
    channel.openMediaFile(path);
    testing::waitUntil([&] { return device.diagnostics().decoded; }, 5s);
    std::vector<double> atSink, handedOut;
    for (int run = 0; run < 21; ++run) {
        channel.sendMediaCommand("play myMP3 from 0");
        channel.closeMedia(); // silence: the stream stays, as between STOP and PLAY
        channel.openMediaFile(path);
        std::this_thread::sleep_for(150ms);
        server.startCapture();
        const int64_t mark = int64_t(server.capturedSoFar().size() / 2);
        const auto start = Clock::now();
        channel.sendMediaCommand("play myMP3 from 0");
        int64_t onset = -1;
        testing::waitUntil([&] { return (onset = testing::firstSoundFrame(server.capturedSoFar(), mark)) >= 0; }, 2s);
        if (onset < 0)
            continue;
        atSink.push_back(double(onset - mark) * 1000.0 / 44100.0);
        handedOut.push_back(std::chrono::duration<double, std::milli>(device.diagnostics().firstFrameTime - start).count());
    }
    bench::report("play to first samples handed to the sound server's stream (" + device.diagnostics().outputName + ")",
                  handedOut, "ms");
    bench::report("play to first samples at the server's sink, " + std::to_string(AudioOutput::kPeriodFrames) +
                      "-frame period",
                  atSink, "ms");
}

void benchServerGoingAway(testing::PulseServer& server, const std::string& path)
{
    PlaybackDevice device;
    MediaChannel channel(device);
    channel.openMediaFile(path);
    testing::waitUntil([&] { return device.diagnostics().decoded; }, 5s);
    channel.sendMediaCommand("play myMP3 from 0");
    channel.expectRestartAt(channel.sendMediaCommand("status myMP3 length"));
    std::vector<double> toClock, serverStart, toSound;
    for (int run = 0; run < 7; ++run) {
        std::this_thread::sleep_for(300ms);
        const auto killed = Clock::now();
        server.kill();
        testing::waitUntil([&] { return device.diagnostics().outputName == "null"; }, 3s);
        toClock.push_back(msSince(killed));
        std::this_thread::sleep_for(500ms);
        const auto started = Clock::now();
        if (!server.start())
            break;
        serverStart.push_back(msSince(started));
        server.startCapture();
        const bool heard = testing::waitUntil([&] { return testing::firstSoundFrame(server.capturedSoFar()) >= 0; }, 4s);
        if (heard)
            toSound.push_back(msSince(started));
    }
    bench::report("server killed to the clock carrying playback on", toClock, "ms");
    bench::report("server started to answering, with its recorder (not ours)", serverStart, "ms");
    bench::report("server started to the recording heard again", toSound, "ms");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (!testing::PulseServer::available()) {
        std::printf("sound server bench: pulseaudio, parec and pactl are needed (make deps)\n");
        return 1;
    }
    testing::TempFolder folder;
    const std::string path = folder.path("sweep.wma");
    testing::writeWma(path, 4.0);
    testing::PulseServer server;
    if (!server.start()) {
        std::printf("sound server bench: the server does not start\n");
        return 1;
    }
    server.useForThisProcess();
    benchPlayToSink(server, path);
    benchServerGoingAway(server, path);
    return 0;
}
