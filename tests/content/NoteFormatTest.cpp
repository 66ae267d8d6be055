#include "content/Generator.h"
#include "content/NoteFormat.h"
#include "content/SheetRenderer.h"

#include <QtTest>

using namespace zupfomat::content;

namespace {

const char* const kRiff =
    "# a test riff\n"
    "title: Test - Shuffle\n"
    "tempo: 96\n"
    "meter: 4/4\n"
    "sound: overdrive\n"
    "\n"
    "| 6:0+5:2/4t  6:0+5:2/8t  6:0/4.  6:3/8  r/4 |\n"
    "| 5:2/16  5:3h/16  4:0/8  3:2/8  2:3/8  1:0b/2 |\n";

int darkPixelsAround(const QImage& image, int x, int y, int radius)
{
    int dark = 0;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (qGray(image.pixel(x + dx, y + dy)) < 110)
                ++dark;
    return dark;
}

} // namespace

class NoteFormatTest : public QObject {
    Q_OBJECT

private slots:
    void readsARiff()
    {
        ParseError error;
        const auto score = parseScore(kRiff, &error);
        QVERIFY2(score, error.message.c_str());
        QCOMPARE(score->title, std::string("Test - Shuffle"));
        QCOMPARE(score->tempo, 96);
        QCOMPARE(int(score->sound), int(Sound::Overdrive));
        QCOMPARE(score->events.size(), size_t(11));
        QCOMPARE(score->barStarts, (std::vector<int>{0, 1920, 3840}));
        QCOMPARE(score->events[0].notes.size(), size_t(2));
        QCOMPARE(score->events[1].start, 320); // after a quarter triplet
        QCOMPARE(score->events[2].duration, 720); // a dotted quarter
        QVERIFY(score->events[4].notes.empty()); // the rest
        QCOMPARE(score->seconds(), 5.0);
        QCOMPARE(int(score->events[6].notes[0].technique), int(Technique::HammerOn));
        QCOMPARE(int(score->events[10].notes[0].technique), int(Technique::Bend));
        QCOMPARE(int(score->events[5].notes[0].technique), int(Technique::Picked));
    }

    void roundTrip()
    {
        const auto first = parseScore(kRiff, nullptr);
        QVERIFY(first);
        const auto second = parseScore(formatScore(*first), nullptr);
        QVERIFY(second);
        QCOMPARE(formatScore(*second), formatScore(*first));
        QCOMPARE(second->events.size(), first->events.size());
        for (size_t i = 0; i < first->events.size(); ++i) {
            QCOMPARE(second->events[i].start, first->events[i].start);
            QCOMPARE(second->events[i].duration, first->events[i].duration);
            QCOMPARE(second->events[i].notes.size(), first->events[i].notes.size());
            for (size_t n = 0; n < first->events[i].notes.size(); ++n)
                QCOMPARE(int(second->events[i].notes[n].technique), int(first->events[i].notes[n].technique));
        }
    }

