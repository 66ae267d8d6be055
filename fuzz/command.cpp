// SPDX-License-Identifier: GPL-3.0-or-later
// Command texts, whatever they hold, through the real device (null output): every answer is
// "" or a non-negative decimal, and the device stays usable.
#include "fuzz/FuzzContract.h"
#include "media/PlaybackDevice.h"

#include <string_view>

using namespace zupfomat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PlaybackDevice device(OutputChoice::NullOnly);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // Several commands in one input, a line each, so sequences (open, play, status) are reached.
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view command = text.substr(0, end);
        fuzz::require(fuzz::isAnswer(device.send(command)), "answer", std::string(command));
        device.setLoopPoint(int64_t(command.size()) * 7919 - 40000); // any point, past or not
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    for (const char* status : {"status myMP3 length", "status myMP3 position"})
        fuzz::require(fuzz::isAnswer(device.send(status)), "status answer");
    device.send("close myMP3");
    fuzz::require(device.send("status myMP3 length").empty(), "closed means no answer");
    return 0;
}
