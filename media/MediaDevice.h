// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zupfomat {

// The practice tempo's range and its normal, in percent.
inline constexpr int kTempoMin = 40;
inline constexpr int kTempoNormal = 100;
inline constexpr int kTempoMax = 150;

// The string-command media device that all sound of the program goes through.
// A command that fails, or that the device does not know, answers "" and has no effect.
class MediaDevice {
public:
    virtual ~MediaDevice() = default;
    virtual std::string send(std::string_view command) = 0;

    // Where the caller will restart the open recording ("play ... from 0") once its position
    // reaches pointMs. A device that can splice goes on from the start at exactly that frame,
    // so the caller's own restart finds nothing left to do; one that cannot ignores this.
    // Opening, closing and every play clear it; a point at or before 0 clears it too.
    virtual void setLoopPoint(int64_t pointMs) { (void)pointMs; }

    // The speed everything plays at, in percent of the recording's own (kTempoMin to kTempoMax),
    // the pitch kept. Position and length stay in the recording's milliseconds at every tempo, so
    // loop points and polls mean what they mean at 100. A device that cannot stretch ignores it.
    virtual void setTempo(int percent) { (void)percent; }

    // Gets ready for the first open (loads what opening needs) without holding up the caller;
    // the program calls it once its window is on screen. Nothing counts as open afterwards.
    virtual void prepare() {}
};

} // namespace zupfomat
