// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/PcmStore.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace zupfomat {

// One opened audio file. Opening reads only the container's header (about a millisecond);
// a worker thread then decodes the whole file into PCM at the device's format, and the
// audio callback may play whatever has been decoded so far.
class Recording {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = PcmStore::kChannels;
    // The longest recording kept: an hour, some 635 MB of PCM. A file that decodes to more ends
    // there, and its length says so.
    static constexpr int64_t kMaxFrames = int64_t(60) * 60 * kSampleRate;

    // Returns nullptr when the path is not a regular file or holds no decodable audio stream.
    static std::unique_ptr<Recording> open(const std::string& utf8Path);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // True once the decoder has reached the end of the file (or given up on it).
    bool complete() const { return complete_.load(std::memory_order_acquire); }
    int64_t decodedFrames() const { return pcm_.publishedFrames(); }
    // The decoded length once complete; until then the container's estimate.
    int64_t lengthFrames() const;
    void copyFrames(int64_t from, int16_t* out, int64_t count) const { pcm_.copy(from, out, count); }
    int64_t bytesHeld() const { return pcm_.bytesHeld(); }

    struct Decoder; // FFmpeg state, private to Recording.cpp

private:
    Recording();
    void decodeAll();

    std::unique_ptr<Decoder> decoder_;
    PcmStore pcm_;
    int64_t estimatedFrames_ = 0;
    std::atomic<bool> complete_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread worker_;
};

} // namespace zupfomat
