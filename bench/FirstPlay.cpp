// SPDX-License-Identifier: GPL-3.0-or-later
// bench_first_play [DELAY_MS] [--hold]
//
// The program as it starts (its windows over the real device), with PLAY of riff 1 given 300 ms
// after start (or after the ms given). Prints how long the click holds the GUI thread (open and
// play), how long until the first samples reach the output, and what the poll tick's two status
// calls cost while riff 1 plays. With --hold it then loops riff 1 until it is ended, so that its
// memory can be read from outside. Run once per process by bench_startup: only the first PLAY
// after start is measured.
#include "app/Program.h"
#include "bench/BenchStats.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double msBetween(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double, std::milli>(to - from).count(); }

// The poll tick asks for position and length every tick: their cost, one tick at a time.
double pollTickMicroseconds(zupfomat::MediaChannel& media)
{
    std::vector<double> ticks;
    for (int tick = 0; tick < 500; ++tick) {
        const auto start = Clock::now();
        media.sendMediaCommand("status myMP3 position");
        media.sendMediaCommand("status myMP3 length");
        ticks.push_back(msBetween(start, Clock::now()) * 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return zupfomat::bench::median(ticks);
}

} // namespace

int main(int argc, char* argv[])
{
    const auto started = Clock::now();
    const int delayMs = argc > 1 && argv[1][0] != '-' ? std::atoi(argv[1]) : 300;
    const bool hold = argc > 1 && std::strcmp(argv[argc - 1], "--hold") == 0;
    zupfomat::PlaybackDevice device;
    QApplication application(argc, argv);
    zupfomat::MediaChannel media(device);
    zupfomat::SystemDesktop desktop;
    const zupfomat::ContentFolder content = zupfomat::ContentFolder::besideProgram();
    zupfomat::Program program(media, content, desktop);
    program.showMainWindow();
    const auto at = started + std::chrono::milliseconds(delayMs);
    const int wait = int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count()));
    QTimer::singleShot(wait, [&] {
        const auto click = Clock::now();
        media.openMediaFile(content.riffRecording(1).toStdString());
        media.sendMediaCommand("play myMP3 from 0");
        const auto handled = Clock::now();
        Clock::time_point first{};
        while (first < click && Clock::now() - click < std::chrono::seconds(2)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (device.diagnostics().firstFrameCallback >= 0)
                first = device.diagnostics().firstFrameTime;
        }
        std::printf("click: %.3f ms\n", msBetween(click, handled));
        std::printf("first play: %.3f ms\n", first < click ? -1.0 : msBetween(click, first));
        std::printf("poll tick: %.3f us\n", pollTickMicroseconds(media));
        std::fflush(stdout);
        if (!hold) {
            application.quit();
            return;
        }
        media.expectRestartAt(media.sendMediaCommand("status myMP3 length")); // the whole riff, round and round
        std::printf("looping\n");
        std::fflush(stdout);
    });
    return application.exec();
}
