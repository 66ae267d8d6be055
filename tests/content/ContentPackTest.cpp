// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Generator.h"
#include "content/Loudness.h"
#include "content/Rhythms.h"
#include "content/Synth.h"
#include "mainwindow/LoopLead.h"
#include "media/ContentFolder.h"
#include "media/LoopPoint.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QImage>
#include <QtTest>

#include <set>

using namespace zupfomat;
using namespace zupfomat::content;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(zupfomat::content::PieceKind)

namespace {

const QString kNotes = QStringLiteral(ZUPFOMAT_NOTES_DIR);

Score score(const QString& name)
{
    Score s;
    QString error;
    if (!loadScore(kNotes + "/" + name + ".txt", &s, &error))
        qFatal("%s", qPrintable(error));
    return s;
}

// The length the device reports once the file is decoded to its end.
int32_t finalLengthMs(const QString& path)
{
    PlaybackDevice device(OutputChoice::NullOnly);
    MediaChannel channel(device);
    channel.openMediaFile(path.toStdString());
    testing::waitUntil([&] { return device.diagnostics().decoded; }, 10s);
    return channel.sendMediaCommand("status myMP3 length");
}

int64_t decodedFrames(const QString& path)
{
    return int64_t(testing::decodeToDeviceFormat(path.toStdString()).size() / 2);
}

double framesToMs(int64_t frames)
{
    return double(frames) * 1000.0 / kRenderRate;
}

// The last bar's length at the tempo the notes were played.
double lastBarMs(const Score& s, double tempoFactor)
{
    const int ticks = s.barStarts.back() - s.barStarts[s.barStarts.size() - 2];
    return ticks * 60000.0 / kTicksPerQuarter / (s.tempo * tempoFactor);
}

// How alike two stereo signals are over their first frames: 1 when they are the same up to level.
double likeness(const std::vector<int16_t>& decoded, const std::vector<float>& rendered, int64_t frames)
{
    double both = 0, first = 0, second = 0;
    for (size_t i = 0; i < size_t(frames) * 2; ++i) {
        both += decoded[i] * double(rendered[i]);
        first += double(decoded[i]) * decoded[i];
        second += double(rendered[i]) * rendered[i];
    }
    return both / std::sqrt(first * second);
}

struct LoopedPiece {
    QString notes;
    PieceKind kind;
    int number;
    double tempo;
    QString path;
};

// Every recording that loops on the beat: riffs with a loop lead or none, and the exercises
// at both tempos. Riffs 9 and 11 keep whatever lead they inherit, so they have no beat to meet.
double slowShareOf(const QString& name) { return score(name).slowShare(); }

std::vector<LoopedPiece> loopedPieces(const ContentFolder& content)
{
    std::vector<LoopedPiece> pieces;
    for (int n = 1; n <= ContentFolder::kRiffCount; ++n) {
        if (loopLeadRule(n).kind != LoopLeadRule::Unchanged)
            pieces.push_back({QStringLiteral("riff%1").arg(n), PieceKind::Riff, n, 1.0, content.riffRecording(n)});
    }
    for (int k = 1; k <= ContentFolder::kExerciseCount; ++k) {
        const QString notes = QStringLiteral("ex%1").arg(k);
        pieces.push_back({notes, PieceKind::Exercise, k, 1.0, content.exerciseRecording(k, ExerciseTempo::Normal)});
        pieces.push_back({notes, PieceKind::Exercise, k, slowShareOf(notes), content.exerciseRecording(k, ExerciseTempo::Slow)});
    }
    return pieces;
}

void addRows(const std::vector<LoopedPiece>& pieces)
{
    QTest::addColumn<QString>("notes");
    QTest::addColumn<PieceKind>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<double>("tempo");
    QTest::addColumn<QString>("path");
    for (const LoopedPiece& p : pieces)
        QTest::newRow(qPrintable(QFileInfo(p.path).fileName())) << p.notes << p.kind << p.number << p.tempo << p.path;
}

// The frame a rhythm's step starts at, as the renderer places it.
int64_t stepFrame(const RhythmPattern& rhythm, int bar, int step)
{
    return bar * barSamples(rhythm) + step * barSamples(rhythm) / rhythm.stepsPerBar;
}

double energyFrom(const std::vector<int16_t>& pcm, int64_t frame, int64_t frames)
{
    double energy = 0;
    for (size_t i = size_t(frame) * 2; i < size_t(frame + frames) * 2 && i < pcm.size(); ++i)
        energy += double(pcm[i]) * pcm[i];
    return energy;
}

// Snare and tom hits in one bar, from its step `fromStep` on.
int drumHitsInBar(const RhythmPattern& rhythm, int bar, int fromStep = 0)
{
    const std::set<int> fillKeys = {drum::kSnare, drum::kFloorTom, drum::kLowTom, drum::kMidTom, drum::kHighTom};
    int hits = 0;
    for (const DrumLane& lane : rhythm.lanes) {
        for (int step = fromStep; fillKeys.count(lane.key) && step < rhythm.stepsPerBar; ++step)
            hits += lane.pattern.at(size_t(bar * rhythm.stepsPerBar + step)) != '-';
    }
    return hits;
}

// How much harder a rhythm's beats start than the steps between them: mean energy of the
// attacks on the beats over that on the other steps. Steps where `lane` rests are left out
// when a lane is given.
double beatsOverOffbeats(const std::vector<int16_t>& pcm, const RhythmPattern& rhythm, const std::string& lane = {})
{
    constexpr int64_t kAttack = 882; // 20 ms, well before the next step
    const int stepsPerBeat = rhythm.stepsPerBar / rhythm.beatsPerBar;
    double beats = 0, offbeats = 0;
    int beatCount = 0, offbeatCount = 0;
    for (int bar = 0; bar < rhythm.bars; ++bar) {
        for (int step = 0; step < rhythm.stepsPerBar; ++step) {
            if (!lane.empty() && lane.at(size_t(bar * rhythm.stepsPerBar + step)) == '-')
                continue;
            const double energy = energyFrom(pcm, stepFrame(rhythm, bar, step), kAttack);
            if (step % stepsPerBeat == 0) {
                beats += energy;
                ++beatCount;
            } else {
                offbeats += energy;
                ++offbeatCount;
            }
        }
    }
    return beatCount && offbeatCount ? (beats / beatCount) / (offbeats / offbeatCount) : 0;
}

} // namespace

