// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/AudioFileWriter.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zupfomat::testing {

// A sweep that never repeats and starts loud, so that any two stretches of it differ.
std::vector<int16_t> sweep(double seconds, int sampleRate, int channels);

bool writeWma(const std::string& path, double seconds, int sampleRate = 44100, int channels = 2);
bool writeMp3(const std::string& path, double seconds, int sampleRate = 44100, int channels = 2,
              content::BitRateMode mode = content::BitRateMode::Constant, bool xingHeader = true,
              int coverSide = 0);

// Damages one header field of a WMA that writeWma made (stereo 44.1 kHz), as one flipped field
// in a user's file would. False when the field is not found.
enum class WmaDamage { SampleRate1Hz, SampleRate4GHz, Channels200, PlayDurationHuge, PlayDurationNegative, PlayDurationADay };
bool damageWma(const std::string& path, WmaDamage damage);

// The file decoded by FFmpeg and converted to the device's format (stereo S16, 44.1 kHz).
std::vector<int16_t> decodeToDeviceFormat(const std::string& path);
int64_t decodedMs(const std::string& path);
int streamCount(const std::string& path);

// The first frame with any sound in it, from `fromFrame` on; -1 when all is silent.
int64_t firstSoundFrame(const std::vector<int16_t>& samples, int64_t fromFrame = 0);

// What SDL's disk driver wrote: interleaved stereo S16 as the sound card would have been given it.
std::vector<int16_t> readRawSamples(const std::string& path);

// Polls until the condition holds or the timeout passes; returns the condition's last value.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

} // namespace zupfomat::testing
