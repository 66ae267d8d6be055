// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Generator.h"
#include "content/NoteFormat.h"
#include "content/SheetRenderer.h"
#include "content/Synth.h"

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

// The piece as the synthesizer plays it, mono, at kRenderRate.
std::vector<float> rendered(const QString& text);

// Attacks: a pick's strike is a burst of high partials, so each 5 ms window's energy of the
// signal's steps (a high-pass) is compared with the loudest of the 30 ms before it.
int attacksIn(const std::vector<float>& mono)
{
    constexpr size_t kWindow = kRenderRate / 200;
    std::vector<double> level;
    for (size_t at = 1; at + kWindow <= mono.size(); at += kWindow) {
        double energy = 0;
        for (size_t i = at; i < at + kWindow; ++i)
            energy += double(mono[i] - mono[i - 1]) * (mono[i] - mono[i - 1]);
        level.push_back(std::sqrt(energy / kWindow));
    }
    const double loudest = *std::max_element(level.begin(), level.end());
    int attacks = 0;
    for (size_t w = 0; w < level.size(); ++w) {
        double before = 0;
        for (size_t k = w >= 6 ? w - 6 : 0; k < w; ++k)
            before = std::max(before, level[k]);
        if (level[w] > loudest * 0.1 && level[w] > 2 * before) {
            ++attacks;
            w += 6; // one attack, however it rises
        }
    }
    return attacks;
}

