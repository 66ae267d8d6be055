// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zupfomat::bench {

// The middle value (the upper of the two middle ones); 0 for none.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Prints one figure a line: "name: median unit (min … max, n runs)".
inline void report(const std::string& name, std::vector<double> values, const char* unit)
{
    if (values.empty()) {
        std::printf("%s: no runs\n", name.c_str());
        return;
    }
    const auto [least, most] = std::minmax_element(values.begin(), values.end());
    std::printf("%s: %.3f %s (%.3f … %.3f, %zu runs)\n", name.c_str(), median(values), unit, *least, *most,
                values.size());
    std::fflush(stdout);
}

} // namespace zupfomat::bench