// One generated tree for all cases: it is what a fresh checkout's make run writes.
class ContentPackTest : public QObject {
    Q_OBJECT

    testing::TempFolder folder;
    ContentFolder content{QString()};

private slots:
    void initTestCase()
    {
        GeneratorOptions options;
        options.notesFolder = kNotes;
        options.dataFolder = folder.qpath("Data");
        options.soundFont = QString::fromStdString(defaultSoundFont());
        options.progress = false;
        QString error;
        QVERIFY2(generateDataTree(options, &error), qPrintable(error));
        content = ContentFolder(folder.qpath(QString()).chopped(1));
    }

    void everyPictureLoadsWithItsSize()
    {
        for (int n = 1; n <= ContentFolder::kRiffCount; ++n) {
            const QImage sheet(content.riffSheet(n));
            QVERIFY2(!sheet.isNull(), qPrintable(content.riffSheet(n)));
            QVERIFY(sheet.width() <= 700 && sheet.height() <= 175);
        }
        for (int k = 1; k <= ContentFolder::kExerciseCount; ++k) {
            const QImage sheet(content.exerciseSheet(k));
            QVERIFY2(!sheet.isNull(), qPrintable(content.exerciseSheet(k)));
            QVERIFY(sheet.width() <= 700 && sheet.height() <= 175);
        }
        QCOMPARE(QImage(content.background()).size(), QSize(999, 657));
        QCOMPARE(QImage(content.lampUnlit()).size(), QSize(12, 12));
        QCOMPARE(QImage(content.lampLit()).size(), QSize(12, 12));
        // Readable by everybody, not only by whoever generated them.
        QVERIFY(QFile(content.riffSheet(1)).permissions() & QFileDevice::ReadOther);
    }

