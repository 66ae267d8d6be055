// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TestMedia.h"

#include <string>

namespace zupfomat::testing {

// What the windows read from the device, as numbers.
inline int32_t position(MediaChannel& channel) { return channel.sendMediaCommand("status myMP3 position"); }
inline int32_t length(MediaChannel& channel) { return channel.sendMediaCommand("status myMP3 length"); }

// Opens a file and waits until it is decoded to its end, so its length (and an armed loop
// frame) is final. False when it did not get there within five seconds.
inline bool openDecoded(PlaybackDevice& device, MediaChannel& channel, const std::string& path)
{
    channel.openMediaFile(path);
    return waitUntil([&] { return device.diagnostics().decoded; }, std::chrono::seconds(5));
}

} // namespace zupfomat::testing
