#include "content/Generator.h"
#include "content/Rhythms.h"
#include "content/Synth.h"
#include "media/ContentFolder.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QImage>
#include <QtTest>

using namespace zupfomat;
using namespace zupfomat::content;
using namespace std::chrono_literals;

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
            check(content.exerciseRecording(k, ExerciseTempo::Slow), recordingSeconds(s, PieceKind::Exercise, k, kSlowTempo));
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
                QVERIFY2(seam <= largestStep + 64, qPrintable(QStringLiteral("%1: step %2 at the seam, %3 around it")
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
            QVERIFY2(peak > 0.5 * 32768 && peak < 0.97 * 32768, qPrintable(QStringLiteral("%1: peak %2").arg(path).arg(peak)));
            QVERIFY2(rms > 0.02, qPrintable(QStringLiteral("%1: rms %2").arg(path).arg(rms)));
        }
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
};

QTEST_MAIN(ContentPackTest)
#include "ContentPackTest.moc"
