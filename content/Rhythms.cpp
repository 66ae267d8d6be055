// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Rhythms.h"
#include "content/Loudness.h"

#include "content/Score.h"
#include "content/Synth.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace zupfomat::content {
namespace {

using namespace drum;

// How a rhythm is written: a groove of one or two bars that runs through the phrase, and the
// fill that takes the phrase's last bar. A groove lane the fill does not name rests there.
struct Groove {
    const char* name;
    const char* file;
    double tempo;
    int beatsPerBar;
    int stepsPerBar;
    std::vector<DrumLane> groove;
    std::vector<DrumLane> fill;
};

std::string& laneFor(RhythmPattern& rhythm, int key)
{
    for (DrumLane& lane : rhythm.lanes) {
        if (lane.key == key)
            return lane.pattern;
    }
    const size_t steps = size_t(rhythm.stepsPerBar) * size_t(rhythm.bars);
    rhythm.lanes.push_back({key, std::string(steps, '-')});
    return rhythm.lanes.back().pattern;
}

RhythmPattern phrase(const Groove& g)
{
    RhythmPattern rhythm{g.name, g.file, g.tempo, g.beatsPerBar, g.stepsPerBar, kPhraseBars, {}};
    const size_t fillStart = size_t(g.stepsPerBar) * (kPhraseBars - 1);
    for (const DrumLane& lane : g.groove) {
        assert(lane.pattern.size() % size_t(g.stepsPerBar) == 0);
        std::string& steps = laneFor(rhythm, lane.key);
        for (size_t step = 0; step < fillStart; ++step)
            steps[step] = lane.pattern[step % lane.pattern.size()];
    }
    for (const DrumLane& lane : g.fill) {
        assert(lane.pattern.size() == size_t(g.stepsPerBar));
        laneFor(rhythm, lane.key).replace(fillStart, lane.pattern.size(), lane.pattern);
    }
    // One crash where the phrase starts again: in every bar it would wash the groove out.
    laneFor(rhythm, kCrash)[0] = 'x';
    return rhythm;
}

} // namespace

const std::vector<RhythmPattern>& rhythmPatterns()
{
    static const std::vector<RhythmPattern> patterns = {
        phrase({"Rock 1", "rock1.wma", 100, 4, 16,
                {{kKick, "x-------x-x-----x-------x-x--x--"},
                 {kSnare, "----x-------x-------x-------x-o-"},
                 {kClosedHat, "x-o-x-o-x-o-x-o-x-o-x-o-x-o-x-o-"}},
                {{kKick, "x-------x-------"},
                 {kClosedHat, "x-o-x-o---------"},
                 {kSnare, "----x---xoxx----"},
                 {kHighTom, "------------xx--"},
                 {kMidTom, "--------------x-"},
                 {kFloorTom, "---------------x"}}}),
        phrase({"Rock 2", "rock2.wma", 118, 4, 16,
                {{kKick, "x-----x-x-------x-----x-x-----x-"},
                 {kSnare, "----x-------x-------x-------x---"},
                 {kClosedHat, "xoxoxoxoxoxoxo--xoxoxoxoxoxoxo--"},
                 {kOpenHat, "--------------x---------------x-"}},
                {{kKick, "x-----x-x-------"},
                 {kClosedHat, "xoxoxoxo--------"},
                 {kSnare, "----x---xx------"},
                 {kHighTom, "----------xx----"},
                 {kMidTom, "------------xx--"},
                 {kFloorTom, "--------------xx"}}}),
        // Eighth steps under a ride.
        phrase({"Rock 3", "rock3.wma", 132, 4, 8,
                {{kKick, "x--xx---x--xx-x-"},
                 {kSnare, "--x---x---x---x-"},
                 {kRide, "xxxxxxxxxxxxxxxx"}},
                {{kKick, "x--x---x"},
                 {kRide, "xxxx----"},
                 {kSnare, "--x-xx--"},
                 {kHighTom, "------x-"},
                 {kFloorTom, "-------x"}}}),
        // A slow blues: twelve triplet steps a bar.
        phrase({"Blues langsam", "blues1.wma", 62, 4, 12,
                {{kKick, "x-----x--x--x-----x-----"},
                 {kSnare, "---x-----x-----x-----x-o"},
                 {kRide, "x-ox-ox-ox-ox-ox-ox-ox-o"},
                 {kPedalHat, "---x-----x-----x-----x--"}},
                {{kKick, "x-----x-----"},
                 {kRide, "x-ox-o------"},
                 {kPedalHat, "---x--------"},
                 {kSnare, "---x--xox---"},
                 {kHighTom, "---------x--"},
                 {kMidTom, "----------x-"},
                 {kFloorTom, "-----------x"}}}),
        // A shuffle: the swung eighths on the hi-hat.
        phrase({"Blues", "blues2.wma", 112, 4, 12,
                {{kKick, "x-----x-----x-----x--x--"},
                 {kSnare, "---x-----x-----x-----x-o"},
                 {kClosedHat, "x-ox-ox-ox-ox-ox-ox-ox-o"}},
                {{kKick, "x-----x-----"},
                 {kClosedHat, "x-ox-o------"},
                 {kSnare, "---x--x-ox--"},
                 {kHighTom, "----------x-"},
                 {kFloorTom, "-----------x"}}}),
        phrase({"Pop", "pop.wma", 104, 4, 16,
                {{kKick, "x-----x---x-----x-----x---x---x-"},
                 {kSideStick, "----x-------x-------x-------x---"},
                 {kClosedHat, "x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-"}},
                {{kKick, "x-----x-------x-"},
                 {kSideStick, "----x-----------"},
                 {kClosedHat, "x-x-x-x---------"},
                 {kSnare, "--------xox-----"},
                 {kHighTom, "-----------x-x--"},
                 {kLowTom, "--------------xo"}}}),
        // 6/8: two dotted-quarter beats, six eighth steps a bar; the hi-hat leans on the
        // first and fourth eighth so the pulse is felt, the others are ghosted.
        phrase({"6/8", "681.wma", 66, 2, 6,
                {{kKick, "X-----X---o-"},
                 {kSnare, "---X-----X--"},
                 {kClosedHat, "XooXooXooXoo"}},
                {{kKick, "X-----"},
                 {kClosedHat, "Xoo---"},
                 {kSnare, "--oX--"},
                 {kHighTom, "----x-"},
                 {kFloorTom, "-----x"}}}),
    };
    return patterns;
}

