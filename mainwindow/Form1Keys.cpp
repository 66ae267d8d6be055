// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"

#include <QFocusFrame>
#include <QKeyEvent>
#include <QShortcut>

#include <algorithm>
#include <iterator>

namespace zupfomat {
namespace {

// A control whose click a window key performs, and what its tooltip says it does.
struct KeyedControl {
    const char* control;
    const char* does;
};

// The main window's own keys. Each performs the handler of its controls' click; their tooltips
// name the key as a German keyboard labels it.
struct WindowKey {
    QKeyCombination key;
    const char* keyName;
    void (Form1::*handler)();
    bool repeats; // held down, it goes on: stepping through the sheets or the tempo, never a restart
    KeyedControl controls[2];
};

const WindowKey kWindowKeys[] = {
    {Qt::Key_F1, "F1", &Form1::showHelp, false, {{"Label5", "Hilfe"}}},
    {Qt::Key_F2, "F2", &Form1::openCourse, false,
     {{"Labellage", u8"\u00dcbungen zum Lagenspiel"}, {"Label6", u8"\u00dcbungen zum Lagenspiel"}}},
    {Qt::Key_F5, "F5", &Form1::play, false, {{"Labelplay", "Abspielen"}}},
    {Qt::Key_F6, "F6", &Form1::loop, false, {{"Labelloop", "Endlos abspielen"}}},
    {Qt::Key_F7, "F7", &Form1::stop, false, {{"Labelstop", "Anhalten"}}},
    {Qt::Key_F8, "F8", &Form1::playRhythm, false, {{"Labeldrumplay", "Rhythmus abspielen"}}},
    {Qt::Key_F9, "F9", &Form1::resetRhythmPlayer, false, {{"Labeldrumstop", "Rhythmus anhalten"}}},
    {Qt::CTRL | Qt::Key_Left, "Strg+Links", &Form1::previousSheet, true, {{"Labelback", "Vorheriges Blatt"}}},
    {Qt::CTRL | Qt::Key_Right, "Strg+Rechts", &Form1::nextSheet, true, {{"Labelvor", u8"N\u00e4chstes Blatt"}}},
    {Qt::CTRL | Qt::Key_E, "Strg+E", &Form1::switchRiffsAndExercises, false,
     {{"Label1", "Zu den Riffs"}, {"Label2", "Zu den Exercises"}}},
    // The keypad's minus and plus are these keys too. Ctrl+= is where a US keyboard has its plus.
    {Qt::CTRL | Qt::Key_Minus, "Strg+Minus", &Form1::slowDown, true, {{"LabelTempoDown", "Langsamer"}}},
    {Qt::CTRL | Qt::Key_Plus, "Strg+Plus", &Form1::speedUp, true, {{"LabelTempoUp", "Schneller"}}},
    {Qt::CTRL | Qt::Key_Equal, "Strg+Plus", &Form1::speedUp, true, {}},
};

bool isWindowKey(const QKeyEvent& event)
{
    // A keypad arrow is the same key to the window, as it is to the shortcut map.
    Qt::KeyboardModifiers modifiers = event.modifiers();
    modifiers.setFlag(Qt::KeypadModifier, false);
    const QKeyCombination pressed(modifiers, Qt::Key(event.key()));
    return std::any_of(std::begin(kWindowKeys), std::end(kWindowKeys),
                       [&](const WindowKey& key) { return key.key == pressed; });
}

// The frame around the sheet box while it has the focus: black, as the design draws its frames,
// whatever the desktop's palette.
const QColor kSheetFocusColour(0, 0, 0);

} // namespace

void Form1::setUpKeyboard()
{
    for (const WindowKey& key : kWindowKeys) {
        auto* shortcut = new QShortcut(QKeySequence(key.key), this);
        shortcut->setAutoRepeat(key.repeats);
        connect(shortcut, &QShortcut::activated, this, key.handler);
        for (const KeyedControl& keyed : key.controls) {
            if (!keyed.control)
                continue;
            findChild<QWidget*>(QString::fromLatin1(keyed.control))
                ->setToolTip(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(keyed.does), QString::fromUtf8(key.keyName)));
        }
    }
    // The boxes are where the focus is, and the number box would keep Ctrl+Left and Ctrl+Right
    // for moving its cursor word by word: the window's keys are taken from them first.
    text2_->installEventFilter(this);
    picture1_->installEventFilter(this);

    sheetFocusFrame_ = new QFocusFrame(this);
    QPalette palette = sheetFocusFrame_->palette();
    palette.setColor(QPalette::WindowText, kSheetFocusColour);
    sheetFocusFrame_->setPalette(palette);
    sheetFocusFrame_->hide();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        if (isWindowKey(*static_cast<QKeyEvent*>(event))) {
            event->ignore(); // not the box's: the window's shortcut takes the key, the box never sees it
            return true;
        }
        break;
    case QEvent::FocusIn:
        if (watched == picture1_)
            sheetFocusFrame_->setWidget(picture1_); // follows the box as its picture resizes it
        break;
    case QEvent::FocusOut:
        if (watched == picture1_)
            sheetFocusFrame_->setWidget(nullptr);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// The key stands for a click on the mode label of the mode not shown.
void Form1::switchRiffsAndExercises()
{
    if (hasTextColour(label2_, kGreen))
        showRiffs();
    else
        showExercises();
}

} // namespace zupfomat
