// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"
#include "desktop/Desktop.h"
#include "helpwindow/Form2.h"
#include "lessons/LessonCourse.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace zupfomat {

// Non-modal, beside the main window where the screen has room; an open one stays as it is.
void Form1::showHelp()
{
    if (help_ || !services_.desktop)
        return;
    help_ = new Form2(*services_.desktop);
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    const QPoint beside = frameGeometry().topRight() + QPoint(8, 0);
    if (screen.contains(QRect(beside, help_->size())))
        help_->move(beside);
    help_->show();
}

void Form1::openCourse()
{
    services_.media.closeMedia();
    if (services_.course)
        services_.course->showPage(1);
}

void Form1::volumeLamp()
{
    const std::optional<ProgramCall> mixer =
        services_.desktop ? volumeMixer(*services_.desktop, QDir::currentPath()) : std::nullopt;
    if (!mixer || !services_.desktop->startProgram(mixer->program, mixer->arguments)) {
        showNotice(this, windowTitle(),
                   QStringLiteral("Keine Lautst\u00e4rkeregelung gefunden (pavucontrol, gnome-control-center oder kmix)."));
        return;
    }
    setLamp(image1_, true);
    if (!timer4_->isActive()) // a second click while lit does not lengthen the half second
        timer4_->start();
}

void Form1::volumeLampTick()
{
    setLamp(image1_, false);
    timer4_->stop();
}

void Form1::closeEvent(QCloseEvent* event)
{
    services_.media.closeMedia();
    stopRhythm();
    stop();
    event->accept();
    if (help_)
        help_->close();
    timerexit_->start();
}

void Form1::exitTick()
{
    stopRhythm();
    services_.media.closeMedia();
    stopRhythm();
    stop();
    close();
    if (help_)
        help_->close();
}

} // namespace zupfomat
