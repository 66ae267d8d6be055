#include "app/Program.h"
#include "media/PlaybackDevice.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <thread>

int main(int argc, char* argv[])
{
    // Fontconfig reads its configuration and caches while the application connects to the
    // display; the window's first font then finds them read.
    std::thread(FcInit).detach();
    // FFmpeg and SDL2 load once the window is on screen (Program prepares the device then).
    zupfomat::PlaybackDevice device;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zupfomat"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QGuiApplication::setDesktopFileName(QStringLiteral("de.zupfomat.Zupfomat")); // the menu entry's id

    zupfomat::MediaChannel media(device);
    zupfomat::SystemDesktop desktop;
    zupfomat::Program program(media, zupfomat::ContentFolder::besideProgram(), desktop);
    program.showMainWindow();
    return application.exec(); // ends with the last window: the main window or a lesson page
}
