// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zupfomat {

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

    // Gets ready for the first open (loads what opening needs) without holding up the caller;
    // the program calls it once its window is on screen. Nothing counts as open afterwards.
    virtual void prepare() {}
};

} // namespace zupfomat
