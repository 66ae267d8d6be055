// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/DeviceStatus.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <sys/stat.h>

#include <fstream>
#include <thread>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;
using content::BitRateMode;

namespace {


void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Waits until the decoder has finished, when the length no longer changes.
void waitForFinalLength(MediaChannel& channel, int64_t expected)
{
    waitUntil([&] { return length(channel) == expected; }, 5s);
}

} // namespace

class PlaybackDeviceTest : public QObject {
    Q_OBJECT

    TempFolder folder;
    static QString longFolder() { return QString(120, 'a') + "/" + QString(120, 'b'); }
    static QString longName() { return longFolder() + "/" + QString(60, 'c') + ".wma"; }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.valid());
        QVERIFY(writeWma(folder.path("stereo44.wma"), 1.2, 44100, 2));
        QVERIFY(writeWma(folder.path("mono48.wma"), 1.0, 48000, 1));
        QVERIFY(writeMp3(folder.path("cbr.mp3"), 1.1, 44100, 2));
        QVERIFY(writeMp3(folder.path("vbr-no-xing.mp3"), 1.3, 44100, 2, BitRateMode::Variable, false));
        QVERIFY(writeMp3(folder.path("mono48.mp3"), 0.9, 48000, 1));
        QVERIFY(writeMp3(folder.path("cover.mp3"), 0.8, 44100, 2, BitRateMode::Constant, true, 64));
        QCOMPARE(streamCount(folder.path("cover.mp3")), 2); // the picture is really there
        // Named .wma, so only the content can tell; the tag is far larger than a format probe.
        QVERIFY(writeMp3(folder.path("big-cover-mp3.wma"), 0.8, 44100, 2, BitRateMode::Constant, true, 600));
        QVERIFY(QFileInfo(folder.qpath("big-cover-mp3.wma")).size() > 300 * 1024);
        QVERIFY(writeWma(folder.path("pent moll cells \u00fcbung 'x'.wma"), 0.7));
        QVERIFY(QDir().mkpath(folder.qpath(longFolder())));
        QVERIFY(writeWma(folder.path(longName().toStdString()), 0.7));
        QVERIFY(folder.path(longName().toStdString()).size() > 300);
    }

    void playsRealFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("WMA stereo 44.1 kHz") << "stereo44.wma";
        QTest::newRow("WMA mono 48 kHz") << "mono48.wma";
        QTest::newRow("MP3 CBR") << "cbr.mp3";
        QTest::newRow("MP3 VBR without Xing header") << "vbr-no-xing.mp3";
        QTest::newRow("MP3 mono 48 kHz") << "mono48.mp3";
        QTest::newRow("MP3 with cover art") << "cover.mp3";
        QTest::newRow("MP3 with a large cover, named .wma") << "big-cover-mp3.wma";
        QTest::newRow("blanks, umlaut and quotes in the name") << "pent moll cells \u00fcbung 'x'.wma";
        QTest::newRow("path over 300 characters") << longName();
    }

    // Length, position in real time, the end, and the restart: what the poll tick relies on.
    void playsRealFiles()
    {
        QFETCH(QString, name);
        const std::string path = folder.path(name.toStdString());
        const int64_t expectedMs = decodedMs(path);
        QVERIFY(expectedMs > 500);

        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.openMediaFile(path);
        QVERIFY(length(channel) > 0); // known right after open, before decoding has finished
        waitForFinalLength(channel, expectedMs);
        QCOMPARE(length(channel), expectedMs);
        QCOMPARE(position(channel), 0); // opened, not playing

        QCOMPARE(channel.sendMediaCommand("play myMP3 from 0"), 0);
        const auto started = std::chrono::steady_clock::now();
        QVERIFY(waitUntil([&] { return position(channel) > 0; }, 2s));
        std::this_thread::sleep_for(200ms);
        const int32_t early = position(channel);
        const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        QVERIFY(early > 0);
        QVERIFY2(early <= elapsedMs + 30, "position runs ahead of the clock");

        QVERIFY(waitUntil([&] { return position(channel) == expectedMs; }, 5s));
        std::this_thread::sleep_for(100ms);
        QCOMPARE(position(channel), expectedMs); // stays at the end, still open
        QCOMPARE(length(channel), expectedMs);

        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(position(channel) < 50);
        QVERIFY(waitUntil([&] { return position(channel) > 0; }, 2s));
        channel.closeMedia();
        QCOMPARE(position(channel), 0);
        QCOMPARE(length(channel), 0);
    }

    void restartWhilePlayingStartsOver()
    {
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.openMediaFile(folder.path("stereo44.wma"));
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) > 300; }, 3s));
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(position(channel) < 50);
    }

    void badFilesFailSilently_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.wma";
        QTest::newRow("text") << "text.wma";
        QTest::newRow("JPEG renamed") << "picture.wma";
        QTest::newRow("zero bytes") << "empty.wma";
        QTest::newRow("directory") << "folder.wma";
        QTest::newRow("FIFO") << "fifo.wma";
        QTest::newRow("8 MB of text") << "big-text.wma";
        QTest::newRow("300 characters") << QString(300, 'x') + ".wma";
    }

    void badFilesFailSilently()
    {
        QFETCH(QString, name);
        writeBytes(folder.path("text.wma"), "Dies ist kein Audio.\n");
        writeBytes(folder.path("empty.wma"), "");
        writeBytes(folder.path("big-text.wma"), std::string(8 << 20, 'x'));
        writeBytes(folder.path("picture.wma"), std::string("\xFF\xD8\xFF\xE0", 4) + std::string(2000, '\x11'));
        mkdir(folder.path("folder.wma").c_str(), 0755);
        mkfifo(folder.path("fifo.wma").c_str(), 0644);

        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.openMediaFile(folder.path(name.toStdString()));
        QCOMPARE(device.send("status myMP3 length"), std::string());
        QCOMPARE(device.send("status myMP3 position"), std::string());
        QCOMPARE(channel.sendMediaCommand("play myMP3 from 0"), 0);
        QCOMPARE(length(channel), 0);
        channel.closeMedia();
    }

    void truncatedFilesPlayWhatCanBeDecoded_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("WMA") << "stereo44.wma";
        QTest::newRow("MP3") << "cbr.mp3";
    }

    void truncatedFilesPlayWhatCanBeDecoded()
    {
        QFETCH(QString, name);
        const std::string whole = readBytes(folder.path(name.toStdString()));
        const std::string cut = folder.path("cut-" + name.toStdString());
        writeBytes(cut, whole.substr(0, whole.size() / 2));
        const int64_t fullMs = decodedMs(folder.path(name.toStdString()));

        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.openMediaFile(cut);
        const int64_t expectedMs = decodedMs(cut);
        waitForFinalLength(channel, expectedMs);
        QCOMPARE(length(channel), expectedMs);
        QVERIFY(expectedMs > 0 && expectedMs < fullMs);
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) == expectedMs; }, 5s));
    }

    void commandsOutsideTheVocabularyDoNothing()
    {
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        // Before any open: nothing to play, close or ask.
        for (const char* text : {"", "garbage", "play myMP3 from 0", "close myMP3", "close myMP3",
                                 "status myMP3 position", "status myMP3 length"})
            QCOMPARE(device.send(text), std::string());

        channel.openMediaFile(folder.path("stereo44.wma"));
        waitForFinalLength(channel, decodedMs(folder.path("stereo44.wma")));
        const int32_t before = length(channel);
        // A second open while open is refused and leaves the first recording in place.
        channel.openMediaFile(folder.path("cbr.mp3"));
        QCOMPARE(length(channel), before);
        for (const char* text : {"play other from 0", "close other", "status other length", "status myMP3 mode",
                                 "seek myMP3 to 0", "play myMP3 from 10", "pause myMP3"})
            QCOMPARE(device.send(text), std::string());
        QCOMPARE(position(channel), 0); // none of them started it
        QCOMPARE(length(channel), before);

        channel.closeMedia();
        channel.closeMedia();
        QCOMPARE(device.send("status myMP3 length"), std::string());
        channel.openMediaFile(folder.path("cbr.mp3")); // closed: the alias is free again
        QVERIFY(length(channel) > 0);
    }

    // The stretcher under the callback: tempo changes while it plays, a play restarted, a close
    // and the device destroyed while it stretches (the sanitizer builds run this too).
    void stretchedPlayingChangesAndEndsCleanly()
    {
        const std::string path = folder.path("stereo44.wma");
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        channel.setTempo(60);
        QVERIFY(waitUntil([&] { return device.diagnostics().stretcherReady; }, 10s));
        channel.openMediaFile(path);
        const int32_t lengthMs = int32_t(decodedMs(path));
        waitForFinalLength(channel, lengthMs);
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) > 200; }, 10s));
        int32_t last = position(channel);
        for (int tempo : {140, 45, 100}) {
            channel.setTempo(tempo);
            std::this_thread::sleep_for(50ms);
            const int32_t now = position(channel);
            QVERIFY2(now >= last, qPrintable(QStringLiteral("went back from %1 to %2 ms").arg(last).arg(now)));
            last = now;
        }
        QVERIFY(waitUntil([&] { return position(channel) == lengthMs; }, 10s));
        channel.setTempo(70);
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(waitUntil([&] { return position(channel) > 100; }, 10s));
        QVERIFY(position(channel) < lengthMs);
        channel.closeMedia();
        channel.openMediaFile(path);
        channel.sendMediaCommand("play myMP3 from 0");
        QVERIFY(device.diagnostics().stretchedFrames > 0);
        // Destroyed while it stretches.
    }

    void closeWhileDecodingAndDestroyWhilePlaying()
    {
        QVERIFY(writeWma(folder.path("long.wma"), 30.0));
        for (int round = 0; round < 5; ++round) {
            PlaybackDevice device(OutputChoice::NullOnly);
            MediaChannel channel(device);
            channel.openMediaFile(folder.path("long.wma"));
            channel.sendMediaCommand("play myMP3 from 0");
            channel.closeMedia(); // most likely while the decoder is still at work
            channel.openMediaFile(folder.path("long.wma"));
            channel.sendMediaCommand("play myMP3 from 0");
            // Destroyed while playing and decoding.
        }
    }
};

QTEST_GUILESS_MAIN(PlaybackDeviceTest)
#include "PlaybackDeviceTest.moc"
