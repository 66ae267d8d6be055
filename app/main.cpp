#include "app/Program.h"
#include "media/MediaWarmUp.h"
#include "media/PlaybackDevice.h"

#include <QApplication>
#include <QEvent>

namespace {

// Once the main window has painted its first frame, FFmpeg and SDL2 load on a thread of their
// own: nothing of them is on the way to that frame, and the first PLAY finds them ready.
class AfterFirstFrame : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            watched->removeEventFilter(this);
            zupfomat::warmUpMediaLibraries();
        }
        return false;
    }
};

} // namespace

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
    AfterFirstFrame warmUp;
    program.mainWindow()->installEventFilter(&warmUp);
    return application.exec(); // ends with the last window: the main window or a lesson page
}
