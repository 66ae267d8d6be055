// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

// Drops whole silent frames from the front, where output and file may differ in lead-in.
std::vector<int16_t> withoutLeadingSilence(const std::vector<int16_t>& samples)
{
    size_t first = 0;
    while (first + 1 < samples.size() && samples[first] == 0 && samples[first + 1] == 0)
        first += 2;
    return {samples.begin() + long(first), samples.end()};
}

} // namespace

// SDL's disk driver writes what the device hands to the sound card, so the output can be
// compared with the file, sample for sample.
class DiskOutputTest : public QObject {
    Q_OBJECT

    TempFolder folder;

private slots:
    void outputEqualsTheDecodedFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("WMA stereo 44.1 kHz") << "stereo.wma";
        QTest::newRow("MP3 mono 48 kHz") << "mono48.mp3";
    }

    void outputEqualsTheDecodedFile()
    {
        QFETCH(QString, name);
        const std::string path = folder.path(name.toStdString());
        if (name.endsWith(".wma"))
            QVERIFY(writeWma(path, 0.8));
        else
            QVERIFY(writeMp3(path, 0.8, 48000, 1));
        const std::string raw = folder.path(name.toStdString() + ".raw");
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(raw));
        {
            PlaybackDevice device;
            MediaChannel channel(device);
            channel.openMediaFile(path);
            QCOMPARE(QString::fromStdString(device.diagnostics().outputName), QStringLiteral("sdl:disk"));
            const int32_t expectedMs = int32_t(decodedMs(path));
            QVERIFY(waitUntil([&] { return channel.sendMediaCommand("status myMP3 length") == expectedMs; }, 5s));
            channel.sendMediaCommand("play myMP3 from 0");
            QVERIFY(waitUntil([&] { return channel.sendMediaCommand("status myMP3 position") == expectedMs; }, 5s));
            std::this_thread::sleep_for(100ms); // a little silence after the end
        } // closing the device flushes the file
        qunsetenv("SDL_AUDIODRIVER");
        qunsetenv("SDL_DISKAUDIOFILE");

        const std::vector<int16_t> expected = withoutLeadingSilence(decodeToDeviceFormat(path));
        const std::vector<int16_t> output = withoutLeadingSilence(readRawSamples(raw));
        QVERIFY(expected.size() > 20000);
        QVERIFY(output.size() >= expected.size());
        QVERIFY(std::equal(expected.begin(), expected.end(), output.begin()));
        // And then only silence: nothing repeated, nothing left over.
        QVERIFY(std::all_of(output.begin() + long(expected.size()), output.end(), [](int16_t s) { return s == 0; }));
    }
};

QTEST_GUILESS_MAIN(DiskOutputTest)
#include "DiskOutputTest.moc"
