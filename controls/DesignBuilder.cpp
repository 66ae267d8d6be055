// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/DesignBuilder.h"

#include "controls/Controls.h"

#include <QFont>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace zupfomat {
namespace {

QWidget* makeLabel(QWidget* parent, const ControlDesign& row)
{
    auto* label = new ClickLabel(parent);
    label->setText(row.caption);
    label->setWordWrap(true); // a label wraps its caption within its width, as designed
    if (row.kind == ControlKind::BorderedLabel) {
        label->setFrameShape(QFrame::Box);
        label->setLineWidth(1);
    }
    return label;
}

QWidget* makeControl(QWidget* parent, const ControlDesign& row)
{
    switch (row.kind) {
    case ControlKind::Label:
    case ControlKind::OpaqueLabel:
    case ControlKind::BorderedLabel:
        return makeLabel(parent, row);
    case ControlKind::TextBox: {
        auto* box = new NumberBox(parent);
        box->setText(row.caption);
        return box;
    }
    case ControlKind::PictureBox:
        return new SheetBox(parent);
    case ControlKind::Image:
    case ControlKind::StretchedImage: {
        auto* image = new ClickLabel(parent);
        image->setScaledContents(row.kind == ControlKind::StretchedImage);
        if (row.picture)
            loadPictureInto(image, QString::fromLatin1(row.picture));
        return image;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(row.caption, parent);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    }
    case ControlKind::RectangleShape:
        return new ShapeControl(ShapeControl::Form::Rectangle, row.text.isValid() ? row.text : QColor(Qt::black), parent);
    case ControlKind::CircleShape:
        return new ShapeControl(ShapeControl::Form::Circle, row.background, parent);
    case ControlKind::Line:
        return new ShapeControl(row.rising ? ShapeControl::Form::LineUp : ShapeControl::Form::LineDown,
                                row.text.isValid() ? row.text : QColor(Qt::black), parent);
    }
    return new QWidget(parent);
}

bool isShape(ControlKind kind)
{
    return kind == ControlKind::CircleShape || kind == ControlKind::RectangleShape || kind == ControlKind::Line;
}

// The colours a control was drawn with: its row's, and the design's own where the row says
// "(default)". A control inherits nothing from the desktop's palette: a dark theme would write
// white captions over the design's light pictures.
void colourAsDesigned(QWidget* control, const ControlDesign& row)
{
    control->setPalette(designPalette());
    switch (row.kind) {
    case ControlKind::OpaqueLabel:
    case ControlKind::BorderedLabel:
    case ControlKind::PictureBox:
        setBackColour(control, row.background.isValid() ? row.background : QColor(Qt::white));
        break;
    case ControlKind::TextBox: // white unless the design says otherwise, as the palette has it
        if (row.background.isValid())
            setBackColour(control, row.background);
        break;
    case ControlKind::PushButton:
        if (row.background.isValid())
            control->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }"
                                                  "QPushButton:pressed { border: 2px inset #404040; }")
                                       .arg(row.background.name()));
        break;
    default:
        break;
    }
    if (!isShape(row.kind)) // a shape paints in its own colour
        setTextColour(control, row.text.isValid() ? row.text : idleColour());
}

} // namespace

QFont designFont(const ControlDesign& row)
{
    QFont font(row.face == FontFace::HandLettered ? QStringLiteral("Comic Neue") : QStringLiteral("Liberation Sans"));
    font.setPixelSize(int(std::lround(row.pointSize * 96.0 / 72.0))); // the design's 96 dots per inch
    font.setBold(row.bold);
    font.setUnderline(row.underline && row.kind != ControlKind::Line);
    return font;
}

ControlDesign lineDesign(const char* name, int x1, int y1, int x2, int y2, const char* container, int index)
{
    ControlDesign row{name, ControlKind::Line, QString(), QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                                                             QPoint(std::max(x1, x2), std::max(y1, y2))),
                      FontFace::SansSerif, 8.25, false, QColor(Qt::black), QColor(), true, false};
    row.container = container;
    row.rising = (x2 - x1) * (y2 - y1) < 0;
    row.index = index;
    return row;
}

QHash<QString, QWidget*> buildDesign(QWidget* parent, const std::vector<ControlDesign>& design)
{
    QHash<QString, QWidget*> controls;
    std::vector<QWidget*> built;
    for (const ControlDesign& row : design) {
        QWidget* container = row.container ? controls.value(QString::fromLatin1(row.container), parent) : parent;
        QWidget* control = makeControl(container, row);
        built.push_back(control);
        control->setObjectName(QString::fromLatin1(row.name));
        if (row.index >= 0)
            control->setProperty("index", row.index);
        control->setGeometry(row.rect);
        control->setFont(designFont(row));
        colourAsDesigned(control, row);
        control->setVisible(row.visible);
        if (!controls.contains(control->objectName())) // a control array answers by its first element
            controls.insert(control->objectName(), control);
    }
    // Later siblings lie in front: raise from the back of the design to its front.
    for (auto control = built.rbegin(); control != built.rend(); ++control)
        (*control)->raise();
    return controls;
}

} // namespace zupfomat
