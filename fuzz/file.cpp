// SPDX-License-Identifier: GPL-3.0-or-later
// Any file a user may drop in, through the real device (null output): open, status, play,
// status, close. It opens quickly or fails silently, answers only lengths, decodes to a length
// that is what was decoded and no longer than the cap, and never takes more memory than that.
#include "fuzz/FuzzContract.h"
#include "media/LoopPoint.h"
#include "media/PlaybackDevice.h"
#include "media/Recording.h"

#include <chrono>
#include <thread>

using namespace zupfomat;
using Clock = std::chrono::steady_clock;

namespace {

// The cap's worth of PCM, with room for the libraries and the sanitizers.
constexpr int64_t kResidentBound = Recording::kMaxFrames * 4 + (int64_t(512) << 20);
constexpr auto kOpenBound = std::chrono::milliseconds(1000);

std::string inputPath()
{
    static const std::string path = [] {
        char folder[] = "/tmp/zupfomat-fuzz-XXXXXX";
        return std::string(mkdtemp(folder)) + "/input.wma";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = inputPath();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), std::streamsize(size));

    // The decoder on its own: the length it settles on is what it decoded.
    {
        const auto start = Clock::now();
        auto recording = Recording::open(path);
        fuzz::require(Clock::now() - start < kOpenBound, "open within its bound");
        if (recording) {
            while (!recording->complete())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            fuzz::require(recording->lengthFrames() == recording->decodedFrames(), "length is what was decoded");
            fuzz::require(recording->decodedFrames() <= Recording::kMaxFrames, "no longer than the cap");
        }
    }
    // The device, as the windows use it.
    static PlaybackDevice device(OutputChoice::NullOnly);
    device.send("open " + path + " type MPEGVideo alias myMP3");
    for (int round = 0; round < 3; ++round) {
        for (const char* status : {"status myMP3 length", "status myMP3 position"}) {
            const std::string answer = device.send(status);
            fuzz::require(fuzz::isAnswer(answer), "status answer", answer);
            fuzz::require(answer.empty() || std::stoll(answer) <= loopFramesToMs(Recording::kMaxFrames), "within the cap", answer);
        }
        device.send("play myMP3 from 0");
        device.setLoopPoint(40);
    }
    device.send("close myMP3");
    fuzz::require(fuzz::residentBytes() < kResidentBound, "resident memory within its bound");
    return 0;
}
