// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"
#include "media/PlaybackDevice.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr const char* kVersion = "1.00";

constexpr const char* kHelp =
    "Zupfomat %s: Übungsprogramm für Gitarristen / practice tool for guitarists\n"
    "\n"
    "Aufruf / usage: zupfomat [--help | --version]\n"
    "\n"
    "Ohne Optionen öffnet Zupfomat sein Hauptfenster und liest Riffs, Übungen und Rhythmen\n"
    "aus dem Ordner Data neben dem Programm.\n"
    "Without options Zupfomat opens its main window and reads its riffs, exercises and\n"
    "rhythms from the folder Data beside the program.\n"
    "\n"
    "  -h, --help   diese Hilfe / this help\n"
    "  --version    Version und Lizenz / version and licence\n";

constexpr const char* kVersionText =
    "Zupfomat %s\n"
    "Copyright (C) 2026 Zupfomat-Team\n"
    "Lizenz / licence: GPL-3.0-or-later <https://www.gnu.org/licenses/gpl-3.0.html>\n";

// --help and --version are answered from the terminal, before anything asks for a display.
bool answeredFromTheCommandLine(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char* text = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ? kHelp
                           : std::strcmp(argv[i], "--version") == 0                              ? kVersionText
                                                                                                  : nullptr;
        if (text) {
            std::printf(text, kVersion);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (answeredFromTheCommandLine(argc, argv))
        return 0;
    // Fontconfig reads its configuration and caches while the application connects to the
    // display; the window's first font then finds them read.
    std::thread(FcInit).detach();
    // FFmpeg and SDL2 load once the window is on screen (Program prepares the device then).
    zupfomat::PlaybackDevice device;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zupfomat"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("de.zupfomat.Zupfomat")); // the menu entry's id

    zupfomat::MediaChannel media(device);
    zupfomat::SystemDesktop desktop;
    zupfomat::Program program(media, zupfomat::ContentFolder::besideProgram(), desktop);
    program.showMainWindow();
    return application.exec(); // ends with the last window: the main window or a lesson page
}
