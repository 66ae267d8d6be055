// SPDX-License-Identifier: GPL-3.0-or-later
// The riffs and exercises read as a course: every piece its own music, playable by a hand of four
// fingers, riffs in a stated key that end on its tonic at a tempo a drum loop plays, exercises
// at metronome marks.
#include "content/Generator.h"
#include "content/NoteFormat.h"
#include "media/ContentFolder.h"

#include <QtTest>

#include <algorithm>
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

// The tempos of the drum loops, in quarter notes: a riff can be practised over one of them.
// The 6/8 loop counts 66 dotted quarters, 99 quarters.
const std::set<int> kRhythmTempos44 = {62, 100, 104, 112, 118, 132};
const std::set<int> kRhythmTempos68 = {99};
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
            const QString prefix = (riff ? QStringLiteral("Riff ") : QStringLiteral("Exercise ")) + number + " - ";
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
            const auto events = pitchEvents(p.score);
            const int last = events.back().front() % 12;
            QVERIFY2(last == tonic, qPrintable(QStringLiteral("%1 in %2 ends on pitch class %3")
                                                   .arg(p.name, QString::fromStdString(p.score.key)).arg(last)));
        }
    }

    void riffsGoWithADrumLoop()
    {
        for (const Piece& p : pieces) {
            if (!p.name.startsWith(QLatin1String("riff")))
                continue;
            const bool sixEight = p.score.beats == 6 && p.score.beatValue == 8;
            const auto& tempos = sixEight ? kRhythmTempos68 : kRhythmTempos44;
            QVERIFY2(tempos.count(p.score.tempo), qPrintable(QStringLiteral("%1 at %2").arg(p.name).arg(p.score.tempo)));
        }
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
