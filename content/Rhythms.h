// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zupfomat::content {

inline constexpr int kWmaFrameSamples = 2048;

// Every rhythm is a phrase of this many bars: a guitarist counts it through, the fill in its
// last bar leads back to the crash on its first beat.
inline constexpr int kPhraseBars = 8;

// General MIDI percussion keys the rhythms play.
namespace drum {
inline constexpr int kKick = 36, kSideStick = 37, kSnare = 38, kFloorTom = 43, kClosedHat = 42, kPedalHat = 44,
                     kLowTom = 45, kOpenHat = 46, kMidTom = 47, kHighTom = 50, kCrash = 49, kRide = 51;
} // namespace drum

struct DrumLane {
    int key;             // General MIDI percussion key
    std::string pattern; // a step a character over the whole phrase: X accented, x loud, o soft, - nothing
};

struct RhythmPattern {
    const char* name;     // as the rhythm list shows it: "Rock 2"
    const char* file;     // in the content folder's wma folder
    double tempo;         // beats a minute before nudging
    int beatsPerBar;      // beats of the tempo in one bar
    int stepsPerBar;
    int bars;
    std::vector<DrumLane> lanes;
};

// The seven backing rhythms in the order of the rhythm list.
const std::vector<RhythmPattern>& rhythmPatterns();

struct Score;
// The rhythm a riff is played along with: the loop whose tempo, metre and feel it shares (a 6/8
// riff's quarter tempo is the 6/8 loop's dotted quarters times 3/2); null for none.
const RhythmPattern* rhythmFor(const Score& score);

// The key velocity a step's character plays at; 0 for a rest.
int hitVelocity(char hit);

// Samples of one bar: the tempo nudged so that a bar is a whole number of WMA frames.
int64_t barSamples(const RhythmPattern& rhythm);

// The loop's PCM (stereo S16) as it must decode, and the PCM to encode: the loop led in by
// its own last frame, which the WMA decoder's delay swallows.
struct RhythmLoop {
    std::vector<int16_t> loop;
    std::vector<int16_t> toEncode;
};
// AsPlayed keeps the drums' own dynamics, its loudest hit at -3 dBFS; PackLoudness levels the
// loop to the loudness every recording of the pack has.
enum class RhythmLevel { AsPlayed, PackLoudness };
RhythmLoop renderRhythm(const RhythmPattern& rhythm, const std::string& soundFont, std::string* error,
                        RhythmLevel level = RhythmLevel::AsPlayed);

} // namespace zupfomat::content