const RhythmPattern* rhythmFor(const Score& score)
{
    const bool compound = score.beatValue == 8;
    // A 6/8 loop counts dotted quarters, three eighths each; a riff's tempo counts quarters.
    const double tempo = compound ? score.tempo * 2.0 / 3.0 : score.tempo;
    for (const RhythmPattern& rhythm : rhythmPatterns()) {
        const bool compoundLoop = rhythm.stepsPerBar % 3 == 0 && rhythm.beatsPerBar == 2;
        // A triplet grid in four beats is a shuffle: it goes with a shuffle riff, and only with one.
        const bool swings = rhythm.stepsPerBar % 3 == 0 && !compoundLoop;
        if (std::abs(rhythm.tempo - tempo) < 0.5 && compoundLoop == compound && swings == score.shuffle)
            return &rhythm;
    }
    return nullptr;
}

int hitVelocity(char hit)
{
    switch (hit) {
    case 'X': return 124;
    case 'x': return 108;
    case 'o': return 70;
    default: return 0;
    }
}

int64_t barSamples(const RhythmPattern& rhythm)
{
    const double nominal = rhythm.beatsPerBar * 60.0 / rhythm.tempo * kRenderRate;
    const int64_t frames = std::max<int64_t>(1, std::llround(nominal / kWmaFrameSamples));
    return frames * kWmaFrameSamples;
}

RhythmLoop renderRhythm(const RhythmPattern& rhythm, const std::string& soundFont, std::string* error, RhythmLevel level)
{
    const int64_t bar = barSamples(rhythm);
    const int64_t loopFrames = bar * rhythm.bars;
    const int steps = rhythm.stepsPerBar * rhythm.bars;
    RenderJob job;
    // Two passes of the loop; the second, with the first one's ringing in it, is the loop.
    for (int pass = 0; pass < 2; ++pass) {
        for (const DrumLane& lane : rhythm.lanes) {
            for (int step = 0; step < steps && size_t(step) < lane.pattern.size(); ++step) {
                const int velocity = hitVelocity(lane.pattern[size_t(step)]);
                if (velocity == 0)
                    continue;
                NoteEvent n;
                n.channel = 9;
                n.key = lane.key;
                n.velocity = velocity;
                const int64_t frame = pass * loopFrames + step * bar / rhythm.stepsPerBar;
                n.seconds = double(frame) / kRenderRate;
                n.length = 0.08;
                job.notes.push_back(n);
            }
        }
    }
    job.seconds = double(2 * loopFrames) / kRenderRate;
    const std::vector<float> rendered = renderJob(job, soundFont, error);
    if (rendered.empty())
        return {};
    std::vector<float> second(rendered.begin() + loopFrames * 2, rendered.begin() + 2 * loopFrames * 2);
    if (level == RhythmLevel::PackLoudness) {
        levelToLoudness(second);
    } else {
        float peak = 0;
        for (float v : second)
            peak = std::max(peak, std::fabs(v));
        for (float& v : second)
            v = peak > 0 ? v * 0.708f / peak : 0.0f;
    }
    RhythmLoop result;
    result.loop = toSamples(second);
    result.toEncode.assign(result.loop.end() - kWmaFrameSamples * 2, result.loop.end());
    result.toEncode.insert(result.toEncode.end(), result.loop.begin(), result.loop.end());
    return result;
}

} // namespace zupfomat::content
