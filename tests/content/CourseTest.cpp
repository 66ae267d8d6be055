// SPDX-License-Identifier: GPL-3.0-or-later
// The riffs and exercises read as a course: every piece its own music, playable by a hand of four
// fingers, at a level that climbs step by step, riffs in a stated key that end on its tonic with
// a drum loop of their tempo and feel, exercises at metronome marks.
#include "content/Generator.h"
#include "content/NoteFormat.h"
#include "content/Rhythms.h"
#include "media/ContentFolder.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

using namespace zupfomat::content;
using zupfomat::ContentFolder;

namespace {

struct Piece {
    QString name;
    Score score;
};

std::vector<Piece> course()
{
    std::vector<Piece> pieces;
    auto add = [&pieces](const QString& name) {
        Piece piece{name, {}};
        QString error;
        if (!loadScore(QStringLiteral(ZUPFOMAT_NOTES_DIR "/") + name + ".txt", &piece.score, &error))
            qWarning("%s", qPrintable(error));
        pieces.push_back(piece);
    };
    for (int n = 1; n <= ContentFolder::kRiffCount; ++n)
        add(QStringLiteral("riff%1").arg(n));
    for (int k = 1; k <= ContentFolder::kExerciseCount; ++k)
        add(QStringLiteral("ex%1").arg(k));
    return pieces;
}

// The pitches of each event that sounds, low to high; rests and rhythm left out.
std::vector<std::vector<int>> pitchEvents(const Score& score)
{
    std::vector<std::vector<int>> events;
    for (const Event& e : score.events) {
        if (e.notes.empty())
            continue;
        std::vector<int> pitches;
        for (const FrettedNote& n : e.notes)
            pitches.push_back(midiNote(n));
        std::sort(pitches.begin(), pitches.end());
        events.push_back(pitches);
    }
    return events;
}

// Two fretted notes that sound within one beat are held by one hand: below the 5th fret its
// four fingers cover four frets, higher up, where frets are narrower, five. A slide moves the
// hand, so the note it reaches starts a new hand position; so does moving a chord shape from one
// chord to the next.
QString firstStretch(const Score& score)
{
    struct Fretted {
        int tick;
        int fret;
        bool slid;
        bool inChord;
    };
    std::vector<Fretted> notes;
    for (const Event& e : score.events) {
        for (const FrettedNote& n : e.notes) {
            if (n.fret > 0)
                notes.push_back({e.start, n.fret, n.technique == Technique::Slide, e.notes.size() > 1});
        }
    }
    for (size_t i = 0; i < notes.size(); ++i) {
        for (size_t j = i + 1; j < notes.size() && notes[j].tick - notes[i].tick < kTicksPerQuarter; ++j) {
            if (notes[j].slid && notes[j].tick > notes[i].tick)
                break;
            if (notes[i].inChord && notes[j].inChord && notes[j].tick > notes[i].tick)
                continue;
            const int low = std::min(notes[i].fret, notes[j].fret), high = std::max(notes[i].fret, notes[j].fret);
            if (high - low > (low < 5 ? 3 : 4))
                return QStringLiteral("frets %1 and %2 at tick %3").arg(low).arg(high).arg(notes[j].tick);
        }
    }
    return {};
}

// The pitch a riff is heard to end on: the lowest note sounding at its last event, counting
// notes let ring on strings that event does not play again.
int lastLowestNote(const Score& score)
{
    std::map<int, int> ringing; // string -> the pitch still sounding on it
    const Event* last = nullptr;
    for (const Event& e : score.events) {
        if (e.notes.empty())
            continue;
        if (last) {
            for (const FrettedNote& n : last->notes) {
                if (last->letRing)
                    ringing[n.string] = midiNote(n);
                else
                    ringing.erase(n.string);
            }
        }
        last = &e;
    }
    int lowest = 128;
    for (const FrettedNote& n : last->notes) {
        ringing.erase(n.string);
        lowest = std::min(lowest, midiNote(n));
    }
    for (const auto& [string, pitch] : ringing)
        lowest = std::min(lowest, pitch);
    return lowest;
}

// A loop's meter and feel as a riff states them: two beats of three steps is 6/8, four beats
// on a triplet grid swing, on an even grid they are straight.
struct LoopPartner {
    int tempo; // in the riff's quarter notes
    bool compound;
    bool shuffle;
};

LoopPartner partnerOf(const RhythmPattern& rhythm)
{
    const bool compound = rhythm.beatsPerBar == 2 && rhythm.stepsPerBar % 3 == 0;
    const bool triplets = rhythm.stepsPerBar % 3 == 0;
    // A 6/8 loop counts dotted quarters, three eighths each, a riff's tempo quarters.
    const double quarters = compound ? rhythm.tempo * 3.0 / 2.0 : rhythm.tempo;
    return {int(std::lround(quarters)), compound, triplets && !compound};
}

QString feelName(bool compound, bool shuffle)
{
    return compound ? QStringLiteral("6/8") : shuffle ? QStringLiteral("shuffle") : QStringLiteral("straight");
}

// The first place a run of levels breaks the climb: it starts at 1, never falls and rises at
// most one step at a time; empty when it climbs.
QString levelBreak(const std::vector<Piece>& run)
{
    int before = 0;
    for (const Piece& p : run) {
        const int level = p.score.level;
        if (level < std::max(before, 1) || level > before + 1)
            return QStringLiteral("%1 at level %2 after level %3").arg(p.name).arg(level).arg(before);
        before = level;
    }
    return {};
}

enum class Kind { Riff, Exercise };

std::vector<Piece> piecesOf(const std::vector<Piece>& pieces, Kind kind)
{
    std::vector<Piece> run;
    for (const Piece& p : pieces) {
        if (p.name.startsWith(QLatin1String("riff")) == (kind == Kind::Riff))
            run.push_back(p);
    }
    return run;
}

// Marks of a metronome.
const std::set<int> kMetronome = {40,  42,  44,  46,  48,  50,  52,  54,  56,  58,  60,  63,  66,  69,  72,  76,  80,  84, 88,
                                  92,  96,  100, 104, 108, 112, 116, 120, 126, 132, 138, 144, 152, 160, 168, 176, 184, 192, 200, 208};

} // namespace

