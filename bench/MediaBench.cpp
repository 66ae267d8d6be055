// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchStats.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QCoreApplication>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

using namespace zupfomat;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

std::string openCommand(const std::string& path) { return "open " + path + " type MPEGVideo alias myMP3"; }

void benchOpen(const std::string& name, const std::string& path)
{
    PlaybackDevice device(OutputChoice::NullOnly);
    device.send(openCommand(path)); // the output opens on first use: not part of the figure
    device.send("close myMP3");
    std::vector<double> times;
    for (int run = 0; run < 31; ++run) {
        const auto start = Clock::now();
        device.send(openCommand(path));
        times.push_back(msSince(start));
        device.send("close myMP3");
    }
    bench::report("open " + name, times, "ms");
}

void benchCloseWhilePlaying(const std::string& path)
{
    PlaybackDevice device(OutputChoice::NullOnly);
    std::vector<double> times;
    for (int run = 0; run < 11; ++run) {
        device.send(openCommand(path));
        device.send("play myMP3 from 0");
        std::this_thread::sleep_for(300ms);
        const auto start = Clock::now();
        device.send("close myMP3");
        times.push_back(msSince(start));
    }
    bench::report("close of a playing 10-minute WMA", times, "ms");
}

void benchFirstSamples(const std::string& name, OutputChoice choice, const std::string& path)
{
    PlaybackDevice device(choice);
    std::vector<double> times;
    device.send(openCommand(path));
    for (int run = 0; run < 21; ++run) {
        device.send("close myMP3");
        device.send(openCommand(path));
        const auto start = Clock::now();
        device.send("play myMP3 from 0");
        while (device.diagnostics().firstFrameCallback < 0 && msSince(start) < 1000)
            std::this_thread::sleep_for(100us);
        times.push_back(std::chrono::duration<double, std::milli>(device.diagnostics().firstFrameTime - start).count());
        std::this_thread::sleep_for(50ms);
    }
    bench::report("open, play to first samples handed to the output (" + name + ", " +
                      device.diagnostics().outputName + ")",
                  times, "ms");
}

void benchRestart(const std::string& path)
{
    PlaybackDevice device(OutputChoice::NullOnly);
    device.send(openCommand(path));
    device.send("play myMP3 from 0");
    std::this_thread::sleep_for(200ms);
    std::vector<double> times;
    std::vector<double> callbacksLater;
    for (int run = 0; run < 31; ++run) {
        const auto start = Clock::now();
        device.send("play myMP3 from 0");
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / 1000.0);
        while (device.diagnostics().firstFrameCallback < 0)
            std::this_thread::sleep_for(100us);
        const auto d = device.diagnostics();
        callbacksLater.push_back(double(d.firstFrameCallback - d.playCallback));
        std::this_thread::sleep_for(30ms);
    }
    bench::report("restart of a playing recording (play myMP3 from 0)", times, "ms");
    bench::report("callbacks from restart to the first restarted sample", callbacksLater, "callbacks");
}

void benchStatus(const std::string& path)
{
    PlaybackDevice device(OutputChoice::NullOnly);
    MediaChannel channel(device);
    channel.openMediaFile(path);
    channel.sendMediaCommand("play myMP3 from 0");
    std::vector<double> times;
    constexpr int kCalls = 20000;
    for (int batch = 0; batch < 25; ++batch) {
        const auto start = Clock::now();
        int64_t sum = 0;
        for (int i = 0; i < kCalls; ++i)
            sum += channel.sendMediaCommand("status myMP3 position");
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kCalls);
        if (sum < 0)
            std::printf("impossible\n");
    }
    bench::report("status myMP3 position through the channel", times, "µs");
}

