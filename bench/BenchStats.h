#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zupfomat::bench {

// Prints one figure a line: "name: median unit (min … max, n runs)".
inline void report(const std::string& name, std::vector<double> values, const char* unit)
{
    if (values.empty()) {
        std::printf("%s: no runs\n", name.c_str());
        return;
    }
    std::sort(values.begin(), values.end());
    const double median = values[values.size() / 2];
    std::printf("%s: %.3f %s (%.3f … %.3f, %zu runs)\n", name.c_str(), median, unit, values.front(), values.back(),
                values.size());
    std::fflush(stdout);
}

} // namespace zupfomat::bench
