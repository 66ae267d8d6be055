// SPDX-License-Identifier: GPL-3.0-or-later
#include "lessons/LessonDesigns.h"

#include <stdexcept>

namespace zupfomat {
namespace {

const QColor kGreenFace(0, 255, 0);
const QColor kLightYellowFace(255, 255, 128);
const QColor kBlueFace(0, 0, 255);
const QColor kOrangeFace(255, 128, 0);
const QColor kYellowFace(255, 255, 0);

ControlDesign button(const char* name, const char* caption, QRect rect, QColor face)
{
    return {name, ControlKind::PushButton, QString::fromUtf8(caption), rect, FontFace::SansSerif, 8.25, false,
            QColor(Qt::black), face, true, false};
}

ControlDesign label(const char* name, const QString& caption, QRect rect, double points = 8.25)
{
    return {name, ControlKind::Label, caption, rect, FontFace::SansSerif, points, false, QColor(), QColor(), true, false};
}

ControlDesign title(const char* name, const char* caption, QRect rect)
{
    ControlDesign row{name, ControlKind::Label, QString::fromUtf8(caption), rect, FontFace::SansSerif, 18, true,
                      QColor(), QColor(), true, false};
    row.underline = true;
    return row;
}

ControlDesign picture(const char* name, const char* resource, QRect rect, bool stretched)
{
    return {name, stretched ? ControlKind::StretchedImage : ControlKind::Image, QString(), rect, FontFace::SansSerif,
            8.25, false, QColor(), QColor(), true, false, resource};
}

const QString kT1 = QStringLiteral(
    "Das Ziel der folgenden \u00dcbungen im Lagenspiel ist es , EINE Tonart in VERSCHIEDENEN Lagen, also mit "
    "verschiedenen Fingerkombinationen, \u00fcber das GANZE Griffbrett zu spielen. Als Orientierung dienen die "
    "Grundt\u00f6ne, die als eine ununterbrochene Kette verankert werden m\u00fcssen, um sie auch auf andere Tonarten "
    "\u00fcbertragen zu k\u00f6nnen. Dazu dient die erste \u00dcbung:");
const QString kT2 = QStringLiteral(
    "Diese Lage kann auch im 2. Bund gespielt werden; damit ist man wieder am Anfang der \u00dcbung. Beim Wechsel "
    "auf dei h-Saite bleibt der Fingersatz zwar erhalten, muss aber um 1 Bund nach rechts verschoben werden.");
const QString kOnTheFretboard = QStringLiteral("Auf dem Griffbrett sieht das folgenderma\u00dfen aus:");
const QString kListen = QStringLiteral("Und so h\u00f6rt es sich an:");
const QString kPractice = QStringLiteral("Eine praktische Anwendung mit den \u00fcblichen Riffs gibt es HIER:");

std::vector<LessonPageDesign> designs()
{
    return {
        {"Form3", QColor(255, 255, 192), {925, 782}, "Command2",
         {button("Command2", "Play", {156, 585, 44, 26}, kGreenFace),
          button("Command3", "Beispiel", {346, 643, 51, 32}, kLightYellowFace),
          button("Command1", "Zur\u00fcck zur Zupfomat", {814, 724, 102, 51}, kBlueFace),
          title("Label7", "Pentatonic Cells in Moll", {42, 7, 408, 41}),
          label("Label1", kT1, {48, 64, 563, 76}, 9.75),
          lineDesign("Line1", 226, 230, 269, 315),
          label("Label2", QStringLiteral("Diese 2 T\u00f6ne bilden die Oktave; GLEICHZEITIG greifen und EINPR\u00c4GEN!"),
                {234, 316, 208, 40}),
          lineDesign("Line2", 949, 266, 933, 312),
          lineDesign("Line3", 1059, 269, 1036, 312),
          label("Label3", kT2, {906, 319, 304, 50}),
          label("Label4", kOnTheFretboard, {24, 362, 270, 44}),
          label("Label5", kListen, {27, 589, 179, 46}),
          label("Label6", kPractice, {26, 650, 335, 23}),
          picture("Image1", ":/design/P1.bmp", {13, 148, 1242, 140}, false),
          picture("Image2", ":/design/P2.gif", {22, 435, 924, 131}, true)}},
        {"Form4", QColor(255, 255, 192), {939, 733}, "Command1",
         {button("Command1", "Play", {312, 419, 59, 37}, kGreenFace),
          button("Command2", "Zur\u00fcck", {313, 472, 58, 32}, kOrangeFace),
          button("Command4", "Weiter", {313, 520, 58, 35}, kLightYellowFace),
          button("Command3", "Zur\u00fcck zur Zupfomat", {580, 594, 102, 51}, kBlueFace),
          title("Label3", "Pentatonic Cells in Moll  -  Beispiel", {28, 22, 445, 42}),
          label("Label5", kListen, {39, 424, 179, 17}),
          label("Label1", QStringLiteral("Hier geht's zur\u00fcck zur \u00dcbung in Moll:"), {36, 480, 207, 36}),
          label("Label2", QStringLiteral("Und SO funktioniert dasselbe in DUR:"), {37, 533, 205, 30}),
          picture("Image1", ":/design/P3.gif", {4, 145, 1266, 216}, true)}},
        {"Form5", QColor(255, 192, 128), {1191, 696}, "Command2",
         {button("Command2", "Play", {143, 539, 44, 26}, kGreenFace),
          button("Command3", "Beispiel", {333, 597, 51, 32}, kLightYellowFace),
          button("Command1", "Zur\u00fcck zur Zupfomat", {801, 678, 102, 51}, kBlueFace),
          title("Label1", "Pentatonic Cells in Dur", {30, 10, 408, 41}),
          lineDesign("Line2", 936, 220, 920, 266),
          lineDesign("Line3", 1046, 223, 1023, 266),
          label("Label4", kOnTheFretboard, {11, 316, 270, 44}),
          label("Label5", kListen, {14, 543, 179, 46}),
          label("Label6", kPractice, {13, 604, 335, 23}),
          picture("Image1", ":/design/P4.gif", {8, 84, 1188, 171}, true),
          picture("Image2", ":/design/P5.gif", {9, 362, 989, 177}, true)}},
        {"Form6", QColor(255, 192, 128), {844, 636}, "Command1",
         {button("Command1", "Play", {308, 418, 59, 37}, kGreenFace),
          button("Command2", "Zur\u00fcck", {309, 471, 58, 32}, kOrangeFace),
          button("Command4", "Moll", {309, 519, 58, 35}, kLightYellowFace),
          button("Command5", "Weiter", {309, 570, 60, 37}, kYellowFace),
          button("Command3", "Zur\u00fcck zur Zupfomat", {576, 593, 102, 51}, kBlueFace),
          title("Label3", "Pentatonic Cells in Dur  -  Beispiel", {37, 29, 445, 42}),
          label("Label5", kListen, {35, 423, 179, 17}),
          label("Label1", QStringLiteral("Hier geht's zur\u00fcck zur \u00dcBUNG in Dur:"), {32, 479, 207, 36}),
          label("Label2", QStringLiteral("Nochmal die \u00dcbung in Moll?"), {32, 523, 207, 36}),
          label("Label4", QStringLiteral("Die kompletten Lagen sehen in a-Moll/C-Dur so aus:"), {35, 579, 231, 36}),
          picture("Image1", ":/design/P6.gif", {0, 116, 1266, 244}, true)}},
        {"Form7", QColor(255, 255, 0), {1272, 708}, nullptr,
         {button("Command2", "Zur\u00fcck", {326, 415, 58, 32}, kOrangeFace),
          button("Command3", "Zur\u00fcck zur Zupfomat", {767, 587, 102, 51}, kBlueFace),
          title("Label3", "Pentatonic Scales a-Moll/C-Dur komplett", {36, 18, 618, 42}),
          label("Label1", QStringLiteral("Hier geht's zur\u00fcck zum BEISPIEL in Dur:"), {49, 424, 207, 36}),
          picture("Image1", ":/design/P7.jpg", {-4, 126, 1266, 244}, true)}},
    };
}

} // namespace

const LessonPageDesign& lessonPageDesign(int page)
{
    static const std::vector<LessonPageDesign> all = designs();
    if (page < 1 || page > kLessonPages)
        throw std::out_of_range("lesson page");
    return all[size_t(page - 1)];
}

} // namespace zupfomat
