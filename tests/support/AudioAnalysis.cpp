// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/AudioAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>

namespace zupfomat::testing {
namespace {

constexpr double kRate = 44100;
constexpr int kSpectrumSize = 1 << 17; // 3 s: bins of 0.34 Hz
constexpr int kOnsetHop = 128;         // 2.9 ms: well inside the 10 ms a listener hears as together
constexpr int kOnsetHistory = 8;       // hops an onset is compared with (23 ms)
constexpr double kOnsetJump = 4.0;     // energy rise, 6 dB, that marks a new note
constexpr double kOnsetFloor = 1e-3;   // below -30 dB of the loudest hop nothing counts
constexpr int kOnsetGapHops = 14;      // 40 ms: one attack is one onset

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2 * M_PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

std::vector<double> averagedSpectrum(const std::vector<float>& x, int64_t from, int64_t length)
{
    std::vector<double> power(kSpectrumSize / 2, 0.0);
    const int64_t end = std::min<int64_t>(from + length, int64_t(x.size()));
    std::vector<std::complex<double>> frame(kSpectrumSize);
    for (int64_t start = from; start < end; start += kSpectrumSize / 4) {
        for (int i = 0; i < kSpectrumSize; ++i) {
            const int64_t at = start + i;
            const double window = 0.5 - 0.5 * std::cos(2 * M_PI * i / kSpectrumSize);
            frame[size_t(i)] = at < end ? x[size_t(at)] * window : 0.0;
        }
        fft(frame);
        for (size_t b = 0; b < power.size(); ++b)
            power[b] += std::norm(frame[b]);
    }
    return power;
}

double interpolatedPeak(const std::vector<double>& power, size_t b)
{
    const double l = std::log(power[b - 1] + 1e-30), c = std::log(power[b] + 1e-30), r = std::log(power[b + 1] + 1e-30);
    const double shift = 0.5 * (l - r) / (l - 2 * c + r);
    return (double(b) + shift) * kRate / kSpectrumSize;
}

std::vector<double> hopEnergies(const std::vector<float>& x, int64_t from, int64_t to)
{
    std::vector<double> energy;
    for (int64_t h = from; h + kOnsetHop <= to; h += kOnsetHop) {
        double e = 0;
        for (int64_t i = std::max<int64_t>(h, 1); i < h + kOnsetHop; ++i) {
            const double d = double(x[size_t(i)]) - double(x[size_t(i - 1)]); // changes: attacks, not held tones
            e += d * d;
        }
        energy.push_back(e);
    }
    return energy;
}

} // namespace

std::vector<float> monoOf(const std::vector<int16_t>& stereo)
{
    std::vector<float> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = (float(stereo[2 * i]) + float(stereo[2 * i + 1])) / 65536.0f;
    return mono;
}

int64_t bestMatch(const std::vector<float>& x, int64_t from, int64_t length, int64_t expected, int64_t search,
                  double* score)
{
    double own = 0;
    for (int64_t i = 0; i < length; ++i)
        own += double(x[size_t(from + i)]) * x[size_t(from + i)];
    int64_t best = expected;
    double bestScore = -2;
    for (int64_t at = expected - search; at <= expected + search; ++at) {
        if (at < 0 || at + length > int64_t(x.size()))
            continue;
        double cross = 0, other = 0;
        for (int64_t i = 0; i < length; ++i) {
            cross += double(x[size_t(from + i)]) * x[size_t(at + i)];
            other += double(x[size_t(at + i)]) * x[size_t(at + i)];
        }
        const double s = cross / std::sqrt(own * other + 1e-30);
        if (s > bestScore) {
            bestScore = s;
            best = at;
        }
    }
    if (score)
        *score = bestScore;
    return best;
}

std::vector<float> attackEnvelope(const std::vector<float>& x)
{
    constexpr int kSmooth = 22;
    std::vector<float> envelope(x.size(), 0.0f);
    double sum = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        sum += std::abs(x[i] - x[i - 1]);
        if (i > kSmooth)
            sum -= std::abs(x[i - kSmooth] - x[i - kSmooth - 1]);
        envelope[i] = float(sum / kSmooth);
    }
    return envelope;
}

