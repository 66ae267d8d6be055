#pragma once

#include <string>
#include <string_view>

namespace zupfomat {

// The string-command media device that all sound of the program goes through.
// A command that fails, or that the device does not know, answers "" and has no effect.
class MediaDevice {
public:
    virtual ~MediaDevice() = default;
    virtual std::string send(std::string_view command) = 0;
};

} // namespace zupfomat
