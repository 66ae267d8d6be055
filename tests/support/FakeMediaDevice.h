// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/MediaCommand.h"
#include "media/MediaDevice.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zupfomat::testing {

// A media device that records every command and answers position and length from a manual
// clock: the test moves `nowMs`, nothing runs by itself.
class FakeMediaDevice final : public MediaDevice {
public:
    std::vector<std::string> commands;
    std::map<std::string, int> lengthOf; // by path; other paths get defaultLength
    std::set<std::string> missing;       // paths that do not open
    int defaultLength = 10000;
    long long nowMs = 0;
    std::vector<long long> loopPoints; // every loop point the caller armed, in order
    int preparations = 0; // requests to get ready
    std::vector<int> tempos; // every tempo the caller set, in order
    bool splices = false;    // loops at the armed point by itself, as the real device does

    void prepare() override { ++preparations; }

    bool isOpen() const { return open_; }
    const std::string& openPath() const { return path_; }
    bool isPlaying() const { return open_ && playing_ && position() < length_; }

    std::string send(std::string_view text) override
    {
        commands.emplace_back(text);
        const MediaCommand command = parseMediaCommand(text);
        switch (command.verb) {
        case MediaVerb::Open:
            if (open_ || missing.count(command.path))
                return {};
            open_ = true;
            playing_ = false;
            armedPoint_ = 0;
            path_ = command.path;
            length_ = lengthOf.count(path_) ? lengthOf[path_] : defaultLength;
            startMs_ = nowMs;
            return {};
        case MediaVerb::Close:
            open_ = false;
            playing_ = false;
            armedPoint_ = 0;
            path_.clear();
            return {};
        case MediaVerb::Play:
            if (open_) {
                playing_ = true;
                startMs_ = nowMs;
                armedPoint_ = 0;
            }
            return {};
        case MediaVerb::StatusPosition:
            return open_ ? std::to_string(position()) : std::string();
        case MediaVerb::StatusLength:
            return open_ ? std::to_string(length_) : std::string();
        case MediaVerb::Invalid:
            break;
        }
        return {};
    }

    // Records the point; this device does not splice, so the caller's restarts stay visible.
    void setLoopPoint(int64_t pointMs) override
    {
        loopPoints.push_back(pointMs);
        armedPoint_ = pointMs;
    }

    void setTempo(int percent) override { tempos.push_back(percent); }

    // The commands since the last call.
    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(commands);
        return taken;
    }

private:
    long long position() const
    {
        if (!playing_)
            return 0;
        if (splices && armedPoint_ > 0)
            return (nowMs - startMs_) % armedPoint_;
        return std::min<long long>(nowMs - startMs_, length_);
    }

    bool open_ = false;
    bool playing_ = false;
    std::string path_;
    int length_ = 0;
    long long startMs_ = 0;
    long long armedPoint_ = 0; // cleared by open, close and play, as on the real device
};

} // namespace zupfomat::testing
