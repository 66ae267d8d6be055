// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/AudioOutput.h"

#include "media/MediaLibraries.h"
#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
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

// The desktop's sound server lists the stream, and its mixer shows it, under the program's own
// name and icon, as music (a server may route or duck streams by their role). SDL passes the
// names on, and the role to PipeWire's own protocol; libpulse takes the icon and the role from
// its environment variables, unless the user has set them, into the program's properties, which
// its streams inherit. All are read when SDL connects, in SDL_InitSubSystem.
void nameTheStream()
{
    constexpr const char* kName = "Zupfomat";
    sdlLibrary()->SDL_SetHint(SDL_HINT_APP_NAME, kName);
    sdlLibrary()->SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, kName);
    sdlLibrary()->SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, kName);
    sdlLibrary()->SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "music");
#ifndef _WIN32
    // Without overwriting: once the variables are there, this changes the environment no more.
    setenv("PULSE_PROP_application.icon_name", "de.zupfomat.Zupfomat", 0);
    setenv("PULSE_PROP_media.role", "music", 0);
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

int64_t nowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }
Clock::time_point atNs(int64_t ns) { return Clock::time_point(std::chrono::nanoseconds(ns)); }

// Whoever holds it calls the source; whoever finds it taken writes silence instead of waiting.
class FillToken {
public:
    bool claim() { return !held_.exchange(true, std::memory_order_acquire); }
    void release() { held_.store(false, std::memory_order_release); }

private:
    std::atomic<bool> held_{false};
};

// The system's sound device through SDL: the desktop's sound server where one runs, else a
// card. Two threads of its own look after it. The clock stands in for the device whenever it
// does not pull: when it is lost (the server restarted, a headset gone), and when it stops
// pulling for kOutputStallLimit (a hung server), so position and loops keep time; as soon as a
// device pulls again, the recording goes on there from where the clock has got to. The watcher
// opens, checks and closes devices, and may itself wait on a server that does not answer; the
// clock never does. An idle output gives its stream back to the server.
class WatchedSoundOutput final : public AudioOutput {
public:
    static std::unique_ptr<AudioOutput> open(AudioSource& source)
    {
        std::unique_ptr<WatchedSoundOutput> output(new WatchedSoundOutput(source));
        output->watcher_ = std::thread([watched = output.get()] { watched->watch(); });
        output->clockThread_ = std::thread([watched = output.get()] { watched->runClock(); });
        switch (output->awaitFirstDevice()) {
        case FirstDevice::None:
            return nullptr; // no device at all: the plain null output keeps time
        case FirstDevice::NotAnswering:
            output->carryOnByClock(Carrier::Stalled, nowNs()); // the device takes over when its open returns
            return output;
        default:
            return output;
        }
    }

    ~WatchedSoundOutput() override
    {
        {
            std::lock_guard<std::mutex> guard(wakeMutex_);
            stopping_ = true;
        }
        stopClock_.store(true);
        wake_.notify_all();
        if (clockThread_.joinable())
            clockThread_.join();
        if (watcher_.joinable())
            watcher_.join();
        closeSoundDevice();
    }

    std::string driverName() const
    {
        std::lock_guard<std::mutex> guard(nameMutex_);
        return driver_;
    }

    std::string name() const override
    {
        const Carrier carrier = carrier_.load(std::memory_order_acquire);
        if (carrier == Carrier::Clock || carrier == Carrier::Stalled)
            return "null";
        std::lock_guard<std::mutex> guard(nameMutex_);
        return driver_.empty() ? std::string() : "sdl:" + driver_;
    }

    void setInUse(bool inUse) override
    {
        if (inUse)
            lastPullNs_.store(nowNs(), std::memory_order_relaxed); // from now on a device owes samples
        inUse_.store(inUse, std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> guard(wakeMutex_);
            wakeNow_ = true;
        }
        wake_.notify_all();
    }

    int64_t missedPeriods() const override { return missed_.load(std::memory_order_relaxed); }

    void holdLocksFor(std::chrono::milliseconds duration) override
    {
        std::scoped_lock hold(wakeMutex_, nameMutex_);
        std::this_thread::sleep_for(duration);
    }

private:
    enum class Carrier {
        Sound,   // the SDL device pulls
        Stalled, // the device stopped pulling: the clock pulls until it pulls again
        Clock,   // the device is lost or none opens: the clock pulls until the watcher opens one
        Nobody,  // idle, the stream given back, or the first device opening: nothing pulls
    };
    enum class FirstDevice { Pending, Opened, None, NotAnswering };

