// SPDX-License-Identifier: GPL-3.0-or-later
// Any answer text read as a number: no crash, and a plain decimal reads as itself.
#include "fuzz/FuzzContract.h"
#include "media/MediaChannel.h"

#include <string_view>

using namespace zupfomat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int32_t value = readAnswerNumber(text);
    bool plain = !text.empty() && text.size() <= 9;
    for (char c : text)
        plain = plain && c >= '0' && c <= '9';
    if (plain)
        fuzz::require(value == std::stol(std::string(text)), "a plain decimal reads as itself", std::string(text));
    const bool digitless = text.find_first_of("0123456789") == std::string_view::npos;
    if (digitless)
        fuzz::require(value == 0, "no digits read as 0", std::string(text));
    return 0;
}
