#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zupfomat {

// What the output pulls its samples from: called on the output's own thread, with the
// output's lock held, for `frames` interleaved stereo S16 frames at 44.1 kHz.
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
    // While locked, the source is not being called.
    virtual void lock() = 0;
    virtual void unlock() = 0;
    virtual std::string name() const = 0;
    // Whether a recording is open. A sound server stream is kept only while one is, and for a
    // second after, so an idle program holds no stream on the desktop's server.
    virtual void setInUse(bool inUse) { (void)inUse; }
};

enum class OutputChoice {
    SoundDeviceOrNull, // the system's sound device through SDL, watched: the clock carries playback on while
                       // it is lost, until one opens again; the clock-driven null output if none opens at first
    NullOnly,          // the clock-driven null output (timing tests, benchmarks)
};

std::unique_ptr<AudioOutput> openAudioOutput(OutputChoice choice, AudioSource& source);

// Holds an output's lock for a scope.
class OutputLock {
public:
    explicit OutputLock(AudioOutput& output) : output_(output) { output_.lock(); }
    ~OutputLock() { output_.unlock(); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

private:
    AudioOutput& output_;
};

} // namespace zupfomat
