#include "app/Program.h"

#include "mainwindow/Form1.h"

#include <QGuiApplication>
#include <QScreen>

namespace zupfomat {

Program::Program(MediaChannel& media, ContentFolder content, Desktop& desktop)
    : media_(media), content_(content), desktop_(desktop),
      course_(media, std::move(content), [this] { showMainWindow(); })
{
}

Program::~Program() { delete mainWindow_.data(); }

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
    mainWindow_->show();
}

} // namespace zupfomat
