// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Loudness.h"

#include "content/Synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>

namespace zupfomat::content {
namespace {

constexpr double kPi = 3.14159265358979323846;

// BS.1770's blocks: 400 ms, a new one every 100 ms.
constexpr size_t kStepFrames = kRenderRate / 10;
constexpr size_t kStepsPerBlock = 4;
constexpr double kAbsoluteGate = -70.0; // LUFS
constexpr double kRelativeGate = -10.0; // LU below the loudness of the blocks above the absolute gate

// The limiter: it looks far enough ahead to ramp down without a click, and lets go slowly
// enough that low notes are not bent by its gain.
constexpr double kLookAhead = 0.005; // seconds
constexpr double kRelease = 0.08;    // seconds, time constant
// Limiting costs loudness; the gain is raised by what is missing until this close to the target.
constexpr double kLoudnessTolerance = 0.05; // LU
constexpr int kLevellingRounds = 5;

// 4x oversampling: the three points between two samples, each from 16 samples around them.
constexpr int kPhases = 4;
constexpr int kTaps = 16;
constexpr int kFirstTap = -7; // the taps reach from frame n-7 to frame n+8
using Phase = std::array<double, kTaps>;

double fromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0, z2 = 0;

    double run(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// The K-weighting: BS.1770's head shelf and RLB high-pass, made from their analogue prototypes
// for the render rate (the standard tabulates them at 48 kHz only).
std::array<Biquad, 2> kWeighting()
{
    const double rate = kRenderRate;
    double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    double k = std::tan(kPi * f0 / rate);
    const double vh = std::pow(10.0, gainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    const Biquad shelf{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                       2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    f0 = 38.13547087602444;
    q = 0.5003270373238773;
    k = std::tan(kPi * f0 / rate);
    a0 = 1.0 + k / q + k * k;
    const Biquad highPass{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    return {shelf, highPass};
}

double blockLoudness(double meanSquare)
{
    return -0.691 + 10.0 * std::log10(meanSquare);
}

const std::array<Phase, kPhases>& interpolationPhases()
{
    static const std::array<Phase, kPhases> phases = [] {
        std::array<Phase, kPhases> p{};
        for (int phase = 0; phase < kPhases; ++phase) {
            double sum = 0;
            for (int tap = 0; tap < kTaps; ++tap) {
                const double t = double(phase) / kPhases - double(kFirstTap + tap);
                const double sinc = t == 0 ? 1.0 : std::sin(kPi * t) / (kPi * t);
                const double window = 0.5 + 0.5 * std::cos(kPi * t / (kTaps / 2 + 0.5));
                p[size_t(phase)][size_t(tap)] = sinc * window;
                sum += sinc * window;
            }
            for (double& c : p[size_t(phase)])
                c /= sum; // a steady level stays the same between the samples
        }
        return p;
    }();
    return phases;
}

// How far above the largest sample near it an interpolated point can reach.
double overshootBound()
{
    double bound = 0;
    for (const Phase& phase : interpolationPhases()) {
        double sum = 0;
        for (double c : phase)
            sum += std::abs(c);
        bound = std::max(bound, sum);
    }
    return bound;
}

enum class Ends { Silent, Wrap };

// Per frame, the highest of both channels at the frame and between it and the next. Only where
// the samples around could reach above `floor` is the signal interpolated; elsewhere the frame's
// own samples stand for it, which is all a caller that ignores values below `floor` needs.
std::vector<float> framePeaks(const std::vector<float>& stereo, double floor, Ends ends)
{
    const int64_t frames = int64_t(stereo.size() / 2);
    std::vector<float> peaks(static_cast<size_t>(frames));
    for (int64_t f = 0; f < frames; ++f)
        peaks[size_t(f)] = std::max(std::abs(stereo[size_t(f) * 2]), std::abs(stereo[size_t(f) * 2 + 1]));
    auto sample = [&](int64_t f, int c) -> double {
        if (f < 0 || f >= frames) {
            if (ends == Ends::Silent)
                return 0.0;
            f = ((f % frames) + frames) % frames;
        }
        return stereo[size_t(f) * 2 + size_t(c)];
    };
    const double bound = overshootBound();
    constexpr int64_t kBlock = 64;
    for (int64_t start = 0; start < frames; start += kBlock) {
        const int64_t end = std::min(frames, start + kBlock);
        double nearby = 0;
        for (int64_t f = start + kFirstTap; f < end + kFirstTap + kTaps; ++f) {
            for (int c = 0; c < 2; ++c)
                nearby = std::max(nearby, std::abs(sample(f, c)));
        }
        if (nearby * bound <= floor)
            continue;
        for (int64_t f = start; f < end; ++f) {
            double highest = peaks[size_t(f)];
            for (int phase = 1; phase < kPhases; ++phase) {
                const Phase& taps = interpolationPhases()[size_t(phase)];
                for (int c = 0; c < 2; ++c) {
                    double v = 0;
                    for (int tap = 0; tap < kTaps; ++tap)
                        v += taps[size_t(tap)] * sample(f + kFirstTap + tap, c);
                    highest = std::max(highest, std::abs(v));
                }
            }
            peaks[size_t(f)] = float(highest);
        }
    }
    return peaks;
}

// The limiter's gain per frame for a recording already gained by `gain`: never more than what
// keeps each peak at the ceiling, ramped down over the look-ahead and released slowly. The
// recording is taken as a loop, so the gain at its end leads into the gain at its start.
std::vector<float> limiterGain(const std::vector<float>& peaks, double gain, double ceiling)
{
    const size_t frames = peaks.size();
    const size_t span = std::clamp<size_t>(size_t(kLookAhead * kRenderRate), 1, frames);
    auto allowed = [&](size_t f) {
        const double peak = peaks[f % frames] * gain;
        return peak > ceiling ? ceiling / peak : 1.0;
    };
    // The least allowed over the look-ahead, from each frame on.
    std::vector<double> ahead(frames);
    std::deque<size_t> window; // frames of rising allowed gain
    for (size_t i = 0; i < frames + span - 1; ++i) {
        while (!window.empty() && allowed(window.back()) >= allowed(i))
            window.pop_back();
        window.push_back(i);
        if (i + 1 < span)
            continue;
        const size_t first = i + 1 - span;
        while (window.front() < first)
            window.pop_front();
        ahead[first] = allowed(window.front());
    }
    // Instant attack, slow release; three rounds of the loop make the end state the start's.
    const double keep = std::exp(-1.0 / (kRelease * kRenderRate));
    std::vector<double> held(frames);
    double level = 1.0;
    for (int round = 0; round < 3; ++round) {
        for (size_t f = 0; f < frames; ++f) {
            level = ahead[f] < level ? ahead[f] : ahead[f] + (level - ahead[f]) * keep;
            held[f] = level;
        }
    }
    // Averaged over the look-ahead: the attack becomes a ramp, and since every value averaged
    // already holds the peak within its look-ahead, the ramp still meets each peak in time.
    std::vector<float> out(frames);
    double sum = 0;
    for (size_t k = 0; k < span; ++k)
        sum += held[(frames - k) % frames];
    for (size_t f = 0; f < frames; ++f) {
        out[f] = float(sum / double(span));
        sum += held[(f + 1) % frames] - held[(f + 1 + frames - span) % frames];
    }
    return out;
}

std::vector<float> applied(const std::vector<float>& stereo, double gain, const std::vector<float>& perFrame)
{
    std::vector<float> out(stereo.size());
    for (size_t i = 0; i < stereo.size(); ++i)
        out[i] = float(stereo[i] * gain * (perFrame.empty() ? 1.0 : perFrame[i / 2]));
    return out;
}

} // namespace

double integratedLoudness(const std::vector<float>& stereo)
{
    std::array<std::array<Biquad, 2>, 2> filters = {kWeighting(), kWeighting()};
    const size_t frames = stereo.size() / 2;
    std::vector<double> steps(frames / kStepFrames);
    for (size_t s = 0; s < steps.size(); ++s) {
        double energy = 0;
        for (size_t f = s * kStepFrames; f < (s + 1) * kStepFrames; ++f) {
            for (size_t c = 0; c < 2; ++c) {
                const double y = filters[c][1].run(filters[c][0].run(stereo[f * 2 + c]));
                energy += y * y; // left and right both weigh 1
            }
        }
        steps[s] = energy;
    }
    std::vector<double> blocks;
    for (size_t s = 0; s + kStepsPerBlock <= steps.size(); ++s) {
        double energy = 0;
        for (size_t k = 0; k < kStepsPerBlock; ++k)
            energy += steps[s + k];
        blocks.push_back(energy / double(kStepFrames * kStepsPerBlock));
    }
    auto gatedMean = [&](double gate) {
        double sum = 0;
        size_t count = 0;
        for (double b : blocks) {
            if (b > 0 && blockLoudness(b) > gate) {
                sum += b;
                ++count;
            }
        }
        return count ? sum / double(count) : 0.0;
    };
    const double aboveAbsolute = gatedMean(kAbsoluteGate);
    if (aboveAbsolute <= 0)
        return -std::numeric_limits<double>::infinity();
    const double relativeGate = blockLoudness(aboveAbsolute) + kRelativeGate;
    return blockLoudness(gatedMean(std::max(kAbsoluteGate, relativeGate)));
}

double truePeak(const std::vector<float>& stereo)
{
    double samplePeak = 0;
    for (float s : stereo)
        samplePeak = std::max(samplePeak, double(std::abs(s)));
    const std::vector<float> peaks = framePeaks(stereo, samplePeak, Ends::Silent);
    return peaks.empty() ? 0.0 : double(*std::max_element(peaks.begin(), peaks.end()));
}

Levelling levelToLoudness(std::vector<float>& stereo)
{
    Levelling result;
    const double loudness = integratedLoudness(stereo);
    if (!std::isfinite(loudness))
        return result; // silence stays silence
    result.gainDb = kTargetLoudness - loudness;
    const double ceiling = fromDb(kTruePeakCeiling);
    double gain = fromDb(result.gainDb);
    std::vector<float> peaks = framePeaks(stereo, ceiling / gain, Ends::Wrap);
    if (*std::max_element(peaks.begin(), peaks.end()) * gain <= ceiling) {
        stereo = applied(stereo, gain, {});
        return result;
    }
    std::vector<float> out;
    std::vector<float> perFrame;
    for (int round = 0; round < kLevellingRounds; ++round) {
        perFrame = limiterGain(peaks, gain, ceiling);
        out = applied(stereo, gain, perFrame);
        const double missing = kTargetLoudness - integratedLoudness(out);
        if (missing < kLoudnessTolerance)
            break;
        gain *= fromDb(missing);
        peaks = framePeaks(stereo, ceiling / gain, Ends::Wrap);
    }
    // The gain moves slowly, yet between the samples it is not quite the one at them.
    const double reached = truePeak(out);
    if (reached > ceiling) {
        for (float& s : out)
            s = float(s * ceiling / reached);
    }
    result.limitedDb = 20.0 * std::log10(*std::min_element(perFrame.begin(), perFrame.end()));
    stereo = std::move(out);
    return result;
}

} // namespace zupfomat::content