    // Often enough for the clock to stand in for a device without a gap.
    static constexpr auto kTick = std::chrono::milliseconds(5);
    // SDL marks a lost device at once; a tenth of a second keeps the check cheap.
    static constexpr auto kStatusEvery = std::chrono::milliseconds(100);
    // A server coming back is found within about a second, without hammering it while it is away.
    static constexpr auto kReopenEvery = std::chrono::seconds(1);
    // A lost device is looked for on its own driver this long (a sound server restarting takes a
    // moment to answer, while ALSA's default device answers at once and only goes round to it).
    static constexpr auto kSameDriverFor = std::chrono::seconds(5);
    // How long an idle stream stays, so that STOP and a following PLAY reuse it.
    static constexpr auto kIdleStreamKept = std::chrono::seconds(1);
    // The clock catches up on a stall (kOutputStallLimit) and a reopen in one go.
    static constexpr int64_t kClockBacklogFrames = 2 * kSampleRate;

    explicit WatchedSoundOutput(AudioSource& source) : source_(source), buffer_(size_t(kPeriodFrames) * kChannels)
    {
        lastPullNs_.store(nowNs());
    }

    static void callback(void* userdata, Uint8* stream, int bytes)
    {
        auto* self = static_cast<WatchedSoundOutput*>(userdata);
        self->lastPullNs_.store(nowNs(), std::memory_order_relaxed);
        Carrier carrier = self->carrier_.load(std::memory_order_acquire);
        if (carrier == Carrier::Stalled && self->carrier_.compare_exchange_strong(carrier, Carrier::Sound))
            carrier = Carrier::Sound; // pulling again: the device carries on from where the clock has got to
        if (carrier == Carrier::Sound) {
            if (self->token_.claim()) {
                self->source_.fill(reinterpret_cast<int16_t*>(stream), bytes / int(kChannels * sizeof(int16_t)));
                self->token_.release();
                return;
            }
            self->missed_.fetch_add(1, std::memory_order_relaxed); // the clock's last pull is still running
        }
        std::memset(stream, 0, size_t(bytes));
    }

    FirstDevice awaitFirstDevice()
    {
        std::unique_lock<std::mutex> guard(wakeMutex_);
        if (!firstDone_.wait_for(guard, kOutputStallLimit, [this] { return firstDevice_ != FirstDevice::Pending; }))
            firstDevice_ = FirstDevice::NotAnswering;
        return firstDevice_;
    }

