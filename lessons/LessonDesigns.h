// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/ControlDesign.h"

#include <QColor>
#include <QSize>

#include <vector>

namespace zupfomat {

inline constexpr int kLessonPages = 5;

struct LessonPageDesign {
    const char* window;   // "Form3" to "Form7"; also the window caption
    QColor back;
    QSize size;           // the design's client size
    const char* playButton; // nullptr on the chart page
    std::vector<ControlDesign> controls; // front to back: buttons lie above labels and pictures
};

// Page 1 to 5: minor exercise, minor example, major exercise, major example, the whole chart.
const LessonPageDesign& lessonPageDesign(int page);

} // namespace zupfomat
