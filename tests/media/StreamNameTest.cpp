// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/DeviceStatus.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestMedia.h"

#include <QRegularExpression>
#include <QtTest>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

namespace {

constexpr const char* kIconVariable = "PULSE_PROP_application.icon_name";

// One property of the one playback stream in `pactl list sink-inputs`, or "(none)".
QString streamProperty(const QString& streams, const QString& name)
{
    const QRegularExpression line(QStringLiteral("^\\s*%1 = \"(.*)\"$").arg(QRegularExpression::escape(name)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(streams);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("(none)");
}

} // namespace

// The desktop's mixer lists the program's stream by what the sound server holds about it: the
// program's name and icon, the stream's name, and its role.
class StreamNameTest : public QObject {
    Q_OBJECT

    TempFolder folder;
    PulseServer server;

    // The properties of the stream a playing recording has on the server.
    QString playingStream()
    {
        PlaybackDevice device;
        MediaChannel channel(device);
        if (!openDecoded(device, channel, folder.path("one.wma")))
            return QStringLiteral("(not opened)");
        channel.sendMediaCommand("play myMP3 from 0");
        if (!waitUntil([&] { return server.playbackStreams() == 1; }, 3s))
            return QStringLiteral("(no stream)");
        return server.playbackStreamList();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(PulseServer::available(), "a sound server (pulseaudio or pipewire with wireplumber), parec and pactl are needed");
        QVERIFY(folder.valid());
        QVERIFY(writeWma(folder.path("one.wma"), 2.0));
        QVERIFY(server.start());
        server.useForThisProcess();
    }

    void streamCarriesTheProgramsNames()
    {
        // An icon the user chose stays theirs.
        qputenv(kIconVariable, "zupfomat-users-icon");
        QString streams = playingStream();
        QCOMPARE(streamProperty(streams, QStringLiteral("application.name")), QStringLiteral("Zupfomat"));
        QCOMPARE(streamProperty(streams, QStringLiteral("application.icon_name")), QStringLiteral("zupfomat-users-icon"));
        QVERIFY(waitUntil([&] { return server.playbackStreams() == 0; }, 3s));

        qunsetenv(kIconVariable);
        streams = playingStream();
        QCOMPARE(streamProperty(streams, QStringLiteral("application.name")), QStringLiteral("Zupfomat"));
        QCOMPARE(streamProperty(streams, QStringLiteral("application.icon_name")), QStringLiteral("de.zupfomat.Zupfomat"));
        QCOMPARE(streamProperty(streams, QStringLiteral("media.name")), QStringLiteral("Zupfomat"));
        QCOMPARE(streamProperty(streams, QStringLiteral("media.role")), QStringLiteral("music"));
    }
};

QTEST_GUILESS_MAIN(StreamNameTest)
#include "StreamNameTest.moc"
