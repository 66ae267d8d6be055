// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/PcmStore.h"

#include <algorithm>
#include <cstring>

namespace zupfomat {

PcmStore::PcmStore() = default;
PcmStore::~PcmStore() = default;

PcmStore::Chunk* PcmStore::chunkAt(int64_t index) const
{
    return (*blocks_[size_t(index) / kChunksPerBlock])[size_t(index) % kChunksPerBlock].get();
}

int64_t PcmStore::append(const int16_t* samples, int64_t frames)
{
    int64_t done = 0;
    while (done < frames && written_ < kCapacityFrames) {
        const int64_t chunkIndex = written_ / kChunkFrames;
        if (chunkIndex >= chunksAllocated_) {
            auto& block = blocks_[size_t(chunkIndex) / kChunksPerBlock];
            if (!block)
                block = std::make_unique<Block>();
            // Left unset: only appended frames are ever read, and the end of the last chunk is
            // then never touched, so it costs no memory.
            (*block)[size_t(chunkIndex) % kChunksPerBlock].reset(new Chunk);
            ++chunksAllocated_;
            chunkCount_.store(chunksAllocated_, std::memory_order_relaxed);
        }
        const int64_t offset = written_ % kChunkFrames;
        const int64_t n = std::min(frames - done, kChunkFrames - offset);
        std::memcpy(chunkAt(chunkIndex)->samples + offset * kChannels, samples + done * kChannels,
                    size_t(n) * kChannels * sizeof(int16_t));
        written_ += n;
        done += n;
    }
    return done;
}

void PcmStore::copy(int64_t from, int16_t* out, int64_t count) const
{
    while (count > 0) {
        const int64_t offset = from % kChunkFrames;
        const int64_t n = std::min(count, kChunkFrames - offset);
        std::memcpy(out, chunkAt(from / kChunkFrames)->samples + offset * kChannels,
                    size_t(n) * kChannels * sizeof(int16_t));
        out += n * kChannels;
        from += n;
        count -= n;
    }
}

int64_t PcmStore::bytesHeld() const
{
    return chunkCount_.load(std::memory_order_relaxed) * int64_t(sizeof(Chunk));
}

} // namespace zupfomat
