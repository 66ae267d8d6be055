// bench_startup PROGRAM BARE FIRST_PLAY (under an X server, e.g. xvfb-run -a)
//
// Starts the program and the bare Qt window alternately, ten times each, and measures: start to
// the window mapped (the X server's MapNotify for a window whose _NET_WM_PID is the child's),
// peak and idle resident memory (1.5 s after the window was mapped, once the media libraries are
// warm), and the ratios of the medians. Then the first PLAY 300 ms after start, ten processes.
#include "bench/BenchStats.h"

#include <xcb/xcb.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double statusMiB(pid_t pid, const char* field);

struct Run {
    double mappedMs = -1;
    double idleMiB = 0;
    double peakMiB = 0;
    double childrenMiB = 0; // the program's media process
};

// The resident memory of a process's children (the program's media process), in MiB.
double childrenMiB(pid_t pid)
{
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    double total = 0;
    pid_t child;
    while (children >> child)
        total += statusMiB(child, "VmRSS:");
    return total;
}

pid_t start(const char* program, const char* extraEnv = nullptr)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        if (extraEnv)
            putenv(const_cast<char*>(extraEnv));
        execl(program, program, static_cast<char*>(nullptr));
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
Run measure(xcb_connection_t* x, const char* program)
{
    Run run;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 11, "_NET_WM_PID"), nullptr);
    const xcb_atom_t pidAtom = atom ? atom->atom : XCB_ATOM_NONE;
    free(atom);
    xcb_flush(x);

    const auto begin = Clock::now();
    const pid_t pid = start(program);
    const int fd = xcb_get_file_descriptor(x);
    while (run.mappedMs < 0 && Clock::now() - begin < std::chrono::seconds(10)) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval tick{0, 20000};
        select(fd + 1, &readable, nullptr, nullptr, &tick);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            const auto now = Clock::now();
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (!map->override_redirect && windowPid(x, map->window, pidAtom) == uint32_t(pid))
                    run.mappedMs = std::chrono::duration<double, std::milli>(now - begin).count();
            }
            free(event);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    run.idleMiB = statusMiB(pid, "VmRSS:");
    run.peakMiB = statusMiB(pid, "VmHWM:");
    run.childrenMiB = childrenMiB(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double firstPlay(const char* program)
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
        // The disk driver writes what a sound card would play, here into nothing.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    char buffer[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(n));
    close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
    const size_t at = out.find("first play: ");
    return at == std::string::npos ? -1 : std::stod(out.substr(at + 12));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_startup PROGRAM BARE_WINDOW FIRST_PLAY\n");
        return 2;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_startup: no X display\n");
        return 1;
    }
    std::vector<Run> program, bare;
    measure(x, argv[1]); // the first start of each reads its files from disk: not counted
    measure(x, argv[2]);
    for (int round = 0; round < 10; ++round) {
        program.push_back(measure(x, argv[1]));
        bare.push_back(measure(x, argv[2]));
    }
    auto column = [](const std::vector<Run>& runs, double Run::*field) {
        std::vector<double> values;
        for (const Run& r : runs)
            if (r.mappedMs >= 0)
                values.push_back(r.*field);
        return values;
    };
    using zupfomat::bench::report;
    report("start to window mapped, program", column(program, &Run::mappedMs), "ms");
    report("start to window mapped, bare Qt window", column(bare, &Run::mappedMs), "ms");
    report("resident memory idle, program", column(program, &Run::idleMiB), "MiB");
    report("resident memory idle, bare Qt window", column(bare, &Run::idleMiB), "MiB");
    report("peak resident memory, program", column(program, &Run::peakMiB), "MiB");
    report("resident memory idle, the program's media process", column(program, &Run::childrenMiB), "MiB");
    report("peak resident memory, bare Qt window", column(bare, &Run::peakMiB), "MiB");
    const double timeRatio = median(column(program, &Run::mappedMs)) / median(column(bare, &Run::mappedMs));
    const double memoryRatio = median(column(program, &Run::idleMiB)) / median(column(bare, &Run::idleMiB));
    std::printf("ratio start to window mapped: %.2f (target 1.20 at most)\n", timeRatio);
    std::printf("ratio resident memory idle: %.2f (target 1.25 at most)\n", memoryRatio);

    std::vector<double> plays;
    for (int run = 0; run < 10; ++run) {
        const double ms = firstPlay(argv[3]);
        if (ms >= 0)
            plays.push_back(ms);
    }
    report("first PLAY 300 ms after start, open and play to first samples", plays, "ms");
    return 0;
}
