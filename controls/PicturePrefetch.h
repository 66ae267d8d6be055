// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QStringList>

namespace zupfomat {

// Decodes pictures on a thread of their own ahead of the step that shows them, so that the
// window is built while they decode. A prefetched picture serves one load; later loads read
// the file anew.
void prefetchPictures(const QStringList& paths);

// The picture at path: the prefetched one while the file is still the one it was read from,
// else read now. Null when the file is missing or not a picture.
QPixmap loadPicture(const QString& path);

} // namespace zupfomat