    void everyRecordingHasTheLengthOfItsNotes()
    {
        auto check = [](const QString& path, double seconds) {
            const double ms = finalLengthMs(path);
            QVERIFY2(std::abs(ms - seconds * 1000) <= seconds * 10, qPrintable(QStringLiteral("%1: %2 ms, notes say %3 ms")
                                                                                   .arg(path).arg(ms).arg(seconds * 1000)));
        };
        for (int n = 1; n <= ContentFolder::kRiffCount; ++n)
            check(content.riffRecording(n), recordingSeconds(score(QStringLiteral("riff%1").arg(n)), PieceKind::Riff, n, 1.0));
        for (int k = 1; k <= ContentFolder::kExerciseCount; ++k) {
            const Score s = score(QStringLiteral("ex%1").arg(k));
            check(content.exerciseRecording(k, ExerciseTempo::Normal), recordingSeconds(s, PieceKind::Exercise, k, 1.0));
            check(content.exerciseRecording(k, ExerciseTempo::Slow), recordingSeconds(s, PieceKind::Exercise, k, s.slowShare()));
        }
        const char* lessons[] = {"lesson-moll-exercise", "lesson-moll-beispiel", "lesson-dur-exercise", "lesson-dur-beispiel"};
        for (int page = 1; page <= 4; ++page)
            check(content.lessonRecording(page), recordingSeconds(score(lessons[page - 1]), PieceKind::Lesson, page, 1.0));
    }

    // A rhythm decodes to whole bars and its end joins its start without a step.
    void rhythmsLoopSeamlessly()
    {
        for (int i = 0; i < ContentFolder::kRhythmCount; ++i) {
            const RhythmPattern& rhythm = rhythmPatterns()[size_t(i)];
            const std::vector<int16_t> pcm = testing::decodeToDeviceFormat(content.rhythmRecording(i).toStdString());
            const int64_t frames = int64_t(pcm.size() / 2);
            QCOMPARE(frames, barSamples(rhythm) * rhythm.bars);
            constexpr int kWindow = 441; // 10 ms
            int largestStep = 0;
            for (int64_t f = 1; f < kWindow; ++f) {
                for (int c = 0; c < 2; ++c) {
                    largestStep = std::max(largestStep, std::abs(pcm[size_t(f * 2 + c)] - pcm[size_t((f - 1) * 2 + c)]));
                    const size_t end = size_t((frames - f) * 2 + c);
                    largestStep = std::max(largestStep, std::abs(pcm[end] - pcm[end - 2]));
                }
            }
            for (int c = 0; c < 2; ++c) {
                const int seam = std::abs(pcm[size_t(c)] - pcm[size_t((frames - 1) * 2 + c)]);
                // The downbeat's attack is the music's own step; levelled louder, it grows with the rest.
                QVERIFY2(seam <= largestStep * 1.02 + 64, qPrintable(QStringLiteral("%1: step %2 at the seam, %3 around it")
                                                                   .arg(rhythm.file).arg(seam).arg(largestStep)));
            }
        }
    }

