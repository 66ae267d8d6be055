#pragma once

#include "media/AudioOutput.h"
#include "media/MediaDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace zupfomat {

class Recording;
class RecordingDisposer;

// The real media device: FFmpeg decodes, the audio output (SDL2, or the clock-driven
// null output) plays. One recording at most is open, under the alias myMP3.
class PlaybackDevice final : public MediaDevice, private AudioSource {
public:
    explicit PlaybackDevice(OutputChoice output = OutputChoice::SoundDeviceOrNull);
    ~PlaybackDevice() override;
    PlaybackDevice(const PlaybackDevice&) = delete;
    PlaybackDevice& operator=(const PlaybackDevice&) = delete;

    std::string send(std::string_view command) override;
    void setLoopPoint(int64_t pointMs) override;
    // Loads FFmpeg and SDL2 on a thread of their own, and notes the likely first recording.
    void prepare(const std::string& likelyFirstPath) override;
    // Opens the output and readies the decoders ahead of the first open, which then costs
    // what any open costs: the likely first recording is opened and dropped once, so that its
    // file and every step of opening it have been through once. Waits for the libraries.
    void readyForFirstOpen();

    // What the benchmarks read: when and in which callback the latest "play" first reached the output.
    struct Diagnostics {
        int64_t callbacks = 0;              // callbacks so far
        int64_t playCallback = -1;          // callbacks completed when the latest play was sent
        int64_t firstFrameCallback = -1;    // the callback that handed out its first frame (1-based)
        std::chrono::steady_clock::time_point firstFrameTime{};
        int64_t loopSplices = 0;            // loops the callback has spliced since the device was made
        int64_t bytesHeld = 0;              // decoded PCM held by the open recording
        bool decoded = false;               // the open recording is decoded to its end
        std::string outputName;             // "" until the output is opened on first use
    };
    Diagnostics diagnostics() const;

private:
    void fill(int16_t* out, int frames) override;
    int64_t pull(const Recording& recording, int16_t* out, int frames);
    AudioOutput& output();
    std::string open(const std::string& path);
    void close();
    void playFromStart();
    int64_t positionMs() const;
    int64_t lengthMs() const;

    const OutputChoice outputChoice_;
    std::unique_ptr<RecordingDisposer> disposer_;
    std::unique_ptr<Recording> recording_; // owned by the GUI thread
    std::unique_ptr<AudioOutput> output_;  // destroyed first, so the callback never outlives the rest

    // Shared with the callback. `active_` changes only under the output's lock.
    Recording* active_ = nullptr;
    std::atomic<int64_t> consumed_{0};
    std::atomic<bool> playing_{false};
    // The frame at which the callback goes on from frame 0; 0 when no loop is armed.
    std::atomic<int64_t> loopFrame_{0};
    std::atomic<int64_t> loopSplices_{0};
    std::atomic<int64_t> callbacks_{0};
    std::atomic<int64_t> playCallback_{-1};
    std::atomic<int64_t> firstFrameCallback_{-1};
    std::atomic<int64_t> firstFrameNs_{0};
    bool awaitingFirstFrame_ = false; // callback only, reset under the lock
    std::string likelyFirstPath_;
};

} // namespace zupfomat
