// The program as it starts, with PLAY of riff 1 given 300 ms after start (or after the ms given):
// prints how long open and play take until the first samples reach the output. Run once per
// process by bench_startup, since only the first PLAY after start is measured.
#include "app/Program.h"
#include "media/MediaChannel.h"
#include "media/MediaProcess.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using Clock = std::chrono::steady_clock;

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], zupfomat::kMediaProcessArgument) == 0)
        return zupfomat::runMediaProcess(zupfomat::kMediaProcessSocket);
    const auto started = Clock::now();
    zupfomat::MediaProcessDevice device("/proc/self/exe");
    QApplication application(argc, argv);
    zupfomat::MediaChannel media(device);
    zupfomat::SystemDesktop desktop;
    const zupfomat::ContentFolder content = zupfomat::ContentFolder::besideProgram();
    zupfomat::Program program(media, content, desktop);
    program.showMainWindow();
    const auto at = started + std::chrono::milliseconds(argc > 1 ? std::atoi(argv[1]) : 300);
    const int wait = int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count()));
    QTimer::singleShot(wait, [&] {
        const auto start = Clock::now();
        media.openMediaFile(content.riffRecording(1).toStdString());
        media.sendMediaCommand("play myMP3 from 0");
        Clock::time_point first{};
        while (first < start && Clock::now() - start < std::chrono::seconds(2)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            first = device.firstSamplesTime();
        }
        std::printf("first play: %.3f ms\n", first < start ? -1.0 : std::chrono::duration<double, std::milli>(first - start).count());
        application.quit();
    });
    return application.exec();
}
