#include "app/Program.h"
#include "media/MediaProcess.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <thread>

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], zupfomat::kMediaProcessArgument) == 0)
        return zupfomat::runMediaProcess(zupfomat::kMediaProcessSocket);

    // Fontconfig reads its configuration and caches while the application connects to the
    // display; the window's first font then finds them read.
    std::thread(FcInit).detach();
    // The program again, as its media process: started once the window is on screen.
    zupfomat::MediaProcessDevice device("/proc/self/exe");
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
