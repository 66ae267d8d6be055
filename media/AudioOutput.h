// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace zupfomat {

// What the output pulls its samples from: `frames` interleaved stereo S16 frames at 44.1 kHz.
// The output calls it from one thread at a time (the sound device's, or its clock's), and
// never while holding a lock that anyone else takes: it must not block either.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual void fill(int16_t* out, int frames) = 0;
};

// A running output that pulls from its source all the time, silence included.
class AudioOutput {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kPeriodFrames = 1024;

    virtual ~AudioOutput() = default;
    virtual std::string name() const = 0;
    // Whether a recording is open. A sound server stream is kept only while one is, and for a
    // second after, so an idle program holds no stream on the desktop's server.
    virtual void setInUse(bool inUse) { (void)inUse; }
    // Periods the sound device asked for while its stand-in still held the source: played as silence.
    virtual int64_t missedPeriods() const { return 0; }
    // Holds every lock the output's own threads take, for `duration`: what a stalled watcher
    // would do. Sound must go on meanwhile (tests).
    virtual void holdLocksFor(std::chrono::milliseconds duration) { (void)duration; }
};

enum class OutputChoice {
    SoundDeviceOrNull, // the system's sound device through SDL, watched: the clock carries playback on while
                       // it is lost or stalls, until it pulls again; the clock-driven null output if none opens at first
    NullOnly,          // the clock-driven null output (timing tests, benchmarks)
};

// Never waits longer than kOutputStallLimit for a sound device that does not answer.
std::unique_ptr<AudioOutput> openAudioOutput(OutputChoice choice, AudioSource& source);

// A device that has not pulled for this long is taken for lost: a hung sound server is treated
// as one that died, and the clock carries the playback on.
inline constexpr std::chrono::milliseconds kOutputStallLimit{500};

} // namespace zupfomat
