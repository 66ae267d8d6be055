// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Generator.h"
#include "tests/support/TempFolder.h"

#include <QImage>
#include <QtTest>

using namespace zupfomat;
using namespace zupfomat::content;

namespace {

bool isChip(QRgb pixel) // the note chips' fill, allowing for the GIF palette
{
    return std::abs(qRed(pixel) - 255) < 16 && std::abs(qGreen(pixel) - 210) < 20 && std::abs(qBlue(pixel) - 120) < 28;
}

bool isCellColour(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    // The pastel box fills: clearly coloured, clearly not white (a JPEG leaves faint tints there).
    return std::max({r, g, b}) - std::min({r, g, b}) > 40 && std::min({r, g, b}) > 100 && std::min({r, g, b}) < 230;
}

// The note chips of a picture, each as the rectangle its fill covers.
QVector<QRect> chipsOf(const QImage& image)
{
    QVector<QRect> chips;
    QVector<bool> seen(image.width() * image.height(), false);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (seen[y * image.width() + x] || !isChip(image.pixel(x, y)))
                continue;
            QRect box(x, y, 1, 1);
            QVector<QPoint> open{QPoint(x, y)};
            seen[y * image.width() + x] = true;
            while (!open.isEmpty()) {
                const QPoint at = open.takeLast();
                box = box.united(QRect(at, QSize(1, 1)));
                for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint next = at + step;
                    if (!image.rect().contains(next) || seen[next.y() * image.width() + next.x()] ||
                        !isChip(image.pixel(next)))
                        continue;
                    seen[next.y() * image.width() + next.x()] = true;
                    open.append(next);
                }
            }
            if (box.width() >= 8 && box.height() >= 8)
                chips.append(box);
        }
    }
    return chips;
}

// The rows of dark ink inside a chip: the height of the name written in it.
int inkRows(const QImage& image, const QRect& chip)
{
    int first = -1, last = -1;
    for (int row = chip.top() + 1; row < chip.bottom(); ++row) {
        for (int column = chip.left() + 2; column < chip.right() - 1; ++column) {
            if (qGray(image.pixel(column, row)) < 90) {
                first = first < 0 ? row : first;
                last = row;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

} // namespace

// The lesson pictures are drawn at the size their pages show them, so what they name can be read.
class LessonPicturesTest : public QObject {
    Q_OBJECT

    testing::TempFolder folder;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(writeDesignPictures(QStringLiteral(ZUPFOMAT_NOTES_DIR), folder.qpath(QStringLiteral("assets")), &error),
                 qPrintable(error));
    }

    void drawnAtTheirPageSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("shown"); // the page's picture rectangle
        QTest::newRow("page 2") << "P3.gif" << QSize(1266, 216);
        QTest::newRow("page 4") << "P6.gif" << QSize(1266, 244);
        QTest::newRow("page 5") << "P7.jpg" << QSize(1266, 244);
    }

    void drawnAtTheirPageSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, shown);
        QCOMPARE(QImage(folder.qpath("assets/" + name)).size(), shown);
    }

    // Every note name in the cell diagrams is at least 9 px of ink high.
    void cellNamesAreReadable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("page 2") << "P3.gif";
        QTest::newRow("page 4") << "P6.gif";
    }

    void cellNamesAreReadable()
    {
        QFETCH(QString, name);
        const QImage image = QImage(folder.qpath("assets/" + name)).convertToFormat(QImage::Format_RGB32);
        const QVector<QRect> found = chipsOf(image);
        const int chips = int(found.size());
        int smallest = 1000;
        for (const QRect& chip : found)
            smallest = std::min(smallest, inkRows(image, chip));
        QVERIFY2(chips >= 20, qPrintable(QStringLiteral("%1 chips found").arg(chips)));
        QVERIFY2(smallest >= 9, qPrintable(QStringLiteral("a name of %1 px").arg(smallest)));
    }

    // Nothing of a diagram is cut at the picture's edge.
    void nothingCutAtTheEdges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("page 1") << "P2.gif";
        QTest::newRow("page 3") << "P5.gif";
        QTest::newRow("page 5") << "P7.jpg";
    }

    void nothingCutAtTheEdges()
    {
        QFETCH(QString, name);
        const QImage image = QImage(folder.qpath("assets/" + name)).convertToFormat(QImage::Format_RGB32);
        for (int x = 0; x < image.width(); ++x) {
            for (const int y : {0, image.height() - 1})
                QVERIFY2(!isCellColour(image.pixel(x, y)),
                         qPrintable(QStringLiteral("a box cut at the edge, x %1 y %2: %3")
                                        .arg(x).arg(y).arg(QColor(image.pixel(x, y)).name())));
        }
    }
};

QTEST_MAIN(LessonPicturesTest)
#include "LessonPicturesTest.moc"
