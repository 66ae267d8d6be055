// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

namespace zupfomat::fuzz {

// What every answer of the device promises: nothing, or a non-negative decimal.
inline bool isAnswer(const std::string& answer)
{
    if (answer.empty())
        return true;
    if (answer.size() > 19)
        return false;
    for (char c : answer)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A broken promise ends the run with a message, so libFuzzer keeps the input.
inline void require(bool holds, const char* promise, const std::string& detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "broken promise: %s %s\n", promise, detail.c_str());
    std::abort();
}

inline int64_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace zupfomat::fuzz
