// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zupfomat::content {

enum class AudioFileFormat {
    Wma, // wmav2 in ASF
    Mp3, // libmp3lame
};

enum class BitRateMode { Constant, Variable };

struct EncodeSettings {
    AudioFileFormat format = AudioFileFormat::Wma;
    int64_t bitRate = 128000;                 // for BitRateMode::Constant
    BitRateMode mode = BitRateMode::Constant;
    bool xingHeader = true;                   // MP3 only: the header that gives a VBR file its length
    std::vector<uint8_t> coverJpeg;           // MP3 only: attached as front cover when not empty
    int coverWidth = 0;
    int coverHeight = 0;
};

// Encodes interleaved S16 PCM into a file. Returns false (and says why in `error`) on failure.
bool writeAudioFile(const std::string& utf8Path, const std::vector<int16_t>& interleaved, int sampleRate,
                    int channels, const EncodeSettings& settings, std::string* error = nullptr);

} // namespace zupfomat::content
