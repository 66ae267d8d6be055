// SPDX-License-Identifier: GPL-3.0-or-later
#include "lessons/LessonCourse.h"

#include "controls/Controls.h"
#include "controls/DesignBuilder.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QShortcut>

#include <cstring>

namespace zupfomat {
namespace {

constexpr int kToMainWindow = 0;

// Where each button of a page leads; every button that leaves a page closes it first.
struct Route {
    int page;
    const char* button;
    bool closeMediaFirst;
    int target; // a page, or kToMainWindow
};

const Route kRoutes[] = {
    {1, "Command3", false, 2},
    {1, "Command1", false, kToMainWindow},
    {2, "Command2", false, 1},
    {2, "Command4", false, 3},
    {2, "Command3", true, kToMainWindow},
    {3, "Command3", false, 4},
    {3, "Command1", true, kToMainWindow},
    {4, "Command2", false, 3},
    {4, "Command4", false, 1},
    {4, "Command5", true, 5},
    {4, "Command3", true, kToMainWindow},
    {5, "Command2", false, 4},
    {5, "Command3", false, kToMainWindow},
};

// The button of a page that leads back to the main window.
const char* backButton(int page)
{
    for (const Route& route : kRoutes) {
        if (route.page == page && route.target == kToMainWindow)
            return route.button;
    }
    return nullptr;
}

} // namespace

LessonPage::LessonPage(int page, QWidget* parent) : QWidget(parent, Qt::Window), page_(page)
{
    const LessonPageDesign& design = lessonPageDesign(page);
    setObjectName(QString::fromLatin1(design.window));
    setWindowTitle(QString::fromLatin1(design.window));
    setAttribute(Qt::WA_DeleteOnClose);
    setBackColour(this, design.back);
    resize(design.size);
    buildDesign(this, design.controls);
}

QPushButton* LessonPage::button(const char* name) const { return findChild<QPushButton*>(QString::fromLatin1(name)); }

void LessonPage::closeEvent(QCloseEvent* event)
{
    emit closing(page_);
    event->accept();
}

LessonCourse::LessonCourse(MediaChannel& media, ContentFolder content, std::function<void()> returnToMainWindow)
    : media_(media), content_(std::move(content)), returnToMainWindow_(std::move(returnToMainWindow))
{
}

LessonCourse::~LessonCourse()
{
    for (auto& page : pages_) {
        if (page)
            delete page.data();
    }
}

void LessonCourse::showPage(int page)
{
    if (pages_[size_t(page)])
        return; // an open page stays as it is
    auto* window = new LessonPage(page);
    pages_[size_t(page)] = window;
    connect(window, &LessonPage::closing, this, &LessonCourse::pageClosing);
    const LessonPageDesign& design = lessonPageDesign(page);
    for (const ControlDesign& row : design.controls) {
        if (row.kind != ControlKind::PushButton)
            continue;
        const char* name = row.name;
        connect(window->button(name), &QPushButton::clicked, this, [this, page, name] {
            const char* play = lessonPageDesign(page).playButton;
            if (play && std::strcmp(play, name) == 0)
                playToggle(page);
            else
                follow(page, name);
        });
    }
    addKeys(window);
    // Every page with a recording starts stopped, its own recording or another's silenced.
    if (hasRecording(page)) {
        media_.closeMedia();
        toggles_[size_t(page)] = 0;
    }
    window->showMaximized();
}

// F5 is the play button, Escape and Alt+Left (back, as in a browser) the way back to the main
// window; each does what a click on its button does, and the button's tooltip names it.
void LessonCourse::addKeys(LessonPage* window)
{
    const int page = window->page();
    if (const char* play = lessonPageDesign(page).playButton) {
        auto* key = new QShortcut(QKeySequence(Qt::Key_F5), window);
        key->setAutoRepeat(false); // held down, it would start and stop by turns
        connect(key, &QShortcut::activated, this, [this, page] { playToggle(page); });
        window->button(play)->setToolTip(QStringLiteral("Abspielen und anhalten (F5)"));
    }
    const char* back = backButton(page);
    for (const QKeyCombination combination : {QKeyCombination(Qt::Key_Escape), Qt::ALT | Qt::Key_Left}) {
        auto* key = new QShortcut(QKeySequence(combination), window);
        key->setAutoRepeat(false);
        connect(key, &QShortcut::activated, this, [this, page, back] { follow(page, back); });
    }
    window->button(back)->setToolTip(QStringLiteral("Zur\u00fcck zur Zupfomat (Esc oder Alt+Links)"));
}

void LessonCourse::closePage(int page)
{
    if (LessonPage* window = pages_[size_t(page)])
        window->close();
}

void LessonCourse::pageClosing(int page)
{
    if (hasRecording(page))
        media_.closeMedia(); // a page's recording ends with the page
    pages_[size_t(page)] = nullptr;
}

void LessonCourse::playToggle(int page)
{
    LessonPage* window = pages_[size_t(page)];
    QPushButton* button = window ? window->button(lessonPageDesign(page).playButton) : nullptr;
    toggles_[size_t(page)] += 1;
    media_.closeMedia();
    if (toggles_[size_t(page)] == 1) {
        recordings_[size_t(page)] = content_.lessonRecording(page);
        media_.openMediaFile(recordings_[size_t(page)].toStdString());
        media_.sendMediaCommand("play myMP3 from 0");
        if (button)
            button->setText(QStringLiteral("Stop"));
    } else {
        toggles_[size_t(page)] = 0;
        if (button)
            button->setText(QStringLiteral("Play"));
    }
}

void LessonCourse::follow(int page, const char* button)
{
    for (const Route& route : kRoutes) {
        if (route.page != page || std::strcmp(route.button, button) != 0)
            continue;
        if (route.closeMediaFirst)
            media_.closeMedia();
        closePage(page);
        if (route.target == kToMainWindow) {
            if (returnToMainWindow_)
                returnToMainWindow_();
        } else {
            showPage(route.target);
        }
        return;
    }
}

} // namespace zupfomat
