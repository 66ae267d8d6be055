// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1Design.h"

#include <cstring>
#include <stdexcept>

namespace zupfomat {
namespace {

// The desktop's button face and menu text, as a classic light scheme has them.
const QColor kButtonFace(240, 240, 240);
const QColor kMenuText(0, 0, 0);

} // namespace

// Name, kind, caption, rectangle, font, text colour, background, visible, painted button, picture.
const std::vector<ControlDesign>& form1Design()
{
    static const std::vector<ControlDesign> design = {
        {"Text3", ControlKind::TextBox, "1", QRect(59, 51, 125, 49), FontFace::SansSerif, 8.25, false, QColor(), QColor(), false, false},
        {"Text1", ControlKind::TextBox, "", QRect(53, 363, 44, 36), FontFace::SansSerif, 8.25, false, QColor(), QColor(), false, false},
        {"Text2", ControlKind::TextBox, "1", QRect(261, 414, 62, 19), FontFace::SansSerif, 8.25, false, QColor(), kButtonFace, true, false},
        {"Picture1", ControlKind::PictureBox, "", QRect(109, 161, 385, 129), FontFace::SansSerif, 8.25, false, QColor(), QColor(255, 255, 255), true, false},
        {"Shape2", ControlKind::RectangleShape, "", QRect(320, 604, 414, 34), FontFace::SansSerif, 8.25, false, QColor(0, 0, 0), QColor(), true, false},
        {"Label6", ControlKind::Label, "", QRect(692, 603, 35, 34), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false},
        {"Shape1", ControlKind::CircleShape, "", QRect(697, 610, 24, 19), FontFace::SansSerif, 8.25, false, QColor(), QColor(0, 192, 0), true, false},
        {"Labellage", ControlKind::Label, QStringLiteral("NEU:  \u00dcbungen zum Lagenspiel - hier klicken"), QRect(326, 609, 459, 25), FontFace::SansSerif, 12, true, QColor(), QColor(), true, false},
        {"Label13", ControlKind::Label, "Label13 forecolor regelt schnell langsam", QRect(9, 551, 55, 65), FontFace::SansSerif, 8.25, false, QColor(), QColor(), false, false},
        {"Label12", ControlKind::OpaqueLabel, "|", QRect(683, 452, 1, 8), FontFace::SansSerif, 12, true, QColor(0, 0, 0), kMenuText, true, false},
        {"Label11", ControlKind::Label, "V 2. 4", QRect(663, 120, 79, 44), FontFace::HandLettered, 9.75, false, QColor(64, 0, 0), QColor(), true, false},
        {"Label9", ControlKind::Label, "Rhythmus:", QRect(655, 410, 52, 28), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false},
        {"Image2", ControlKind::Image, "", QRect(54, 520, 164, 61), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false, ":/design/patch.png"},
        {"Label10", ControlKind::Label, QStringLiteral("Lautst\u00e4rke"), QRect(89, 612, 94, 22), FontFace::SansSerif, 8.25, true, QColor(), QColor(), true, false},
        {"Image1", ControlKind::Image, "", QRect(61, 610, 12, 12), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false, ":/design/dot.png"},
        {"Imageschnell", ControlKind::Image, "", QRect(61, 531, 12, 12), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false, ":/design/dot.png"},
        {"Imagelangsam", ControlKind::Image, "", QRect(113, 531, 12, 12), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false, ":/design/dot.png"},
        {"Label8", ControlKind::Label, "schnell", QRect(53, 554, 42, 28), FontFace::SansSerif, 8.25, true, QColor(), QColor(), true, false},
        {"Label7", ControlKind::Label, "", QRect(731, 409, 73, 16), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false},
        {"Labelgoto", ControlKind::Label, "go to", QRect(350, 414, 31, 16), FontFace::SansSerif, 8.25, true, QColor(), QColor(), true, true},
        {"Label5", ControlKind::Label, "?", QRect(944, 606, 17, 27), FontFace::SansSerif, 19.5, true, QColor(0, 192, 0), QColor(), true, true},
        {"Label4", ControlKind::Label, "Riff", QRect(173, 414, 57, 17), FontFace::SansSerif, 8.25, false, QColor(), QColor(), true, false},
        {"Label3", ControlKind::Label, "langsam", QRect(101, 554, 51, 17), FontFace::SansSerif, 8.25, true, QColor(), QColor(), true, false},
        {"Label2", ControlKind::Label, "Exercises", QRect(65, 496, 73, 17), FontFace::SansSerif, 8.25, true, QColor(64, 64, 64), QColor(), true, true},
        {"Label1", ControlKind::Label, "Riffs", QRect(63, 463, 65, 17), FontFace::SansSerif, 9.75, true, QColor(0, 255, 0), QColor(), true, true},
        {"Labelrhvor", ControlKind::Label, " >", QRect(856, 488, 17, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"Labelrhback", ControlKind::Label, " <", QRect(692, 488, 17, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"Labeldrumstop", ControlKind::Label, "Stop Rhythm", QRect(735, 558, 105, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"Labeldrumplay", ControlKind::Label, "Play   Rhythm", QRect(729, 489, 105, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        // The practice tempo and its trainer, in the free row beside STOP.
        {"LabelTempoDown", ControlKind::Label, QStringLiteral(" \u2013"), QRect(404, 540, 25, 17), FontFace::SansSerif, 12, true, QColor(), QColor(), true, true},
        {"LabelTempo", ControlKind::Label, "Tempo 100 %", QRect(445, 540, 88, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"LabelTempoUp", ControlKind::Label, " +", QRect(549, 540, 25, 17), FontFace::SansSerif, 12, true, QColor(), QColor(), true, true},
        {"LabelSteigern", ControlKind::Label, "Steigern", QRect(594, 540, 62, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"Labelstop", ControlKind::Label, "   STOP", QRect(254, 540, 65, 17), FontFace::SansSerif, 12, true, QColor(), QColor(), true, true},
        {"Labelvor", ControlKind::Label, " >", QRect(350, 472, 25, 17), FontFace::SansSerif, 12, true, QColor(), QColor(), true, true},
        {"Labelback", ControlKind::Label, " <", QRect(211, 470, 25, 17), FontFace::SansSerif, 12, true, QColor(), QColor(), true, true},
        {"Labelloop", ControlKind::Label, "   LOOP", QRect(258, 492, 65, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"Labelplay", ControlKind::Label, "   PLAY", QRect(257, 474, 65, 17), FontFace::SansSerif, 9.75, true, QColor(), QColor(), true, true},
        {"Label14", ControlKind::BorderedLabel, QStringLiteral("'    '    '    '    '    '    '    '    '    '    '    '    '    '"), QRect(682, 450, 200, 12), FontFace::SansSerif, 8.25, false, QColor(), QColor(224, 224, 224), true, false},
    };
    return design;
}

const ControlDesign& form1Control(const char* name)
{
    for (const ControlDesign& row : form1Design()) {
        if (std::strcmp(row.name, name) == 0)
            return row;
    }
    throw std::out_of_range(name);
}

} // namespace zupfomat