void benchBadFiles(const testing::TempFolder& folder)
{
    std::ofstream(folder.path("text.wma")) << "Dies ist kein Audio.\n";
    std::ofstream(folder.path("empty.wma"));
    std::ofstream(folder.path("big-text.wma")) << std::string(8 * 1024 * 1024, 'x');
    for (const char* name : {"missing.wma", "text.wma", "empty.wma", "big-text.wma"}) {
        PlaybackDevice device(OutputChoice::NullOnly);
        device.send(openCommand(folder.path("missing.wma")));
        std::vector<double> times;
        for (int run = 0; run < 11; ++run) {
            const auto start = Clock::now();
            device.send(openCommand(folder.path(name)));
            times.push_back(msSince(start));
        }
        bench::report(std::string("failing open of ") + name, times, "ms");
    }
}

long maxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs in a fresh process, so that nothing the benchmark made before counts.
int measureMemory(const std::string& path)
{
    const long idle = maxRssKiB();
    PlaybackDevice device(OutputChoice::NullOnly);
    device.send(openCommand(path));
    device.send("play myMP3 from 0");
    const long opened = maxRssKiB();
    for (int wait = 0; wait < 600 && !device.send("status myMP3 length").empty() && !device.diagnostics().decoded; ++wait)
        std::this_thread::sleep_for(50ms); // a file that fails to open answers nothing
    const int64_t lastLength = std::stoll("0" + device.send("status myMP3 length"));
    const long peak = maxRssKiB();
    const double minutes = double(lastLength) / 60000.0;
    std::printf("memory idle (process with a device): %.1f MiB\n", idle / 1024.0);
    std::printf("memory right after open and play: %.1f MiB\n", opened / 1024.0);
    const std::string name = path.substr(path.rfind('/') + 1);
    std::printf("memory peak opening and playing %s (%.1f minutes decoded): %.1f MiB (PCM held %.1f MiB)\n", name.c_str(),
                minutes, peak / 1024.0, device.diagnostics().bytesHeld / 1048576.0);
    if (minutes > 1)
        std::printf("memory growth per minute of audio: %.2f MiB\n", (peak - idle) / 1024.0 / minutes);
    return 0;
}

void benchMemory(const std::string& path)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", "bench_media", "--memory", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::string(argv[1]) == "--memory")
        return measureMemory(argv[2]);
    QCoreApplication application(argc, argv);
    testing::TempFolder folder;
    const std::string tenMinutes = folder.path("ten-minutes.wma");
    const std::string twoSeconds = folder.path("two-seconds.wma");
    if (!testing::writeWma(tenMinutes, 600.0) || !testing::writeWma(twoSeconds, 2.0)) {
        std::printf("could not write the test recordings\n");
        return 1;
    }
    benchOpen("10-minute WMA", tenMinutes);
    benchOpen("2-second WMA", twoSeconds);
    const std::string bigCover = folder.path("big-cover.mp3");
    testing::writeMp3(bigCover, 2.0, 44100, 2, content::BitRateMode::Constant, true, 600);
    benchOpen("2-second MP3 behind a 600 KB cover", bigCover);
    benchBadFiles(folder);
    benchFirstSamples("null output", OutputChoice::NullOnly, twoSeconds);
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(folder.path("disk.raw")));
    benchFirstSamples("SDL disk driver", OutputChoice::SoundDeviceOrNull, twoSeconds);
    qunsetenv("SDL_AUDIODRIVER");
    benchRestart(twoSeconds);
    benchStatus(twoSeconds);
    benchCloseWhilePlaying(tenMinutes);
    benchMemory(tenMinutes);
    // Damaged headers cost no more than the second of audio they hold.
    const std::pair<const char*, testing::WmaDamage> damaged[] = {
        {"rate-1-hz.wma", testing::WmaDamage::SampleRate1Hz},
        {"duration-huge.wma", testing::WmaDamage::PlayDurationHuge},
        {"duration-negative.wma", testing::WmaDamage::PlayDurationNegative}};
    for (const auto& [name, damage] : damaged) {
        const std::string path = folder.path(name);
        if (testing::writeWma(path, 1.0) && testing::damageWma(path, damage))
            benchMemory(path);
    }
    return 0;
}
