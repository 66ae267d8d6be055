// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Ink.h"
#include "content/NoteFormat.h"
#include "content/Rhythms.h"
#include "content/SheetRenderer.h"
#include "content/Spelling.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <array>
#include <map>

using namespace zupfomat::content;

Q_DECLARE_METATYPE(InkBox)

namespace {

// Every riff and exercise the pack draws a sheet of.
QStringList noteFiles()
{
    const QDir dir(QStringLiteral(ZUPFOMAT_NOTES_DIR));
    QStringList files = dir.entryList({QStringLiteral("riff*.txt"), QStringLiteral("ex*.txt")}, QDir::Files);
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return files;
}

Score load(const QString& file)
{
    QFile in(QStringLiteral(ZUPFOMAT_NOTES_DIR "/") + file);
    if (!in.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file));
    ParseError error;
    const auto score = parseScore(in.readAll().toStdString(), &error);
    if (!score)
        qFatal("%s:%d: %s", qPrintable(file), error.line, error.message.c_str());
    return *score;
}

Score parse(const char* text)
{
    ParseError error;
    const auto score = parseScore(text, &error);
    if (!score)
        qFatal("test piece, line %d: %s", error.line, error.message.c_str());
    return *score;
}

void addSheetRows()
{
    QTest::addColumn<QString>("file");
    for (const QString& file : noteFiles())
        QTest::newRow(qPrintable(file.chopped(4))) << file;
}

QString listed(const std::vector<InkOverlap>& overlaps)
{
    QStringList lines;
    for (const InkOverlap& o : overlaps)
        lines << describe(o.first) + QStringLiteral("  x  ") + describe(o.second);
    return lines.join(QLatin1Char('\n'));
}

InkBox box(Ink kind, QRectF rect, int owner = -1) { return {kind, rect, owner, {}}; }

} // namespace

class EngravingTest : public QObject {
    Q_OBJECT
private slots:
    void sheetsHaveNoUnintendedOverlaps_data() { addSheetRows(); }
    void sheetsHaveNoUnintendedOverlaps()
    {
        QFETCH(QString, file);
        InkSheet ink;
        renderSheet(load(file), {}, &ink);
        const QRectF page(0, 0, 700, 175);
        for (const InkBox& b : ink.boxes()) // nothing drawn off the page, where no check could see it
            QVERIFY2(page.contains(b.box), qPrintable(describe(b)));
        const auto overlaps = unintendedOverlaps(ink.boxes());
        if (!overlaps.empty()) // the whole list: a failure message is cut short
            qInfo().noquote() << file << "\n" << listed(overlaps);
        QVERIFY2(overlaps.empty(), qPrintable(QStringLiteral("%1 unintended overlaps").arg(overlaps.size())));
    }

    // Every text a sheet prints, technique names and fret numbers included, stays readable.
    void textIsLargeEnoughToRead_data() { addSheetRows(); }
    void textIsLargeEnoughToRead()
    {
        constexpr double kLeastCapHeight = 7;
        QFETCH(QString, file);
        InkSheet ink;
        renderSheet(load(file), {}, &ink);
        int texts = 0;
        for (const InkBox& b : ink.boxes()) {
            if (b.kind != Ink::Label && b.kind != Ink::TabNumber && b.kind != Ink::TupletNumber)
                continue;
            ++texts;
            QVERIFY2(b.capHeight >= kLeastCapHeight, qPrintable(describe(b) + QStringLiteral(": cap height %1").arg(b.capHeight)));
        }
        QVERIFY(texts > 0);
    }