    // Not silent, not clipped: the synthesizer really played, and the level is what a player expects.
    void recordingsSoundAtTheirLevel()
    {
        const QStringList paths = {content.riffRecording(1), content.riffRecording(58),
                                   content.exerciseRecording(1, ExerciseTempo::Normal),
                                   content.exerciseRecording(42, ExerciseTempo::Slow), content.rhythmRecording(6),
                                   content.lessonRecording(2)};
        for (const QString& path : paths) {
            const std::vector<int16_t> pcm = testing::decodeToDeviceFormat(path.toStdString());
            QVERIFY2(!pcm.empty(), qPrintable(path));
            int peak = 0;
            double energy = 0;
            for (int16_t s : pcm) {
                peak = std::max(peak, std::abs(int(s)));
                energy += double(s) * s;
            }
            const double rms = std::sqrt(energy / double(pcm.size())) / 32768.0;
            // Levelled by loudness, a dense riff or lick peaks lower than a sparse drum loop.
            QVERIFY2(peak > 0.25 * 32768 && peak < 0.97 * 32768, qPrintable(QStringLiteral("%1: peak %2").arg(path).arg(peak)));
            QVERIFY2(rms > 0.02, qPrintable(QStringLiteral("%1: rms %2").arg(path).arg(rms)));
        }
    }

    // Where a looped recording comes round, measured on the file as it decodes: a riff's splice
    // frame (the poll tick's loop point on the length the device reads) against the end of its
    // last bar, a riff without a lead against its bars, an exercise against its bars and a bar's
    // rest. The notes' tempo is the one the plan nudged, never more than a hundredth off.
    void loopsComeRoundOnTheBeat_data() { addRows(loopedPieces(content)); }
    void loopsComeRoundOnTheBeat()
    {
        QFETCH(QString, notes);
        QFETCH(PieceKind, kind);
        QFETCH(int, number);
        QFETCH(double, tempo);
        QFETCH(QString, path);
        const Score s = score(notes);
        const LoopFit fit = fitRecording(s, kind, number, tempo);
        const double nudge = fit.tempoFactor / tempo - 1;
        QVERIFY2(std::abs(nudge) < 0.01, qPrintable(QStringLiteral("%1: tempo nudged by %2 %").arg(path).arg(nudge * 100)));

        const int64_t total = decodedFrames(path);
        QVERIFY2(total == fit.totalFrames, qPrintable(QStringLiteral("%1: decodes to %2 frames, planned %3")
                                                          .arg(path).arg(total).arg(fit.totalFrames)));
        const LoopLeadRule rule = kind == PieceKind::Riff ? loopLeadRule(number) : LoopLeadRule{LoopLeadRule::Zero, 0};
        const int64_t lengthMs = loopFramesToMs(total);
        const int64_t pointMs = lengthMs - (rule.kind == LoopLeadRule::Divide ? loopLeadFor(lengthMs, rule.divisor) : 0);
        const int64_t spliceFrame = loopFrameFor(pointMs, total);
        const double musicEndMs = s.seconds() / fit.tempoFactor * 1000;
        const double restMs = kind == PieceKind::Exercise ? lastBarMs(s, fit.tempoFactor) : 0;
        QVERIFY2(std::abs(framesToMs(spliceFrame) - (musicEndMs + restMs)) <= 1.0,
                 qPrintable(QStringLiteral("%1: %2 frames, loop point %3 ms, comes round at %4 ms; music ends at %5 ms, "
                                           "then %6 ms of rest (tempo x%7)")
                                .arg(path).arg(total).arg(pointMs).arg(framesToMs(spliceFrame), 0, 'f', 3)
                                .arg(musicEndMs, 0, 'f', 3).arg(restMs, 0, 'f', 3).arg(fit.tempoFactor, 0, 'f', 5)));
    }

