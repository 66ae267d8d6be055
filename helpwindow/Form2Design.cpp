// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow/Form2Design.h"

#include "desktop/Desktop.h"

namespace zupfomat {
namespace {

ControlDesign label(const char* name, const QString& text, QRect rect, double points, bool bold, bool underline)
{
    ControlDesign row{name, ControlKind::Label, text, rect, FontFace::SansSerif, points, bold, QColor(), QColor(), true, false};
    row.underline = underline;
    return row;
}

// The screenshot of the main window, exactly filled by its picture.
ControlDesign picture()
{
    return {"Picture1", ControlKind::StretchedImage, QString(), QRect(224, 82, 502, 344), FontFace::SansSerif, 8.25,
            false, QColor(), QColor(), true, false, ":/design/screenshot.jpg"};
}

} // namespace

// Front to back: the screenshot with its lines, then the labels and lines on the window.
const std::vector<ControlDesign>& form2Design()
{
    static const std::vector<ControlDesign> design = {
        picture(),
        lineDesign("Line16", 49, 121, 1, 105, "Picture1", -1),
        lineDesign("Line17", 2, 166, 174, 212, "Picture1", -1),
        lineDesign("Line18", 137, 216, 0, 188, "Picture1", -1),
        lineDesign("Line19", 29, 252, 0, 249, "Picture1", -1),
        lineDesign("Line20", 29, 268, 0, 278, "Picture1", -1),
        lineDesign("Line21", 38, 286, 0, 306, "Picture1", -1),
        lineDesign("Line22", 99, 267, 0, 335, "Picture1", -1),
        lineDesign("Line23", 39, 329, 31, 342, "Picture1", -1),
        lineDesign("Line24", 93, 343, 127, 276, "Picture1", -1),
        lineDesign("Line25", 141, 300, 127, 346, "Picture1", -1),
        lineDesign("Line26", 184, 271, 204, 346, "Picture1", -1),
        lineDesign("Line27", 319, 343, 346, 279, "Picture1", -1),
        lineDesign("Line28", 395, 307, 395, 346, "Picture1", -1),
        lineDesign("Line29", 411, 276, 504, 326, "Picture1", -1),
        lineDesign("Line30", 449, 267, 504, 287, "Picture1", -1),
        lineDesign("Line31", 444, 232, 499, 189, "Picture1", -1),
        lineDesign("Line33", 341, 71, 388, 0, "Picture1", -1),
        lineDesign("Line35", 477, 336, 481, 346, "Picture1", -1),
        lineDesign("Line37", 246, 346, 246, 294, "Picture1", -1),
        label("Label21", downloadCaption(), QRect(589, 587, 207, 32), 8.25, true, true),
        label("Label22", QStringLiteral("Tempo  \u2013 / +  (Strg+Minus / Strg+Plus): langsamer oder schneller in Schritten von 5 %, "
                                        "Klick auf das Tempo: zur\u00fcck auf 100 %. Steigern: im Loop und beim Rhythmus nach "
                                        "jedem Durchgang 5 % schneller, bis zum Tempo beim Einschalten, mindestens bis 100 %"),
              QRect(392, 548, 194, 94), 8.25, false, false),
        lineDesign("Line36", 498, 546, 470, 427, nullptr, -1),
        label("Label20", QStringLiteral("Versionsnummer"), QRect(617, 32, 84, 30), 8.25, false, false),
        lineDesign("Line34", 614, 80, 627, 60, nullptr, -1),
        label("Label19", QStringLiteral("Zeigt die aktuelle Position des Drumrhythmus"), QRect(734, 200, 72, 66), 8.25, false, false),
        lineDesign("Line32", 742, 256, 724, 270, nullptr, -1),
        label("Label18", QStringLiteral("Neueste Versionen im Internet:   "), QRect(589, 572, 259, 60), 8.25, true, false),
        label("Label17", QStringLiteral("Aufruf dieser Hilfedatei"), QRect(715, 500, 73, 45), 8.25, false, false),
        lineDesign("Line15", 179, 447, 224, 417, nullptr, -1),
        label("Label16", QStringLiteral("\u00d6ffnet die Windows-Lautst\u00e4rkeregelung"), QRect(67, 540, 168, 43), 8.25, false, false),
        lineDesign("Line14", 187, 408, 223, 388, nullptr, -1),
        lineDesign("Line13", 111, 212, 234, 250, nullptr, -1),
        label("Label15", QStringLiteral("Spielt die eingegebene Riffnummer ab"), QRect(70, 171, 99, 69), 8.25, false, false),
        label("Label14", QStringLiteral("Hier ist die Nummer des Riffs/der \u00dcbung zu sehen und kann auch direkt eigegeben werden (Nummer + ENTER)"), QRect(4, 220, 118, 91), 8.25, false, false),
        label("Label13", QStringLiteral("Drumrhythmus abspielen"), QRect(737, 432, 72, 37), 8.25, false, false),
        lineDesign("Line12", 766, 427, 724, 404, nullptr, -1),
        lineDesign("Line11", 741, 501, 704, 424, nullptr, -1),
        lineDesign("Line10", 704, 363, 738, 373, nullptr, -1),
        lineDesign("Line9", 619, 500, 619, 426, nullptr, -1),
        lineDesign("Line8", 514, 495, 543, 426, nullptr, -1),
        label("Label12", QStringLiteral("Stoppt die Wiedergabe"), QRect(598, 505, 58, 27), 8.25, false, false),
        label("Label11", QStringLiteral("n\u00e4chster Rhythmus"), QRect(745, 361, 75, 28), 8.25, false, false),
        label("Label10", QStringLiteral("vorheriger Rhythmus"), QRect(498, 486, 69, 28), 8.25, false, false),
        label("Label9", QStringLiteral("n\u00e4chstes Riff"), QRect(424, 516, 75, 22), 8.25, false, false),
        label("Label8", QStringLiteral("Stoppt die Wiedergabe"), QRect(316, 492, 58, 27), 8.25, false, false),
        lineDesign("Line7", 451, 507, 429, 427, nullptr, -1),
        lineDesign("Line6", 332, 492, 352, 427, nullptr, -1),
        label("Label7", QStringLiteral("Abspielen einmal oder mit Loop wiederholt. Play/Stop auch mit der ENTER-Taste m\u00f6glich"), QRect(228, 545, 154, 48), 8.25, false, false),
        lineDesign("Line5", 261, 541, 351, 355, nullptr, -1),
        label("Label6", QStringLiteral("vorheriges Riff"), QRect(101, 452, 69, 28), 8.25, false, false),
        lineDesign("Line4", 187, 536, 257, 421, nullptr, -1),
        lineDesign("Line3", 160, 382, 229, 358, nullptr, -1),
        lineDesign("Line2", 144, 320, 224, 331, nullptr, -1),
        lineDesign("Line1", 128, 250, 227, 271, nullptr, 1),
        label("Label5", QStringLiteral("Bei den \u00dcbungen erscheint zus\u00e4tzlich die Option schnell/langsam"), QRect(59, 397, 145, 41), 8.25, false, false),
        label("Label4", QStringLiteral("Exercises:  Hier kann zu den                         \u00dcbungen geschaltet                    werden"), QRect(6, 358, 153, 49), 8.25, false, false),
        label("Label3", QStringLiteral("Riffs:  Hier kann zu den                         Riffs geschaltet werden"), QRect(7, 309, 153, 33), 8.25, false, false),
        label("Label2", QStringLiteral("Hier erscheint das Riff oder die \u00dcbung"), QRect(16, 130, 281, 17), 8.25, false, false),
        lineDesign("Line1", 160, 162, 224, 186, nullptr, 0),
        label("Label1", QStringLiteral("Hilfe zur Zupfomat"), QRect(112, 16, 380, 33), 18, false, false),
    };
    return design;
}

} // namespace zupfomat
