// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

namespace zupfomat::content {

// The help window's picture of the main window: the real window, drawn offscreen in exercise
// mode (so every control shows) with a sheet and a rhythm name, scaled to 502 x 344.
QImage paintHelpScreenshot(const QString& notesFolder, QString* error);

} // namespace zupfomat::content
