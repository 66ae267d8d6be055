// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "media/Recording.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string syncsafe(int64_t value)
{
    return {char((value >> 21) & 0x7f), char((value >> 14) & 0x7f), char((value >> 7) & 0x7f), char(value & 0x7f)};
}

// An ID3v2 tag of `bytes` in all, as taggers write it: one picture frame that fills it (JPEG-like
// noise, whose bytes look like MPEG frame syncs here and there), or a title and padding. A v2.4
// tag may close with a footer, which its size field leaves out.
std::string id3Tag(int64_t bytes, bool picture, bool footer)
{
    const int version = footer ? 4 : 3;
    const int64_t body = bytes - 10 - (footer ? 10 : 0);
    const std::string flagsAndSize = std::string{char(version), 0, char(footer ? 0x10 : 0)} + syncsafe(body);
    auto frameSize = [&](int64_t size) {
        return version == 4 ? syncsafe(size) : std::string{char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
    };
    std::string tag = "ID3" + flagsAndSize;
    if (picture) {
        static const char start[] = "\0image/jpeg\0\x03\0\xff\xd8\xff\xe0"; // front cover, no description
        std::string content(start, sizeof start - 1);
        uint32_t state = 12345;
        while (int64_t(content.size()) < body - 10) {
            state = state * 1664525u + 1013904223u;
            content.push_back(char(state >> 24));
        }
        tag += "APIC" + frameSize(int64_t(content.size())) + std::string(2, '\0') + content;
    } else {
        static const char titleText[] = "\0Pentatonik in A";
        const std::string title(titleText, sizeof titleText - 1);
        tag += "TIT2" + frameSize(int64_t(title.size())) + std::string(2, '\0') + title;
        tag.resize(size_t(10 + body), '\0');
    }
    if (footer)
        tag += "3DI" + flagsAndSize;
    return tag;
}

// A TCP listener on the loopback that notices anyone knocking.
class Listener {
public:
    Listener()
    {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(socket_, 8) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(socket_); }
    int port() const { return port_; }
    // A connection waiting to be accepted makes the socket readable.
    bool knockedOn() const
    {
        pollfd waiting{socket_, POLLIN, 0};
        return ::poll(&waiting, 1, 100) > 0;
    }

private:
    int socket_ = -1;
    int port_ = 0;
};

} // namespace

// A recording is recognised by what it holds, whatever sits in front of it or however it is
// named, and only ever read as the plain file of that name.
class FileRecognitionTest : public QObject {
    Q_OBJECT

    TempFolder folder;
    QString startFolder;
    std::map<QString, std::vector<int16_t>> untagged; // FFmpeg's own decode of each plain file

private slots:
    void initTestCase()
    {
        QVERIFY(folder.valid());
        QVERIFY(writeWma(folder.path("plain.wma"), 1.2));
        QVERIFY(writeMp3(folder.path("plain.mp3"), 1.1));
        for (const QString name : {"plain.wma", "plain.mp3"}) {
            untagged[name] = decodeToDeviceFormat(folder.path(name.toStdString()));
            QVERIFY(untagged[name].size() > 44100);
        }
        startFolder = QDir::currentPath();
    }

    void cleanup() { QDir::setCurrent(startFolder); }

