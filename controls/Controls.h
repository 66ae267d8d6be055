// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

namespace zupfomat {

// A label that serves as a button: transparent unless told otherwise, and a click anywhere
// in its rectangle counts, also where no text is drawn.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The sheet picture box: shows a picture at its natural size from its top-left corner and
// takes the picture's size; takes the keyboard focus and reports typed characters.
class SheetBox : public QLabel {
    Q_OBJECT
public:
    explicit SheetBox(QWidget* parent = nullptr);
    // Shows the picture of a file, or a message naming the file when it cannot be read.
    void showPicture(const QString& path, const QString& shownName);
signals:
    void characterTyped();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSize designSize_;
};

// A single-line text box that reports its key-down (with the key code, before the box itself
// handles the key) and clicks.
class NumberBox : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kEnterKey = 13;
    explicit NumberBox(QWidget* parent = nullptr);
signals:
    void keyDown(int keyCode);
    void clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A rectangle frame, a filled circle or a one-pixel line; never takes clicks.
class ShapeControl : public QWidget {
    Q_OBJECT
public:
    enum class Form { Rectangle, Circle, LineDown, LineUp };
    ShapeControl(Form form, QColor colour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Form form_;
    QColor colour_;
};

// The classic light Windows colours the window designs were drawn with: black captions, white
// text boxes, a light grey face and dark blue behind selected text. Every control a design builds
// and every message a window opens takes them, so a dark desktop theme never reaches the windows.
QPalette designPalette();

// Text colours that serve as state flags.
void setTextColour(QWidget* control, const QColor& colour);
bool hasTextColour(const QWidget* control, const QColor& colour);
QColor idleColour(); // the design's caption colour, black
void setBackColour(QWidget* control, const QColor& colour);
QColor backColour(const QWidget* control);

// A short message that never blocks: window-modal over its parent, opened, not executed.
void showNotice(QWidget* parent, const QString& title, const QString& text);

// Loads a picture file into an image control; on failure the control keeps its picture.
bool loadPictureInto(QLabel* control, const QString& path);

} // namespace zupfomat