    // Opens the default device, paused, on `driver` alone or on the first that answers. The
    // driver list is read afresh each time, so a server that came back (or a card, where the
    // server stays away) is found.
    bool openSoundDevice(const char* driver = nullptr)
    {
        if (!sdlLibrary())
            return false; // SDL cannot load: the null output keeps time
        sdlLibrary()->SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        sdlLibrary()->SDL_SetHint(SDL_HINT_AUDIODRIVER, driver); // SDL_AUDIODRIVER, where set, still decides
        nameTheStream();
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
        const char* opened = sdlLibrary()->SDL_GetCurrentAudioDriver();
        if (device_ == 0 || (opened && std::strcmp(opened, "dummy") == 0)) {
            if (device_ != 0)
                sdlLibrary()->SDL_CloseAudioDevice(device_);
            device_ = 0;
            sdlLibrary()->SDL_QuitSubSystem(SDL_INIT_AUDIO); // so the next try chooses its driver afresh
            return false;
        }
        {
            std::lock_guard<std::mutex> guard(nameMutex_);
            driver_ = opened ? opened : "sdl";
        }
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

    // The clock pulls from `fromNs` on: what is due since then is pulled at once.
    void carryOnByClock(Carrier carrier, int64_t fromNs)
    {
        clockFromNs_.store(fromNs, std::memory_order_relaxed);
        clockEpoch_.fetch_add(1, std::memory_order_release);
        carrier_.store(carrier, std::memory_order_release);
    }

    // A device just opened starts pulling; where the clock stands in, it goes on until the device pulls.
    void startPulling()
    {
        Carrier idle = Carrier::Nobody;
        if (!carrier_.compare_exchange_strong(idle, Carrier::Sound))
            carrier_.store(Carrier::Stalled);
        sdlLibrary()->SDL_PauseAudioDevice(device_, 0);
    }

    void watch()
    {
        const bool opened = openSoundDevice();
        bool awaited = true; // the caller still waits for this first open
        {
            std::lock_guard<std::mutex> guard(wakeMutex_);
            awaited = firstDevice_ == FirstDevice::Pending;
            if (awaited)
                firstDevice_ = opened ? FirstDevice::Opened : FirstDevice::None;
        }
        firstDone_.notify_all();
        if (opened)
            startPulling();
        else if (awaited)
            return; // the caller makes the plain null output instead
        else
            carryOnByClock(Carrier::Clock, nowNs()); // the first open came back empty after all

        auto nextStatus = Clock::now();
        auto nextReopen = Clock::now() + kReopenEvery;
        auto lastInUse = Clock::now();
        auto lost = Clock::time_point::min();
        std::unique_lock<std::mutex> wakeGuard(wakeMutex_);
        while (!stopping_) {
            wake_.wait_for(wakeGuard, kStatusEvery, [this] { return stopping_ || wakeNow_; });
            if (stopping_)
                break;
            const bool inUse = inUse_.load(std::memory_order_relaxed);
            if (wakeNow_ && inUse)
                nextReopen = Clock::now(); // a recording was opened: no waiting for its sound
            wakeNow_ = false;
            wakeGuard.unlock();

            const auto now = Clock::now();
            if (inUse)
                lastInUse = now;
            if (device_ != 0 && now >= nextStatus) {
                nextStatus = now + kStatusEvery;
                if (sdlLibrary()->SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
                    carryOnByClock(Carrier::Clock, nowNs()); // first, so not a frame of time is lost
                    closeSoundDevice();
                    nextReopen = now + kReopenEvery;
                    lost = now;
                } else if (!inUse && !keepsIdleStream_ && now - lastInUse >= kIdleStreamKept) {
                    carrier_.store(Carrier::Nobody, std::memory_order_release);
                    closeSoundDevice();
                }
            }
            if (device_ == 0 && inUse && now >= nextReopen) {
                nextReopen = now + kReopenEvery;
                const std::string lostDriver = driverName();
                if (openSoundDevice(now - lost < kSameDriverFor ? lostDriver.c_str() : nullptr))
                    startPulling();
                else if (carrier_.load() == Carrier::Nobody)
                    carryOnByClock(Carrier::Clock, nowNs()); // no device to come back to: keep time meanwhile
            }
            wakeGuard.lock();
        }
    }

    // Pulls what a device would have pulled while none does; takes over from one that has not
    // pulled for kOutputStallLimit while a recording is open.
    void runClock()
    {
        FrameClock clock(kClockBacklogFrames);
        uint64_t epoch = clockEpoch_.load(std::memory_order_acquire);
        while (!stopClock_.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(kTick);
            Carrier carrier = carrier_.load(std::memory_order_acquire);
            const int64_t lastPull = lastPullNs_.load(std::memory_order_relaxed);
            const bool owed = carrier == Carrier::Sound || carrier == Carrier::Nobody;
            if (owed && inUse_.load(std::memory_order_relaxed) &&
                nowNs() - lastPull > std::chrono::nanoseconds(kOutputStallLimit).count() &&
                carrier_.compare_exchange_strong(carrier, Carrier::Stalled)) {
                carryOnByClock(Carrier::Stalled, lastPull); // the time since its last pull is caught up at once
                carrier = Carrier::Stalled;
            }
            if (carrier != Carrier::Clock && carrier != Carrier::Stalled)
                continue;
            const uint64_t now = clockEpoch_.load(std::memory_order_acquire);
            if (now != epoch) {
                epoch = now;
                clock.restart(atNs(clockFromNs_.load(std::memory_order_relaxed)));
            }
            if (!token_.claim())
                continue;
            const Carrier holder = carrier_.load(std::memory_order_acquire);
            if (holder == Carrier::Clock || holder == Carrier::Stalled) // else the device took over meanwhile
                clock.pullDue(Clock::now(), [this](int frames) { source_.fill(buffer_.data(), frames); });
            token_.release();
        }
    }

    AudioSource& source_;
    std::vector<int16_t> buffer_; // the clock's
    FillToken token_;
    std::atomic<Carrier> carrier_{Carrier::Nobody};
    std::atomic<int64_t> lastPullNs_{0};
    std::atomic<bool> inUse_{false};
    std::atomic<uint64_t> clockEpoch_{0};
    std::atomic<int64_t> clockFromNs_{0};
    std::atomic<int64_t> missed_{0};
    std::atomic<bool> stopClock_{false};

    // The watcher's own, after construction.
    SDL_AudioDeviceID device_ = 0;
    bool keepsIdleStream_ = false;

    mutable std::mutex nameMutex_;
    std::string driver_;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::condition_variable firstDone_;
    FirstDevice firstDevice_ = FirstDevice::Pending;
    bool stopping_ = false;
    bool wakeNow_ = false;
    std::thread watcher_;
    std::thread clockThread_;
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
            clock.pullDue(Clock::now(), [this](int frames) { source_.fill(buffer_.data(), frames); });
        }
    }

    AudioSource& source_;
    std::vector<int16_t> buffer_;
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
