// SPDX-License-Identifier: GPL-3.0-or-later
// bench_startup PROGRAM BARE FIRST_PLAY [RUNS] (under an X server, e.g. xvfb-run -a)
//
// Starts the program and the bare Qt window alternately, RUNS times each (twenty unless given:
// on a shared machine the medians of ten move by a tenth from one run of the bench to the next),
// and measures: start to the window mapped (the X server's MapNotify for a window whose
// _NET_WM_PID is the child's), start to its first frame (the first drawing that covers most of
// it, reported by the X server's DAMAGE extension on the root window), idle memory (PSS of the
// process and every process it started, 1.5 s after the window was mapped, once the media
// libraries are warm), and the ratios of the medians; the bare window also with the main
// window's three text boxes, which is what those alone cost. Then the memory of the whole
// program while riff 1 loops beside mpv looping the same file, with the program's largest
// mappings; then the first PLAY 300 ms after start, ten processes for each output: the GUI
// thread's time inside the click, the first samples, and the poll tick's status calls.
#include "bench/BenchStats.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double statusMiB(pid_t pid, const char* field);

struct Run {
    double mappedMs = -1;
    double firstFrameMs = -1;
    double idleMiB = 0;
    double peakMiB = 0;
};

// A field of /proc/PID/smaps_rollup, in MiB.
double rollupMiB(pid_t pid, const char* field)
{
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    return 0;
}

// The proportional set size of a process and of every process it started, in MiB: what the
// program costs the machine, shared libraries counted by their share.
double treePssMiB(pid_t pid)
{
    double total = rollupMiB(pid, "Pss:");
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream children(task.path() / "children");
        pid_t child;
        while (children >> child)
            total += treePssMiB(child);
    }
    return total;
}

// The largest mappings of a process by PSS, grouped by what they map.
std::vector<std::pair<double, std::string>> largestMappings(pid_t pid, size_t count)
{
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
    std::map<std::string, double> byName;
    std::string line, name;
    while (std::getline(smaps, line)) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first.find('-') != std::string::npos && first.back() != ':') { // a mapping's header line
            std::string perms, offset, device, inode;
            fields >> perms >> offset >> device >> inode;
            name.clear();
            std::getline(fields >> std::ws, name);
            if (name.empty())
                name = "[anonymous: heap chunks, decoded PCM, pictures]";
        } else if (first == "Pss:") {
            double kib = 0;
            fields >> kib;
            byName[name] += kib / 1024.0;
        }
    }
    std::vector<std::pair<double, std::string>> sorted;
    for (const auto& [mapped, mib] : byName)
        sorted.emplace_back(mib, mapped);
    std::sort(sorted.rbegin(), sorted.rend());
    sorted.resize(std::min(sorted.size(), count));
    return sorted;
}

pid_t start(const char* program, const char* argument)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(program, program, argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

double statusMiB(pid_t pid, const char* field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    }
    return 0;
}

uint32_t windowPid(xcb_connection_t* x, xcb_window_t window, xcb_atom_t pidAtom)
{
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(x, xcb_get_property(x, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    uint32_t pid = 0;
    if (reply && xcb_get_property_value_length(reply) == 4)
        std::memcpy(&pid, xcb_get_property_value(reply), 4);
    free(reply);
    return pid;
}

// One connection for the whole bench: the X server resets when its last client leaves, and
// turns new ones away meanwhile.
Run measure(xcb_connection_t* x, const char* program, const char* argument = nullptr)
{
    Run run;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 11, "_NET_WM_PID"), nullptr);
    const xcb_atom_t pidAtom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(atom);
    // Drawing anywhere on the screen is reported, in root coordinates.
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(x, &xcb_damage_id);
    const bool damageReported = damage && damage->present;
    xcb_damage_damage_t watch = 0;
    if (damageReported) {
        free(xcb_damage_query_version_reply(x, xcb_damage_query_version(x, 1, 1), nullptr));
        watch = xcb_generate_id(x);
        xcb_damage_create(x, watch, screen->root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    }
    xcb_flush(x);

    const auto begin = Clock::now();
    const pid_t pid = start(program, argument);
    const int fd = xcb_get_file_descriptor(x);
    xcb_rectangle_t shown{0, 0, 0, 0}; // the mapped window, in root coordinates
    auto elapsedMs = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - begin).count(); };
    while ((run.mappedMs < 0 || (damageReported && run.firstFrameMs < 0)) && elapsedMs() < 10000) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval tick{0, 20000};
        select(fd + 1, &readable, nullptr, nullptr, &tick);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            const double now = elapsedMs();
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY && run.mappedMs < 0) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (!map->override_redirect && windowPid(x, map->window, pidAtom) == uint32_t(pid)) {
                    run.mappedMs = now;
                    if (auto* g = xcb_get_geometry_reply(x, xcb_get_geometry(x, map->window), nullptr)) {
                        shown = {g->x, g->y, g->width, g->height};
                        free(g);
                    }
                }
            } else if (damageReported && type == damage->first_event + XCB_DAMAGE_NOTIFY && run.mappedMs >= 0 &&
                       run.firstFrameMs < 0) {
                const xcb_rectangle_t area = reinterpret_cast<xcb_damage_notify_event_t*>(event)->area;
                // The first frame is the one drawing that covers most of the window.
                const bool inside = area.x >= shown.x && area.y >= shown.y && area.x + area.width <= shown.x + shown.width &&
                                    area.y + area.height <= shown.y + shown.height;
                if (inside && 2 * int(area.width) * int(area.height) >= int(shown.width) * int(shown.height))
                    run.firstFrameMs = now;
            }
            free(event);
        }
    }
    if (damageReported)
        xcb_damage_destroy(x, watch);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    run.idleMiB = treePssMiB(pid);
    run.peakMiB = statusMiB(pid, "VmHWM:");
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return run;
}

