// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace zupfomat::testing {

// What a listener checks in a capture: where a stretch of music recurs, what pitch sounds, where
// the notes begin. Mono is the mean of the two channels; frames are at 44.1 kHz.
std::vector<float> monoOf(const std::vector<int16_t>& stereo);

// The frame near `expected` (within ±search) where `x` repeats x[from, from + length) best,
// by normalised cross-correlation; `score` gets the correlation there (1 is identical).
int64_t bestMatch(const std::vector<float>& x, int64_t from, int64_t length, int64_t expected, int64_t search,
                  double* score = nullptr);

// The signal's attacks: the size of its sample-to-sample changes, smoothed over half a millisecond.
// Stretched music keeps these where the notes are even where its waveform differs pass to pass.
std::vector<float> attackEnvelope(const std::vector<float>& x);

// The strongest frequency (Hz) of x[from, from + length), from averaged long spectra with the
// peak interpolated between bins: fine enough to tell 5 cents apart at a guitar's low E.
double dominantFrequency(const std::vector<float>& x, int64_t from, int64_t length);
// The strongest `count` peaks (Hz), at least a semitone apart, strongest first.
std::vector<double> dominantFrequencies(const std::vector<float>& x, int64_t from, int64_t length, int count);
double centsBetween(double a, double b);

// Frames at which notes begin: where the energy of the signal's changes jumps by more than a
// factor over what came just before and stands above the quietest music around.
std::vector<int64_t> onsets(const std::vector<float>& x, int64_t from = 0, int64_t to = -1);
// Frames from an onset to its envelope's peak: how sharp its attack is.
double riseFrames(const std::vector<float>& x, int64_t onset);

// The longest run of frames in [from, to) whose samples stay within ±threshold.
int64_t longestSilence(const std::vector<int16_t>& stereo, int64_t from, int64_t to, int threshold = 8);
// The largest step between neighbouring samples in frames [from, to).
int largestStep(const std::vector<int16_t>& stereo, int64_t from, int64_t to);

} // namespace zupfomat::testing
