// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zupfomat {

struct RubberBandCalls;

// Rubber Band's engines: the finer one (R3) keeps pitch and attacks better and costs about three
// times as much as the faster one (R2).
enum class StretchEngine { Finer, Faster };

// Plays stereo S16 at another speed with the pitch kept (Rubber Band in its real-time mode), for
// the audio callback: all it needs is allocated when it is made, so feeding and taking only compute.
// One thread at a time.
class TempoStretcher {
public:
    static constexpr int kChannels = 2;
    static constexpr int kSampleRate = 44100;
    static constexpr int kMaxBlock = 1024; // frames fed at once

    // Null when Rubber Band cannot be loaded.
    static std::unique_ptr<TempoStretcher> make(StretchEngine engine);
    StretchEngine engine() const { return engine_; }
    ~TempoStretcher();
    TempoStretcher(const TempoStretcher&) = delete;
    TempoStretcher& operator=(const TempoStretcher&) = delete;

    // Starts afresh at `speed` (1.0 the recording's own). The first leadFrames() frames fed next
    // are the ones before where playing goes on (silence before a recording's start): they fill
    // the stretcher's window and are not heard, so the first frame taken is the one after them.
    void restart(double speed);
    int leadFrames() const { return leadFrames_; }
    void setSpeed(double speed);
    double speed() const { return speed_; }

    // Frames it wants fed before it can give more (at most kMaxBlock); 0 after the last.
    int framesWanted() const;
    int16_t* inputBlock() { return input_.data(); }
    // Feeds `frames` of inputBlock(); `last` says nothing follows, so what is held comes out.
    void feed(int frames, bool last);
    // Takes up to `frames` stretched frames into `out`; returns how many.
    int take(int16_t* out, int frames);
    // Everything fed after the last block has been taken.
    bool drained() const;

private:
    TempoStretcher(const RubberBandCalls& calls, void* state, StretchEngine engine);
    void process(const int16_t* frames, int count, bool last);

    const RubberBandCalls& rb_;
    void* state_;
    const StretchEngine engine_;
    double speed_ = 1.0;
    int leadFrames_ = 0;
    int64_t toDiscard_ = 0; // output frames that stand for the lead
    bool last_ = false;
    std::vector<int16_t> input_;
    std::vector<float> planar_[kChannels];
};

// Share of one core the stretching may take in real time.
inline constexpr double kStretchBudget = 0.10;

} // namespace zupfomat
