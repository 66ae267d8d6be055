#include "app/Program.h"
#include "media/PlaybackDevice.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zupfomat"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    zupfomat::PlaybackDevice device;
    zupfomat::MediaChannel media(device);
    zupfomat::SystemDesktop desktop;
    zupfomat::Program program(media, zupfomat::ContentFolder::besideProgram(), desktop);
    program.showMainWindow();
    return application.exec(); // ends with the last window: the main window or a lesson page
}
