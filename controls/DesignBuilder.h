// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/ControlDesign.h"

#include <QHash>
#include <QWidget>

#include <vector>

namespace zupfomat {

// Makes the controls of a window design on a parent, each named by its design name, stacked
// front to back as the design lists them, each in the design's colours whatever the desktop's
// palette. Returns them by name.
QHash<QString, QWidget*> buildDesign(QWidget* parent, const std::vector<ControlDesign>& design);

// The font of a design row: Liberation Sans for the sans serif, Comic Neue for the hand-lettered.
QFont designFont(const ControlDesign& row);

} // namespace zupfomat
