// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QObject>

class QScrollArea;
class QWidget;

namespace zupfomat {

// What a window manager puts around a window's client area on common desktops: a title bar
// above and a border on the other sides. A window's real frame is known only once it is on
// screen, too late to decide how large it may be.
inline constexpr QMargins kFrameAllowance{8, 40, 8, 8};

// Where a window's design does not fit the room of the screen it shows on, its controls go into
// a scroll area that fills the window, and the window is sized and placed within the room (a
// maximised window is restored to that size). Where the design fits, nothing changes. Returns
// the scroll area, or nullptr when the window is left as it is.
QScrollArea* fitToScreen(QWidget* window);

// The scroll area fitToScreen put a window's controls in, or nullptr.
QScrollArea* screenFitArea(const QWidget* window);

// Fits each top-level window of the application to its screen as it is first shown, before its
// first frame: the windows are built at their design size wherever they show.
class ScreenFit : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace zupfomat
