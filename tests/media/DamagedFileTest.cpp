#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "media/Recording.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

constexpr int64_t kCapMs = Recording::kMaxFrames * 1000 / Recording::kSampleRate;

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Overwrites the bytes after the first occurrence of `marker`; false when it is not there.
bool patchAfter(const std::string& path, const std::string& marker, size_t offset, const std::string& bytes)
{
    std::string data = readBytes(path);
    const size_t at = data.find(marker);
    if (at == std::string::npos)
        return false;
    data.replace(at + offset, bytes.size(), bytes);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
    return true;
}

std::string littleEndian(uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((value >> (8 * i)) & 0xff));
    return out;
}

// The WAVEFORMATEX of a stereo 44.1 kHz wmav2 stream: format tag, channels, samples a second.
const std::string kWaveFormat("\x61\x01\x02\x00\x44\xac\x00\x00", 8);
// The ASF file properties object; its play duration (100 ns units) is 64 bytes in.
const std::string kFileProperties("\xa1\xdc\xab\x8c\x47\xa9\xcf\x11\x8e\xe4\x00\xc0\x0c\x20\x53\x65", 16);

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
        QTest::addColumn<QByteArray>("marker");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        const auto bytes = [](const std::string& s) { return QByteArray(s.data(), int(s.size())); };
        QTest::newRow("sample rate 1 Hz") << "rate1.wma" << bytes(kWaveFormat) << 4 << bytes(littleEndian(1, 4));
        QTest::newRow("sample rate 4 GHz") << "rate4g.wma" << bytes(kWaveFormat) << 4 << bytes(littleEndian(0xfffffff0u, 4));
        QTest::newRow("200 channels") << "channels.wma" << bytes(kWaveFormat) << 2 << bytes(littleEndian(200, 2));
        QTest::newRow("play duration huge") << "long.wma" << bytes(kFileProperties) << 64 << bytes(littleEndian(0x7fffffffffffffffull, 8));
        QTest::newRow("play duration negative") << "negative.wma" << bytes(kFileProperties) << 64 << bytes(littleEndian(0x8000000000000001ull, 8));
        QTest::newRow("play duration a day") << "day.wma" << bytes(kFileProperties) << 64 << bytes(littleEndian(864000000000ull, 8));
    }

    void damagedHeaders()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, marker);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        const std::string path = folder.path(name.toStdString());
        QVERIFY(writeWma(path, 1.0));
        QVERIFY(patchAfter(path, marker.toStdString(), size_t(offset), bytes.toStdString()));

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