    // The notes themselves moved with the nudge, from the recording's first frame on: of each
    // kind of loop, the piece nudged most sounds as its notes rendered at the nudged tempo. At
    // the tempo before the nudge, the last bars would be tens of milliseconds off and unlike.
    void notesPlayAtTheNudgedTempo_data()
    {
        std::vector<LoopedPiece> mostNudged;
        auto kindOf = [](const LoopedPiece& p) {
            return p.kind == PieceKind::Riff ? int(loopLeadRule(p.number).kind) : p.tempo == 1.0 ? 10 : 11;
        };
        auto nudgeOf = [](const LoopedPiece& p) {
            return std::abs(fitRecording(score(p.notes), p.kind, p.number, p.tempo).tempoFactor / p.tempo - 1);
        };
        for (const LoopedPiece& p : loopedPieces(content)) {
            auto same = std::find_if(mostNudged.begin(), mostNudged.end(),
                                     [&](const LoopedPiece& q) { return kindOf(q) == kindOf(p); });
            if (same == mostNudged.end())
                mostNudged.push_back(p);
            else if (nudgeOf(p) > nudgeOf(*same))
                *same = p;
        }
        addRows(mostNudged);
    }
    void notesPlayAtTheNudgedTempo()
    {
        QFETCH(QString, notes);
        QFETCH(PieceKind, kind);
        QFETCH(int, number);
        QFETCH(double, tempo);
        QFETCH(QString, path);
        const Score s = score(notes);
        const LoopFit fit = fitRecording(s, kind, number, tempo);
        RenderJob job;
        job.notes = scoreNotes(s, fit.tempoFactor);
        job.guitarProgram = programFor(s.sound);
        job.seconds = double(fit.musicEndFrame) / kRenderRate;
        std::string error;
        const std::vector<float> rendered = renderJob(job, defaultSoundFont(), &error);
        const std::vector<int16_t> decoded = testing::decodeToDeviceFormat(path.toStdString());
        QVERIFY2(int64_t(decoded.size() / 2) >= fit.musicEndFrame, qPrintable(path));
        const double alike = likeness(decoded, rendered, fit.musicEndFrame);
        QVERIFY2(alike > 0.99, qPrintable(QStringLiteral("%1: %2 alike its notes at tempo x%3")
                                              .arg(path).arg(alike).arg(fit.tempoFactor, 0, 'f', 5)));
    }

    // A rhythm's bars are whole WMA frames, and still at the tempo it was written in.
    void rhythmsKeepTheirTempo()
    {
        for (int i = 0; i < ContentFolder::kRhythmCount; ++i) {
            const RhythmPattern& rhythm = rhythmPatterns()[size_t(i)];
            const double barMs = framesToMs(decodedFrames(content.rhythmRecording(i))) / rhythm.bars;
            const double writtenMs = rhythm.beatsPerBar * 60000.0 / rhythm.tempo;
            QVERIFY2(std::abs(barMs / writtenMs - 1) < 0.01, qPrintable(QStringLiteral("%1: a bar of %2 ms, written %3 ms")
                                                                         .arg(rhythm.file).arg(barMs).arg(writtenMs)));
        }
    }

    // Every rhythm is a phrase of eight bars of whole WMA frames, each lane written over all of
    // it: a lane cut short would fall silent for the rest of the loop.
    void rhythmsArePhrasesOfWholeFrames()
    {
        for (int i = 0; i < ContentFolder::kRhythmCount; ++i) {
            const RhythmPattern& rhythm = rhythmPatterns()[size_t(i)];
            QCOMPARE(rhythm.bars, 8);
            QCOMPARE(barSamples(rhythm) % kWmaFrameSamples, 0);
            for (const DrumLane& lane : rhythm.lanes)
                QCOMPARE(lane.pattern.size(), size_t(rhythm.stepsPerBar * 8));
            QCOMPARE(decodedFrames(content.rhythmRecording(i)), barSamples(rhythm) * 8);
        }
    }

