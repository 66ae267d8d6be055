#pragma once

#include "media/MediaDevice.h"

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace zupfomat {

// The media device in a process of its own: the program started again as its media process,
// where FFmpeg and SDL2 load and sound plays. The window's process keeps none of them, so it
// starts and stays as small as a bare window; a decoder that falls over on a broken file takes
// only the media process with it, and the next command starts a new one.
class MediaProcessDevice final : public MediaDevice {
public:
    // `program --media-device` starts on prepare or on the first command, whichever is first.
    explicit MediaProcessDevice(std::string program);
    ~MediaProcessDevice() override;
    MediaProcessDevice(const MediaProcessDevice&) = delete;
    MediaProcessDevice& operator=(const MediaProcessDevice&) = delete;

    // Answers as the device in the media process does; "" while it cannot be reached, as a
    // device answers a command that fails.
    std::string send(std::string_view command) override;
    void setLoopPoint(int64_t pointMs) override;
    // Starts the media process, which loads its libraries and readies its output and the
    // likely first recording on its own.
    void prepare(const std::string& likelyFirstPath) override;

    // For measuring: when the first samples of the last PLAY reached the output, on the
    // steady clock (which both processes share); the clock's epoch before they did.
    std::chrono::steady_clock::time_point firstSamplesTime();

    pid_t processId() const { return pid_; }

private:
    bool ensureRunning();
    void stop();
    bool exchange(char kind, std::string_view payload, std::string* answer);

    std::mutex mutex_;
    std::string program_;
    int socket_ = -1;
    pid_t pid_ = -1;
    std::vector<char> answerBuffer_;
};

// The media process's side: serves the device over `socket` until the program closes it.
int runMediaProcess(int socket);

// The argument that makes the program its own media process, and the descriptor it serves on.
inline constexpr const char* kMediaProcessArgument = "--media-device";
inline constexpr int kMediaProcessSocket = 3;

} // namespace zupfomat
