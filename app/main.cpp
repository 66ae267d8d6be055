#include "media/ContentFolder.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zupfomat"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    zupfomat::PlaybackDevice device;
    zupfomat::MediaChannel media(device);
    const zupfomat::ContentFolder content = zupfomat::ContentFolder::besideProgram();
    (void)content;

    QWidget window;
    window.setObjectName(QStringLiteral("Form1"));
    window.setWindowTitle(QStringLiteral(" Zupfomat"));
    window.setFixedSize(999, 657);
    window.show();
    return application.exec();
}