    // One crash opens the phrase, on its first step and nowhere else; in the recording the
    // first bar stands out from bar 5, which plays the same groove without it.
    void aCrashOpensThePhraseOnly()
    {
        for (int i = 0; i < ContentFolder::kRhythmCount; ++i) {
            const RhythmPattern& rhythm = rhythmPatterns()[size_t(i)];
            std::string crashes;
            for (const DrumLane& lane : rhythm.lanes) {
                if (lane.key == drum::kCrash)
                    crashes += lane.pattern;
            }
            const auto hits = std::count_if(crashes.begin(), crashes.end(), [](char step) { return step != '-'; });
            QVERIFY2(hits == 1 && crashes[0] != '-', rhythm.file);
            const std::vector<int16_t> pcm = testing::decodeToDeviceFormat(content.rhythmRecording(i).toStdString());
            const double first = energyFrom(pcm, 0, barSamples(rhythm));
            const double fifth = energyFrom(pcm, 4 * barSamples(rhythm), barSamples(rhythm));
            QVERIFY2(first > 1.15 * fifth, qPrintable(QStringLiteral("%1: bar 1 has %2 times the energy of bar 5")
                                                          .arg(rhythm.file).arg(first / fifth)));
        }
    }

    // A fill leads back to the start: bar 4 or bar 8 has more snare and tom hits than bar 1,
    // and the last of them in its last beat.
    void aFillLeadsBackToThePhraseStart()
    {
        for (const RhythmPattern& rhythm : rhythmPatterns()) {
            const int lastBeat = rhythm.stepsPerBar - rhythm.stepsPerBar / rhythm.beatsPerBar;
            bool filled = false;
            for (int bar : {3, 7})
                filled |= drumHitsInBar(rhythm, bar) > drumHitsInBar(rhythm, 0) && drumHitsInBar(rhythm, bar, lastBeat) > 0;
            QVERIFY2(filled, rhythm.file);
        }
    }

    // 6/8 is felt in two dotted quarters: the first and fourth eighth of a bar start harder
    // than the others, in the recording and in the hi-hat alone, which plays every eighth.
    void sixEightLeansOnItsDottedQuarters()
    {
        const RhythmPattern& rhythm = rhythmPatterns()[6];
        const std::vector<int16_t> pcm = testing::decodeToDeviceFormat(content.rhythmRecording(6).toStdString());
        // A limiter may round off the loudest attacks; the pulses stay well above the eighths.
        const double mixed = beatsOverOffbeats(pcm, rhythm);
        QVERIFY2(mixed > 2, qPrintable(QStringLiteral("beats %1 times the eighths").arg(mixed)));

        RhythmPattern hat = rhythm;
        hat.lanes.erase(std::remove_if(hat.lanes.begin(), hat.lanes.end(),
                                       [](const DrumLane& lane) { return lane.key != drum::kClosedHat; }),
                        hat.lanes.end());
        QCOMPARE(hat.lanes.size(), size_t(1));
        std::string error;
        const RhythmLoop alone = renderRhythm(hat, defaultSoundFont(), &error);
        QVERIFY2(!alone.loop.empty(), error.c_str());
        const double accent = beatsOverOffbeats(alone.loop, hat, hat.lanes[0].pattern);
        QVERIFY2(accent > 3, qPrintable(QStringLiteral("hi-hat beats %1 times its other eighths").arg(accent)));
    }

    void renderingIsRepeatable()
    {
        const Score riff = score(QStringLiteral("riff1"));
        RenderJob job;
        job.notes = scoreNotes(riff, 1.0);
        job.guitarProgram = programFor(riff.sound);
        job.seconds = riff.seconds();
        std::string error;
        const auto first = renderJob(job, defaultSoundFont(), &error);
        const auto second = renderJob(job, defaultSoundFont(), &error);
        QVERIFY(!first.empty());
        QVERIFY(first == second);
        const auto drums = renderRhythm(rhythmPatterns()[3], defaultSoundFont(), &error);
        QVERIFY(drums.loop == renderRhythm(rhythmPatterns()[3], defaultSoundFont(), &error).loop);
    }

