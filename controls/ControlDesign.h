// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

namespace zupfomat {

enum class ControlKind {
    Label,          // transparent, takes clicks over its whole rectangle
    OpaqueLabel,    // paints its background
    BorderedLabel,  // opaque, with a thin single-line border
    TextBox,
    PictureBox,     // shows a picture at its natural size and takes keys
    Image,          // a picture, unscaled, that takes clicks
    StretchedImage, // a picture scaled to its rectangle
    PushButton,     // a button with a coloured face
    RectangleShape,
    CircleShape,
    Line,           // from the rectangle's top-left to its bottom-right corner
};

enum class FontFace { SansSerif, HandLettered };

// One row of a window design: what a control is and how it looks before start-up changes it.
struct ControlDesign {
    const char* name;
    ControlKind kind;
    QString caption;
    QRect rect; // pixels of the client area
    FontFace face;
    double pointSize;
    bool bold;
    QColor text;        // invalid: "(default)", the design's black
    QColor background;  // invalid: transparent, or the kind's default (white boxes, the grey face)
    bool visible;
    bool paintedButton; // a raised white button is painted under it in the background picture
    const char* picture = nullptr; // a design picture (Qt resource)
    bool underline = false;
    const char* container = nullptr; // the control it lies in; the window when none
    bool rising = false;             // a line from bottom-left to top-right
    int index = -1;                  // the element of a control array
};

// A line from (x1, y1) to (x2, y2), as window designs give them.
ControlDesign lineDesign(const char* name, int x1, int y1, int x2, int y2, const char* container = nullptr,
                         int index = -1);

} // namespace zupfomat
