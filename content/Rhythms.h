#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zupfomat::content {

inline constexpr int kWmaFrameSamples = 2048;

struct DrumLane {
    int key;             // General MIDI percussion key
    const char* pattern; // a step a character: x loud, o soft, - nothing
};

struct RhythmPattern {
    const char* file;     // in the content folder's wma folder
    double tempo;         // beats a minute before nudging
    int beatsPerBar;      // beats of the tempo in one bar
    int stepsPerBar;
    int bars;
    std::vector<DrumLane> lanes;
};

// The seven backing rhythms in the order of the rhythm list.
const std::vector<RhythmPattern>& rhythmPatterns();

// Samples of one bar: the tempo nudged so that a bar is a whole number of WMA frames.
int64_t barSamples(const RhythmPattern& rhythm);

// The loop's PCM (stereo S16) as it must decode, and the PCM to encode: the loop led in by
// its own last frame, which the WMA decoder's delay swallows.
struct RhythmLoop {
    std::vector<int16_t> loop;
    std::vector<int16_t> toEncode;
};
RhythmLoop renderRhythm(const RhythmPattern& rhythm, const std::string& soundFont, std::string* error);

} // namespace zupfomat::content
