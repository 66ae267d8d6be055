// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lessons/LessonDesigns.h"
#include "media/ContentFolder.h"
#include "media/MediaChannel.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QPushButton;

namespace zupfomat {

// One page of the course, a top-level window of its own. Closing it, by a button or by its
// close box, tells the course, which runs the page's closing steps.
class LessonPage : public QWidget {
    Q_OBJECT
public:
    LessonPage(int page, QWidget* parent = nullptr);
    int page() const { return page_; }
    QPushButton* button(const char* name) const;

signals:
    void closing(int page);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int page_;
};

// The course in position playing: five pages that lead to each other and back to the main
// window, four of them with a recording and a play toggle that outlives the page's window.
class LessonCourse : public QObject {
    Q_OBJECT
public:
    LessonCourse(MediaChannel& media, ContentFolder content, std::function<void()> returnToMainWindow);
    ~LessonCourse() override;

    // Shows a page, creating it and running its opening steps when it is not open.
    void showPage(int page);
    void closePage(int page);
    void playToggle(int page);

    LessonPage* openPage(int page) const { return pages_[size_t(page)]; }
    int playToggleOf(int page) const { return toggles_[size_t(page)]; }

private:
    void follow(int page, const char* button);
    void addKeys(LessonPage* window);
    void pageClosing(int page);
    static bool hasRecording(int page) { return page >= 1 && page <= 4; }

    MediaChannel& media_;
    ContentFolder content_;
    std::function<void()> returnToMainWindow_;
    std::array<QPointer<LessonPage>, kLessonPages + 1> pages_{};
    std::array<int, kLessonPages + 1> toggles_{};
    std::array<QString, kLessonPages + 1> recordings_{};
};

} // namespace zupfomat
