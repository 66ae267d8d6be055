// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchStats.h"
#include "mainwindow/Form1.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TestContent.h"
#include "tests/support/TestMedia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <cstdio>

#include <thread>

using namespace zupfomat;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

void benchStartUp(const testing::TestContent& content, MediaChannel& channel)
{
    std::vector<double> times;
    for (int run = 0; run < 10; ++run) {
        const auto start = Clock::now();
        auto window = std::make_unique<Form1>(Form1Services{channel, ContentFolder(content.programFolder())});
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            std::fprintf(stderr, "bench_window: the main window was not exposed\n");
        times.push_back(msSince(start));
    }
    bench::report("main window built, started and shown (" + QGuiApplication::platformName().toStdString() + ")",
                  times, "ms");
}

void benchPlayAndTick(const testing::TestContent& content)
{
    PlaybackDevice device(OutputChoice::NullOnly);
    MediaChannel channel(device);
    Form1 window({channel, ContentFolder(content.programFolder())});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "bench_window: the main window was not exposed\n");
    QWidget* play = window.findChild<QWidget*>("Labelplay");
    std::vector<double> times;
    for (int run = 0; run < 21; ++run) {
        const auto start = Clock::now();
        QTest::mouseClick(play, Qt::LeftButton);
        while (device.diagnostics().firstFrameCallback < 0 && msSince(start) < 1000)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        times.push_back(std::chrono::duration<double, std::milli>(device.diagnostics().firstFrameTime - start).count());
        QTest::qWait(30);
    }
    bench::report("PLAY click to first samples at the output (real device, null output)", times, "ms");

    QTest::mouseClick(window.findChild<QWidget*>("Labelloop"), Qt::LeftButton);
    window.pollTimer()->stop(); // ticks are called here, one batch at a time
    std::vector<double> ticks;
    constexpr int kTicks = 2000;
    for (int batch = 0; batch < 15; ++batch) {
        const auto start = Clock::now();
        for (int i = 0; i < kTicks; ++i)
            window.pollTick();
        ticks.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kTicks);
    }
    bench::report("one poll tick while looping (real device)", ticks, "µs");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    testing::TestContent content;
    testing::writeWma(content.path("Data/wma/riff1.wma").toStdString(), 4.0);
    {
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        benchStartUp(content, channel);
    }
    benchPlayAndTick(content);
    return 0;
}
