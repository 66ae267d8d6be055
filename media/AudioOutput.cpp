#include "media/AudioOutput.h"

#include "media/MediaLibraries.h"
#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace zupfomat {
namespace {

// Without a sound card ALSA prints a page of errors to stderr when SDL probes it.
extern "C" void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa()
{
#ifndef _WIN32
    static const bool done = [] {
        void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
        if (!alsa)
            return true;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
            set(ignoreAlsaError);
        return true; // the library stays loaded, so the handler stays in place
    }();
    (void)done;
#endif
}

// Which frames the steady clock says are due since a start, as a sound card would pull them.
class FrameClock {
public:
    explicit FrameClock(int64_t maxBacklogFrames) : maxBacklog_(maxBacklogFrames) {}

    void restart(std::chrono::steady_clock::time_point now)
    {
        start_ = now;
        pulled_ = 0;
    }

    // Calls pull(frames) for every period now due, at most kPeriodFrames at a time.
    template <typename Pull> void pullDue(std::chrono::steady_clock::time_point now, Pull pull)
    {
        const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start_).count();
        const int64_t due = elapsed * AudioOutput::kSampleRate / 1'000'000'000;
        if (due - pulled_ > maxBacklog_)
            pulled_ = due - AudioOutput::kPeriodFrames; // after a stall, drop what a sound card would have lost too
        while (pulled_ < due) {
            const int frames = int(std::min<int64_t>(AudioOutput::kPeriodFrames, due - pulled_));
            pull(frames);
            pulled_ += frames;
        }
    }

private:
    const int64_t maxBacklog_;
    std::chrono::steady_clock::time_point start_{};
    int64_t pulled_ = 0;
};

using Clock = std::chrono::steady_clock;

// The system's sound device through SDL: the desktop's sound server where one runs, else a
// card. A thread of its own watches it. When the device is lost (the server restarted, a
// headset gone), the clock carries the playback on at once, so position and loops keep
// time, and a device is opened again every second until one plays; the recording then goes
// on there where it has got to. An idle output gives its stream back to the server.
class WatchedSoundOutput final : public AudioOutput {
public:
    static std::unique_ptr<AudioOutput> open(AudioSource& source)
    {
        std::unique_ptr<WatchedSoundOutput> output(new WatchedSoundOutput(source));
        if (!output->openSoundDevice())
            return nullptr;
        output->carryOnBy(Carrier::Sound, Clock::now());
        output->thread_ = std::thread([watched = output.get()] { watched->watch(); });
        return output;
    }

