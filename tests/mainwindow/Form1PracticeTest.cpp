// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/mainwindow/Form1Harness.h"

#include <algorithm>
#include <cstdlib>

using namespace zupfomat;
using namespace zupfomat::testing;

using Tempos = QList<int>;

namespace {

Tempos tempos(const FakeMediaDevice& device) { return Tempos(device.tempos.begin(), device.tempos.end()); }

// Clicks a tempo control `times` times: "down", "up", "caption" or "trainer".
void clickTempo(Form1Harness& h, const QString& control, int times = 1)
{
    const char* name = control == "down" ? "LabelTempoDown" : control == "up" ? "LabelTempoUp"
                     : control == "caption" ? "LabelTempo" : "LabelSteigern";
    for (int i = 0; i < times; ++i)
        h.click(name);
}

} // namespace

class Form1PracticeTest : public QObject {
    Q_OBJECT

private slots:
    // A window opened after another one left the device slowed down starts at 100 % again.
    void everyStartIsAtTheNormalTempo()
    {
        Form1Harness h;
        QCOMPARE(tempos(h.device), (Tempos{100}));
        clickTempo(h, "down", 4);
        Form1 second({h.channel, ContentFolder(h.content.programFolder())});
        QCOMPARE(tempos(h.device), (Tempos{100, 95, 90, 85, 80, 100}));
        QCOMPARE(second.findChild<QLabel*>("LabelTempo")->text(), QStringLiteral("Tempo 100 %"));
    }