// The fundamental around `seconds`, by autocorrelation between lowHz and highHz.
double pitchAt(const std::vector<float>& mono, double seconds, double lowHz, double highHz)
{
    const size_t start = size_t(seconds * kRenderRate), length = kRenderRate / 20;
    auto at = [&](int lag) {
        double sum = 0;
        for (size_t i = start; i < start + length; ++i)
            sum += double(mono[i]) * mono[i + size_t(lag)];
        return sum;
    };
    double best = 0;
    int bestLag = 0;
    for (int lag = int(kRenderRate / highHz); lag <= int(kRenderRate / lowHz); ++lag) {
        const double sum = at(lag);
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    // Between the lags either side, where the peak of a parabola through them lies.
    const double a = at(bestLag - 1), b = best, c = at(bestLag + 1);
    const double shift = (a - c) / (2 * (a - 2 * b + c));
    return kRenderRate / (bestLag + shift);
}

Score parsed(const QString& text)
{
    ParseError error;
    const auto score = parseScore(text.toStdString(), &error);
    if (!score)
        qFatal("%s: %s", qPrintable(text), error.message.c_str());
    return *score;
}

std::vector<float> rendered(const QString& text)
{
    RenderJob job;
    const Score score = parsed(text);
    job.notes = scoreNotes(score, 1.0);
    job.guitarProgram = programFor(score.sound);
    job.seconds = score.seconds();
    std::string why;
    const std::vector<float> stereo = renderJob(job, defaultSoundFont(), &why);
    std::vector<float> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = (stereo[2 * i] + stereo[2 * i + 1]) / 2;
    return mono;
}

int darkPixelsIn(const QImage& image, const QRect& rect)
{
    int dark = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
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
        QCOMPARE(score->events[10].notes[0].bendSemitones, 2);
        const auto headers = parseScore("tempo: 100\nslow: 60\nkey: F# minor\n| 6:2/1 |", nullptr);
        QVERIFY(headers);
        QCOMPARE(headers->slowShare(), 0.6);
        QCOMPARE(keyTonic(headers->key), 6);
        QCOMPARE(keyTonic("Bb major"), 10);
        QCOMPARE(formatScore(*parseScore(formatScore(*headers), nullptr)), formatScore(*headers));
        const auto half = parseScore("| 2:7b8/2  2:7b9/2 |", nullptr);
        QVERIFY(half);
        QCOMPARE(half->events[0].notes[0].bendSemitones, 1);
        QCOMPARE(half->events[1].notes[0].bendSemitones, 2);
        QCOMPARE(half->events[1].notes[0].fret, 7);
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
        QTest::newRow("two techniques") << "| 6:0/2  6:3hs/2 |\n" << 1 << 14;
        QTest::newRow("vibrato twice") << "| 6:3vv/1 |\n" << 1 << 7;
        QTest::newRow("unknown feel") << "feel: swing\n| 6:0/1 |\n" << 1 << 7;
        QTest::newRow("ring never closed") << "| 6:0/2  r/2 |\n| ring( 6:0/1 |\n| 6:0/1 |\n" << 2 << 3;
        QTest::newRow("closing no ring") << "| 6:0/1  ) |\n" << 1 << 10;
        QTest::newRow("slow not below tempo") << "tempo: 80\nslow: 80\n| 6:0/1 |\n" << 2 << 7;
        QTest::newRow("key without mode") << "key: E\n| 6:0/1 |\n" << 1 << 6;
        QTest::newRow("key not a note") << "key: H minor\n| 6:0/1 |\n" << 1 << 6;
        QTest::newRow("bend beyond a whole tone") << "| 2:7b10/1 |\n" << 1 << 7;
        QTest::newRow("bend downwards") << "| 2:7b5/1 |\n" << 1 << 7;
        QTest::newRow("target on a slide") << "| 2:5/2  2:7s9/2 |\n" << 1 << 14;
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

    // Each mark is read onto its note and written back where it was.
    void marksRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("slides");
        QTest::addColumn<int>("muted");
        QTest::addColumn<int>("vibratos");
        QTest::addColumn<bool>("shuffle");
        QTest::addColumn<int>("ringing"); // events
        QTest::newRow("slides") << "| 3:5/4  3:7s/4  3:2s/2 |\n" << 2 << 0 << 0 << false << 0;
        QTest::newRow("palm mute") << "| 6:0m/8  6:0m/8  6:0+5:2m/4  6:3/2 |\n" << 0 << 3 << 0 << false << 0;
        QTest::newRow("vibrato") << "| 1:5v/2  2:8bv/2 |\n" << 0 << 0 << 2 << false << 0;
        QTest::newRow("bend targets") << "| 2:7b8/4  2:7b9v/4  3:7b9m/4  2:8b/4 |\n" << 0 << 1 << 1 << false << 0;
        QTest::newRow("all on one note") << "| 3:5/2  3:7svm/2 |\n" << 1 << 1 << 1 << false << 0;
        QTest::newRow("shuffle") << "feel: shuffle\n| 6:0/8  6:0/8  6:2/4  6:0/2 |\n" << 0 << 0 << 0 << true << 0;
        QTest::newRow("let ring") << "| ring( 4:2/8  3:2/8  2:3/8 ) 1:2/8  r/2 |\n" << 0 << 0 << 0 << false << 3;
        QTest::newRow("let ring over a bar line") << "| 6:0/2  ring( 5:2/4  4:2/4 |\n| 3:2/4 )  r/4  ring( r/2 ) |\n"
                                                  << 0 << 0 << 0 << false << 4;
    }

    void marksRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, slides);
        QFETCH(int, muted);
        QFETCH(int, vibratos);
        QFETCH(bool, shuffle);
        QFETCH(int, ringing);
        const Score first = parsed(text);
        const Score second = parsed(QString::fromStdString(formatScore(first)));
        QCOMPARE(formatScore(second), formatScore(first));
        QCOMPARE(second.shuffle, shuffle);
        int counts[3] = {0, 0, 0};
        QCOMPARE(second.events.size(), first.events.size());
        for (size_t i = 0; i < first.events.size(); ++i) {
            QCOMPARE(second.events[i].notes.size(), first.events[i].notes.size());
            QCOMPARE(second.events[i].letRing, first.events[i].letRing);
            ringing -= second.events[i].letRing;
            for (size_t n = 0; n < first.events[i].notes.size(); ++n) {
                const FrettedNote& a = first.events[i].notes[n];
                const FrettedNote& b = second.events[i].notes[n];
                QCOMPARE(int(b.technique), int(a.technique));
                QCOMPARE(b.palmMuted, a.palmMuted);
                QCOMPARE(b.vibrato, a.vibrato);
                QCOMPARE(b.fret, a.fret);
                QCOMPARE(b.bendSemitones, a.bendSemitones);
                counts[0] += b.technique == Technique::Slide;
                counts[1] += b.palmMuted;
                counts[2] += b.vibrato;
            }
        }
        QCOMPARE(counts[0], slides);
        QCOMPARE(counts[1], muted);
        QCOMPARE(counts[2], vibratos);
        QCOMPARE(ringing, 0);
    }

    // A mark shows above the tab where its note is: the marked sheet is darker there than the
    // same piece without it, in riff sheets and in tab-only pictures alike.
    void marksAreDrawnAtTheirNotes_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("marked");
        QTest::addColumn<int>("event");
        QTest::addColumn<bool>("tabOnly");
        const char* slide[] = {"| 3:5/4  3:7/4  r/2 |\n", "| 3:5/4  3:7s/4  r/2 |\n"};
        const char* mute[] = {"| 4:2/4  6:0/8  6:0/8  6:0/8  6:0/8  r/4 |\n", "| 4:2/4  6:0m/8  6:0m/8  6:0m/8  6:0m/8  r/4 |\n"};
        const char* ring[] = {"| 4:2/8  3:2/8  2:3/8  1:2/8  r/2 |\n", "| ring( 4:2/8  3:2/8  2:3/8  1:2/8 ) r/2 |\n"};
        const char* vibrato[] = {"| 3:5/4  2:8/2  r/4 |\n", "| 3:5/4  2:8v/2  r/4 |\n"};
        const char* hammer[] = {"| 3:5/4  3:7/4  r/2 |\n", "| 3:5/4  3:7h/4  r/2 |\n"};
        const char* pull[] = {"| 3:7/4  3:5/4  r/2 |\n", "| 3:7/4  3:5p/4  r/2 |\n"};
        const char* bend[] = {"| 3:5/4  2:8/4  r/2 |\n", "| 3:5/4  2:8b/4  r/2 |\n"};
        const char* halfBend[] = {"| 3:5/4  2:8/4  r/2 |\n", "| 3:5/4  2:8b9/4  r/2 |\n"};
        for (bool tabOnly : {false, true}) {
            const char* style = tabOnly ? " (tab only)" : "";
            QTest::newRow(qPrintable(QStringLiteral("slide%1").arg(style))) << slide[0] << slide[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("palm mute%1").arg(style))) << mute[0] << mute[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("palm mute's end%1").arg(style))) << mute[0] << mute[1] << 4 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("vibrato%1").arg(style))) << vibrato[0] << vibrato[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("hammer-on%1").arg(style))) << hammer[0] << hammer[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("pull-off%1").arg(style))) << pull[0] << pull[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("bend%1").arg(style))) << bend[0] << bend[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("half bend%1").arg(style))) << halfBend[0] << halfBend[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("let ring%1").arg(style))) << ring[0] << ring[1] << 1 << tabOnly;
            QTest::newRow(qPrintable(QStringLiteral("let ring's end%1").arg(style))) << ring[0] << ring[1] << 3 << tabOnly;
        }
    }

    void marksAreDrawnAtTheirNotes()
    {
        QFETCH(QString, plain);
        QFETCH(QString, marked);
        QFETCH(int, event);
        QFETCH(bool, tabOnly);
        SheetStyle style;
        style.tabOnly = tabOnly;
        if (tabOnly) {
            style.width = 400;
            style.height = 160;
        }
        const Score a = parsed(plain), b = parsed(marked);
        const SheetLayout layout = layoutSheet(b, style);
        const int x = layout.eventX[size_t(event)], previousX = layout.eventX[size_t(event) - 1];
        const QRect above(previousX + 4, layout.tabLineY(1) - 18, x + 12 - previousX - 4, 15);
        const int before = darkPixelsIn(renderSheet(a, style), above);
        const int after = darkPixelsIn(renderSheet(b, style), above);
        QVERIFY2(after >= before + 8, qPrintable(QStringLiteral("%1 dark pixels, %2 without the mark").arg(after).arg(before)));
        // Far from the mark, nothing changes.
        const QRect elsewhere(layout.barX.back() - 20, 0, 18, layout.height);
        QCOMPARE(darkPixelsIn(renderSheet(b, style), elsewhere), darkPixelsIn(renderSheet(a, style), elsewhere));
    }

    // A let-ring or P.M. line never runs through H.O., sl. or "full": the names read the same with
    // the line as without it, and the line is drawn beside them.
    void extentLinesLeaveLabelsClear()
    {
        const Score plain = parsed(QStringLiteral("| 3:0/8  3:2h/8  2:0/8  2:3h/8  1:0/8  r/8  r/4 |\n"));
        const Score ringing = parsed(QStringLiteral("| ring( 3:0/8  3:2h/8  2:0/8  2:3h/8  1:0/8 ) r/8  r/4 |\n"));
        InkSheet ink;
        const QImage a = renderSheet(plain), b = renderSheet(ringing, {}, &ink);
        int names = 0;
        QRectF line;
        for (const InkBox& box : ink.boxes()) {
            if (box.kind == Ink::ExtentLine)
                line = line.united(box.box);
            if (box.kind != Ink::Label || box.owner < 1 || box.box.top() < layoutSheet(ringing).staffY(0))
                continue;
            ++names; // a technique's name, under the staff
            const QRect around = box.box.toAlignedRect().adjusted(-1, -1, 1, 1);
            QCOMPARE(darkPixelsIn(b, around), darkPixelsIn(a, around));
        }
        QCOMPARE(names, 2);
        const QRect drawn = line.toAlignedRect();
        QVERIFY(!drawn.isEmpty());
        QVERIFY(darkPixelsIn(b, drawn) > darkPixelsIn(a, drawn));
    }

    void shuffleIsMarkedByTheTempo()
    {
        const QString straight = QStringLiteral("title: T\n| 6:0/8  6:0/8  6:2/4  6:0/2 |\n");
        const Score a = parsed(straight), b = parsed(QStringLiteral("feel: shuffle\n") + straight);
        for (bool tabOnly : {false, true}) {
            SheetStyle style;
            style.tabOnly = tabOnly;
            const QRect corner(style.width - 200, 0, 200, 20);
            QVERIFY(darkPixelsIn(renderSheet(b, style), corner) > darkPixelsIn(renderSheet(a, style), corner) + 20);
        }
    }

    // Triplets not beamed together get a "3" bracket: a long line above the staff (riff sheets),
    // or three triplet eighths one above the tab (tab-only pictures that ask for it).
    void tripletsAreBracketed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tabOnly");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("bracketed");
        const QString triplets = QStringLiteral("| 4:2/8t  4:4/8t  4:5/8t  r/4  r/2 |\n");
        const QString quarters = QStringLiteral("| 4:2/4t  4:4/4t  4:5/4t  r/2 |\n");
        const QString withRest = QStringLiteral("| 4:2/8t  r/8t  4:5/8t  r/4  r/2 |\n");
        const QString straight = QStringLiteral("| 4:2/8  4:4/16  4:5/16  r/4  r/2 |\n");
        QTest::newRow("on the staff") << quarters << false << false << true;
        QTest::newRow("with a rest") << withRest << false << false << true;
        QTest::newRow("straight") << straight << false << false << false;
        QTest::newRow("above the tab") << triplets << true << true << true;
        QTest::newRow("tab, not asked") << triplets << true << false << false;
        QTest::newRow("tab, straight") << straight << true << true << false;
    }

    void tripletsAreBracketed()
    {
        QFETCH(QString, text);
        QFETCH(bool, tabOnly);
        QFETCH(bool, asked);
        QFETCH(bool, bracketed);
        SheetStyle style;
        style.tabOnly = tabOnly;
        style.tripletBrackets = asked;
        const Score score = parsed(text);
        const SheetLayout layout = layoutSheet(score, style);
        const QImage sheet = renderSheet(score, style);
        const int left = layout.eventX[0], right = layout.eventX[2];
        const int top = tabOnly ? layout.tabLineY(1) - 34 : 19;
        const int bottom = tabOnly ? layout.tabLineY(1) - 20 : layout.staffY(8) - 8; // over the staff, above low notes' beams
        int longest = 0;
        for (int y = top; y <= bottom; ++y)
            longest = std::max(longest, darkPixelsIn(sheet, QRect(left, y, right - left + 1, 1)));
        QCOMPARE(longest > (right - left) * 7 / 10, bracketed);
    }

    // A slid note sounds on from the note before: no strike of its own, the held note lasts into
    // it and the wheel carries its pitch there, arriving by the slid note's time.
    void slidesAreNotPickedAgain_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("strikes");
        QTest::addColumn<double>("lastSemitones"); // where the first note's wheel ends
        QTest::newRow("up a tone") << "| 3:5/4  3:7s/4  r/2 |\n" << 1 << 2.0;
        QTest::newRow("on and down a fifth") << "| 3:9/4  3:11s/4  3:2s/2 |\n" << 1 << -7.0;
        QTest::newRow("power chord") << "| 6:3+5:5/4  6:5s+5:7s/4  r/2 |\n" << 2 << 2.0;
        QTest::newRow("after a rest, picked") << "| 3:5/4  r/4  3:7s/2 |\n" << 2 << 0.0;
    }

    void slidesAreNotPickedAgain()
    {
        QFETCH(QString, text);
        QFETCH(int, strikes);
        QFETCH(double, lastSemitones);
        const Score score = parsed(text);
        const std::vector<NoteEvent> notes = scoreNotes(score, 1.0);
        QCOMPARE(int(notes.size()), strikes);
        const double quarter = 60.0 / score.tempo;
        for (const NoteEvent& n : notes) {
            if (lastSemitones == 0) {
                QVERIFY(n.glide.empty());
                QCOMPARE(n.channel, 0);
                continue;
            }
            QVERIFY(n.channel > kFirstStringChannel && n.channel < 16);
            QVERIFY(!n.glide.empty());
            QCOMPARE(n.glide.back().second, lastSemitones);
            for (const auto& [at, semitones] : n.glide) {
                QVERIFY(std::abs(semitones) <= kStringWheelRange);
                QVERIFY(at > quarter * 0.8); // not before the held note has sounded
            }
            QVERIFY(n.seconds + n.length > quarter * 1.9); // rings on through the slid note
        }
    }

    void palmMuteIsShortAndDark()
    {
        const QString plain = QStringLiteral("| 6:0/4  6:0/4  6:0/4  6:0/4 |\n");
        QString marked = plain;
        marked.replace(QStringLiteral("0/"), QStringLiteral("0m/"));
        const std::vector<NoteEvent> open = scoreNotes(parsed(plain), 1.0), muted = scoreNotes(parsed(marked), 1.0);
        QCOMPARE(muted.size(), open.size());
        for (size_t i = 0; i < open.size(); ++i) {
            QCOMPARE(open[i].channel, 0);
            QCOMPARE(muted[i].channel, kMutedChannel);
            QCOMPARE(muted[i].seconds, open[i].seconds);
            QVERIFY(muted[i].length <= open[i].length * 0.6);
            QVERIFY(muted[i].velocity < open[i].velocity);
        }
        QCOMPARE(kMutedProgram, 28); // General MIDI's muted electric guitar
    }

    void vibratoWavers()
    {
        const Score score = parsed(QStringLiteral("| 1:5v/2  1:5/2 |\n"));
        const std::vector<NoteEvent> notes = scoreNotes(score, 1.0);
        QCOMPARE(notes.size(), size_t(2));
        QVERIFY(notes[1].glide.empty());
        const NoteEvent& n = notes[0];
        QCOMPARE(n.channel, kFirstStringChannel + 1);
        QVERIFY(!n.glide.empty());
        QVERIFY(n.glide.front().first >= 0.08); // the attack speaks first
        double low = 0, high = 0;
        int crossings = 0;
        for (size_t i = 0; i < n.glide.size(); ++i) {
            low = std::min(low, n.glide[i].second);
            high = std::max(high, n.glide[i].second);
            if (i > 0 && (n.glide[i - 1].second < 0) != (n.glide[i].second < 0))
                ++crossings;
            QVERIFY(n.glide[i].first <= n.length + 1e-9);
        }
        QVERIFY(high > 0.4 && high <= 0.5 && low < -0.4 && low >= -0.5); // a quarter tone either way
        const double waves = (n.length - n.glide.front().first) * 5.5;
        QVERIFY2(crossings >= int(2 * waves) - 2 && crossings <= int(2 * waves) + 2, qPrintable(QString::number(crossings)));
    }

    // Heard in the recording: a picked note is a new attack, a hammered or pulled one is not,
    // it carries on the string's sound at its new pitch; a bend glides to its target.
    void legatoIsNotPickedAgain_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("attacks");
        QTest::newRow("picked") << "| 3:5/4  3:7/4  3:5/4  3:7/4 |\n| 3:9/4  r/4  r/2 |\n" << 5;
        QTest::newRow("hammer-ons and pull-offs") << "| 3:5/4  3:7h/4  3:5p/4  3:7h/4 |\n| 3:9h/4  r/4  r/2 |\n" << 1;
        QTest::newRow("picked again after a hammer-on") << "| 3:5/4  3:7h/4  3:5/4  3:7h/4 |\n| 3:9/4  r/4  r/2 |\n" << 3;
    }

    void legatoIsNotPickedAgain()
    {
        QFETCH(QString, text);
        QFETCH(int, attacks);
        const std::vector<float> pcm = rendered(QStringLiteral("tempo: 80\nsound: clean\n") + text);
        QCOMPARE(attacksIn(pcm), attacks);
    }

    void bendsReachTheirTarget_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<double>("semitones");
        QTest::newRow("full") << "2:8b" << 2.0;
        QTest::newRow("full, by its target") << "2:8b10" << 2.0;
        QTest::newRow("half") << "2:8b9" << 1.0;
        QTest::newRow("full with vibrato") << "2:8bv" << 2.0;
    }

    void bendsReachTheirTarget()
    {
        QFETCH(QString, note);
        QFETCH(double, semitones);
        const std::vector<float> pcm = rendered(QStringLiteral("tempo: 60\nsound: clean\n| %1/2  r/2 |\n").arg(note));
        // 2:8 is G4 (392 Hz): at its strike, and once bent, looked for within a fifth of it.
        const double struck = pitchAt(pcm, 0.02, 300, 600), bent = pitchAt(pcm, 0.8, 300, 600);
        QVERIFY2(std::abs(struck - 392.0) < 392.0 * 0.02, qPrintable(QString::number(struck)));
        const double reached = 12 * std::log2(bent / 392.0);
        // A vibrato wavers a quarter tone round the target.
        QVERIFY2(std::abs(reached - semitones) < (note.endsWith('v') ? 0.55 : 0.1), qPrintable(QString::number(reached)));
    }

    // A let-ring note sounds until its string is played again, or to the end of the piece.
    void letRingSustains()
    {
        const Score score = parsed(QStringLiteral("tempo: 120\n| ring( 4:2/8  3:2/8  2:3/8  4:4/8 ) 4:2/8  r/8  r/4 |\n"));
        const std::vector<NoteEvent> notes = scoreNotes(score, 1.0);
        QCOMPARE(notes.size(), size_t(5));
        const double eighth = 0.25;
        QVERIFY(std::abs(notes[0].seconds + notes[0].length - 3 * eighth) < 0.03); // until string 4 again
        QVERIFY(std::abs(notes[1].seconds + notes[1].length - 2.0) < 0.03);        // to the end
        QVERIFY(std::abs(notes[2].seconds + notes[2].length - 2.0) < 0.03);
        QVERIFY(notes[3].seconds + notes[3].length <= 4 * eighth); // stopped by the next pick
        QVERIFY(notes[4].length < eighth);                          // after the ring, as written
    }

    // In a shuffle the second eighth of a beat comes two thirds of the way through it.
    void shuffleSwingsTheEighths_data()
    {
        QTest::addColumn<QString>("feel");
        QTest::addColumn<double>("secondEighth"); // of a beat
        QTest::newRow("straight") << "" << 0.5;
        QTest::newRow("shuffle") << "feel: shuffle\n" << 2.0 / 3;
        QTest::newRow("said straight") << "feel: straight\n" << 0.5;
    }

    void shuffleSwingsTheEighths()
    {
        QFETCH(QString, feel);
        QFETCH(double, secondEighth);
        const Score score = parsed(feel + "tempo: 120\n| 6:0/8  6:0/8  6:2/8  6:2/8  6:0/4  r/4 |\n");
        const std::vector<NoteEvent> notes = scoreNotes(score, 1.0);
        QCOMPARE(notes.size(), size_t(5));
        const double beat = 0.5;
        QCOMPARE(notes[1].seconds, secondEighth * beat);
        QCOMPARE(notes[2].seconds, beat);
        QCOMPARE(notes[3].seconds, beat + secondEighth * beat);
        QCOMPARE(notes[4].seconds, 2 * beat); // quarters stay where they are
        QCOMPARE(notes[0].length + notes[1].length, 0.92 * beat);
        // Triplets are already long-short as written: a shuffle leaves them where they are.
        const QString triplets = QStringLiteral("tempo: 120\n| 6:0/8t  6:0/8t  6:0/8t  6:0/4t  6:0/8t  r/2 |\n");
        const std::vector<NoteEvent> swung = scoreNotes(parsed(feel + triplets), 1.0), plain = scoreNotes(parsed(triplets), 1.0);
        for (size_t i = 0; i < plain.size(); ++i)
            QCOMPARE(swung[i].seconds, plain[i].seconds);
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
                    QVERIFY2(scale.contains(heardNote(note) % 12), qPrintable(where + " bends to a note outside the scale"));
                last = pitch;
            }
        }
        QCOMPARE(last % 12, root);
    }
};

QTEST_MAIN(NoteFormatTest)
#include "NoteFormatTest.moc"
