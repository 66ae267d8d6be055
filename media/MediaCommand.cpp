// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaCommand.h"

#include <cctype>
#include <vector>

namespace zupfomat {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i > start)
            result.push_back(text.substr(start, i - start));
    }
    return result;
}

bool wordsAre(const std::vector<std::string_view>& actual, std::initializer_list<std::string_view> expected)
{
    if (actual.size() != expected.size())
        return false;
    size_t i = 0;
    for (std::string_view word : expected) {
        if (!equalsIgnoringCase(actual[i++], word))
            return false;
    }
    return true;
}

// Finds the last occurrence of needle in text, ignoring case.
size_t findLastIgnoringCase(std::string_view text, std::string_view needle)
{
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (size_t i = text.size() - needle.size() + 1; i-- > 0;) {
        if (equalsIgnoringCase(text.substr(i, needle.size()), needle))
            return i;
    }
    return std::string_view::npos;
}

MediaCommand parseOpen(std::string_view text)
{
    constexpr std::string_view prefix = "open ";
    constexpr std::string_view typeWord = " type ";
    if (text.size() <= prefix.size() || !equalsIgnoringCase(text.substr(0, prefix.size()), prefix))
        return {};
    const size_t typeAt = findLastIgnoringCase(text, typeWord);
    if (typeAt == std::string_view::npos || typeAt < prefix.size())
        return {};
    if (!wordsAre(words(text.substr(typeAt + typeWord.size())), {"MPEGVideo", "alias", kMediaAlias}))
        return {};
    std::string_view path = text.substr(prefix.size(), typeAt - prefix.size());
    if (path.empty())
        return {};
    return {MediaVerb::Open, std::string(path)};
}

} // namespace

MediaCommand parseMediaCommand(std::string_view text)
{
    if (text.size() >= 5 && equalsIgnoringCase(text.substr(0, 5), "open "))
        return parseOpen(text);
    const auto w = words(text);
    if (wordsAre(w, {"close", kMediaAlias}))
        return {MediaVerb::Close, {}};
    if (wordsAre(w, {"play", kMediaAlias, "from", "0"}))
        return {MediaVerb::Play, {}};
    if (wordsAre(w, {"status", kMediaAlias, "position"}))
        return {MediaVerb::StatusPosition, {}};
    if (wordsAre(w, {"status", kMediaAlias, "length"}))
        return {MediaVerb::StatusLength, {}};
    return {};
}

} // namespace zupfomat
