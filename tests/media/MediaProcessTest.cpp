// The device in a process of its own answers as the device does, and a media process that
// falls over is replaced by the next command.
#include "media/MediaProcess.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <signal.h>

using namespace zupfomat;
using namespace std::chrono_literals;

namespace {

std::string openCommand(const std::string& path) { return "open " + path + " type MPEGVideo alias myMP3"; }

bool alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

} // namespace

class MediaProcessTest : public QObject {
    Q_OBJECT

    testing::TempFolder folder;
    std::string wma;

private slots:
    void initTestCase()
    {
        qputenv("SDL_AUDIODRIVER", "none-here"); // the clock-driven null output: no device needed
        wma = folder.path("two seconds.wma");
        QVERIFY(testing::writeWma(wma, 2.0));
    }

    void answersAsTheDeviceDoes()
    {
        MediaProcessDevice remote(QStringLiteral(ZUPFOMAT_MEDIA_HOST).toStdString());
        PlaybackDevice local(OutputChoice::NullOnly);
        QCOMPARE(remote.processId(), -1); // nothing runs before it is needed
        for (MediaDevice* device : {static_cast<MediaDevice*>(&remote), static_cast<MediaDevice*>(&local)})
            device->send(openCommand(wma));
        QVERIFY(remote.processId() > 0);
        // Both read the same length once their decoders are through (it is estimated till then).
        QVERIFY(testing::waitUntil([&] { return remote.send("status myMP3 length") == local.send("status myMP3 length"); }, 3s));
        QVERIFY(std::atoi(local.send("status myMP3 length").c_str()) > 1900);
        QCOMPARE(remote.send("status myMP3 position"), std::string("0"));
        QCOMPARE(remote.send("no such command"), local.send("no such command"));
        QCOMPARE(remote.send(openCommand(wma)), local.send(openCommand(wma))); // the alias is taken
        remote.send("play myMP3 from 0");
        QVERIFY(testing::waitUntil([&] { return std::atoi(remote.send("status myMP3 position").c_str()) > 200; }, 3s));
        QVERIFY(remote.firstSamplesTime().time_since_epoch().count() > 0);
        remote.send("close myMP3");
        QCOMPARE(remote.send("status myMP3 length"), std::string(""));
    }

    // A decoder that falls over takes its process down: the device then answers as one with
    // nothing open, and the next command starts a media process that plays again.
    void aMediaProcessThatFallsOverIsReplaced()
    {
        MediaProcessDevice remote(QStringLiteral(ZUPFOMAT_MEDIA_HOST).toStdString());
        remote.prepare(wma);
        const pid_t first = remote.processId();
        QVERIFY(alive(first));
        QTest::qWait(300); // it readies itself for the recording, which is not open for that
        QCOMPARE(remote.send("status myMP3 length"), std::string(""));
        remote.send(openCommand(wma));
        QVERIFY(remote.send("status myMP3 length") != "");
        kill(first, SIGKILL);
        QCOMPARE(remote.send("status myMP3 length"), std::string(""));
        QCOMPARE(remote.send(openCommand(wma)), std::string(""));
        QVERIFY(remote.processId() != first);
        QVERIFY(remote.send("status myMP3 length") != "");
        remote.send("play myMP3 from 0");
        QVERIFY(testing::waitUntil([&] { return std::atoi(remote.send("status myMP3 position").c_str()) > 100; }, 3s));
        remote.setLoopPoint(500); // typed calls reach it too, without an answer to wait for
        QVERIFY(remote.send("status myMP3 position") != "");
    }

    void theMediaProcessEndsWithTheDevice()
    {
        pid_t pid = -1;
        {
            MediaProcessDevice remote(QStringLiteral(ZUPFOMAT_MEDIA_HOST).toStdString());
            remote.send(openCommand(wma));
            remote.send("play myMP3 from 0");
            pid = remote.processId();
            QVERIFY(alive(pid));
        }
        QVERIFY(!alive(pid)); // reaped, not left behind
    }

    void aProgramThatCannotStartAnswersNothing()
    {
        MediaProcessDevice remote(folder.path("no such program"));
        QCOMPARE(remote.send(openCommand(wma)), std::string(""));
        QCOMPARE(remote.send("status myMP3 length"), std::string(""));
    }
};

QTEST_GUILESS_MAIN(MediaProcessTest)
#include "MediaProcessTest.moc"