    void clicksStepWithinTheLimits_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<Tempos>("told"); // to the device, after start-up
        QTest::addColumn<QString>("caption");
        QTest::newRow("down") << "down" << 1 << Tempos{95} << "Tempo 95 %";
        QTest::newRow("up") << "up" << 1 << Tempos{105} << "Tempo 105 %";
        QTest::newRow("down to 40 and beyond")
            << "down" << 14 << Tempos{95, 90, 85, 80, 75, 70, 65, 60, 55, 50, 45, 40} << "Tempo 40 %";
        QTest::newRow("up to 150 and beyond")
            << "up" << 13 << Tempos{105, 110, 115, 120, 125, 130, 135, 140, 145, 150} << "Tempo 150 %";
        QTest::newRow("the caption at 100 %") << "caption" << 1 << Tempos{} << "Tempo 100 %";
    }

    // Each click is one 5 % step the device is told of; nothing is told beyond a limit. The
    // caption is green while the tempo is not the normal one, and back in black at 100 %.
    void clicksStepWithinTheLimits()
    {
        QFETCH(QString, control);
        QFETCH(int, clicks);
        QFETCH(Tempos, told);
        QFETCH(QString, caption);
        Form1Harness h;
        h.device.tempos.clear();
        h.device.take();
        clickTempo(h, control, clicks);
        QCOMPARE(tempos(h.device), told);
        QCOMPARE(h.text("LabelTempo"), caption);
        QCOMPARE(h.colour("LabelTempo"), caption == "Tempo 100 %" ? idleColour() : kGreen);
        h.device.tempos.clear();
        clickTempo(h, "caption"); // back to normal in one click
        QCOMPARE(tempos(h.device), told.isEmpty() ? Tempos{} : Tempos{100});
        QVERIFY(h.idle("LabelTempo"));
        QVERIFY(h.device.commands.empty()); // the tempo is no text command
    }

    void theTrainerRaisesOncePerPass_data()
    {
        QTest::addColumn<QString>("playing");  // "loop", "rhythm" or "play"
        QTest::addColumn<bool>("splices");     // the device comes round by itself, not by the tick's restart
        QTest::addColumn<int>("setBefore");    // clicks before switching the trainer on: - down, + up
        QTest::addColumn<int>("setAfter");     // and after
        QTest::addColumn<bool>("trainer");
        QTest::addColumn<Tempos>("told");      // over four passes
        QTest::newRow("loop from 85") << "loop" << false << -3 << 0 << true << Tempos{90, 95, 100};
        QTest::newRow("loop, the device splices") << "loop" << true << -3 << 0 << true << Tempos{90, 95, 100};
        QTest::newRow("rhythm from 90") << "rhythm" << false << -2 << 0 << true << Tempos{95, 100};
        QTest::newRow("rhythm, the device splices") << "rhythm" << true << -2 << 0 << true << Tempos{95, 100};
        QTest::newRow("on at 110, slowed to 95") << "loop" << false << 2 << -3 << true << Tempos{100, 105, 110};
        QTest::newRow("trainer off") << "loop" << false << -3 << 0 << false << Tempos{};
        QTest::newRow("played once, no loop") << "play" << false << -3 << 0 << true << Tempos{};
    }

    // Ticks within a pass leave the tempo; the tick that finds the player come round raises it
    // by one step, up to the higher of 100 % and the tempo set when the trainer was switched on.
    void theTrainerRaisesOncePerPass()
    {
        QFETCH(QString, playing);
        QFETCH(bool, splices);
        QFETCH(int, setBefore);
        QFETCH(int, setAfter);
        QFETCH(bool, trainer);
        QFETCH(Tempos, told);
        Form1Harness h;
        h.device.splices = splices;
        clickTempo(h, setBefore < 0 ? "down" : "up", std::abs(setBefore));
        if (trainer)
            clickTempo(h, "trainer");
        clickTempo(h, setAfter < 0 ? "down" : "up", std::abs(setAfter));
        QCOMPARE(h.colour("LabelSteigern"), trainer ? kGreen : idleColour());
        h.click(playing == "loop" ? "Labelloop" : playing == "rhythm" ? "Labeldrumplay" : "Labelplay");
        h.tick(100); // arms the loop point
        const long long point = h.device.loopPoints.back();
        h.device.tempos.clear();
        h.device.take();
        for (int pass = 0; pass < 4; ++pass) {
            const Tempos before = tempos(h.device);
            for (int quarter = 0; quarter < 3; ++quarter)
                h.tick(point / 4);
            QCOMPARE(tempos(h.device), before);
            h.tick(point / 4 + 50); // past the loop point
            const QString shown = QStringLiteral("Tempo %1 %").arg(h.window->practiceTempo());
            QCOMPARE(h.text("LabelTempo"), shown);
        }
        QCOMPARE(tempos(h.device), told);
        const auto restarts = std::count(h.device.commands.begin(), h.device.commands.end(), "play myMP3 from 0");
        QCOMPARE(int(restarts), splices ? 0 : 4); // the passes were driven as meant
    }

    void theTempoStays_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::newRow("next and previous sheet") << QStringList{"Labelvor", "Labelback"};
        QTest::newRow("to the exercises and back") << QStringList{"Label2", "Label1"};
        QTest::newRow("slow and normal exercise") << QStringList{"Label2", "Imagelangsam", "Labelloop", "Imageschnell"};
        QTest::newRow("go to") << QStringList{"Labelgoto"};
        QTest::newRow("rhythms") << QStringList{"Labelrhvor", "Labeldrumplay", "Labelrhback", "Labeldrumstop"};
        QTest::newRow("loop and stop") << QStringList{"Labelloop", "Labelstop"};
    }

    // Neither the sheet, the mode nor the rhythm is a reason to tell the device another tempo.
    void theTempoStays()
    {
        QFETCH(QStringList, clicks);
        Form1Harness h;
        clickTempo(h, "down", 4);
        clickTempo(h, "trainer");
        h.device.tempos.clear();
        for (const QString& control : clicks)
            h.click(control.toLatin1().constData());
        QCOMPARE(tempos(h.device), Tempos{});
        QCOMPARE(h.text("LabelTempo"), QStringLiteral("Tempo 80 %"));
        QCOMPARE(h.colour("LabelTempo"), kGreen);
        QCOMPARE(h.colour("LabelSteigern"), kGreen);
    }
};

QTEST_MAIN(Form1PracticeTest)
#include "Form1PracticeTest.moc"
