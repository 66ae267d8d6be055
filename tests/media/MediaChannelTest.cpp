// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaChannel.h"
#include "media/MediaCommand.h"

#include <QtTest>

#include <vector>

using namespace zupfomat;

namespace {

// Answers every command with one scripted text and remembers what it was sent.
class ScriptedDevice final : public MediaDevice {
public:
    std::string answer;
    std::vector<std::string> commands;
    std::string send(std::string_view command) override
    {
        commands.emplace_back(command);
        return answer;
    }
};

} // namespace

class MediaChannelTest : public QObject {
    Q_OBJECT

private slots:
    void readsAnswerNumbers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "1234" << 1234;
        QTest::newRow("leading blanks") << "  42" << 42;
        QTest::newRow("negative") << "-7" << -7;
        QTest::newRow("plus sign") << "+8" << 8;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("negative half") << "-2.5" << -2;
        QTest::newRow("below half") << "7.49" << 7;
        QTest::newRow("exponent") << "1e3" << 1000;
        QTest::newRow("negative exponent") << "25E-1" << 2;
        QTest::newRow("exponent without digits") << "12e" << 12;
        QTest::newRow("fraction only") << ".6" << 1;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks only") << "   " << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("sign only") << "-" << 0;
        QTest::newRow("trailing letters") << "12abc" << 12;
        QTest::newRow("stops at a second number") << "12 34" << 12;
        QTest::newRow("German comma is not a fraction") << "3,7" << 3;
        QTest::newRow("saturates high") << "99999999999" << std::numeric_limits<int32_t>::max();
        QTest::newRow("saturates low") << "-99999999999" << std::numeric_limits<int32_t>::min();
        QTest::newRow("huge exponent") << "1e999" << std::numeric_limits<int32_t>::max();
        QTest::newRow("tiny exponent") << "1e-999" << 0;
    }

    void readsAnswerNumbers()
    {
        QFETCH(QString, answer);
        QFETCH(int, expected);
        QCOMPARE(readAnswerNumber(answer.toStdString()), expected);
    }

    void readsNumbersUnderGermanLocale()
    {
        // Qt programs run under the user's locale, where strtod would want "3,5".
        const std::string previous = setlocale(LC_NUMERIC, nullptr);
        if (!setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            QSKIP("no German locale on this machine");
        QCOMPARE(readAnswerNumber("3.5"), 4);
        setlocale(LC_NUMERIC, previous.c_str());
    }

    void parsesTheFiveCommandForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("verb");
        QTest::addColumn<QString>("path");
        QTest::newRow("open") << "open /a/b.wma type MPEGVideo alias myMP3" << int(MediaVerb::Open) << "/a/b.wma";
        QTest::newRow("open with blanks in the path")
            << "open /a b/pent moll cells exercise.mp3 type MPEGVideo alias myMP3" << int(MediaVerb::Open)
            << "/a b/pent moll cells exercise.mp3";
        QTest::newRow("open with ' type ' in the path")
            << "open /x type y/z.wma type MPEGVideo alias myMP3" << int(MediaVerb::Open) << "/x type y/z.wma";
        QTest::newRow("open in other case") << "OPEN /a.wma TYPE mpegvideo ALIAS MYMP3" << int(MediaVerb::Open)
                                            << "/a.wma";
        QTest::newRow("close") << "close myMP3" << int(MediaVerb::Close) << "";
        QTest::newRow("play") << "play myMP3 from 0" << int(MediaVerb::Play) << "";
        QTest::newRow("play upper case") << "PLAY MYMP3 FROM 0" << int(MediaVerb::Play) << "";
        QTest::newRow("position") << "status myMP3 position" << int(MediaVerb::StatusPosition) << "";
        QTest::newRow("length") << "Status MyMp3 Length" << int(MediaVerb::StatusLength) << "";
        QTest::newRow("empty") << "" << int(MediaVerb::Invalid) << "";
        QTest::newRow("garbage") << "xyzzy" << int(MediaVerb::Invalid) << "";
        QTest::newRow("other alias") << "close other" << int(MediaVerb::Invalid) << "";
        QTest::newRow("play from elsewhere") << "play myMP3 from 100" << int(MediaVerb::Invalid) << "";
        QTest::newRow("play without from") << "play myMP3" << int(MediaVerb::Invalid) << "";
        QTest::newRow("status mode") << "status myMP3 mode" << int(MediaVerb::Invalid) << "";
        QTest::newRow("open other alias") << "open /a.wma type MPEGVideo alias other" << int(MediaVerb::Invalid) << "";
        QTest::newRow("open other type") << "open /a.wma type waveaudio alias myMP3" << int(MediaVerb::Invalid) << "";
        QTest::newRow("open without path") << "open  type MPEGVideo alias myMP3" << int(MediaVerb::Invalid) << "";
        QTest::newRow("open without type") << "open /a.wma alias myMP3" << int(MediaVerb::Invalid) << "";
    }

    void parsesTheFiveCommandForms()
    {
        QFETCH(QString, text);
        QFETCH(int, verb);
        QFETCH(QString, path);
        const MediaCommand command = parseMediaCommand(text.toStdString());
        QCOMPARE(int(command.verb), verb);
        QCOMPARE(QString::fromStdString(command.path), path);
    }

    void channelSendsTheCommandTexts()
    {
        ScriptedDevice device;
        MediaChannel channel(device);
        channel.openMediaFile("/no/such/file.wma");
        channel.closeMedia();
        QCOMPARE(channel.sendMediaCommand("play myMP3 from 0"), 0);
        device.answer = "1500";
        QCOMPARE(channel.sendMediaCommand("status myMP3 length"), 1500);
        const std::vector<std::string> expected = {
            "open /no/such/file.wma type MPEGVideo alias myMP3", // a missing file keeps its long path
            "close myMP3",
            "play myMP3 from 0",
            "status myMP3 length",
        };
        QCOMPARE(device.commands, expected);
    }

    void shortPathOfAnExistingFileIsTheFileItself()
    {
        QTemporaryDir dir;
        const QString name = dir.path() + QStringLiteral("/pent moll cells exercise \u00fcber.mp3");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.close();
        QCOMPARE(shortPathOf(name.toStdString()).value_or("none"), name.toStdString());
        QVERIFY(!shortPathOf((dir.path() + "/missing.wma").toStdString()).has_value());
    }
};

QTEST_GUILESS_MAIN(MediaChannelTest)
#include "MediaChannelTest.moc"
