// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/PlaybackDevice.h"

#include "media/LoopPoint.h"
#include "media/MediaCommand.h"
#include "media/MediaLibraries.h"
#include "media/Recording.h"
#include "media/TempoStretcher.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

namespace zupfomat {

struct PlaybackDevice::Cue {
    Recording* recording = nullptr;
    uint64_t serial = 0; // each open, close and play is a new start
    bool playing = false;
};

// Closing hands the recording over to this thread: stopping its decoder and freeing its PCM
// can take milliseconds that no caller should wait for. What an old cue named is freed only
// once the callback has been seen outside fill after the cue was replaced: from then on it
// reads the new one.
class RecordingDisposer {
public:
    explicit RecordingDisposer(const std::atomic<uint64_t>& fillEpoch) : fillEpoch_(fillEpoch), thread_([this] { run(); }) {}
    ~RecordingDisposer()
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void dispose(std::unique_ptr<Recording> recording, std::unique_ptr<PlaybackDevice::Cue> cue = nullptr)
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            queue_.push_back({std::move(recording), std::move(cue)});
        }
        wake_.notify_one();
    }

    void holdLockFor(std::chrono::milliseconds duration)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        std::this_thread::sleep_for(duration);
    }

private:
    struct Garbage {
        std::unique_ptr<Recording> recording;
        std::unique_ptr<PlaybackDevice::Cue> cue;
    };

    void waitForCallbackOutside() const
    {
        const uint64_t epoch = fillEpoch_.load(std::memory_order_seq_cst);
        while (epoch % 2 == 1 && fillEpoch_.load(std::memory_order_seq_cst) == epoch)
            std::this_thread::sleep_for(std::chrono::microseconds(200)); // a fill takes microseconds
    }

    void run()
    {
        std::unique_lock<std::mutex> guard(mutex_);
        for (;;) {
            wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return; // stopping, with nothing left
            Garbage garbage = std::move(queue_.front());
            queue_.pop_front();
            guard.unlock();
            waitForCallbackOutside();
            garbage = {};
            guard.lock();
        }
    }

    const std::atomic<uint64_t>& fillEpoch_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Garbage> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

