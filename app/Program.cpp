// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "mainwindow/Form1.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace zupfomat {
namespace {

// Once the main window's first frame is on screen, the media device gets ready for its first
// open: nothing of that is on the way to the frame, and the first PLAY finds it ready. The first
// paint event draws the frame, and the repaint it is part of then sends it to the screen; the
// media device gets ready only after that.
class PrepareAfterFirstFrame : public QObject {
public:
    PrepareAfterFirstFrame(MediaChannel& media, QObject* parent) : QObject(parent), media_(media) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                media_.prepare();
                deleteLater();
            });
        }
        return false;
    }

private:
    MediaChannel& media_;
};

} // namespace

Program::Program(MediaChannel& media, ContentFolder content, Desktop& desktop)
    : media_(media), content_(content), desktop_(desktop),
      course_(media, std::move(content), [this] { showMainWindow(); })
{
    QCoreApplication::instance()->installEventFilter(&screenFit_);
}

Program::~Program()
{
    delete mainWindow_.data();
    QCoreApplication::instance()->removeEventFilter(&screenFit_);
}

void Program::showMainWindow()
{
    if (mainWindow_) {
        mainWindow_->raise();
        mainWindow_->activateWindow();
        return;
    }
    mainWindow_ = new Form1({media_, content_, &desktop_, &course_});
    mainWindow_->setAttribute(Qt::WA_DeleteOnClose); // closed is gone: the next one starts up afresh
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainWindow_->move(screen->availableGeometry().center() - mainWindow_->rect().center());
    mainWindow_->installEventFilter(new PrepareAfterFirstFrame(media_, mainWindow_));
    mainWindow_->show();
}

} // namespace zupfomat
