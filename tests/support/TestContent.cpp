// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestContent.h"

#include <QDir>
#include <QFile>
#include <QImage>

namespace zupfomat::testing {

TestContent::TestContent()
{
    QDir().mkpath(path(QStringLiteral("Data/images")));
    QDir().mkpath(path(QStringLiteral("Data/wma")));
    for (int n = 1; n <= 58; ++n) {
        QImage sheet(300 + n, 100, QImage::Format_RGB32);
        sheet.fill(QColor(255, 255 - n, 255));
        sheet.save(path(QStringLiteral("Data/images/riff%1.gif").arg(n)), "PNG"); // Qt reads by content
    }
    for (int k = 1; k <= 42; ++k) {
        QImage sheet(400 + k, 120, QImage::Format_RGB32);
        sheet.fill(QColor(255, 255, 255 - k));
        sheet.save(path(QStringLiteral("Data/images/ex%1.gif").arg(k)), "PNG");
    }
    QImage background(999, 657, QImage::Format_RGB32);
    background.fill(QColor(250, 250, 240));
    background.save(path(QStringLiteral("Data/images/hinten7.jpg")), "JPG");
    QImage lamp(12, 12, QImage::Format_RGB32);
    lamp.fill(QColor(0, 80, 0));
    lamp.save(path(QStringLiteral("Data/images/gruen.jpg")), "JPG");
    lamp.fill(QColor(0, 255, 0));
    lamp.save(path(QStringLiteral("Data/images/gruen2.jpg")), "JPG");
}

void TestContent::remove(const QString& relative) const { QFile::remove(path(relative)); }

} // namespace zupfomat::testing