namespace {

static_assert(Recording::kSampleRate == kLoopFramesPerSecond, "loop points are counted in the device's frames");
static_assert(Recording::kMaxFrames <= PcmStore::kCapacityFrames, "the store holds the longest recording");

// What the callback publishes and reads as single words: frame counts in the low 40 bits (far
// beyond an hour of frames), the low bits of the cue's serial above them, so that a count or a
// loop frame is never taken for the cue after it.
constexpr int kFrameBits = 40;
constexpr uint64_t kFrameMask = (uint64_t(1) << kFrameBits) - 1;
static_assert(Recording::kMaxFrames < int64_t(kFrameMask), "a frame count fits its word");
constexpr uint64_t tagged(uint64_t serial, int64_t frames) { return serial << kFrameBits | (uint64_t(frames) & kFrameMask); }
constexpr bool sameCue(uint64_t word, uint64_t serial) { return (word >> kFrameBits) == (serial & (~uint64_t(0) >> kFrameBits)); }
constexpr int64_t framesOf(uint64_t word) { return int64_t(word & kFrameMask); }

// Armed at the end whatever the recording decodes to: a loop of the whole file.
constexpr int64_t kLoopAtEnd = int64_t(kFrameMask);

// A splice inside a recording may cut into a ringing note: its last kLoopDeclickFrames fade
// out, so the seam does not click. Below this jump between the last frame and the first
// nothing is audible, and the splice stays exact; a whole-file loop is made to join and is
// never touched.
constexpr int kAudibleJump = 32;

bool jumpIsAudible(const Recording& recording, int64_t loopFrame)
{
    int16_t last[Recording::kChannels];
    int16_t first[Recording::kChannels];
    recording.copyFrames(loopFrame - 1, last, 1);
    recording.copyFrames(0, first, 1);
    for (int c = 0; c < Recording::kChannels; ++c)
        if (std::abs(int(last[c]) - int(first[c])) > kAudibleJump)
            return true;
    return false;
}

// Fades the frames of `out` that stand for recording frames [from, from + count) where they
// fall within the last kLoopDeclickFrames before the splice frame.
void fadeBeforeSplice(int16_t* out, int64_t from, int64_t count, int64_t loopFrame)
{
    const int64_t fadeStart = loopFrame - kLoopDeclickFrames;
    for (int64_t f = std::max(from, fadeStart); f < from + count; ++f) {
        const int64_t gain = loopFrame - f; // kLoopDeclickFrames down to 1, so no frame is made silent
        for (int c = 0; c < Recording::kChannels; ++c) {
            int16_t& sample = out[(f - from) * Recording::kChannels + c];
            sample = int16_t(int64_t(sample) * gain / (kLoopDeclickFrames + 1));
        }
    }
}

// What the stretching costs is the audio thread's own processor time, however busy the machine.
int64_t threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

PlaybackDevice::PlaybackDevice(OutputChoice output)
    : outputChoice_(output), disposer_(std::make_unique<RecordingDisposer>(fillEpoch_)), cue_(new Cue)
{
}

PlaybackDevice::~PlaybackDevice()
{
    if (warmUp_.joinable())
        warmUp_.join();
    if (stretcherMaker_.joinable())
        stretcherMaker_.join();
    if (fasterMaker_.joinable())
        fasterMaker_.join();
    output_.reset(); // no callback runs after this
    if (recording_)
        disposer_->dispose(std::move(recording_));
    disposer_.reset();
    delete cue_.load();
}

void PlaybackDevice::prepare()
{
    std::lock_guard<std::mutex> guard(commandMutex_);
    if (warmUp_.joinable())
        return;
    warmUp_ = std::thread([this] {
        ffmpegLibrary();
        output(); // loads SDL and opens the device, which is given back after a second unused
    });
}

AudioOutput& PlaybackDevice::output()
{
    std::lock_guard<std::mutex> guard(outputMutex_);
    if (!output_)
        output_ = openAudioOutput(outputChoice_, *this);
    return *output_;
}

std::string PlaybackDevice::send(std::string_view command)
{
    const MediaCommand parsed = parseMediaCommand(command);
    std::lock_guard<std::mutex> guard(commandMutex_);
    makeStretcherIfWanted();
    switch (parsed.verb) {
    case MediaVerb::Open:
        return open(parsed.path);
    case MediaVerb::Close:
        close();
        return {};
    case MediaVerb::Play:
        playFromStart();
        return {};
    case MediaVerb::StatusPosition:
        return recording_ ? std::to_string(positionMs()) : std::string();
    case MediaVerb::StatusLength:
        return recording_ ? std::to_string(lengthMs()) : std::string();
    case MediaVerb::Invalid:
        break;
    }
    return {};
}

// Hands the callback a new cue; the one it replaces is freed once the callback is past it.
void PlaybackDevice::publish(Recording* recording, bool playing)
{
    Cue* old = cue_.exchange(new Cue{recording, ++serial_, playing}, std::memory_order_seq_cst);
    disposer_->dispose(nullptr, std::unique_ptr<Cue>(old));
}

std::string PlaybackDevice::open(const std::string& path)
{
    if (recording_)
        return {}; // the alias is taken: the caller must close first
    AudioOutput& out = output();
    auto recording = Recording::open(path);
    if (!recording)
        return {};
    recording_ = std::move(recording);
    publish(recording_.get(), false);
    out.setInUse(true);
    return {};
}

void PlaybackDevice::close()
{
    if (!recording_)
        return;
    publish(nullptr, false);
    output_->setInUse(false);
    disposer_->dispose(std::move(recording_));
}

void PlaybackDevice::playFromStart()
{
    if (!recording_)
        return;
    playCallback_.store(callbacks_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    firstFrameCallback_.store(-1, std::memory_order_relaxed);
    publish(recording_.get(), true);
}

void PlaybackDevice::setLoopPoint(int64_t pointMs)
{
    std::lock_guard<std::mutex> guard(commandMutex_);
    if (!recording_)
        return;
    int64_t frame = 0;
    if (pointMs >= lengthMs())
        frame = kLoopAtEnd; // lead 0: every frame of the recording, however long it decodes
    else
        frame = loopFrameFor(pointMs, recording_->lengthFrames());
    loop_.store(tagged(serial_, frame), std::memory_order_release);
}

void PlaybackDevice::setTempo(int percent)
{
    percent = std::clamp(percent, kTempoMin, kTempoMax);
    tempo_.store(percent, std::memory_order_relaxed);
    std::lock_guard<std::mutex> guard(commandMutex_);
    if (percent == kTempoNormal || stretcherMaker_.joinable())
        return;
    // Loading Rubber Band and setting up its state take milliseconds: not on the caller.
    stretcherMaker_ = std::thread([this] {
        stretcher_ = TempoStretcher::make(StretchEngine::Finer);
        stretcherReady_.store(stretcher_.get(), std::memory_order_release);
    });
}

// The callback cannot start a thread; the next command (the poll tick sends one every few
// hundred milliseconds) does it for it.
void PlaybackDevice::makeStretcherIfWanted()
{
    if (!fasterWanted_.load(std::memory_order_relaxed) || fasterMaker_.joinable())
        return;
    fasterMaker_ = std::thread([this] {
        fasterStretcher_ = TempoStretcher::make(StretchEngine::Faster);
        fasterReady_.store(fasterStretcher_.get(), std::memory_order_release);
    });
}

int64_t PlaybackDevice::lengthMs() const { return loopFramesToMs(recording_->lengthFrames()); }

// Until the callback has taken up the latest open or play, that starts at 0.
int64_t PlaybackDevice::positionMs() const
{
    const uint64_t progress = progress_.load(std::memory_order_acquire);
    const int64_t consumed = sameCue(progress, serial_) ? framesOf(progress) : 0;
    return loopFramesToMs(std::min(consumed, recording_->lengthFrames()));
}

// The audio thread: hands out only what is decoded already and silence for the rest.
void PlaybackDevice::fill(int16_t* out, int frames)
{
    const auto began = std::chrono::steady_clock::now();
    fillEpoch_.fetch_add(1, std::memory_order_seq_cst); // odd: inside
    const Cue* cue = cue_.load(std::memory_order_seq_cst);
    const int64_t callback = callbacks_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (cue->serial != heardSerial_) {
        heardSerial_ = cue->serial;
        consumed_ = 0;
        playing_ = cue->playing;
        awaitingFirstFrame_ = cue->playing;
        stretching_ = false;
    }
    int64_t written = 0;
    if (cue->recording && playing_) {
        const uint64_t loop = loop_.load(std::memory_order_acquire);
        const int64_t loopFrame = sameCue(loop, heardSerial_) ? framesOf(loop) : 0;
        const int tempo = tempo_.load(std::memory_order_relaxed);
        if (!stretching_ && tempo != kTempoNormal) {
            TempoStretcher* faster = fasterReady_.load(std::memory_order_acquire);
            active_ = faster ? faster : stretcherReady_.load(std::memory_order_acquire);
            if (active_)
                engageStretcher(*active_, *cue->recording, tempo / double(kTempoNormal));
        }
        if (stretching_) {
            active_->setSpeed(tempo / double(kTempoNormal));
            written = pullStretched(*active_, *cue->recording, loopFrame, out, frames);
        } else {
            PullEnd end = PullEnd::MoreToCome;
            written = pull(*cue->recording, loopFrame, out, frames, &end);
            if (end == PullEnd::RecordingOver)
                playing_ = false; // at the end: stays open, position = length
        }
        if (written > 0 && awaitingFirstFrame_) {
            awaitingFirstFrame_ = false;
            firstFrameNs_.store(nowNs(), std::memory_order_relaxed);
            firstFrameCallback_.store(callback, std::memory_order_release);
        }
    }
    std::memset(out + written * AudioOutput::kChannels, 0,
                size_t(frames - written) * AudioOutput::kChannels * sizeof(int16_t));
    const int64_t heard = stretching_ ? int64_t(heardFrames_) : consumed_;
    progress_.store(tagged(heardSerial_, heard), std::memory_order_release);
    fillEpoch_.fetch_add(1, std::memory_order_release); // even: outside
    const int64_t took = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - began).count();
    if (took > longestFillNs_.load(std::memory_order_relaxed))
        longestFillNs_.store(took, std::memory_order_relaxed);
}

// Copies the recording from the play position on, going on from frame 0 within the same
// buffer where an armed loop point is reached, as a looper pedal does: no silence, no
// extra callback at the seam. A point already passed is left to the caller's restart.
// A kLoopAtEnd point joins the end to the start untouched; one inside the recording may
// fade its last few milliseconds (see kLoopDeclickFrames).
int64_t PlaybackDevice::pull(const Recording& recording, int64_t loopFrame, int16_t* out, int frames, PullEnd* end)
{
    int64_t consumed = consumed_;
    int64_t written = 0;
    while (written < frames) {
        const bool complete = recording.complete(); // before the count, so a complete count is final
        const int64_t available = recording.decodedFrames();
        int64_t stop = available;
        bool splice = false;
        if (loopFrame > 0 && consumed <= loopFrame) {
            const int64_t loopEnd = complete ? std::min(loopFrame, available) : loopFrame;
            if (loopEnd <= available) {
                stop = loopEnd;
                splice = true;
            }
        }
        const int64_t count = std::clamp<int64_t>(stop - consumed, 0, frames - written);
        if (count > 0) {
            int16_t* to = out + written * AudioOutput::kChannels;
            recording.copyFrames(consumed, to, count);
            const bool inside = splice && !(complete && stop == available);
            if (inside && consumed + count > stop - kLoopDeclickFrames && stop > kLoopDeclickFrames && jumpIsAudible(recording, stop))
                fadeBeforeSplice(to, consumed, count, stop);
            consumed += count;
            written += count;
        }
        if (splice && consumed == stop && stop > 0) {
            consumed = 0;
            loopSplices_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        if (complete && consumed >= available) {
            *end = PullEnd::RecordingOver;
            break;
        }
        if (count == 0)
            break; // the decoder has not got this far yet
    }
    consumed_ = consumed;
    return written;
}

// The stretcher's resynthesis of a note is not the note's own waveform: taking over from the
// untouched samples mid-note would click, so the first 5 ms fade from one into the other.
constexpr int kTakeOverFadeFrames = 220;

// Goes over to the stretcher where playing is: it is fed the frames just before, which it uses
// to fill its window and does not give out, so what it gives out goes on from here.
void PlaybackDevice::engageStretcher(TempoStretcher& stretcher, const Recording& recording, double speed)
{
    stretcher.restart(speed);
    const int64_t leadStart = consumed_ - stretcher.leadFrames();
    for (int64_t at = leadStart; at < consumed_;) {
        const int count = int(std::min<int64_t>(TempoStretcher::kMaxBlock, consumed_ - at));
        int16_t* block = stretcher.inputBlock();
        const int silent = int(std::clamp<int64_t>(-at, 0, count)); // before the recording's start
        std::fill_n(block, silent * AudioOutput::kChannels, int16_t(0));
        if (count > silent)
            recording.copyFrames(at + silent, block + silent * AudioOutput::kChannels, count - silent);
        stretcher.feed(count, false);
        at += count;
    }
    heardFrames_ = double(consumed_);
    directFrom_ = consumed_;
    crossfadeDone_ = 0;
    crossfadeLength_ = consumed_ > 0 ? kTakeOverFadeFrames : 0; // from silence nothing needs fading
    inputOver_ = false;
    stretching_ = true;
}

// The stretcher's output for this buffer; it is fed by pull, so loop points splice the input
// exactly where they would at 100. The frame being heard advances by the speed for each frame
// handed out and comes round where the input does.
int64_t PlaybackDevice::pullStretched(TempoStretcher& stretcher, const Recording& recording, int64_t loopFrame,
                                      int16_t* out, int frames)
{
    const int64_t began = threadCpuNs();
    int written = 0;
    while (written < frames) {
        const int taken = stretcher.take(out + written * AudioOutput::kChannels, frames - written);
        if (taken > 0) {
            crossfadeFromDirect(recording, out + written * AudioOutput::kChannels, taken);
            advanceHeard(recording, loopFrame, taken, stretcher.speed());
            written += taken;
            continue;
        }
        if (inputOver_) {
            if (stretcher.drained()) {
                playing_ = false; // at the end: stays open, position = length
                heardFrames_ = double(recording.lengthFrames());
            }
            break;
        }
        PullEnd end = PullEnd::MoreToCome;
        const int64_t fed = pull(recording, loopFrame, stretcher.inputBlock(), stretcher.framesWanted(), &end);
        if (fed > 0 || end == PullEnd::RecordingOver) {
            inputOver_ = end == PullEnd::RecordingOver;
            stretcher.feed(int(fed), inputOver_);
        } else {
            break; // the decoder has not got this far yet
        }
    }
    const int64_t cost = threadCpuNs() - began;
    stretchNs_.fetch_add(cost, std::memory_order_relaxed);
    stretchedFrames_.fetch_add(written, std::memory_order_relaxed);
    if (stretcher.engine() == StretchEngine::Finer)
        judgeFinerEngine(cost, written);
    return written;
}

// After a few seconds of sound, whether the finer engine keeps within its share of the processor.
void PlaybackDevice::judgeFinerEngine(int64_t costNs, int frames)
{
    constexpr int64_t kJudgedAfterFrames = 4 * int64_t(AudioOutput::kSampleRate);
    finerNs_ += costNs;
    finerFrames_ += frames;
    if (finerFrames_ < kJudgedAfterFrames || fasterWanted_.load(std::memory_order_relaxed))
        return;
    const double seconds = double(finerFrames_) / AudioOutput::kSampleRate;
    if (double(finerNs_) * 1e-9 > kStretchBudget * seconds)
        fasterWanted_.store(true, std::memory_order_relaxed);
}

void PlaybackDevice::crossfadeFromDirect(const Recording& recording, int16_t* out, int frames)
{
    const int count = std::min(frames, crossfadeLength_ - crossfadeDone_);
    if (count <= 0)
        return;
    int16_t direct[kTakeOverFadeFrames * AudioOutput::kChannels];
    const int64_t from = directFrom_ + crossfadeDone_;
    const int available = int(std::clamp<int64_t>(recording.decodedFrames() - from, 0, count));
    recording.copyFrames(from, direct, available);
    std::fill(direct + available * AudioOutput::kChannels, direct + count * AudioOutput::kChannels, int16_t(0));
    for (int f = 0; f < count; ++f) {
        const double weight = double(crossfadeDone_ + f + 1) / (crossfadeLength_ + 1); // of the stretcher
        for (int c = 0; c < AudioOutput::kChannels; ++c) {
            int16_t& sample = out[f * AudioOutput::kChannels + c];
            sample = int16_t(std::lround(weight * sample + (1 - weight) * direct[f * AudioOutput::kChannels + c]));
        }
    }
    crossfadeDone_ += count;
}

void PlaybackDevice::advanceHeard(const Recording& recording, int64_t loopFrame, int frames, double speed)
{
    heardFrames_ += frames * speed;
    const int64_t loopEnd = loopFrame == kLoopAtEnd ? (recording.complete() ? recording.decodedFrames() : 0) : loopFrame;
    if (loopEnd > 0 && heardFrames_ >= double(loopEnd))
        heardFrames_ -= double(loopEnd);
    heardFrames_ = std::min(heardFrames_, double(std::max<int64_t>(recording.decodedFrames() - 1, 0)));
}

PlaybackDevice::Diagnostics PlaybackDevice::diagnostics() const
{
    Diagnostics d;
    d.callbacks = callbacks_.load(std::memory_order_relaxed);
    d.playCallback = playCallback_.load(std::memory_order_relaxed);
    d.firstFrameCallback = firstFrameCallback_.load(std::memory_order_acquire);
    d.firstFrameTime = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(firstFrameNs_.load()));
    d.loopSplices = loopSplices_.load(std::memory_order_relaxed);
    d.longestFillNs = longestFillNs_.load(std::memory_order_relaxed);
    const TempoStretcher* stretcher = stretcherReady_.load(std::memory_order_acquire);
    d.stretcherReady = stretcher != nullptr;
    d.fasterEngine = fasterReady_.load(std::memory_order_acquire) != nullptr;
    d.stretchNs = stretchNs_.load(std::memory_order_relaxed);
    d.stretchedFrames = stretchedFrames_.load(std::memory_order_relaxed);
    std::scoped_lock guard(commandMutex_, outputMutex_);
    d.bytesHeld = recording_ ? recording_->bytesHeld() : 0;
    d.decoded = recording_ && recording_->complete();
    if (output_) {
        d.outputName = output_->name();
        d.missedPeriods = output_->missedPeriods();
    }
    return d;
}

void PlaybackDevice::holdLocksFor(std::chrono::milliseconds duration)
{
    AudioOutput* out = nullptr;
    {
        std::lock_guard<std::mutex> guard(outputMutex_);
        out = output_.get();
    }
    std::thread output([out, duration] {
        if (out)
            out->holdLocksFor(duration);
    });
    std::thread disposer([this, duration] { disposer_->holdLockFor(duration); });
    {
        std::scoped_lock callers(commandMutex_, outputMutex_);
        std::this_thread::sleep_for(duration);
    }
    output.join();
    disposer.join();
}

} // namespace zupfomat
