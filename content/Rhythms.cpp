#include "content/Rhythms.h"

#include "content/Synth.h"

#include <cmath>
#include <cstring>

namespace zupfomat::content {
namespace {

constexpr int kKick = 36, kSnare = 38, kClosedHat = 42, kOpenHat = 46, kRide = 51, kCrash = 49, kSideStick = 37,
              kTomLow = 45, kPedalHat = 44;

} // namespace

const std::vector<RhythmPattern>& rhythmPatterns()
{
    static const std::vector<RhythmPattern> patterns = {
        {"rock1.wma", 100, 4, 16, 2,
         {{kKick, "x-------x-x-----x-------x-x--x--"},
          {kSnare, "----x-------x-------x-------x-o-"},
          {kClosedHat, "x-o-x-o-x-o-x-o-x-o-x-o-x-o-x-o-"},
          {kCrash, "x-------------------------------"}}},
        {"rock2.wma", 118, 4, 16, 2,
         {{kKick, "x-----x-x-------x-----x-x-----x-"},
          {kSnare, "----x-------x-------x-------x---"},
          {kClosedHat, "xoxoxoxoxoxoxo--xoxoxoxoxoxoxo--"},
          {kOpenHat, "--------------x---------------x-"}}},
        {"rock3.wma", 132, 4, 8, 2,
         {{kKick, "x--xx---x--xx-x-"},
          {kSnare, "--x---x---x---x-"},
          {kRide, "xxxxxxxxxxxxxxxx"},
          {kCrash, "x---------------"}}},
        // A slow blues: twelve triplet steps a bar.
        {"blues1.wma", 62, 4, 12, 2,
         {{kKick, "x-----x--x--x-----x-----"},
          {kSnare, "---x-----x-----x-----x-o"},
          {kRide, "x-ox-ox-ox-ox-ox-ox-ox-o"},
          {kPedalHat, "---x-----x-----x-----x--"}}},
        // A shuffle: the swung eighths on the hi-hat.
        {"blues2.wma", 112, 4, 12, 2,
         {{kKick, "x-----x-----x-----x--x--"},
          {kSnare, "---x-----x-----x-----x-o"},
          {kClosedHat, "x-ox-ox-ox-ox-ox-ox-ox-o"}}},
        {"pop.wma", 104, 4, 16, 2,
         {{kKick, "x-----x---x-----x-----x---x---x-"},
          {kSideStick, "----x-------x-------x-------x---"},
          {kClosedHat, "x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-"},
          {kTomLow, "-----------------------------xo-"}}},
        // 6/8: two dotted-quarter beats, six eighth steps a bar.
        {"681.wma", 66, 2, 6, 4,
         {{kKick, "x-----x--x--x-----x-x-x-"},
          {kSnare, "---x-----x-----x-----xo-"},
          {kClosedHat, "xoxxoxxoxxoxxoxxoxxoxxox"}}},
    };
    return patterns;
}

int64_t barSamples(const RhythmPattern& rhythm)
{
    const double nominal = rhythm.beatsPerBar * 60.0 / rhythm.tempo * kRenderRate;
    const int64_t frames = std::max<int64_t>(1, std::llround(nominal / kWmaFrameSamples));
    return frames * kWmaFrameSamples;
}

RhythmLoop renderRhythm(const RhythmPattern& rhythm, const std::string& soundFont, std::string* error)
{
    const int64_t bar = barSamples(rhythm);
    const int64_t loopFrames = bar * rhythm.bars;
    const int steps = rhythm.stepsPerBar * rhythm.bars;
    RenderJob job;
    // Two passes of the loop; the second, with the first one's ringing in it, is the loop.
    for (int pass = 0; pass < 2; ++pass) {
        for (const DrumLane& lane : rhythm.lanes) {
            for (int step = 0; step < steps && lane.pattern[step]; ++step) {
                const char hit = lane.pattern[step];
                if (hit == '-')
                    continue;
                NoteEvent n;
                n.channel = 9;
                n.key = lane.key;
                n.velocity = hit == 'x' ? 108 : 70;
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
    const std::vector<float> second(rendered.begin() + loopFrames * 2, rendered.begin() + 2 * loopFrames * 2);
    RhythmLoop result;
    result.loop = normalised(second);
    result.toEncode.assign(result.loop.end() - kWmaFrameSamples * 2, result.loop.end());
    result.toEncode.insert(result.toEncode.end(), result.loop.begin(), result.loop.end());
    return result;
}

} // namespace zupfomat::content
