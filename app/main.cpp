#include "mainwindow/Form1.h"
#include "media/ContentFolder.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zupfomat"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    zupfomat::PlaybackDevice device;
    zupfomat::MediaChannel media(device);
    zupfomat::Form1 window({media, zupfomat::ContentFolder::besideProgram()});
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return application.exec();
}
