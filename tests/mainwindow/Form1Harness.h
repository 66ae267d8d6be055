// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/Controls.h"
#include "lessons/LessonCourse.h"
#include "mainwindow/Form1.h"
#include "media/MediaChannel.h"
#include "tests/support/FakeMediaDevice.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TestContent.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace zupfomat::testing {

// The real main window on the offscreen platform, over a fake device and a small content folder.
struct Form1Harness {
    TestContent content;
    FakeMediaDevice device;
    MediaChannel channel{device};
    RecordingDesktop desktop;
    LessonCourse course{channel, ContentFolder(content.programFolder()), [this] { ++returnsToMainWindow; }};
    int returnsToMainWindow = 0;
    std::unique_ptr<Form1> window;

    Form1Harness()
    {
        window = std::make_unique<Form1>(Form1Services{channel, ContentFolder(content.programFolder()), &desktop, &course});
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("Form1Harness: the main window was not exposed");
    }

    template <typename T = QWidget> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const
    {
        QWidget* control = find(name);
        QVERIFY2(control, name);
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(control->width() / 2, control->height() / 2));
    }
    QColor colour(const char* name) const { return find(name)->palette().color(QPalette::WindowText); }
    bool active(const char* name) const { return colour(name) == kActive; }
    bool idle(const char* name) const { return colour(name) == idleColour(); }
    QString text(const char* name) const
    {
        if (auto* box = find<QLineEdit>(name))
            return box->text();
        return find<QLabel>(name)->text();
    }
    QString sheet() const { return find("Picture1")->property("picturePath").toString(); }
    QString lamp(const char* name) const { return find(name)->property("picturePath").toString(); }
    std::string data(const QString& relative) const
    {
        return QDir::toNativeSeparators(content.path(QStringLiteral("Data/") + relative)).toStdString();
    }
    std::string openOf(const QString& relative) const { return "open " + data(relative) + " type MPEGVideo alias myMP3"; }
    void typeIntoBox(const QString& text) const
    {
        auto* box = find<QLineEdit>("Text2");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    void enter() const { QTest::keyClick(find("Text2"), Qt::Key_Return); }
    void tick(long long advanceMs = 0)
    {
        device.nowMs += advanceMs;
        window->pollTick();
    }
    QRect bar() const { return find("Label12")->geometry(); }
    QColor tickRow() const { return find("Label14")->palette().color(QPalette::Window); }
};

} // namespace zupfomat::testing
