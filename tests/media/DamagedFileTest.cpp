// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "media/Recording.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <unistd.h>

#include <fstream>
#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

constexpr int64_t kCapMs = Recording::kMaxFrames * 1000 / Recording::kSampleRate;

int64_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// An answer is "" or a non-negative decimal no larger than the cap.
bool answerIsSane(const std::string& answer)
{
    if (answer.empty())
        return true;
    if (answer.size() > 12 || !std::all_of(answer.begin(), answer.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::stoll(answer) <= kCapMs;
}

} // namespace

// Damaged and hostile files cost no more than they hold: they open or fail silently, answer
// only lengths a recording can have, and never take the memory or the time of a long one.
class DamagedFileTest : public QObject {
    Q_OBJECT

    TempFolder folder;

private slots:
    void damagedHeaders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("damage");
        QTest::newRow("sample rate 1 Hz") << "rate1.wma" << int(WmaDamage::SampleRate1Hz);
        QTest::newRow("sample rate 4 GHz") << "rate4g.wma" << int(WmaDamage::SampleRate4GHz);
        QTest::newRow("200 channels") << "channels.wma" << int(WmaDamage::Channels200);
        QTest::newRow("play duration huge") << "long.wma" << int(WmaDamage::PlayDurationHuge);
        QTest::newRow("play duration negative") << "negative.wma" << int(WmaDamage::PlayDurationNegative);
        QTest::newRow("play duration a day") << "day.wma" << int(WmaDamage::PlayDurationADay);
    }

    void damagedHeaders()
    {
        QFETCH(QString, name);
        QFETCH(int, damage);
        const std::string path = folder.path(name.toStdString());
        QVERIFY(writeWma(path, 1.0));
        QVERIFY(damageWma(path, WmaDamage(damage)));

        const int64_t residentBefore = residentBytes();
        int64_t residentPeak = residentBefore;
        QElapsedTimer clock;
        clock.start();
        {
            PlaybackDevice device(OutputChoice::NullOnly);
            device.send("open " + path + " type MPEGVideo alias myMP3");
            QVERIFY2(clock.elapsed() < 1000, "open took a second");
            device.send("play myMP3 from 0");
            // Every answer, while it decodes and plays, is one a recording can give.
            QElapsedTimer playing;
            playing.start();
            while (playing.elapsed() < 1500) {
                for (const char* status : {"status myMP3 length", "status myMP3 position"}) {
                    const std::string answer = device.send(status);
                    QVERIFY2(answerIsSane(answer), qPrintable(QStringLiteral("%1: %2").arg(status).arg(QString::fromStdString(answer))));
                }
                residentPeak = std::max(residentPeak, residentBytes());
                std::this_thread::sleep_for(10ms);
            }
            QVERIFY(waitUntil([&] { return device.send("status myMP3 length").empty() || device.diagnostics().decoded; }, 5s));
            device.send("close myMP3");
        }
        QVERIFY2(clock.elapsed() < 8000, "it hung");
        // A second of audio, whatever the header claims: nowhere near the cap's worth.
        const int64_t grown = residentPeak - residentBefore;
        QVERIFY2(grown < 50 * 1024 * 1024, qPrintable(QStringLiteral("resident memory grew by %1 MB").arg(grown >> 20)));
    }

    // A sane file right beside them still plays to its end, with position = length.
    void aHealthyFileIsUntouched()
    {
        const std::string path = folder.path("healthy.wma");
        QVERIFY(writeWma(path, 1.0));
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.openMediaFile(path);
        QVERIFY(waitUntil([&] { return device.diagnostics().decoded; }, 5s));
        const int32_t length = channel.sendMediaCommand("status myMP3 length");
        QCOMPARE(int64_t(length), decodedMs(path));
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return channel.sendMediaCommand("status myMP3 position") == length; }, 3s));
    }
};

QTEST_GUILESS_MAIN(DamagedFileTest)
#include "DamagedFileTest.moc"