    // In 6/8 the tempo counts dotted quarters, two thirds of the quarters the notes give; the
    // header prints it.
    void tempoMarkCountsTheBeat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mark");
        QTest::newRow("4/4") << "tempo: 100\nmeter: 4/4\n| 6:0/1 |\n" << QStringLiteral("\u2669 = 100");
        QTest::newRow("6/8") << "tempo: 99\nmeter: 6/8\n| 6:0/4.  6:0/4. |\n" << QStringLiteral("\u2669. = 66");
        QTest::newRow("3/4") << "tempo: 90\nmeter: 3/4\n| 6:0/2. |\n" << QStringLiteral("\u2669 = 90");
    }
    void tempoMarkCountsTheBeat()
    {
        QFETCH(QString, text);
        QFETCH(QString, mark);
        const Score score = parse(qPrintable(text));
        QCOMPARE(tempoText(score), mark);
        InkSheet ink;
        renderSheet(score, {}, &ink);
        QVERIFY(std::any_of(ink.boxes().begin(), ink.boxes().end(),
                            [&](const InkBox& b) { return b.kind == Ink::Label && b.what == mark; }));
    }

    // Every group of triplets has its "3" outside the staff; notes not beamed together (quarter
    // triplets, a rest among them) have a bracket as well, beamed ones have their beam.
    void tripletsAreNumberedOutsideTheStaff_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bracketed");
        QTest::newRow("beamed eighths") << "| 4:2/8t  4:4/8t  4:5/8t  r/4  r/2 |\n" << false;
        QTest::newRow("high beamed eighths") << "| 1:12/8t  1:10/8t  1:8/8t  r/4  r/2 |\n" << false;
        QTest::newRow("quarters") << "| 4:2/4t  4:4/4t  4:5/4t  r/2 |\n" << true;
        QTest::newRow("with a rest") << "| 4:2/8t  r/8t  4:5/8t  r/4  r/2 |\n" << true;
        QTest::newRow("high quarters") << "| 1:12/4t  1:10/4t  1:8/4t  r/2 |\n" << true;
    }
    void tripletsAreNumberedOutsideTheStaff()
    {
        QFETCH(QString, text);
        QFETCH(bool, bracketed);
        const Score score = parse(qPrintable(text));
        const SheetLayout layout = layoutSheet(score);
        InkSheet ink;
        renderSheet(score, {}, &ink);
        int numbers = 0, brackets = 0;
        for (const InkBox& b : ink.boxes()) {
            const bool outside = b.box.bottom() < layout.staffY(8) || b.box.top() > layout.staffY(0);
            if (b.kind == Ink::TupletNumber) {
                ++numbers;
                QVERIFY2(outside, qPrintable(describe(b)));
            } else if (b.kind == Ink::TupletBracket) {
                ++brackets;
                QVERIFY2(outside, qPrintable(describe(b)));
            }
        }
        QCOMPARE(numbers, 1);
        QCOMPARE(brackets > 0, bracketed);
    }

    void checkerTellsCollisionsFromIntendedContact_data()
    {
        QTest::addColumn<InkBox>("first");
        QTest::addColumn<InkBox>("second");
        QTest::addColumn<bool>("collision");
        const QRectF arc(100, 90, 40, 8);
        QTest::newRow("label under an arc") << box(Ink::Slur, arc) << box(Ink::Label, {112, 92, 14, 7}) << true;
        QTest::newRow("label beside an arc") << box(Ink::Slur, arc) << box(Ink::Label, {142, 92, 14, 7}) << false;
        QTest::newRow("vibrato through a bend") << box(Ink::Vibrato, {100, 80, 20, 5}) << box(Ink::BendSign, {110, 78, 6, 20}) << true;
        QTest::newRow("bracket on a staff line") << box(Ink::StaffLine, {60, 48, 600, 1}) << box(Ink::TupletBracket, {200, 48.2, 30, 1}) << true;
        QTest::newRow("bracket between lines") << box(Ink::StaffLine, {60, 48, 600, 1}) << box(Ink::TupletBracket, {200, 50, 30, 1}) << false;
        QTest::newRow("head on its line") << box(Ink::StaffLine, {60, 48, 600, 1}) << box(Ink::NoteHead, {200, 45, 8, 6}, 3) << false;
        QTest::newRow("rest in a beam") << box(Ink::Beam, {200, 40, 30, 3}) << box(Ink::Rest, {210, 38, 6, 12}, 4) << true;
        QTest::newRow("accidental on its head") << box(Ink::Accidental, {190, 40, 6, 14}, 2) << box(Ink::NoteHead, {195, 45, 8, 6}, 2) << true;
    }
    void checkerTellsCollisionsFromIntendedContact()
    {
        QFETCH(InkBox, first);
        QFETCH(InkBox, second);
        QFETCH(bool, collision);
        QCOMPARE(unintendedOverlaps({first, second}).size(), size_t(collision ? 1 : 0));
    }
};


QTEST_MAIN(EngravingTest)
#include "EngravingTest.moc"
