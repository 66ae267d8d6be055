// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace zupfomat {

// The device understands exactly these command forms on its one alias.
enum class MediaVerb { Invalid, Open, Close, Play, StatusPosition, StatusLength };

struct MediaCommand {
    MediaVerb verb = MediaVerb::Invalid;
    std::string path; // only for Open
};

inline constexpr std::string_view kMediaAlias = "myMP3";

// Reads a command text case-insensitively. The open form takes everything between
// "open " and the last " type " as the path, so paths may hold blanks, quotes and UTF-8.
MediaCommand parseMediaCommand(std::string_view text);

} // namespace zupfomat
