// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

namespace zupfomat::content {

// Writes a picture as GIF with giflib, through a temporary file renamed into place, so that
// no half-written file ever stands under the final name. The file is readable by everybody.
// Colours are reduced to a fixed palette of grey levels and a colour cube.
bool writeGif(const QImage& image, const QString& path, QString* error = nullptr);

} // namespace zupfomat::content
