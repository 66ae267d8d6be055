// SPDX-License-Identifier: GPL-3.0-or-later
// A palm-muted note in a distorted riff is the same guitar, damped: darker than the chords around
// it, but not another instrument's 20 dB darker, and about as loud. Read from the pack `make
// content` writes beside the program.
#include "content/Generator.h"
#include "content/Synth.h"
#include "media/ContentFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <cmath>

using namespace zupfomat;
using namespace zupfomat::content;

namespace {

constexpr double kHighBand = 2000;        // Hz: the pick's attack and the distortion's fizz lie above
constexpr double kLongestWindow = 0.12;   // seconds of a strike heard: a muted note is over by then
constexpr double kOneStrum = 0.04;        // seconds: a six-string strum takes 0.03, a sixteenth triplet 0.07
constexpr double kMostDarker = 10;        // dB less high band than the open strikes: more is another guitar
constexpr double kMostLevelApart = 6;     // dB either way of the open strikes
constexpr double kPi = 3.14159265358979323846;

const QString kNotes = QStringLiteral(ZUPFOMAT_NOTES_DIR);

enum class Touch { Open, Muted }; // muted: every note of the strike palm-muted

// Where a strike is heard in the recording: from its notes' start to the next strike, at most
// kLongestWindow.
struct Strike {
    double from = 0;
    double until = 0;
    Touch touch = Touch::Open;
};

Touch touchOf(const NoteEvent& n)
{
    return n.palmMuted ? Touch::Muted : Touch::Open;
}

std::vector<Strike> strikes(const std::vector<NoteEvent>& notes)
{
    std::vector<Strike> out;
    for (const NoteEvent& n : notes) {
        if (!out.empty() && n.seconds - out.back().from < kOneStrum) {
            if (touchOf(n) == Touch::Open)
                out.back().touch = Touch::Open;
            continue;
        }
        out.push_back({n.seconds, n.seconds + kLongestWindow, touchOf(n)});
    }
    for (size_t i = 0; i + 1 < out.size(); ++i)
        out[i].until = std::min(out[i].until, out[i + 1].from);
    return out;
}

// Stereo S16 to mono, full scale 1.
std::vector<double> mono(const std::vector<int16_t>& stereo)
{
    std::vector<double> out(stereo.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = (stereo[2 * i] + stereo[2 * i + 1]) / 65536.0;
    return out;
}

// A fourth-order Butterworth high-pass: two biquads of the audio EQ cookbook, Q for each half.
std::vector<double> highPassed(std::vector<double> x, double cutoff)
{
    for (const double q : {0.54119610, 1.30656296}) {
        const double w = 2 * kPi * cutoff / kRenderRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
        const double a0 = 1 + alpha;
        const double b0 = (1 + c) / 2 / a0, b1 = -(1 + c) / a0, b2 = b0, a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : x) {
            const double y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = v, y2 = y1, y1 = y;
            v = y;
        }
    }
    return x;
}

// Mean power over the strikes of one kind, in dB.
double levelOver(const std::vector<double>& signal, const std::vector<Strike>& all, Touch touch)
{
    double sum = 0;
    size_t count = 0;
    for (const Strike& s : all) {
        if (s.touch != touch)
            continue;
        const size_t from = size_t(std::lround(s.from * kRenderRate));
        const size_t until = std::min(signal.size(), size_t(std::lround(s.until * kRenderRate)));
        for (size_t i = from; i < until; ++i)
            sum += signal[i] * signal[i];
        count += until > from ? until - from : 0;
    }
    return count ? 10 * std::log10(sum / double(count) + 1e-20) : -200;
}

bool distorted(Sound sound)
{
    return sound == Sound::Overdrive || sound == Sound::Distortion;
}

bool hasPalmMutes(const Score& score)
{
    for (const Event& e : score.events) {
        for (const FrettedNote& n : e.notes) {
            if (n.palmMuted)
                return true;
        }
    }
    return false;
}

} // namespace

class PalmMuteTest : public QObject {
    Q_OBJECT

private slots:
    void mutedNotesStayTheSameGuitar_data()
    {
        QTest::addColumn<int>("riff");
        for (int n = 1; n <= ContentFolder::kRiffCount; ++n) {
            Score score;
            QString error;
            QVERIFY2(loadScore(kNotes + QStringLiteral("/riff%1.txt").arg(n), &score, &error), qPrintable(error));
            if (distorted(score.sound) && hasPalmMutes(score))
                QTest::addRow("riff%d", n) << n;
        }
    }

    void mutedNotesStayTheSameGuitar()
    {
        QFETCH(int, riff);
        Score score;
        QString error;
        QVERIFY2(loadScore(kNotes + QStringLiteral("/riff%1.txt").arg(riff), &score, &error), qPrintable(error));
        // The notes as the recording plays them: nudged to whole WMA frames, from its first
        // sample on (the decoder swallows the frame of lead-in).
        const LoopFit fit = fitRecording(score, PieceKind::Riff, riff, 1.0);
        const std::vector<Strike> heard = strikes(scoreNotes(score, fit.tempoFactor));
        const QString path = ContentFolder(QFileInfo(QStringLiteral(ZUPFOMAT_DATA_DIR)).path()).riffRecording(riff);
        const std::vector<double> signal = mono(testing::decodeToDeviceFormat(path.toStdString()));
        QVERIFY2(!signal.empty(), qPrintable(path + ": nothing decoded"));

        const std::vector<double> high = highPassed(signal, kHighBand);
        const double darker = levelOver(high, heard, Touch::Open) - levelOver(high, heard, Touch::Muted);
        const double quieter = levelOver(signal, heard, Touch::Open) - levelOver(signal, heard, Touch::Muted);
        qInfo("riff%d: muted notes %.1f dB less above %.0f Hz, %.1f dB quieter than the open strikes", riff, darker,
              kHighBand, quieter);
        QVERIFY2(darker < kMostDarker, qPrintable(QStringLiteral("%1 dB darker: another guitar").arg(darker, 0, 'f', 1)));
        QVERIFY2(darker > 0, qPrintable(QStringLiteral("%1 dB darker: not muted").arg(darker, 0, 'f', 1)));
        QVERIFY2(std::abs(quieter) < kMostLevelApart, qPrintable(QStringLiteral("%1 dB quieter").arg(quieter, 0, 'f', 1)));
    }
};

QTEST_GUILESS_MAIN(PalmMuteTest)
#include "PalmMuteTest.moc"