// Starts `program` with `arguments` and its output on a pipe.
pid_t startReading(const std::vector<std::string>& command, const char* driver, int* output)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        close(pipeFds[0]);
        setenv("SDL_AUDIODRIVER", driver, 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1); // the disk driver writes what a card would play into nothing
        std::vector<char*> argv;
        for (const std::string& part : command)
            argv.push_back(const_cast<char*>(part.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    *output = pipeFds[0];
    return pid;
}

// Reads until `line` has been printed (or the output ends); all that was read.
std::string readUntil(int output, const std::string& line)
{
    std::string out;
    char buffer[256];
    ssize_t n;
    while (out.find(line) == std::string::npos && (n = read(output, buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(n));
    return out;
}

double figure(const std::string& out, const std::string& name)
{
    const size_t at = out.find(name + ": ");
    return at == std::string::npos ? -1 : std::stod(out.substr(at + name.size() + 2));
}

struct FirstPlay {
    double clickMs = -1;      // the GUI thread inside open and play
    double firstSamplesMs = -1;
    double pollTickUs = -1;   // status position and length, as the poll tick asks them
};

// The program's first PLAY, `delayMs` after its start, with SDL's audio driver `driver`.
FirstPlay firstPlay(const char* program, const char* driver, const char* delayMs = "300")
{
    int output = -1;
    const pid_t pid = startReading({program, delayMs}, driver, &output);
    if (pid < 0)
        return {};
    const std::string out = readUntil(output, "\n\n"); // to the end
    close(output);
    waitpid(pid, nullptr, 0);
    return {figure(out, "click"), figure(out, "first play"), figure(out, "poll tick")};
}

// PSS of the whole command's process tree 3 s after `ready` was printed (or after its start
// when `ready` is empty): playing, decoded, settled. For the program, its largest mappings too.
double loopingPssMiB(const std::vector<std::string>& command, const std::string& ready,
                     std::vector<std::pair<double, std::string>>* mappings = nullptr)
{
    int output = -1;
    const pid_t pid = startReading(command, "none", &output);
    if (pid < 0)
        return -1;
    if (!ready.empty() && readUntil(output, ready).find(ready) == std::string::npos) {
        waitpid(pid, nullptr, 0);
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double pss = treePssMiB(pid);
    if (mappings)
        *mappings = largestMappings(pid, 12);
    kill(pid, SIGTERM);
    close(output);
    waitpid(pid, nullptr, 0);
    return pss;
}

std::string onPath(const char* name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (access((folder + "/" + name).c_str(), X_OK) == 0)
            return folder + "/" + name;
    return {};
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: bench_startup PROGRAM BARE_WINDOW FIRST_PLAY [RUNS]\n");
        return 2;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_startup: no X display\n");
        return 1;
    }
    // The bare window with the main window's text boxes tells what those alone cost.
    const char* textBoxes = "--text-boxes";
    std::vector<Run> program, bare, bareWithTextBoxes;
    measure(x, argv[1]); // the first start of each reads its files from disk: not counted
    measure(x, argv[2]);
    const int runs = argc == 5 ? std::max(1, std::atoi(argv[4])) : 20;
    for (int round = 0; round < runs; ++round) {
        program.push_back(measure(x, argv[1]));
        bare.push_back(measure(x, argv[2]));
        bareWithTextBoxes.push_back(measure(x, argv[2], textBoxes));
    }
    auto column = [](const std::vector<Run>& runs, double Run::*field) {
        std::vector<double> values;
        for (const Run& r : runs)
            if (r.mappedMs >= 0 && r.*field >= 0)
                values.push_back(r.*field);
        return values;
    };
    using zupfomat::bench::median;
    using zupfomat::bench::report;
    report("start to window mapped, program", column(program, &Run::mappedMs), "ms");
    report("start to window mapped, bare Qt window", column(bare, &Run::mappedMs), "ms");
    report("start to first frame, program", column(program, &Run::firstFrameMs), "ms");
    report("start to first frame, bare Qt window", column(bare, &Run::firstFrameMs), "ms");
    report("start to window mapped, bare Qt window with three text boxes", column(bareWithTextBoxes, &Run::mappedMs), "ms");
    report("start to first frame, bare Qt window with three text boxes", column(bareWithTextBoxes, &Run::firstFrameMs), "ms");
    report("memory idle (PSS, every process), program", column(program, &Run::idleMiB), "MiB");
    report("memory idle (PSS, every process), bare Qt window", column(bare, &Run::idleMiB), "MiB");
    report("peak resident memory, program", column(program, &Run::peakMiB), "MiB");
    report("peak resident memory, bare Qt window", column(bare, &Run::peakMiB), "MiB");
    const double timeRatio = median(column(program, &Run::mappedMs)) / median(column(bare, &Run::mappedMs));
    const double memoryRatio = median(column(program, &Run::idleMiB)) / median(column(bare, &Run::idleMiB));
    std::printf("ratio start to window mapped: %.2f\n", timeRatio);
    std::printf("ratio memory idle: %.2f\n", memoryRatio);
    std::printf("ratio start to first frame: %.2f\n",
                median(column(program, &Run::firstFrameMs)) / median(column(bare, &Run::firstFrameMs)));
    std::printf("ratio start to window mapped, bare Qt window with three text boxes to without: %.2f\n",
                median(column(bareWithTextBoxes, &Run::mappedMs)) / median(column(bare, &Run::mappedMs)));
    std::printf("ratio start to window mapped, program to bare Qt window with three text boxes: %.2f (target 1.20 at most)\n",
                median(column(program, &Run::mappedMs)) / median(column(bareWithTextBoxes, &Run::mappedMs)));

    // The whole program while riff 1 loops, against a bare player looping the same file; neither
    // has a sound device, so both play into a clock of their own.
    const std::string riff = std::string(argv[3]).substr(0, std::string(argv[3]).rfind('/') + 1) + "Data/wma/riff1.wma";
    const std::string mpv = onPath("mpv");
    std::vector<double> looping, player;
    std::vector<std::pair<double, std::string>> mappings;
    for (int run = 0; run < 10; ++run) {
        looping.push_back(loopingPssMiB({argv[3], "0", "--hold"}, "looping", &mappings));
        if (!mpv.empty())
            player.push_back(loopingPssMiB({mpv, "--no-config", "--no-video", "--ao=null", "--loop-file=inf", "--really-quiet", riff}, {}));
    }
    report("memory while riff 1 loops (PSS, every process), program", looping, "MiB");
    if (mpv.empty()) {
        std::printf("memory while riff 1 loops, mpv: not installed (make bench-deps)\n");
    } else {
        report("memory while riff 1 loops (PSS), mpv --no-video --ao=null", player, "MiB");
        std::printf("ratio memory while riff 1 loops, program to mpv: %.2f (target 1.00 at most)\n", median(looping) / median(player));
    }
    for (const auto& [mib, name] : mappings)
        std::printf("largest mapping while riff 1 loops, program: %.2f MiB %s\n", mib, name.c_str());

    // Without a sound device (an SDL driver that does not exist) the program plays through its
    // clock-driven output, whose 5 ms ticks stand for a card's periods; the disk driver adds the
    // wait for its next 1024-frame period (23 ms), as a card with such periods would.
    for (const char* driver : {"none", "disk"}) {
        std::vector<double> clicks, firsts, ticks;
        for (int run = 0; run < 10; ++run) {
            const FirstPlay play = firstPlay(argv[3], driver);
            if (play.firstSamplesMs < 0)
                continue;
            clicks.push_back(play.clickMs);
            firsts.push_back(play.firstSamplesMs);
            ticks.push_back(play.pollTickUs);
        }
        const std::string output = std::strcmp(driver, "none") == 0 ? "no sound device" : "SDL disk driver";
        report("first PLAY 300 ms after start, the GUI thread inside the click (" + output + ", target 10 ms at most)", clicks, "ms");
        report("first PLAY 300 ms after start, click to first samples (" + output + ", target 10 ms at most)", firsts, "ms");
        report("poll tick, status position and length while riff 1 plays (" + output + ", target 50 us at most)", ticks, "us");
    }
    // A PLAY before the window is even on screen waits once for the libraries to load.
    std::vector<double> earlyClicks;
    for (int run = 0; run < 10; ++run) {
        const FirstPlay play = firstPlay(argv[3], "none", "0");
        if (play.clickMs >= 0)
            earlyClicks.push_back(play.clickMs);
    }
    report("PLAY at start, before the media libraries are in: the GUI thread inside the click (no sound device)", earlyClicks, "ms");
    return 0;
}
