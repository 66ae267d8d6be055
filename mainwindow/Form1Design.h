// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/ControlDesign.h"

#include <vector>

namespace zupfomat {

// The main window's controls, front to back.
const std::vector<ControlDesign>& form1Design();
const ControlDesign& form1Control(const char* name);

inline constexpr int kForm1Width = 999;
inline constexpr int kForm1Height = 657;
// The white sheet panel and its dark frame, painted into the background picture.
inline constexpr QRect kSheetPanel{107, 160, 704, 178};

} // namespace zupfomat
