#include "media/PlaybackDevice.h"

#include "media/LoopPoint.h"
#include "media/MediaCommand.h"
#include "media/MediaLibraries.h"
#include "media/Recording.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

namespace zupfomat {

// Closing hands the recording over to this thread: stopping its decoder and freeing
// its PCM can take milliseconds that the GUI thread must not wait for.
class RecordingDisposer {
public:
    RecordingDisposer() : thread_([this] { run(); }) {}
    ~RecordingDisposer()
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void dispose(std::unique_ptr<Recording> recording)
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            queue_.push_back(std::move(recording));
        }
        wake_.notify_one();
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> guard(mutex_);
        for (;;) {
            wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return; // stopping, with nothing left
            auto recording = std::move(queue_.front());
            queue_.pop_front();
            guard.unlock();
            recording.reset();
            guard.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<Recording>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

namespace {

static_assert(Recording::kSampleRate == kLoopFramesPerSecond, "loop points are counted in the device's frames");
static_assert(Recording::kMaxFrames <= PcmStore::kCapacityFrames, "the store holds the longest recording");

// Armed at the end whatever the recording decodes to: a loop of the whole file.
constexpr int64_t kLoopAtEnd = std::numeric_limits<int64_t>::max();

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

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

PlaybackDevice::PlaybackDevice(OutputChoice output)
    : outputChoice_(output), disposer_(std::make_unique<RecordingDisposer>())
{
}

PlaybackDevice::~PlaybackDevice()
{
    output_.reset(); // no callback runs after this
    active_ = nullptr;
    if (recording_)
        disposer_->dispose(std::move(recording_));
    disposer_.reset();
}

void PlaybackDevice::prepare(const std::string& likelyFirstPath)
{
    likelyFirstPath_ = likelyFirstPath;
    warmUpMediaLibraries();
}

void PlaybackDevice::readyForFirstOpen()
{
    output();
    Recording::primeDecoders();
    if (!likelyFirstPath_.empty())
        Recording::open(likelyFirstPath_); // dropped at once: its decoder stops where it got to
}

AudioOutput& PlaybackDevice::output()
{
    if (!output_)
        output_ = openAudioOutput(outputChoice_, *this);
    return *output_;
}

std::string PlaybackDevice::send(std::string_view command)
{
    const MediaCommand parsed = parseMediaCommand(command);
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

std::string PlaybackDevice::open(const std::string& path)
{
    if (recording_)
        return {}; // the alias is taken: the caller must close first
    AudioOutput& out = output();
    auto recording = Recording::open(path);
    if (!recording)
        return {};
    {
        OutputLock lock(out);
        active_ = recording.get();
        consumed_.store(0, std::memory_order_relaxed);
        loopFrame_.store(0, std::memory_order_relaxed);
        playing_.store(false, std::memory_order_relaxed);
    }
    recording_ = std::move(recording);
    out.setInUse(true);
    return {};
}

void PlaybackDevice::close()
{
    if (!recording_)
        return;
    {
        OutputLock lock(*output_);
        active_ = nullptr;
        playing_.store(false, std::memory_order_relaxed);
        consumed_.store(0, std::memory_order_relaxed);
        loopFrame_.store(0, std::memory_order_relaxed);
    }
    output_->setInUse(false);
    disposer_->dispose(std::move(recording_));
}

void PlaybackDevice::playFromStart()
{
    if (!recording_)
        return;
    OutputLock lock(*output_);
    consumed_.store(0, std::memory_order_relaxed);
    loopFrame_.store(0, std::memory_order_relaxed);
    playing_.store(true, std::memory_order_relaxed);
    awaitingFirstFrame_ = true;
    playCallback_.store(callbacks_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    firstFrameCallback_.store(-1, std::memory_order_relaxed);
}

void PlaybackDevice::setLoopPoint(int64_t pointMs)
{
    if (!recording_)
        return;
    int64_t frame = 0;
    if (pointMs >= lengthMs())
        frame = kLoopAtEnd; // lead 0: every frame of the recording, however long it decodes
    else
        frame = loopFrameFor(pointMs, recording_->lengthFrames());
    loopFrame_.store(frame, std::memory_order_relaxed);
}

int64_t PlaybackDevice::lengthMs() const { return loopFramesToMs(recording_->lengthFrames()); }

int64_t PlaybackDevice::positionMs() const
{
    const int64_t consumed = consumed_.load(std::memory_order_relaxed);
    return loopFramesToMs(std::min(consumed, recording_->lengthFrames()));
}

// The audio thread: hands out only what is decoded already and silence for the rest.
void PlaybackDevice::fill(int16_t* out, int frames)
{
    const int64_t callback = callbacks_.fetch_add(1, std::memory_order_relaxed) + 1;
    int64_t written = 0;
    Recording* recording = active_;
    if (recording && playing_.load(std::memory_order_relaxed)) {
        written = pull(*recording, out, frames);
        if (written > 0 && awaitingFirstFrame_) {
            awaitingFirstFrame_ = false;
            firstFrameNs_.store(nowNs(), std::memory_order_relaxed);
            firstFrameCallback_.store(callback, std::memory_order_release);
        }
    }
    std::memset(out + written * AudioOutput::kChannels, 0,
                size_t(frames - written) * AudioOutput::kChannels * sizeof(int16_t));
}

// Copies the recording from the play position on, going on from frame 0 within the same
// buffer where an armed loop point is reached, as a looper pedal does: no silence, no
// extra callback at the seam. A point already passed is left to the caller's restart.
// A kLoopAtEnd point joins the end to the start untouched; one inside the recording may
// fade its last few milliseconds (see kLoopDeclickFrames).
int64_t PlaybackDevice::pull(const Recording& recording, int16_t* out, int frames)
{
    const int64_t loopFrame = loopFrame_.load(std::memory_order_relaxed);
    int64_t consumed = consumed_.load(std::memory_order_relaxed);
    int64_t written = 0;
    while (written < frames) {
        const bool complete = recording.complete(); // before the count, so a complete count is final
        const int64_t available = recording.decodedFrames();
        int64_t end = available;
        bool splice = false;
        if (loopFrame > 0 && consumed <= loopFrame) {
            const int64_t loopEnd = complete ? std::min(loopFrame, available) : loopFrame;
            if (loopEnd <= available) {
                end = loopEnd;
                splice = true;
            }
        }
        const int64_t count = std::clamp<int64_t>(end - consumed, 0, frames - written);
        if (count > 0) {
            int16_t* to = out + written * AudioOutput::kChannels;
            recording.copyFrames(consumed, to, count);
            const bool inside = splice && !(complete && end == available);
            if (inside && consumed + count > end - kLoopDeclickFrames && end > kLoopDeclickFrames && jumpIsAudible(recording, end))
                fadeBeforeSplice(to, consumed, count, end);
            consumed += count;
            written += count;
        }
        if (splice && consumed == end && end > 0) {
            consumed = 0;
            loopSplices_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        if (complete && consumed >= available) {
            playing_.store(false, std::memory_order_relaxed); // at the end: stays open, position = length
            break;
        }
        if (count == 0)
            break; // the decoder has not got this far yet
    }
    consumed_.store(consumed, std::memory_order_relaxed);
    return written;
}

PlaybackDevice::Diagnostics PlaybackDevice::diagnostics() const
{
    Diagnostics d;
    d.callbacks = callbacks_.load(std::memory_order_relaxed);
    d.playCallback = playCallback_.load(std::memory_order_relaxed);
    d.firstFrameCallback = firstFrameCallback_.load(std::memory_order_acquire);
    d.firstFrameTime = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(firstFrameNs_.load()));
    d.loopSplices = loopSplices_.load(std::memory_order_relaxed);
    d.bytesHeld = recording_ ? recording_->bytesHeld() : 0;
    d.decoded = recording_ && recording_->complete();
    d.outputName = output_ ? output_->name() : std::string();
    return d;
}

} // namespace zupfomat
