// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures decoded ahead of the step that shows them are the files' pictures at that step.
#include "controls/PicturePrefetch.h"
#include "tests/support/TempFolder.h"

#include <QtTest>

using namespace zupfomat;

namespace {

QString write(const testing::TempFolder& folder, const QString& name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = folder.qpath(name);
    image.save(path);
    return path;
}

QColor colourOf(const QPixmap& picture) { return picture.toImage().pixelColor(0, 0); }

bool imagePluginLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

} // namespace

class PicturePrefetchTest : public QObject {
    Q_OBJECT

private slots:
    // The program's own pictures are read by their format alone, without loading the image
    // plugins (runs first: nothing else in this process has read a picture yet). A content
    // file is recognised by what it holds, whatever its name says.
    void ownPicturesNeedNoImagePlugin()
    {
        QCOMPARE(loadPicture(QStringLiteral(":/design/icon.png")).size(), QSize(32, 32));
        QVERIFY(!loadPicture(QStringLiteral(":/design/dot.png")).isNull());
        QVERIFY(!imagePluginLoaded());

        testing::TempFolder folder;
        QImage(QSize(9, 4), QImage::Format_RGB32).save(folder.qpath("misnamed.gif"), "PNG");
        QCOMPARE(loadPicture(folder.qpath("misnamed.gif")).size(), QSize(9, 4));
    }

    void prefetchedPicturesAreTheFiles()
    {
        testing::TempFolder folder;
        const QString png = write(folder, "a.png", {30, 20}, Qt::red);
        const QString gif = write(folder, "b.jpg", {12, 7}, Qt::blue);
        prefetchPictures({png, gif, folder.qpath("missing.jpg")});
        QCOMPARE(loadPicture(gif).size(), QSize(12, 7));
        QCOMPARE(colourOf(loadPicture(png)), QColor(Qt::red));
        QVERIFY(loadPicture(folder.qpath("missing.jpg")).isNull());
        QVERIFY(loadPicture(folder.qpath("never prefetched.png")).isNull());
    }

    // A file changed or removed after it was prefetched is read as it is now; and a prefetched
    // picture serves one load only, the next reads the file anew.
    void aChangedFileIsReadAnew()
    {
        testing::TempFolder folder;
        const QString changed = write(folder, "changed.png", {30, 20}, Qt::red);
        const QString removed = write(folder, "removed.png", {30, 20}, Qt::red);
        const QString twice = write(folder, "twice.png", {30, 20}, Qt::red);
        prefetchPictures({changed, removed, twice});
        QTest::qWait(200); // decoded by now
        write(folder, "changed.png", {40, 20}, Qt::green);
        QFile::remove(removed);
        QCOMPARE(loadPicture(changed).size(), QSize(40, 20));
        QVERIFY(loadPicture(removed).isNull());
        QCOMPARE(colourOf(loadPicture(twice)), QColor(Qt::red));
        write(folder, "twice.png", {30, 20}, Qt::yellow);
        QCOMPARE(colourOf(loadPicture(twice)), QColor(Qt::yellow));
    }
};

QTEST_MAIN(PicturePrefetchTest)
#include "PicturePrefetchTest.moc"
