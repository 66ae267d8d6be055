#include "media/MediaProcess.h"

#include "media/MediaLibraries.h"
#include "media/PlaybackDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace zupfomat {
namespace {

// One message a packet: a kind, then its payload. Commands and answers are short texts.
constexpr char kCommand = 'c';   // payload: the command; answered by its answer
constexpr char kLoopPoint = 'l'; // payload: the point in ms as decimal text; not answered
constexpr char kFirstSamples = 'f'; // no payload; answered "<callback> <steady ns>"
constexpr char kPrepare = 'p';      // payload: the likely first recording's path; not answered
constexpr size_t kLargestMessage = 64 * 1024;
// A command answers within milliseconds; one that does not in this time has a media process
// that hangs, which is then ended so that the window never waits longer.
constexpr int kAnswerTimeoutMs = 10000;

bool sendPacket(int socket, char kind, std::string_view payload)
{
    std::string packet(1, kind);
    packet.append(payload.substr(0, kLargestMessage - 1));
    return ::send(socket, packet.data(), packet.size(), MSG_NOSIGNAL) == ssize_t(packet.size());
}

} // namespace

MediaProcessDevice::MediaProcessDevice(std::string program) : program_(std::move(program)) {}

void MediaProcessDevice::prepare(const std::string& likelyFirstPath)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (ensureRunning() && !likelyFirstPath.empty())
        sendPacket(socket_, kPrepare, likelyFirstPath);
}

MediaProcessDevice::~MediaProcessDevice()
{
    std::lock_guard<std::mutex> guard(mutex_);
    stop();
}

bool MediaProcessDevice::ensureRunning()
{
    if (socket_ >= 0)
        return true;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], kMediaProcessSocket); // dup2 clears close-on-exec
    // Shown by ps and the like under the program's own name, not /proc/self/exe.
    char resolved[PATH_MAX];
    std::string name = realpath(program_.c_str(), resolved) ? std::string(resolved) : program_;
    char* const argv[] = {name.data(), const_cast<char*>(kMediaProcessArgument), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (failed != 0) {
        ::close(pair[0]);
        return false;
    }
    socket_ = pair[0];
    pid_ = pid;
    return true;
}

void MediaProcessDevice::stop()
{
    if (socket_ < 0)
        return;
    ::close(socket_); // the media process ends when it reads the end of its socket
    socket_ = -1;
    int status = 0;
    for (int waited = 0; waited < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++waited)
        usleep(10000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

// Sends one message and, for those that are answered, waits for the answer. A media process
// that has gone or hangs is ended; the next message starts a new one.
bool MediaProcessDevice::exchange(char kind, std::string_view payload, std::string* answer)
{
    if (!ensureRunning())
        return false;
    if (!sendPacket(socket_, kind, payload)) {
        stop();
        return false;
    }
    if (!answer)
        return true;
    pollfd ready{socket_, POLLIN, 0};
    if (poll(&ready, 1, kAnswerTimeoutMs) != 1) {
        kill(pid_, SIGKILL);
        stop();
        return false;
    }
    answerBuffer_.resize(kLargestMessage); // once: the poll tick asks twice every 100 ms
    const ssize_t got = ::recv(socket_, answerBuffer_.data(), answerBuffer_.size(), 0);
    if (got <= 0) {
        stop();
        return false;
    }
    answer->assign(answerBuffer_.data() + 1, size_t(got) - 1); // after the kind
    return true;
}

std::string MediaProcessDevice::send(std::string_view command)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::string answer;
    return exchange(kCommand, command, &answer) ? answer : std::string();
}

void MediaProcessDevice::setLoopPoint(int64_t pointMs)
{
    std::lock_guard<std::mutex> guard(mutex_);
    exchange(kLoopPoint, std::to_string(pointMs), nullptr);
}

std::chrono::steady_clock::time_point MediaProcessDevice::firstSamplesTime()
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::string answer;
    long long callback = -1, nanoseconds = 0;
    if (!exchange(kFirstSamples, {}, &answer) || std::sscanf(answer.c_str(), "%lld %lld", &callback, &nanoseconds) != 2 ||
        callback < 0)
        return {};
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds));
}

int runMediaProcess(int socket)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive the window's process
    if (getppid() == 1)
        return 0;
    PlaybackDevice device;
    device.prepare({}); // its libraries load while the program waits for the first command
    std::vector<char> buffer(kLargestMessage);
    bool prepared = false;
    for (;;) {
        // Between messages, once the libraries are in, the device readies itself.
        if (!prepared && mediaLibrariesWarm()) {
            device.readyForFirstOpen();
            prepared = true;
        }
        pollfd ready{socket, POLLIN, 0};
        if (poll(&ready, 1, prepared ? -1 : 5) == 0)
            continue;
        const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
        if (got <= 0)
            return 0; // the program closed the device, or is gone
        const std::string_view payload(buffer.data() + 1, size_t(got) - 1);
        switch (buffer[0]) {
        case kCommand:
            if (!sendPacket(socket, kCommand, device.send(payload)))
                return 0;
            break;
        case kPrepare: // sent right after the start, so it is read before the libraries are in
            device.prepare(std::string(payload));
            break;
        case kLoopPoint:
            device.setLoopPoint(std::atoll(std::string(payload).c_str()));
            break;
        case kFirstSamples: {
            const PlaybackDevice::Diagnostics d = device.diagnostics();
            const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d.firstFrameTime.time_since_epoch()).count();
            if (!sendPacket(socket, kFirstSamples, std::to_string(d.firstFrameCallback) + " " + std::to_string(ns)))
                return 0;
            break;
        }
        default:
            break;
        }
    }
}

} // namespace zupfomat
