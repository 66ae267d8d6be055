// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/ScreenFit.h"
#include "desktop/Desktop.h"
#include "lessons/LessonCourse.h"
#include "mainwindow/Form1.h"
#include "media/ContentFolder.h"
#include "media/MediaChannel.h"

#include <QPointer>

namespace zupfomat {

// The program's windows over its services: the main window, and the lesson course that can
// bring the main window back once it was closed. Each window fits the screen it shows on.
class Program {
public:
    Program(MediaChannel& media, ContentFolder content, Desktop& desktop);
    ~Program();

    // Shows the main window; after it was closed, builds it anew (its start-up runs).
    void showMainWindow();
    Form1* mainWindow() const { return mainWindow_; }
    LessonCourse& course() { return course_; }

private:
    ScreenFit screenFit_;
    MediaChannel& media_;
    ContentFolder content_;
    Desktop& desktop_;
    LessonCourse course_;
    QPointer<Form1> mainWindow_;
};

} // namespace zupfomat
