// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/MediaDevice.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zupfomat {

// Reads a device answer as a number: blanks, an optional sign, digits, an optional
// fraction and exponent, up to the first character that cannot continue it. Rounds
// half to even and saturates to 32 bits; no digits at all give 0.
int32_t readAnswerNumber(std::string_view answer);

// The form of a path that the device is given. On Windows the short (8.3) form of an
// existing file; elsewhere the path itself when the file exists. Nothing for a missing file.
std::optional<std::string> shortPathOf(const std::string& utf8Path);

// The three operations through which every window plays sound. None reports failure.
class MediaChannel {
public:
    explicit MediaChannel(MediaDevice& device) : device_(device) {}

    void openMediaFile(const std::string& utf8Path);
    void closeMedia();
    int32_t sendMediaCommand(std::string_view command);
    // Tells the device the position at which the next restart is due, so it can loop
    // without the gap a poll would leave. Not a command: the commands stay as they are.
    void expectRestartAt(int64_t pointMs) { device_.setLoopPoint(pointMs); }
    // Everything plays at this tempo from now on, the pitch kept (kTempoMin to kTempoMax percent).
    void setTempo(int percent) { device_.setTempo(percent); }
    // The window is on screen: the device may load what it needs for the first open.
    void prepare() { device_.prepare(); }

private:
    MediaDevice& device_;
};

} // namespace zupfomat