    ~WatchedSoundOutput() override
    {
        {
            std::lock_guard<std::mutex> guard(wakeMutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
        closeSoundDevice();
    }

    void lock() override { sourceMutex_.lock(); }
    void unlock() override { sourceMutex_.unlock(); }

    std::string name() const override
    {
        std::lock_guard<std::mutex> guard(nameMutex_);
        return name_;
    }

    void setInUse(bool inUse) override
    {
        {
            std::lock_guard<std::mutex> guard(wakeMutex_);
            inUse_ = inUse;
            wakeNow_ = true;
        }
        wake_.notify_all();
    }

private:
    enum class Carrier {
        Sound,  // the SDL device pulls
        Clock,  // the device is lost: the clock pulls, as the device would have
        Nobody, // idle, the stream given back: nothing plays, nothing to keep time for
    };

    // Often enough for the clock to stand in for a device without a gap.
    static constexpr auto kTick = std::chrono::milliseconds(5);
    // SDL marks a lost device at once; a tenth of a second keeps the check cheap.
    static constexpr auto kStatusEvery = std::chrono::milliseconds(100);
    // A server coming back is found within about a second, without hammering it while it is away.
    static constexpr auto kReopenEvery = std::chrono::seconds(1);
    // How long an idle stream stays, so that STOP and a following PLAY reuse it.
    static constexpr auto kIdleStreamKept = std::chrono::seconds(1);
    // A reopen may keep the watcher for a few hundred ms: the clock catches up on all of it.
    static constexpr int64_t kClockBacklogFrames = 2 * kSampleRate;

    explicit WatchedSoundOutput(AudioSource& source) : source_(source), buffer_(size_t(kPeriodFrames) * kChannels) {}

    static void callback(void* userdata, Uint8* stream, int bytes)
    {
        auto* self = static_cast<WatchedSoundOutput*>(userdata);
        std::lock_guard<std::mutex> guard(self->sourceMutex_);
        if (self->carrier_ == Carrier::Sound)
            self->source_.fill(reinterpret_cast<int16_t*>(stream), bytes / int(kChannels * sizeof(int16_t)));
        else
            std::memset(stream, 0, size_t(bytes));
    }

    // Opens the default device, paused. The driver list is read afresh each time, so a
    // server that came back (or a card, where the server stays away) is found.
    bool openSoundDevice()
    {
        if (!sdlLibrary())
            return false; // SDL cannot load: the null output keeps time
        sdlLibrary()->SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        sdlLibrary()->SDL_SetMainReady();
        silenceAlsa();
        if (sdlLibrary()->SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        SDL_AudioSpec wanted{};
        wanted.freq = kSampleRate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = kChannels;
        wanted.samples = kPeriodFrames;
        wanted.callback = &WatchedSoundOutput::callback;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        device_ = sdlLibrary()->SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        // SDL_Init succeeds without a sound card; only the open tells. The dummy driver
        // keeps poor time, so it counts as no device.
        const char* driver = sdlLibrary()->SDL_GetCurrentAudioDriver();
        if (device_ == 0 || (driver && std::strcmp(driver, "dummy") == 0)) {
            if (device_ != 0)
                sdlLibrary()->SDL_CloseAudioDevice(device_);
            device_ = 0;
            sdlLibrary()->SDL_QuitSubSystem(SDL_INIT_AUDIO); // so the next try chooses its driver afresh
            return false;
        }
        driver_ = driver ? driver : "sdl";
        // A capture file would be started afresh by each open: keep the disk driver's stream.
        keepsIdleStream_ = driver_ == "disk";
        return true;
    }

    void closeSoundDevice()
    {
        if (device_ == 0)
            return;
        sdlLibrary()->SDL_CloseAudioDevice(device_);
        device_ = 0;
        sdlLibrary()->SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    void carryOnBy(Carrier carrier, Clock::time_point now)
    {
        {
            std::lock_guard<std::mutex> guard(sourceMutex_);
            carrier_ = carrier;
            clock_.restart(now);
        }
        if (carrier == Carrier::Sound)
            sdlLibrary()->SDL_PauseAudioDevice(device_, 0);
        std::lock_guard<std::mutex> guard(nameMutex_);
        name_ = carrier == Carrier::Clock ? std::string("null") : "sdl:" + driver_;
    }

    void watch()
    {
        auto nextStatus = Clock::now();
        auto nextReopen = Clock::now();
        auto lastInUse = Clock::now();
        std::unique_lock<std::mutex> wakeGuard(wakeMutex_);
        while (!stopping_) {
            // Only the clock needs the short tick; a playing device is looked at ten times a second.
            const auto nap = carrier_ == Carrier::Clock ? std::chrono::milliseconds(kTick) : kStatusEvery;
            wake_.wait_for(wakeGuard, nap, [this] { return stopping_ || wakeNow_; });
            if (stopping_)
                break;
            const bool inUse = inUse_;
            if (wakeNow_ && inUse)
                nextReopen = Clock::now(); // a recording was opened: no waiting for its sound
            wakeNow_ = false;
            wakeGuard.unlock();

            const auto now = Clock::now();
            if (inUse)
                lastInUse = now;
            pullByClock(now);
            if (device_ != 0 && now >= nextStatus) {
                nextStatus = now + kStatusEvery;
                if (sdlLibrary()->SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
                    carryOnBy(Carrier::Clock, now); // first, so not a frame of time is lost
                    closeSoundDevice();
                    nextReopen = now + kReopenEvery;
                } else if (!inUse && !keepsIdleStream_ && now - lastInUse >= kIdleStreamKept) {
                    carryOnBy(Carrier::Nobody, now);
                    closeSoundDevice();
                }
            }
            if (device_ == 0 && inUse && now >= nextReopen) {
                nextReopen = now + kReopenEvery;
                if (openSoundDevice())
                    carryOnBy(Carrier::Sound, Clock::now());
                else if (carrier_ == Carrier::Nobody)
                    carryOnBy(Carrier::Clock, now); // no device to come back to: keep time meanwhile
            }
            wakeGuard.lock();
        }
    }

    void pullByClock(Clock::time_point now)
    {
        if (carrier_ != Carrier::Clock) // only this thread changes the carrier
            return;
        clock_.pullDue(now, [this](int frames) {
            std::lock_guard<std::mutex> guard(sourceMutex_);
            source_.fill(buffer_.data(), frames);
        });
    }

    AudioSource& source_;
    std::vector<int16_t> buffer_;
    // Held while the source is called, by the SDL callback or the clock: the output's lock.
    std::mutex sourceMutex_;
    Carrier carrier_ = Carrier::Nobody; // written by the watcher under sourceMutex_
    FrameClock clock_{kClockBacklogFrames};

    // The watcher's own, after construction.
    SDL_AudioDeviceID device_ = 0;
    std::string driver_;
    bool keepsIdleStream_ = false;

    mutable std::mutex nameMutex_;
    std::string name_;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool inUse_ = false;
    bool wakeNow_ = false;
    std::thread thread_;
};

// Pulls exactly the frames that the steady clock says are due, as a sound card would.
class NullOutput final : public AudioOutput {
public:
    explicit NullOutput(AudioSource& source) : source_(source), buffer_(size_t(kPeriodFrames) * kChannels)
    {
        thread_ = std::thread([this] { run(); });
    }

    ~NullOutput() override
    {
        {
            std::lock_guard<std::mutex> guard(wakeMutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void lock() override { mutex_.lock(); }
    void unlock() override { mutex_.unlock(); }
    std::string name() const override { return "null"; }

private:
    // Often enough that a started recording reaches the output well within one period.
    static constexpr auto kTick = std::chrono::milliseconds(5);
    static constexpr int64_t kMaxBacklogFrames = kSampleRate / 2;

    void run()
    {
        const auto start = Clock::now();
        auto next = start;
        FrameClock clock(kMaxBacklogFrames);
        clock.restart(start);
        std::unique_lock<std::mutex> wakeGuard(wakeMutex_);
        while (!stopping_) {
            next += kTick;
            wake_.wait_until(wakeGuard, next, [this] { return stopping_; });
            if (stopping_)
                break;
            clock.pullDue(Clock::now(), [this](int frames) {
                std::lock_guard<std::mutex> guard(mutex_);
                source_.fill(buffer_.data(), frames);
            });
        }
    }

    AudioSource& source_;
    std::vector<int16_t> buffer_;
    std::mutex mutex_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace

std::unique_ptr<AudioOutput> openAudioOutput(OutputChoice choice, AudioSource& source)
{
    if (choice == OutputChoice::SoundDeviceOrNull) {
        if (auto output = WatchedSoundOutput::open(source))
            return output;
    }
    return std::make_unique<NullOutput>(source);
}

} // namespace zupfomat
