// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Controls.h"
#include "controls/PicturePrefetch.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <utility>

namespace zupfomat {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

SheetBox::SheetBox(QWidget* parent) : QLabel(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(true);
}

void SheetBox::showPicture(const QString& path, const QString& shownName)
{
    if (!designSize_.isValid())
        designSize_ = size();
    setProperty("picturePath", path);
    const QPixmap picture = loadPicture(path);
    if (picture.isNull()) {
        // The window stays usable; the user learns which file to put back.
        setPixmap(QPixmap());
        setText(QStringLiteral("  Bild fehlt: ") + shownName);
        setAlignment(Qt::AlignCenter);
        resize(designSize_);
        setProperty("pictureMissing", true);
        return;
    }
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setPixmap(picture);
    resize(picture.size());
    setProperty("pictureMissing", false);
}

void SheetBox::keyPressEvent(QKeyEvent* event)
{
    if (!event->text().isEmpty())
        emit characterTyped();
    QLabel::keyPressEvent(event);
}

NumberBox::NumberBox(QWidget* parent) : QLineEdit(parent) {}

void NumberBox::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    emit keyDown(enter ? kEnterKey : event->key());
    QLineEdit::keyPressEvent(event);
}

void NumberBox::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

ShapeControl::ShapeControl(Form form, QColor colour, QWidget* parent) : QWidget(parent), form_(form), colour_(colour)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    switch (form_) {
    case Form::Rectangle:
        p.setPen(colour_);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        break;
    case Form::Circle:
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour_);
        p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        break;
    case Form::LineDown:
        p.setPen(colour_);
        p.drawLine(0, 0, width() - 1, height() - 1);
        break;
    case Form::LineUp:
        p.setPen(colour_);
        p.drawLine(0, height() - 1, width() - 1, 0);
        break;
    }
}

namespace {

// The classic Windows scheme the designs were drawn in: black on white boxes and on a light grey
// face (the one Form1's design gives its number box), white on dark blue for selected text (16:1).
const QColor kDesignBlack(0, 0, 0);
const QColor kDesignWhite(255, 255, 255);
const QColor kDesignFace(240, 240, 240);
const QColor kDesignGreyText(109, 109, 109); // what a disabled control writes with
const QColor kDesignSelection(0, 0, 128);
// The face's lighter and darker edges, for the frames a style draws.
const QColor kDesignMidlight(227, 227, 227);
const QColor kDesignShadow(160, 160, 160);
const QColor kDesignDarkShadow(105, 105, 105);

void setColours(QWidget* control, std::initializer_list<QPalette::ColorRole> roles, const QColor& colour)
{
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : roles)
        palette.setColor(role, colour);
    control->setPalette(palette);
}

} // namespace

QPalette designPalette()
{
    QPalette palette;
    const std::pair<QPalette::ColorRole, QColor> colours[] = {
        {QPalette::WindowText, kDesignBlack},
        {QPalette::Text, kDesignBlack},
        {QPalette::ButtonText, kDesignBlack},
        {QPalette::ToolTipText, kDesignBlack},
        {QPalette::PlaceholderText, kDesignGreyText},
        {QPalette::Window, kDesignFace},
        {QPalette::Button, kDesignFace},
        {QPalette::AlternateBase, kDesignFace},
        {QPalette::Base, kDesignWhite},
        {QPalette::ToolTipBase, kDesignWhite},
        {QPalette::Highlight, kDesignSelection},
        {QPalette::HighlightedText, kDesignWhite},
        {QPalette::BrightText, kDesignWhite},
        {QPalette::Light, kDesignWhite},
        {QPalette::Midlight, kDesignMidlight},
        {QPalette::Mid, kDesignShadow},
        {QPalette::Dark, kDesignShadow},
        {QPalette::Shadow, kDesignDarkShadow},
        {QPalette::Link, QColor(Qt::blue)},
        {QPalette::LinkVisited, QColor(Qt::darkMagenta)},
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
        {QPalette::Accent, kDesignSelection},
#endif
    };
    // Every role set in every group, so that no role falls back to the desktop's palette.
    for (const auto& [role, colour] : colours)
        palette.setColor(role, colour);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, kDesignGreyText);
    return palette;
}

void setTextColour(QWidget* control, const QColor& colour)
{
    setColours(control, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}, colour);
}

bool hasTextColour(const QWidget* control, const QColor& colour)
{
    return control->palette().color(QPalette::WindowText) == colour;
}

QColor idleColour() { return kDesignBlack; }

void setBackColour(QWidget* control, const QColor& colour)
{
    setColours(control, {QPalette::Window, QPalette::Base, QPalette::Button}, colour);
    control->setAutoFillBackground(true);
}

QColor backColour(const QWidget* control) { return control->palette().color(QPalette::Window); }

bool loadPictureInto(QLabel* control, const QString& path)
{
    const QPixmap picture = loadPicture(path);
    if (picture.isNull())
        return false;
    control->setPixmap(picture);
    control->setProperty("picturePath", path);
    return true;
}

void showNotice(QWidget* parent, const QString& title, const QString& text)
{
    auto* message = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    message->setObjectName(QStringLiteral("notice"));
    message->setPalette(designPalette()); // a window of its own inherits nothing from its parent
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->setWindowModality(Qt::WindowModal);
    message->open();
}

} // namespace zupfomat
