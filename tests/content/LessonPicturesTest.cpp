// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Generator.h"
#include "content/Ink.h"
#include "content/LessonPictures.h"
#include "lessons/LessonDesigns.h"

#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <set>
#include <tuple>

using namespace zupfomat;
using namespace zupfomat::content;

namespace {

constexpr double kLeastTextPixels = 7;   // any text's capitals
constexpr double kLeastDigitPixels = 9;  // a tab's fret numbers, read while playing
constexpr double kLeastChipNamePixels = 9;
constexpr double kLeastDigitGap = 3;     // between the digits of a number and between numbers
constexpr double kWholesApart = 2;       // numbers' paper to their digits' paper: groups the eye sees at once

const char* const kAllPictures[] = {"P1.bmp", "P2.gif", "P3.gif", "P4.gif", "P5.gif", "P6.gif", "P7.jpg"};
const char* const kTabPictures[] = {"P1.bmp", "P3.gif", "P4.gif", "P6.gif"};

void addRows(const char* const* names, size_t count)
{
    QTest::addColumn<QString>("name");
    for (size_t i = 0; i < count; ++i)
        QTest::newRow(names[i]) << QString::fromLatin1(names[i]);
}

// The size of the control that shows a picture, looked up on every lesson page.
QSize shownSize(const QString& name)
{
    for (int page = 1; page <= kLessonPages; ++page) {
        for (const ControlDesign& control : lessonPageDesign(page).controls) {
            if (control.picture && QString::fromLatin1(control.picture).endsWith(QLatin1Char('/') + name))
                return control.rect.size();
        }
    }
    return {};
}

std::vector<InkBox> boxesOf(const InkSheet& ink, Ink kind)
{
    std::vector<InkBox> found;
    for (const InkBox& box : ink.boxes()) {
        if (box.kind == kind)
            found.push_back(box);
    }
    return found;
}

// Dark grey or black, as names and digits are written; not a root's red or a chip's fill.
bool isWriting(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    return qGray(pixel) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 60;
}

// The rows of writing inside a chip, clear of its outline: the height of the name in it.
int writingRows(const QImage& image, const QRectF& chip)
{
    const QRect inside = chip.toAlignedRect().adjusted(4, 1, -4, -1) & image.rect();
    int first = -1, last = -1;
    for (int row = inside.top(); row <= inside.bottom(); ++row) {
        for (int column = inside.left(); column <= inside.right(); ++column) {
            if (isWriting(image.pixel(column, row))) {
                first = first < 0 ? row : first;
                last = row;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// The widest run of blank columns between the first and the last inked column of a box.
int widestInnerGap(const QImage& image, const QRectF& box)
{
    const QRect area = box.toAlignedRect() & image.rect();
    int widest = 0, run = 0;
    bool inked = false;
    for (int column = area.left(); column <= area.right(); ++column) {
        bool dark = false;
        for (int row = area.top(); row <= area.bottom() && !dark; ++row)
            dark = qGray(image.pixel(column, row)) < 160;
        if (dark) {
            if (inked)
                widest = std::max(widest, run);
            inked = true;
            run = 0;
        } else {
            ++run;
        }
    }
    return widest;
}

// A bar as it sounds: each event's offset in the bar, length and heard pitches.
using SoundingBar = std::vector<std::tuple<int, int, std::vector<int>>>;

std::vector<SoundingBar> barsOf(const Score& score)
{
    std::vector<SoundingBar> bars(score.barStarts.size() - 1);
    for (const Event& event : score.events) {
        const auto bar = std::upper_bound(score.barStarts.begin(), score.barStarts.end(), event.start) -
                         score.barStarts.begin() - 1;
        std::vector<int> pitches;
        for (const FrettedNote& note : event.notes)
            pitches.push_back(heardNote(note));
        std::sort(pitches.begin(), pitches.end());
        bars[size_t(bar)].emplace_back(event.start - score.barStarts[size_t(bar)], event.duration, pitches);
    }
    return bars;
}

} // namespace

// The lesson pictures are drawn at the size their pages show them, so what they name can be read.
class LessonPicturesTest : public QObject {
    Q_OBJECT

    std::vector<LessonPicture> pictures;

    const LessonPicture& picture(const QString& name)
    {
        const auto found = std::find_if(pictures.begin(), pictures.end(),
                                        [&](const LessonPicture& p) { return p.name == name; });
        if (found == pictures.end())
            qFatal("no lesson picture %s", qPrintable(name));
        return *found;
    }

private slots:
    void initTestCase()
    {
        QString error;
        pictures = lessonPictures(QStringLiteral(ZUPFOMAT_NOTES_DIR), &error);
        QVERIFY2(pictures.size() == std::size(kAllPictures), qPrintable(error));
    }

    // Drawn at the size of the control that shows it: nothing scaled, nothing blurred.
    void drawnAtTheirControlsSize_data() { addRows(kAllPictures, std::size(kAllPictures)); }
    void drawnAtTheirControlsSize()
    {
        QFETCH(QString, name);
        const QSize shown = shownSize(name);
        QVERIFY2(!shown.isEmpty(), "no lesson page shows it");
        QCOMPARE(picture(name).image.size(), shown);
    }

    void nothingOverlapsUnintended_data() { addRows(kAllPictures, std::size(kAllPictures)); }
    void nothingOverlapsUnintended()
    {
        QFETCH(QString, name);
        const std::vector<InkBox>& boxes = picture(name).ink.boxes();
        QVERIFY2(!boxes.empty(), "nothing recorded its ink");
        const std::vector<InkOverlap> overlaps = unintendedOverlaps(boxes);
        QStringList found;
        for (size_t i = 0; i < std::min<size_t>(overlaps.size(), 8); ++i)
            found << describe(overlaps[i].first) + QStringLiteral(" / ") + describe(overlaps[i].second);
        QVERIFY2(overlaps.empty(), qPrintable(QStringLiteral("%1 overlaps:\n").arg(overlaps.size()) + found.join('\n')));
    }

    void nothingCutAtTheEdges_data() { addRows(kAllPictures, std::size(kAllPictures)); }
    void nothingCutAtTheEdges()
    {
        QFETCH(QString, name);
        const LessonPicture& shown = picture(name);
        const QRectF inside = QRectF(shown.image.rect()).adjusted(-0.5, -0.5, 0.5, 0.5);
        for (const InkBox& box : shown.ink.boxes())
            QVERIFY2(inside.contains(box.box), qPrintable(describe(box)));
    }

    // Every label's capitals, and the name in every chip, are large enough to read on the page.
    void textIsLegible_data() { addRows(kAllPictures, std::size(kAllPictures)); }
    void textIsLegible()
    {
        QFETCH(QString, name);
        const LessonPicture& shown = picture(name);
        for (const InkBox& label : boxesOf(shown.ink, Ink::Label))
            QVERIFY2(label.box.height() >= kLeastTextPixels, qPrintable(describe(label)));
        for (const InkBox& chip : boxesOf(shown.ink, Ink::Chip)) {
            const int rows = writingRows(shown.image, chip.box);
            QVERIFY2(rows >= kLeastChipNamePixels, qPrintable(QStringLiteral("%1: %2 px").arg(describe(chip)).arg(rows)));
        }
    }

    // Fret numbers of the tablatures are 9 px high, their digits and neighbours 3 px apart.
    void tabDigitsAreReadable_data() { addRows(kTabPictures, std::size(kTabPictures)); }
    void tabDigitsAreReadable()
    {
        QFETCH(QString, name);
        const LessonPicture& shown = picture(name);
        std::vector<InkBox> numbers = boxesOf(shown.ink, Ink::TabNumber);
        QVERIFY2(!numbers.empty(), "the tablature recorded no fret numbers");
        std::sort(numbers.begin(), numbers.end(), [](const InkBox& a, const InkBox& b) { return a.box.left() < b.box.left(); });
        for (size_t i = 0; i < numbers.size(); ++i) {
            const InkBox& number = numbers[i];
            QVERIFY2(number.box.height() >= kLeastDigitPixels, qPrintable(describe(number)));
            if (number.what.size() >= 2) {
                const int gap = widestInnerGap(shown.image, number.box);
                QVERIFY2(gap >= kLeastDigitGap, qPrintable(QStringLiteral("%1: digits %2 px apart").arg(describe(number)).arg(gap)));
            }
            for (size_t j = i + 1; j < numbers.size(); ++j) { // the next number on the same string
                const InkBox& next = numbers[j];
                if (next.box.top() >= number.box.bottom() || next.box.bottom() <= number.box.top())
                    continue;
                QVERIFY2(next.box.left() - number.box.right() >= kLeastDigitGap,
                         qPrintable(describe(number) + QStringLiteral(" / ") + describe(next)));
                break;
            }
        }
    }

    // Neighbouring numbers on a string stand twice as far apart as the two digits of any number, so
    // that "15 12" cannot be read as "1 51 2".
    void numbersReadAsWholes_data() { addRows(kTabPictures, std::size(kTabPictures)); }
    void numbersReadAsWholes()
    {
        QFETCH(QString, name);
        const LessonPicture& shown = picture(name);
        std::vector<InkBox> numbers = boxesOf(shown.ink, Ink::TabNumber);
        int inside = 0;
        for (const InkBox& number : numbers) {
            if (number.what.size() >= 2)
                inside = std::max(inside, widestInnerGap(shown.image, number.box));
        }
        QVERIFY2(inside > 0, "the tablature has no two-digit fret");
        std::sort(numbers.begin(), numbers.end(), [](const InkBox& a, const InkBox& b) { return a.box.left() < b.box.left(); });
        for (size_t i = 0; i < numbers.size(); ++i) {
            const auto next = std::find_if(numbers.begin() + long(i) + 1, numbers.end(), [&](const InkBox& b) {
                return b.box.top() < numbers[i].box.bottom() && b.box.bottom() > numbers[i].box.top();
            });
            if (next != numbers.end())
                QVERIFY2(next->box.left() - numbers[i].box.right() >= kWholesApart * inside,
                         qPrintable(describe(numbers[i]) + QStringLiteral(" / ") + describe(*next) +
                                    QStringLiteral(": digits inside a number stand %1 px apart").arg(inside)));
        }
    }

    // The fretboards name their frets: the major one "N. Bund" over its strings, the others by number.
    void fretsAreNamed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QList<int>>("atLeast");
        QTest::newRow("P2.gif") << "P2.gif" << "^(\\d+)$" << QList<int>{5, 7, 9, 12, 15, 17};
        QTest::newRow("P5.gif") << "P5.gif" << "^(\\d+)\\. Bund$" << QList<int>{5, 7, 12};
        QTest::newRow("P7.jpg") << "P7.jpg" << "^(\\d+)$" << QList<int>{3, 5, 7, 9, 12, 15, 17};
    }
    void fretsAreNamed()
    {
        QFETCH(QString, name);
        QFETCH(QString, form);
        QFETCH(QList<int>, atLeast);
        const QRegularExpression pattern(form);
        std::set<int> named;
        for (const InkBox& label : boxesOf(picture(name).ink, Ink::Label)) {
            if (!label.what.contains(QRegularExpression(QStringLiteral("\\d|Bd|Bund"))))
                continue; // a string's name
            const QRegularExpressionMatch match = pattern.match(label.what);
            QVERIFY2(match.hasMatch(), qPrintable(describe(label)));
            named.insert(match.captured(1).toInt());
        }
        for (const int fret : atLeast)
            QVERIFY2(named.count(fret), qPrintable(QStringLiteral("fret %1 is not named").arg(fret)));
    }

    // The major exercise is music of its own, not the minor one's bars over again.
    void exercisesShareNoBar()
    {
        Score minor, major;
        QString error;
        QVERIFY2(loadScore(QStringLiteral(ZUPFOMAT_NOTES_DIR "/lesson-moll-exercise.txt"), &minor, &error), qPrintable(error));
        QVERIFY2(loadScore(QStringLiteral(ZUPFOMAT_NOTES_DIR "/lesson-dur-exercise.txt"), &major, &error), qPrintable(error));
        const std::vector<SoundingBar> minorBars = barsOf(minor);
        const std::vector<SoundingBar> majorBars = barsOf(major);
        for (size_t i = 0; i < majorBars.size(); ++i) {
            const auto same = std::find(minorBars.begin(), minorBars.end(), majorBars[i]);
            QVERIFY2(same == minorBars.end(), qPrintable(QStringLiteral("major bar %1 is minor bar %2")
                                                             .arg(i + 1)
                                                             .arg(same - minorBars.begin() + 1)));
        }
    }
};

QTEST_MAIN(LessonPicturesTest)
#include "LessonPicturesTest.moc"