    void errorsNameLineAndColumn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("unknown duration") << "tempo: 90\n| 6:0/4  6:0/5  6:0/2 |\n" << 2 << 14;
        QTest::newRow("fret above 24") << "| 6:0/4  6:25/4  r/2 |\n" << 1 << 12;
        QTest::newRow("not string:fret") << "\n\n| 6-0/4  r/2. |\n" << 3 << 3;
        QTest::newRow("string 7") << "| 7:0/1 |\n" << 1 << 3;
        QTest::newRow("bar too short") << "| 6:0/4  6:0/4 |\n" << 1 << 16;
        QTest::newRow("bar not closed") << "| 6:0/1\n" << 1 << 8;
        QTest::newRow("bad tempo") << "tempo: fast\n| 6:0/1 |\n" << 1 << 8;
        QTest::newRow("note outside a bar") << "6:0/1\n" << 1 << 1;
        QTest::newRow("unknown technique") << "| 6:0/2  6:3x/2 |\n" << 1 << 13;
    }

    void errorsNameLineAndColumn()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, column);
        ParseError error;
        QVERIFY(!parseScore(text.toStdString(), &error));
        QCOMPARE(error.line, line);
        QCOMPARE(error.column, column);
        QVERIFY(!error.message.empty());
    }

    void writtenPitchOnTheStaff()
    {
        bool sharp = true;
        QCOMPARE(staffStep(64, &sharp), 0); // E4: the bottom line
        QVERIFY(!sharp);
        QCOMPARE(staffStep(60, &sharp), -2); // C4: the first ledger line below
        QCOMPARE(staffStep(66, &sharp), 1); // F#4: the first space, with a sharp
        QVERIFY(sharp);
        QCOMPARE(staffStep(52, &sharp), -7); // the open low E, written E3
        QCOMPARE(staffStep(77, &sharp), 8); // F5: the top line
    }

    // Each fret number stands on its string's line, under its note head.
    void tabNumbersStandUnderTheirNotes()
    {
        const auto score = parseScore(kRiff, nullptr);
        QVERIFY(score);
        const SheetLayout layout = layoutSheet(*score);
        const QImage sheet = renderSheet(*score);
        QCOMPARE(sheet.size(), QSize(layout.width, layout.height));
        QVERIFY(sheet.width() <= 700 && sheet.height() <= 175);
        for (size_t i = 0; i < score->events.size(); ++i) {
            const int x = layout.eventX[i];
            for (const FrettedNote& note : score->events[i].notes) {
                const int y = layout.tabLineY(note.string);
                QVERIFY2(darkPixelsAround(sheet, x, y, 3) >= 4, qPrintable(QStringLiteral("no fret number at event %1").arg(i)));
                bool sharp = false;
                const int head = layout.staffY(staffStep(midiNote(note) + 12, &sharp));
                QVERIFY2(darkPixelsAround(sheet, x, head, 4) >= 6, qPrintable(QStringLiteral("no note head at event %1").arg(i)));
            }
            // Between strings the fret numbers leave the space free: nothing is drawn on a wrong line.
            for (int string = 1; string <= 6; ++string) {
                const bool played = std::any_of(score->events[i].notes.begin(), score->events[i].notes.end(),
                                                [&](const FrettedNote& n) { return n.string == string; });
                if (!played)
                    QVERIFY(darkPixelsAround(sheet, x, layout.tabLineY(string) - 3, 1) == 0);
            }
        }
    }

    // The lesson pieces teach a pentatonic scale: every note is in it, a bend goes up to a note
    // of it, and each piece comes home to the root.
    void lessonsStayInTheirScale_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("root"); // pitch class
        QTest::addColumn<QList<int>>("scale");
        const QList<int> aMinor = {9, 0, 2, 4, 7};
        const QList<int> cMajor = {0, 2, 4, 7, 9};
        QTest::newRow("minor exercise") << "lesson-moll-exercise" << 9 << aMinor;
        QTest::newRow("minor example") << "lesson-moll-beispiel" << 9 << aMinor;
        QTest::newRow("major exercise") << "lesson-dur-exercise" << 0 << cMajor;
        QTest::newRow("major example") << "lesson-dur-beispiel" << 0 << cMajor;
    }

    void lessonsStayInTheirScale()
    {
        QFETCH(QString, name);
        QFETCH(int, root);
        QFETCH(QList<int>, scale);
        const QString notes = QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../content/notes/"));
        Score score;
        QString error;
        QVERIFY2(loadScore(notes + name + ".txt", &score, &error), qPrintable(error));
        int last = -1;
        for (const Event& event : score.events) {
            for (const FrettedNote& note : event.notes) {
                const int pitch = midiNote(note);
                const QString where = QStringLiteral("string %1 fret %2").arg(note.string).arg(note.fret);
                QVERIFY2(scale.contains(pitch % 12), qPrintable(where + " is outside the scale"));
                if (note.technique == Technique::Bend)
                    QVERIFY2(scale.contains((pitch + 2) % 12), qPrintable(where + " bends to a note outside the scale"));
                last = pitch;
            }
        }
        QCOMPARE(last % 12, root);
    }
};

QTEST_MAIN(NoteFormatTest)
#include "NoteFormatTest.moc"
