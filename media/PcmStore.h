// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace zupfomat {

// Decoded PCM (stereo S16) held in fixed-size chunks, so that growing never copies or
// moves what is already there. One writer (the decoder) appends and publishes; readers
// (the audio callback) only touch frames that were published, without any lock.
class PcmStore {
public:
    static constexpr int kChannels = 2;
    static constexpr int64_t kChunkFrames = 1 << 15;  // 128 KiB a chunk
    static constexpr size_t kChunksPerBlock = 1024;
    static constexpr size_t kBlocks = 32;              // room for about six and a half hours
    static constexpr int64_t kCapacityFrames = int64_t(kChunkFrames) * kChunksPerBlock * kBlocks;

    PcmStore();
    ~PcmStore();
    PcmStore(const PcmStore&) = delete;
    PcmStore& operator=(const PcmStore&) = delete;

    // Writer side. Appends up to `frames` interleaved frames; returns how many fitted.
    int64_t append(const int16_t* samples, int64_t frames);
    int64_t appendedFrames() const { return written_; }
    // Makes everything appended so far visible to readers.
    void publish() { published_.store(written_, std::memory_order_release); }

    // Reader side.
    int64_t publishedFrames() const { return published_.load(std::memory_order_acquire); }
    // Copies frames [from, from + count) into out; the range must lie within publishedFrames().
    void copy(int64_t from, int16_t* out, int64_t count) const;

    // Bytes held by the chunks, for the benchmarks.
    int64_t bytesHeld() const;

private:
    struct Chunk {
        int16_t samples[kChunkFrames * kChannels];
    };
    using Block = std::array<std::unique_ptr<Chunk>, kChunksPerBlock>;

    Chunk* chunkAt(int64_t index) const;

    std::array<std::unique_ptr<Block>, kBlocks> blocks_;
    int64_t written_ = 0;       // writer only
    int64_t chunksAllocated_ = 0; // writer only
    std::atomic<int64_t> published_{0};
    std::atomic<int64_t> chunkCount_{0};
};

} // namespace zupfomat
