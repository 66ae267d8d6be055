// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <string>

namespace zupfomat::testing {

// SDL's disk driver for the scope: it writes to `file` what a sound card would have been handed.
// At a card's pace by default; unpaced it pulls as fast as the device fills, the same output sooner.
enum class Pace { SoundCard, AsFastAsFilled };

class DiskDriver {
public:
    explicit DiskDriver(const std::string& file, Pace pace = Pace::SoundCard)
    {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(file));
        if (pace == Pace::AsFastAsFilled)
            qputenv("SDL_DISKAUDIODELAY", "0");
        else
            qunsetenv("SDL_DISKAUDIODELAY");
    }
    ~DiskDriver()
    {
        qunsetenv("SDL_AUDIODRIVER");
        qunsetenv("SDL_DISKAUDIOFILE");
        qunsetenv("SDL_DISKAUDIODELAY");
    }
    DiskDriver(const DiskDriver&) = delete;
    DiskDriver& operator=(const DiskDriver&) = delete;
};

} // namespace zupfomat::testing
