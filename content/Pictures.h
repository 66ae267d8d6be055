// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace zupfomat::content {

// The main window's background: marbled texture, title plate, sheet panel, painted buttons, lamp dots.
QImage paintBackground();
// The piece of the background that lies under Image2, so that hiding the tempo lamps looks seamless.
QImage backgroundPatch(const QImage& background);
QImage paintLamp(bool lit); // 12 x 12
QImage paintGreenDot();     // 12 x 12, the lamps' design picture
QImage paintIcon();         // 32 x 32: an electric guitar over a drum kit

} // namespace zupfomat::content
