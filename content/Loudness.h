// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace zupfomat::content {

// Every recording of the pack plays at one loudness, so that a player never reaches for the
// volume between a riff, a rhythm and a lesson.
// The pack promises -16 LUFS within 1 LU as FFmpeg's ebur128 reads the encoded files; they read
// up to 0.8 LU below what the levelling meets (encoding, the limited peaks scaled under the
// ceiling), so it aims that much higher that they land in the middle.
inline constexpr double kTargetLoudness = -15.6; // LUFS, integrated
// Well below the -1 dBTP the files promise: WMA encoding lets the peaks of limited drums
// overshoot by up to a decibel.
inline constexpr double kTruePeakCeiling = -3.0; // dBTP

// Integrated loudness per ITU-R BS.1770-4 of interleaved stereo at kRenderRate, in LUFS;
// -infinity when nothing is above the absolute gate.
double integratedLoudness(const std::vector<float>& stereo);

// The highest value of the signal between its samples as well as at them (4x oversampled), as a
// linear amplitude.
double truePeak(const std::vector<float>& stereo);

struct Levelling {
    double gainDb = 0;       // the static gain to the target loudness, before any limiting
    double limitedDb = 0;    // the deepest the limiter went, 0 or below
};

// Gains the recording to kTargetLoudness; where that would push its true peak above
// kTruePeakCeiling, a look-ahead limiter holds the peaks down instead of the whole recording
// being made quieter. The limiter treats the recording as a loop, so that a loop's end still
// joins its start; on a recording played once the wrap only reaches its faded end.
Levelling levelToLoudness(std::vector<float>& stereo);

} // namespace zupfomat::content
