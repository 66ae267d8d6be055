// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Score.h"

#include <optional>
#include <string>

namespace zupfomat::content {

struct ParseError {
    int line = 0;   // 1-based
    int column = 0; // 1-based
    std::string message;
};

// Reads a note file (documented in content/notes/README.md).
std::optional<Score> parseScore(const std::string& text, ParseError* error);
// Writes a score back in the same format.
std::string formatScore(const Score& score);
// The pitch class (C = 0) of a key's tonic, "E minor" gives 4; -1 for what is not a key.
int keyTonic(const std::string& key);

} // namespace zupfomat::content
