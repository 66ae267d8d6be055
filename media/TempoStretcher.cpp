// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/TempoStretcher.h"

#include "media/MediaLibraries.h"

#include <algorithm>
#include <cmath>

namespace zupfomat {
namespace {

constexpr float kFullScale = 32768.0f;

// Real-time, so the speed may change while it plays. Channels together keep the stereo image of
// recordings whose two channels are nearly one.
RubberBandOptions optionsFor(StretchEngine engine)
{
    const RubberBandOptions options = RubberBandOptionProcessRealTime | RubberBandOptionChannelsTogether;
    return engine == StretchEngine::Finer ? options | RubberBandOptionEngineFiner : options;
}

int16_t toSample(float value)
{
    const float scaled = std::round(value * kFullScale);
    return int16_t(std::clamp(scaled, -kFullScale, kFullScale - 1));
}

} // namespace

std::unique_ptr<TempoStretcher> TempoStretcher::make(StretchEngine engine)
{
    const RubberBandCalls* rb = rubberBandLibrary();
    if (!rb)
        return nullptr;
    RubberBandState state = rb->rubberband_new(kSampleRate, kChannels, optionsFor(engine), 1.0, 1.0);
    if (!state)
        return nullptr;
    return std::unique_ptr<TempoStretcher>(new TempoStretcher(*rb, state, engine));
}

TempoStretcher::TempoStretcher(const RubberBandCalls& calls, void* state, StretchEngine engine)
    : rb_(calls), state_(state), engine_(engine), input_(size_t(kMaxBlock) * kChannels)
{
    rb_.rubberband_set_max_process_size(RubberBandState(state_), kMaxBlock);
    for (auto& channel : planar_)
        channel.resize(kMaxBlock);
}

TempoStretcher::~TempoStretcher() { rb_.rubberband_delete(RubberBandState(state_)); }

void TempoStretcher::restart(double speed)
{
    // The ratio first: the start pad and delay are the ones of the ratio the stretcher starts at,
    // and a ratio set after the reset is taken up gradually, which shifts the first pass.
    speed_ = speed;
    rb_.rubberband_set_time_ratio(RubberBandState(state_), 1.0 / speed);
    rb_.rubberband_reset(RubberBandState(state_));
    leadFrames_ = int(rb_.rubberband_get_preferred_start_pad(RubberBandState(state_)));
    toDiscard_ = rb_.rubberband_get_start_delay(RubberBandState(state_));
    last_ = false;
}

void TempoStretcher::setSpeed(double speed)
{
    if (speed == speed_)
        return;
    speed_ = speed;
    rb_.rubberband_set_time_ratio(RubberBandState(state_), 1.0 / speed);
}

int TempoStretcher::framesWanted() const
{
    if (last_)
        return 0;
    const int wanted = int(rb_.rubberband_get_samples_required(RubberBandState(state_)));
    return std::clamp(wanted, 1, kMaxBlock);
}

void TempoStretcher::feed(int frames, bool last)
{
    process(input_.data(), std::clamp(frames, 0, kMaxBlock), last);
}

void TempoStretcher::process(const int16_t* frames, int count, bool last)
{
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < kChannels; ++c)
            planar_[c][size_t(i)] = float(frames[i * kChannels + c]) / kFullScale;
    const float* channels[kChannels] = {planar_[0].data(), planar_[1].data()};
    rb_.rubberband_process(RubberBandState(state_), channels, unsigned(count), last ? 1 : 0);
    last_ = last_ || last;
}

int TempoStretcher::take(int16_t* out, int frames)
{
    int taken = 0;
    while (taken < frames) {
        const int available = rb_.rubberband_available(RubberBandState(state_));
        if (available <= 0)
            break;
        const int count = std::min({available, frames - taken, kMaxBlock});
        float* channels[kChannels] = {planar_[0].data(), planar_[1].data()};
        const int got = int(rb_.rubberband_retrieve(RubberBandState(state_), channels, unsigned(count)));
        if (got <= 0)
            break;
        // The first frames out stand for the lead, which was heard already or was silence.
        const int skip = int(std::min<int64_t>(toDiscard_, got));
        toDiscard_ -= skip;
        for (int i = skip; i < got; ++i, ++taken)
            for (int c = 0; c < kChannels; ++c)
                out[taken * kChannels + c] = toSample(planar_[c][size_t(i)]);
    }
    return taken;
}

bool TempoStretcher::drained() const { return last_ && rb_.rubberband_available(RubberBandState(state_)) < 0; }

} // namespace zupfomat
