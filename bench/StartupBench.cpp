// bench_startup PROGRAM BARE FIRST_PLAY [RUNS] (under an X server, e.g. xvfb-run -a)
//
// Starts the program and the bare Qt window alternately, RUNS times each (twenty unless given:
// on a shared machine the medians of ten move by a tenth from one run of the bench to the next),
// and measures: start to the window mapped (the X server's MapNotify for a window whose
// _NET_WM_PID is the child's), start to its first frame (the first drawing that covers most of
// it, reported by the X server's DAMAGE extension on the root window), peak and idle resident
// memory (1.5 s after the window was mapped, once the media libraries are warm), and the ratios
// of the medians; the bare window also with the main window's three text boxes, which is what
// those alone cost. Then the first PLAY 300 ms after start, ten processes for each output.
#include "bench/BenchStats.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    double firstFrameMs = -1;
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
    run.idleMiB = statusMiB(pid, "VmRSS:");
    run.peakMiB = statusMiB(pid, "VmHWM:");
    run.childrenMiB = childrenMiB(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return run;
}

// The program's first PLAY, 300 ms after its start, with SDL's audio driver `driver`.
double firstPlay(const char* program, const char* driver)
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
    report("resident memory idle, program", column(program, &Run::idleMiB), "MiB");
    report("resident memory idle, bare Qt window", column(bare, &Run::idleMiB), "MiB");
    report("peak resident memory, program", column(program, &Run::peakMiB), "MiB");
    report("resident memory idle, the program's media process", column(program, &Run::childrenMiB), "MiB");
    report("peak resident memory, bare Qt window", column(bare, &Run::peakMiB), "MiB");
    const double timeRatio = median(column(program, &Run::mappedMs)) / median(column(bare, &Run::mappedMs));
    const double memoryRatio = median(column(program, &Run::idleMiB)) / median(column(bare, &Run::idleMiB));
    std::printf("ratio start to window mapped: %.2f (target 1.20 at most)\n", timeRatio);
    std::printf("ratio resident memory idle: %.2f (target 1.25 at most)\n", memoryRatio);
    std::printf("ratio start to first frame: %.2f\n",
                median(column(program, &Run::firstFrameMs)) / median(column(bare, &Run::firstFrameMs)));
    std::printf("ratio start to window mapped, bare Qt window with three text boxes to without: %.2f\n",
                median(column(bareWithTextBoxes, &Run::mappedMs)) / median(column(bare, &Run::mappedMs)));
    std::printf("ratio start to window mapped, program to bare Qt window with three text boxes: %.2f\n",
                median(column(program, &Run::mappedMs)) / median(column(bareWithTextBoxes, &Run::mappedMs)));

    // Without a sound device (an SDL driver that does not exist) the program plays through its
    // clock-driven output, whose 5 ms ticks stand for a card's periods; the disk driver adds the
    // wait for its next 1024-frame period (23 ms), as a card with such periods would.
    for (const char* driver : {"none", "disk"}) {
        std::vector<double> plays;
        for (int run = 0; run < 10; ++run) {
            const double ms = firstPlay(argv[3], driver);
            if (ms >= 0)
                plays.push_back(ms);
        }
        report(std::string("first PLAY 300 ms after start, open and play to first samples (") +
                   (std::strcmp(driver, "none") == 0 ? "no sound device" : "SDL disk driver") + ")",
               plays, "ms");
    }
    return 0;
}
