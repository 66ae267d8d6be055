// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace zupfomat {

// Where a loop comes round, in frames of the device's 44.1 kHz output. The poll tick restarts
// once "status position" (whole milliseconds, rounded down) reaches the loop point; the first
// frame at which that happens is where the device splices. A point at or past the recording's
// length loops the whole recording, every frame of it.
inline constexpr int64_t kLoopFramesPerSecond = 44100;

// A splice inside a recording fades the frames just before it (about 3 ms) where the jump to
// the first frame would click.
inline constexpr int64_t kLoopDeclickFrames = 128;

// Milliseconds of a frame count, rounded down, as "status" answers them.
inline constexpr int64_t loopFramesToMs(int64_t frames)
{
    return frames / kLoopFramesPerSecond * 1000 + frames % kLoopFramesPerSecond * 1000 / kLoopFramesPerSecond;
}

// The splice frame for a loop point in ms on a recording of totalFrames; 0 when the point
// cannot be spliced (at or before the start).
inline constexpr int64_t loopFrameFor(int64_t pointMs, int64_t totalFrames)
{
    if (pointMs <= 0 || totalFrames <= 0)
        return 0;
    if (pointMs >= loopFramesToMs(totalFrames))
        return totalFrames;
    // ceil(pointMs * 44.1) without the product leaving 64 bits: pointMs is below the length here.
    return (pointMs * kLoopFramesPerSecond + 999) / 1000;
}

} // namespace zupfomat
