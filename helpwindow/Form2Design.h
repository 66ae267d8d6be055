// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/ControlDesign.h"

#include <vector>

namespace zupfomat {

inline constexpr int kForm2Width = 807;
inline constexpr int kForm2Height = 642;

// The help window's controls, front to back (lines inside the screenshot name it their container).
const std::vector<ControlDesign>& form2Design();

} // namespace zupfomat
