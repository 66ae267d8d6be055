// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"

#include "media/MediaCommand.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zupfomat {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlankOrBreak(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Length of the longest prefix of text that reads as a number; `hasDigits` says whether it holds any.
size_t numberPrefix(std::string_view text, bool& hasDigits)
{
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        return i > start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    hasDigits = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        hasDigits = digits() || hasDigits;
    }
    if (!hasDigits)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const size_t mantissaEnd = i;
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (!digits())
            i = mantissaEnd; // "12e" is 12
    }
    return i;
}

} // namespace

int32_t readAnswerNumber(std::string_view answer)
{
    size_t start = 0;
    while (start < answer.size() && isBlankOrBreak(answer[start]))
        ++start;
    answer.remove_prefix(start);
    bool hasDigits = false;
    const size_t length = numberPrefix(answer, hasDigits);
    if (!hasDigits)
        return 0;
    // from_chars takes no leading '+' and is independent of the C locale.
    std::string_view number = answer.substr(0, length);
    const bool negative = number.front() == '-';
    if (number.front() == '+' || number.front() == '-')
        number.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const bool tiny = number.find("e-") != std::string_view::npos || number.find("E-") != std::string_view::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    else if (result.ec != std::errc())
        return 0;
    if (negative)
        value = -value;
    const double rounded = std::nearbyint(value); // the default rounding mode: half to even
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    if (rounded <= lowest)
        return std::numeric_limits<int32_t>::min();
    if (rounded >= highest)
        return std::numeric_limits<int32_t>::max();
    return int32_t(rounded);
}

std::optional<std::string> shortPathOf(const std::string& utf8Path)
{
    std::error_code error;
    const auto path = std::filesystem::u8path(utf8Path);
    if (!std::filesystem::exists(path, error))
        return std::nullopt;
#ifdef _WIN32
    const std::wstring wide = path.wstring();
    const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0)
        return std::nullopt;
    std::wstring shortForm(needed, L'\0');
    const DWORD written = GetShortPathNameW(wide.c_str(), shortForm.data(), needed);
    if (written == 0 || written >= needed)
        return std::nullopt;
    shortForm.resize(written);
    return std::filesystem::path(shortForm).u8string();
#else
    return utf8Path;
#endif
}

void MediaChannel::openMediaFile(const std::string& utf8Path)
{
    const std::string path = shortPathOf(utf8Path).value_or(utf8Path);
    device_.send("open " + path + " type MPEGVideo alias " + std::string(kMediaAlias));
}

void MediaChannel::closeMedia() { device_.send("close " + std::string(kMediaAlias)); }

int32_t MediaChannel::sendMediaCommand(std::string_view command)
{
    return readAnswerNumber(device_.send(command));
}

} // namespace zupfomat