std::vector<double> dominantFrequencies(const std::vector<float>& x, int64_t from, int64_t length, int count)
{
    const std::vector<double> power = averagedSpectrum(x, from, length);
    std::vector<size_t> peaks;
    for (size_t b = 2; b + 1 < power.size(); ++b)
        if (power[b] > power[b - 1] && power[b] >= power[b + 1])
            peaks.push_back(b);
    std::sort(peaks.begin(), peaks.end(), [&](size_t a, size_t b) { return power[a] > power[b]; });
    std::vector<double> found;
    for (size_t b : peaks) {
        const double f = interpolatedPeak(power, b);
        const bool apart = std::none_of(found.begin(), found.end(), [&](double g) { return std::abs(centsBetween(f, g)) < 100; });
        if (apart)
            found.push_back(f);
        if (int(found.size()) == count)
            break;
    }
    return found;
}

double dominantFrequency(const std::vector<float>& x, int64_t from, int64_t length)
{
    const std::vector<double> peaks = dominantFrequencies(x, from, length, 1);
    return peaks.empty() ? 0.0 : peaks.front();
}

double centsBetween(double a, double b) { return 1200.0 * std::log2(a / b); }

std::vector<int64_t> onsets(const std::vector<float>& x, int64_t from, int64_t to)
{
    if (to < 0)
        to = int64_t(x.size());
    const std::vector<double> energy = hopEnergies(x, from, to);
    const double loudest = energy.empty() ? 0.0 : *std::max_element(energy.begin(), energy.end());
    std::vector<int64_t> found;
    int lastHop = -kOnsetGapHops;
    for (int h = 1; h < int(energy.size()); ++h) {
        double before = 0;
        const int first = std::max(0, h - kOnsetHistory);
        for (int k = first; k < h; ++k)
            before += energy[size_t(k)];
        before /= double(h - first);
        if (energy[size_t(h)] > kOnsetJump * before && energy[size_t(h)] > kOnsetFloor * loudest && h - lastHop >= kOnsetGapHops) {
            found.push_back(from + int64_t(h) * kOnsetHop);
            lastHop = h;
        }
    }
    // To the sample: where the attack first reaches half its height, from a hop before.
    const std::vector<float> attacks = attackEnvelope(x);
    for (int64_t& onset : found) {
        const int64_t first = std::max<int64_t>(onset - kOnsetHop, 0);
        const int64_t last = std::min<int64_t>(onset + 3 * kOnsetHop, int64_t(attacks.size()));
        const float peak = *std::max_element(attacks.begin() + first, attacks.begin() + last);
        int64_t at = first;
        while (at < last && attacks[size_t(at)] < 0.5f * peak)
            ++at;
        onset = at;
    }
    return found;
}

double riseFrames(const std::vector<float>& x, int64_t onset)
{
    constexpr int64_t kLook = 44100 / 20; // an attack peaks within 50 ms
    constexpr int64_t kSmooth = 44;       // 1 ms
    std::vector<double> envelope;
    double sum = 0;
    for (int64_t i = onset - kSmooth; i < onset + kLook && i < int64_t(x.size()); ++i) {
        sum += std::abs(x[size_t(std::max<int64_t>(i, 0))]);
        if (i - kSmooth >= onset - kSmooth)
            sum -= std::abs(x[size_t(std::max<int64_t>(i - kSmooth, 0))]);
        if (i >= onset)
            envelope.push_back(sum / kSmooth);
    }
    if (envelope.empty())
        return 0;
    const size_t peak = size_t(std::max_element(envelope.begin(), envelope.end()) - envelope.begin());
    size_t low = 0;
    while (low < peak && envelope[low] < 0.1 * envelope[peak])
        ++low;
    size_t high = low;
    while (high < peak && envelope[high] < 0.9 * envelope[peak])
        ++high;
    return double(high - low);
}

int64_t longestSilence(const std::vector<int16_t>& stereo, int64_t from, int64_t to, int threshold)
{
    int64_t longest = 0, run = 0;
    for (int64_t f = std::max<int64_t>(from, 0); f < to && f * 2 + 1 < int64_t(stereo.size()); ++f) {
        const bool quiet = std::abs(stereo[size_t(f * 2)]) <= threshold && std::abs(stereo[size_t(f * 2 + 1)]) <= threshold;
        run = quiet ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

int largestStep(const std::vector<int16_t>& stereo, int64_t from, int64_t to)
{
    int step = 0;
    for (int64_t f = std::max<int64_t>(from, 1); f < to && f * 2 + 1 < int64_t(stereo.size()); ++f)
        for (int c = 0; c < 2; ++c)
            step = std::max(step, std::abs(stereo[size_t(f * 2 + c)] - stereo[size_t((f - 1) * 2 + c)]));
    return step;
}

} // namespace zupfomat::testing