class CourseTest : public QObject {
    Q_OBJECT

    std::vector<Piece> pieces;

private slots:
    void initTestCase() { pieces = course(); }

    void everyPieceReadsWithItsNumberInTheTitle()
    {
        for (const Piece& p : pieces) {
            QVERIFY2(!p.score.events.empty(), qPrintable(p.name + " does not read"));
            const bool riff = p.name.startsWith(QLatin1String("riff"));
            const QString number = p.name.mid(riff ? 4 : 2);
            const QString prefix = (riff ? QStringLiteral("Riff ") : QStringLiteral("Übung ")) + number + " - ";
            QVERIFY2(QString::fromStdString(p.score.title).startsWith(prefix), qPrintable(p.name + ": " + QString::fromStdString(p.score.title)));
        }
    }

    // No piece repeats twelve notes in a row of another: neither the same piece at another
    // tempo nor a lick lifted whole.
    void noTwoPiecesShareANoteSequence()
    {
        constexpr size_t kRun = 12;
        std::map<std::vector<std::vector<int>>, QString> seen;
        QStringList shared;
        for (const Piece& p : pieces) {
            const auto events = pitchEvents(p.score);
            std::set<std::vector<std::vector<int>>> own;
            for (size_t i = 0; i + kRun <= events.size(); ++i)
                own.insert({events.begin() + long(i), events.begin() + long(i + kRun)});
            for (const auto& run : own) {
                const auto [at, added] = seen.emplace(run, p.name);
                if (!added && !shared.contains(at->second + " = " + p.name))
                    shared << at->second + " = " + p.name;
            }
        }
        QVERIFY2(shared.isEmpty(), qPrintable("twelve notes in a row shared: " + shared.join(", ")));
    }

    void noPieceStretchesTheHand()
    {
        QStringList stretches;
        for (const Piece& p : pieces) {
            const QString stretch = firstStretch(p.score);
            if (!stretch.isEmpty())
                stretches << p.name + ": " + stretch;
        }
        QVERIFY2(stretches.isEmpty(), qPrintable(stretches.join("; ")));
    }

    void riffsStateAKeyAndComeHomeToIt()
    {
        for (const Piece& p : pieces) {
            if (!p.name.startsWith(QLatin1String("riff")))
                continue;
            const int tonic = keyTonic(p.score.key);
            QVERIFY2(tonic >= 0, qPrintable(p.name + " states no key"));
            const int last = lastLowestNote(p.score) % 12;
            QVERIFY2(last == tonic, qPrintable(QStringLiteral("%1 in %2 ends on pitch class %3")
                                                   .arg(p.name, QString::fromStdString(p.score.key)).arg(last)));
        }
    }

    // Every riff has a loop to play with that shares its tempo and its feel: a straight riff
    // over a shuffle drags against the swung hi-hat, a shuffle over straight eighths rushes.
    void riffsGoWithADrumLoopOfTheirFeel()
    {
        QStringList alone;
        for (const Piece& p : piecesOf(pieces, Kind::Riff)) {
            const bool compound = p.score.beats == 6 && p.score.beatValue == 8;
            const auto fits = [&](const RhythmPattern& r) {
                const LoopPartner loop = partnerOf(r);
                return loop.tempo == p.score.tempo && loop.compound == compound && loop.shuffle == p.score.shuffle;
            };
            if (std::none_of(rhythmPatterns().begin(), rhythmPatterns().end(), fits))
                alone << QStringLiteral("%1 at %2, %3").arg(p.name).arg(p.score.tempo).arg(feelName(compound, p.score.shuffle));
        }
        QVERIFY2(alone.isEmpty(), qPrintable("no loop of the same tempo and feel: " + alone.join("; ")));
    }

    // The course climbs: riffs and exercises each start at level 1, and as the number rises the
    // level never falls and rises at most one step, so no piece is a leap from the one before.
    // Each names the technique it practises.
    void levelsClimbStepByStep_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("riffs") << Kind::Riff;
        QTest::newRow("exercises") << Kind::Exercise;
    }

    void levelsClimbStepByStep()
    {
        QFETCH(Kind, kind);
        const std::vector<Piece> run = piecesOf(pieces, kind);
        for (const Piece& p : run)
            QVERIFY2(!p.score.focus.empty(), qPrintable(p.name + " names no focus"));
        const QString broken = levelBreak(run);
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
    }

    void exercisesKeepMetronomeMarks()
    {
        for (const Piece& p : pieces) {
            if (!p.name.startsWith(QLatin1String("ex")))
                continue;
            QVERIFY2(kMetronome.count(p.score.tempo), qPrintable(QStringLiteral("%1 at %2").arg(p.name).arg(p.score.tempo)));
            QVERIFY2(p.score.slowTempo > 0 && kMetronome.count(p.score.slowTempo),
                     qPrintable(QStringLiteral("%1 slow at %2").arg(p.name).arg(p.score.slowTempo)));
            QVERIFY2(p.score.slowShare() >= 0.5 && p.score.slowShare() <= 0.8, qPrintable(p.name + ": slow tempo not slower by a fifth to a half"));
        }
    }
};

QTEST_MAIN(CourseTest)
#include "CourseTest.moc"
