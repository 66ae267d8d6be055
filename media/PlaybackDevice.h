// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/AudioOutput.h"
#include "media/MediaDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace zupfomat {

class Recording;
class RecordingDisposer;
class TempoStretcher;

// The real media device: FFmpeg decodes, the audio output (SDL2, or the clock-driven
// null output) plays. One recording at most is open, under the alias myMP3.
//
// Callers (the window's handlers) never wait on the output: what they ask of it is published as
// one cue that the audio callback reads with a single load, and status answers come from what
// the callback publishes. The callback takes no lock at all.
class PlaybackDevice final : public MediaDevice, private AudioSource {
public:
    explicit PlaybackDevice(OutputChoice output = OutputChoice::SoundDeviceOrNull);
    ~PlaybackDevice() override;
    PlaybackDevice(const PlaybackDevice&) = delete;
    PlaybackDevice& operator=(const PlaybackDevice&) = delete;

    std::string send(std::string_view command) override;
    void setLoopPoint(int64_t pointMs) override;
    // The first tempo other than 100 has the stretcher made on a thread of its own; until it is
    // there, sound goes on at the recording's own speed. At 100 a play hands out the decoded
    // samples untouched; one begun at another tempo stays with the stretcher until the next play.
    // The finer engine stretches first; where it takes more than kStretchBudget of one core, the
    // faster one is made and takes over from the next play on.
    void setTempo(int percent) override;    // On a thread of its own: loads FFmpeg and SDL2 and opens the output, so that the first
    // PLAY costs what any PLAY costs.
    void prepare() override;

    // What the benchmarks and tests read: when and in which callback the latest "play" first
    // reached the output.
    struct Diagnostics {
        int64_t callbacks = 0;              // callbacks so far
        int64_t playCallback = -1;          // callbacks completed when the latest play was sent
        int64_t firstFrameCallback = -1;    // the callback that handed out its first frame (1-based)
        std::chrono::steady_clock::time_point firstFrameTime{};
        int64_t loopSplices = 0;            // loops the callback has spliced since the device was made
        int64_t missedPeriods = 0;          // periods the sound device got silence for, its stand-in busy
        int64_t longestFillNs = 0;          // the longest the callback took
        int64_t bytesHeld = 0;              // decoded PCM held by the open recording
        bool decoded = false;               // the open recording is decoded to its end
        std::string outputName;             // "" until the output is opened on first use
        bool stretcherReady = false;        // the tempo stretcher is made and handed to the callback
        bool fasterEngine = false;          // the machine did not keep up with the finer engine
        int64_t stretchNs = 0;              // processor time the callback has spent stretching
        int64_t stretchedFrames = 0;        // frames it has handed out stretched
    };
    Diagnostics diagnostics() const;

    // Holds every lock that callers, the disposer and the output's own threads take, for
    // `duration`: sound must go on meanwhile (tests).
    void holdLocksFor(std::chrono::milliseconds duration);

    struct Cue; // what the callers last asked of the callback

private:
    void fill(int16_t* out, int frames) override;
    enum class PullEnd { MoreToCome, RecordingOver };
    int64_t pull(const Recording& recording, int64_t loopFrame, int16_t* out, int frames, PullEnd* end);
    int64_t pullStretched(TempoStretcher& stretcher, const Recording& recording, int64_t loopFrame, int16_t* out,
                          int frames);
    void engageStretcher(TempoStretcher& stretcher, const Recording& recording, double speed);
    void advanceHeard(const Recording& recording, int64_t loopFrame, int frames, double speed);
    void crossfadeFromDirect(const Recording& recording, int16_t* out, int frames);
    void judgeFinerEngine(int64_t costNs, int frames);
    AudioOutput& output();
    std::string open(const std::string& path);
    void close();
    void playFromStart();
    void publish(Recording* recording, bool playing);
    int64_t positionMs() const;
    int64_t lengthMs() const;

    const OutputChoice outputChoice_;
    std::unique_ptr<RecordingDisposer> disposer_;

    // Callers' side: one command at a time.
    mutable std::mutex commandMutex_;
    std::unique_ptr<Recording> recording_;
    uint64_t serial_ = 0; // of the latest cue
    mutable std::mutex outputMutex_; // the output is made once, by the first open or the warm-up
    std::unique_ptr<AudioOutput> output_; // destroyed first, so the callback never outlives the rest
    std::thread warmUp_;
    void makeStretcherIfWanted();
    std::thread stretcherMaker_; // started by the first tempo other than 100
    std::unique_ptr<TempoStretcher> stretcher_; // the maker's; the callback reads stretcherReady_
    std::atomic<TempoStretcher*> stretcherReady_{nullptr};
    std::thread fasterMaker_;    // started once the finer engine has been found too costly
    std::unique_ptr<TempoStretcher> fasterStretcher_;
    std::atomic<TempoStretcher*> fasterReady_{nullptr};
    std::atomic<bool> fasterWanted_{false};
    std::atomic<int> tempo_{100};

    // Published to the callback: the cue, and the loop frame tagged with the cue it belongs to.
    std::atomic<Cue*> cue_;
    std::atomic<uint64_t> loop_{0};
    // Odd while the callback is inside fill; the disposer frees what an old cue named only once
    // it has seen the callback outside (see RecordingDisposer).
    std::atomic<uint64_t> fillEpoch_{0};

    // The callback's own (one thread at a time), and what it publishes.
    uint64_t heardSerial_ = 0;
    int64_t consumed_ = 0;
    bool playing_ = false;
    bool awaitingFirstFrame_ = false;
    bool stretching_ = false;  // this play goes through the stretcher
    TempoStretcher* active_ = nullptr; // the one it goes through
    int64_t finerNs_ = 0;      // what the finer engine has cost so far, and for how much sound
    int64_t finerFrames_ = 0;
    bool inputOver_ = false;   // the stretcher has been fed the recording's last frame
    double heardFrames_ = 0;   // stretching: the recording frame being heard
    int64_t directFrom_ = 0;   // where the untouched recording would have gone on when the stretcher took over
    int crossfadeDone_ = 0;    // frames of the take-over faded so far
    int crossfadeLength_ = 0;  // frames the take-over fades over; 0 at a start
    std::atomic<int64_t> stretchNs_{0};
    std::atomic<int64_t> stretchedFrames_{0};
    std::atomic<uint64_t> progress_{0}; // the serial tag and frames consumed, for status position
    std::atomic<int64_t> loopSplices_{0};
    std::atomic<int64_t> callbacks_{0};
    std::atomic<int64_t> playCallback_{-1};
    std::atomic<int64_t> firstFrameCallback_{-1};
    std::atomic<int64_t> firstFrameNs_{0};
    std::atomic<int64_t> longestFillNs_{0};
};

} // namespace zupfomat
