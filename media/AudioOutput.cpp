#include "media/AudioOutput.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>
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

class SdlOutput final : public AudioOutput {
public:
    static std::unique_ptr<AudioOutput> open(AudioSource& source)
    {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetMainReady();
        silenceAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return nullptr;
        std::unique_ptr<SdlOutput> output(new SdlOutput(source));
        SDL_AudioSpec wanted{};
        wanted.freq = kSampleRate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = kChannels;
        wanted.samples = kPeriodFrames;
        wanted.callback = &SdlOutput::callback;
        wanted.userdata = output.get();
        SDL_AudioSpec obtained{};
        output->device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        // SDL_Init succeeds without a sound card; only the open tells. The dummy driver
        // keeps poor time, so it counts as no device.
        const char* driver = SDL_GetCurrentAudioDriver();
        if (output->device_ == 0 || (driver && std::strcmp(driver, "dummy") == 0))
            return nullptr;
        output->driver_ = driver ? driver : "sdl";
        SDL_PauseAudioDevice(output->device_, 0);
        return output;
    }

    ~SdlOutput() override
    {
        if (device_ != 0)
            SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    void lock() override { SDL_LockAudioDevice(device_); }
    void unlock() override { SDL_UnlockAudioDevice(device_); }
    std::string name() const override { return "sdl:" + driver_; }

private:
    explicit SdlOutput(AudioSource& source) : source_(source) {}

    static void callback(void* userdata, Uint8* stream, int bytes)
    {
        auto* self = static_cast<SdlOutput*>(userdata);
        self->source_.fill(reinterpret_cast<int16_t*>(stream), bytes / int(kChannels * sizeof(int16_t)));
    }

    AudioSource& source_;
    SDL_AudioDeviceID device_ = 0;
    std::string driver_;
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
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        auto next = start;
        int64_t pulled = 0;
        std::unique_lock<std::mutex> wakeGuard(wakeMutex_);
        while (!stopping_) {
            next += kTick;
            wake_.wait_until(wakeGuard, next, [this] { return stopping_; });
            if (stopping_)
                break;
            const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
            const int64_t due = elapsed * kSampleRate / 1'000'000'000;
            if (due - pulled > kMaxBacklogFrames)
                pulled = due - kPeriodFrames; // after a stall, drop what a sound card would have lost too
            while (pulled < due) {
                const int frames = int(std::min<int64_t>(kPeriodFrames, due - pulled));
                {
                    std::lock_guard<std::mutex> guard(mutex_);
                    source_.fill(buffer_.data(), frames);
                }
                pulled += frames;
            }
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
        if (auto output = SdlOutput::open(source))
            return output;
    }
    return std::make_unique<NullOutput>(source);
}

} // namespace zupfomat
