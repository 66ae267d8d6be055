#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <vector>

namespace zupfomat {

enum class ControlKind { Label, OpaqueLabel, TextBox, PictureBox, Image, RectangleShape, CircleShape };
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
    QColor text;       // invalid: the system's button-text colour
    QColor background; // invalid: transparent, or the kind's default
    bool visible;
    bool paintedButton; // a raised white button is painted under it in the background picture
};

// The main window's controls, front to back.
const std::vector<ControlDesign>& form1Design();
const ControlDesign& form1Control(const char* name);

inline constexpr int kForm1Width = 999;
inline constexpr int kForm1Height = 657;
// The white sheet panel and its dark frame, painted into the background picture.
inline constexpr QRect kSheetPanel{107, 160, 704, 178};

} // namespace zupfomat