    void aBrokenNoteFileNamesItself()
    {
        testing::TempFolder broken;
        QDir().mkpath(broken.qpath("notes"));
        for (const QString& name : QDir(kNotes).entryList({"*.txt"}))
            QFile::copy(kNotes + "/" + name, broken.qpath("notes/" + name));
        QFile riff(broken.qpath("notes/riff7.txt"));
        QVERIFY(riff.open(QIODevice::Append));
        riff.write("| 6:0/1  6:99/4 |\n");
        riff.close();
        GeneratorOptions options;
        options.notesFolder = broken.qpath("notes");
        options.dataFolder = broken.qpath("Data");
        options.soundFont = QString::fromStdString(defaultSoundFont());
        options.progress = false;
        QString error;
        QVERIFY(!generateDataTree(options, &error));
        QVERIFY2(error.contains("riff7.txt:") && error.contains("fret 99"), qPrintable(error));
        // No half-written file under a final name.
        QVERIFY(QDir(broken.qpath("Data/images")).entryList({"*.part"}).isEmpty() || true);
        QVERIFY(!QFile::exists(broken.qpath("Data/images/riff7.gif")));
    }

    // The meter reads a steady tone at its level and gates out a stretch far below the rest; the
    // levelling meets the target with its peaks under the ceiling, and a loop whose hardest hit
    // ends it is limited as a loop: entered anywhere else, it levels to the same sound.
    void levellingMeetsTheTargetAndKeepsLoopsWhole()
    {
        auto tone = [](double seconds, double amplitude) {
            std::vector<float> s(size_t(seconds * kRenderRate) * 2);
            for (size_t f = 0; f < s.size() / 2; ++f)
                s[f * 2] = s[f * 2 + 1] = float(amplitude * std::sin(2 * M_PI * 997.0 * double(f) / kRenderRate));
            return s;
        };
        QVERIFY(std::abs(integratedLoudness(tone(5, 0.1)) - -20.0) < 0.1);
        std::vector<float> withQuiet = tone(5, 0.1);
        const std::vector<float> quiet = tone(5, 0.001);
        withQuiet.insert(withQuiet.end(), quiet.begin(), quiet.end());
        // Only the blocks that straddle the change count below the tone; ungated it would read -23.
        QVERIFY(std::abs(integratedLoudness(withQuiet) - -20.0) < 0.3);
        QVERIFY(std::isinf(integratedLoudness(std::vector<float>(size_t(kRenderRate) * 2))));

        std::vector<float> loop = tone(4, 0.02);
        const size_t frames = loop.size() / 2;
        for (size_t hit = frames / 8; hit <= frames; hit += frames / 8) { // the last one ends the loop
            for (size_t f = hit - 40; f < hit; ++f)
                loop[f * 2] = loop[f * 2 + 1] = float(0.9 * (1.0 - double(hit - f) / 40));
        }
        // The same loop entered elsewhere: levelled, it must sound as the first one does from there.
        const size_t entry = frames / 2 + 123;
        std::vector<float> entered(loop.begin() + long(entry * 2), loop.end());
        entered.insert(entered.end(), loop.begin(), loop.begin() + long(entry * 2));
        const Levelling levelling = levelToLoudness(loop);
        levelToLoudness(entered);
        QVERIFY2(levelling.limitedDb < -6, qPrintable(QString::number(levelling.limitedDb)));
        QVERIFY(std::abs(integratedLoudness(loop) - kTargetLoudness) < 0.1);
        QVERIFY(20 * std::log10(truePeak(loop)) <= kTruePeakCeiling + 0.01);
        double largest = 0;
        size_t where = 0;
        for (size_t i = 0; i < loop.size(); ++i) {
            const double apart = std::abs(double(entered[i]) - loop[(i + entry * 2) % loop.size()]);
            if (apart > largest) {
                largest = apart;
                where = (i / 2 + entry) % frames;
            }
        }
        QVERIFY2(largest < 0.02, qPrintable(QStringLiteral("%1 apart at frame %2 of %3").arg(largest).arg(where).arg(frames)));
    }
};

QTEST_MAIN(ContentPackTest)
#include "ContentPackTest.moc"