    void taggedFilePlaysAsWithoutItsTag_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<int>("tagBytes");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<bool>("footer");
        for (const int kib : {16, 64, 1024, 4096}) {
            for (const bool picture : {false, true}) {
                const QByteArray row = QByteArray::number(kib) + " KiB of " + (picture ? "picture" : "padding");
                QTest::newRow("WMA, " + row) << "plain.wma" << kib * 1024 << picture << false;
            }
        }
        QTest::newRow("WMA, 64 KiB v2.4 with footer") << "plain.wma" << 64 * 1024 << false << true;
        QTest::newRow("WMA, 4 MiB picture v2.4 with footer") << "plain.wma" << 4096 * 1024 << true << true;
        QTest::newRow("MP3, 4 MiB of picture") << "plain.mp3" << 4096 * 1024 << true << false;
        QTest::newRow("MP3, 64 KiB v2.4 with footer") << "plain.mp3" << 64 * 1024 << false << true;
    }

    // What plays is what FFmpeg decodes from the same file without its tag, to the sample.
    void taggedFilePlaysAsWithoutItsTag()
    {
        QFETCH(QString, plain);
        QFETCH(int, tagBytes);
        QFETCH(bool, picture);
        QFETCH(bool, footer);
        const std::string path = folder.path(QStringLiteral("tagged %1.%2").arg(QTest::currentDataTag(), QFileInfo(plain).suffix()).toStdString());
        std::ofstream(path, std::ios::binary) << id3Tag(tagBytes, picture, footer) << readBytes(folder.path(plain.toStdString()));
        const std::vector<int16_t>& expected = untagged[plain];
        const int64_t expectedMs = int64_t(expected.size() / 2) * 1000 / Recording::kSampleRate;

        {
            PlaybackDevice device(OutputChoice::NullOnly);
            MediaChannel channel(device);
            channel.openMediaFile(path);
            QVERIFY(waitUntil([&] { return device.diagnostics().decoded; }, 5s));
            QCOMPARE(int64_t(channel.sendMediaCommand("status myMP3 length")), expectedMs);
        }

        const auto recording = Recording::open(path);
        QVERIFY(recording);
        QVERIFY(waitUntil([&] { return recording->complete(); }, 5s));
        std::vector<int16_t> decoded(size_t(recording->decodedFrames()) * Recording::kChannels);
        recording->copyFrames(0, decoded.data(), recording->decodedFrames());
        QCOMPARE(decoded.size(), expected.size());
        const auto differ = std::mismatch(decoded.begin(), decoded.end(), expected.begin());
        QVERIFY2(differ.first == decoded.end(),
                 qPrintable(QStringLiteral("differs from frame %1 on").arg((differ.first - decoded.begin()) / 2)));
    }

    void namesAreFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isFile");
        QTest::newRow("pipe:0") << "pipe:0" << true;
        QTest::newRow("file:x") << "file:x" << true;
        QTest::newRow("concat:a|b") << "concat:a|b" << true;
        QTest::newRow("subfile,,start,0,end,0,,:x") << "subfile,,start,0,end,0,,:x" << true;
        QTest::newRow("http, a file of that name") << "http://127.0.0.1:PORT/x.wma" << true;
        QTest::newRow("http, no such file") << "http://127.0.0.1:PORT/x.wma" << false;
        QTest::newRow("pipe:0, no such file") << "pipe:0" << false;
    }

    // A relative name that reads as a protocol opens the file of that name, or nothing: never
    // standard input, a pipe, a socket or the network.
    void namesAreFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, isFile);
        const Listener listener;
        QVERIFY(listener.port() > 0);
        name.replace("PORT", QString::number(listener.port()));
        const TempFolder here;
        QVERIFY(QDir::setCurrent(here.qpath(".")));
        const std::filesystem::path file(name.toStdString());
        if (isFile) {
            if (file.has_parent_path())
                QVERIFY(std::filesystem::create_directories(file.parent_path()));
            QVERIFY(std::filesystem::copy_file(folder.path("plain.wma"), file));
        }

        PlaybackDevice device(OutputChoice::NullOnly);
        QCOMPARE(device.send("open " + name.toStdString() + " type MPEGVideo alias myMP3"), std::string());
        QVERIFY2(!listener.knockedOn(), "the device connected to the network");
        if (isFile) {
            QVERIFY(waitUntil([&] { return device.diagnostics().decoded; }, 5s));
            QCOMPARE(device.send("status myMP3 length"), std::to_string(untagged["plain.wma"].size() / 2 * 1000 / Recording::kSampleRate));
        } else {
            QCOMPARE(device.send("status myMP3 length"), std::string());
        }
    }
};

QTEST_GUILESS_MAIN(FileRecognitionTest)
#include "FileRecognitionTest.moc"
