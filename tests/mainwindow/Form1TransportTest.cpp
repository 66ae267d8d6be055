// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/mainwindow/Form1Harness.h"

#include <QTimer>

using namespace zupfomat;
using namespace zupfomat::testing;

using Commands = std::vector<std::string>;

class Form1TransportTest : public QObject {
    Q_OBJECT

    // Goes to riff n by the number box, and forgets the commands that took.
    static void goToRiff(Form1Harness& h, int n)
    {
        h.typeIntoBox(QString::number(n));
        h.click("Labelgoto");
        QCOMPARE(h.window->currentNumber(), n);
        h.device.take();
    }

private slots:
    void startsUpIdle()
    {
        Form1Harness h;
        QCOMPARE(h.sheet(), h.content.path("Data/images/riff1.gif"));
        QVERIFY(h.device.commands.empty()); // nothing opened at start-up
        QCOMPARE(QApplication::focusWidget(), h.find("Text2"));
        QCOMPARE(h.text("Label7"), QStringLiteral("Rock 1"));
        QVERIFY(h.idle("Labelplay") && h.idle("Labelloop") && h.idle("Labeldrumplay"));
        QVERIFY(!h.window->pollTimer()->isActive());
        QCOMPARE(h.window->pollTimer()->interval(), 100);
        QCOMPARE(h.window->property("backgroundPath").toString(), h.content.path("Data/images/hinten7.jpg"));
        QCOMPARE(h.window->currentNumber(), 1);
        QCOMPARE(h.window->toggleCount(), 0);
        QCOMPARE(h.window->loopLead(), 0);
    }

    void playOnRiff5()
    {
        Form1Harness h;
        goToRiff(h, 5);
        h.click("Labelplay");
        const Commands expected = {"close myMP3", "close myMP3", h.openOf("wma/riff5.wma"), "play myMP3 from 0"};
        QCOMPARE(h.device.take(), expected);
        QVERIFY(h.active("Labelplay") && h.idle("Labelloop"));
        QVERIFY(!h.window->pollTimer()->isActive());
        h.device.nowMs += 20000; // played to its end: stays silent and PLAY keeps its colour
        QVERIFY(!h.device.isPlaying());
        QVERIFY(h.active("Labelplay"));
    }

    void loopRestartsAtTheLoopPoint_data()
    {
        QTest::addColumn<int>("riff");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("restartAt");
        QTest::newRow("riff 1: an ninth before the end") << 1 << 9000 << 8000;
        QTest::newRow("riff 4: lead 2500.5 rounds to even") << 4 << 30006 << 27506;
        QTest::newRow("riff 7: lead 2500.5 rounds to even") << 7 << 30018 << 27516;
        QTest::newRow("riff 8: only at the full length") << 8 << 5000 << 5000;
        QTest::newRow("riff 47: 5333 divides") << 47 << 53330 << 53320;
    }

    void loopRestartsAtTheLoopPoint()
    {
        QFETCH(int, riff);
        QFETCH(int, length);
        QFETCH(int, restartAt);
        Form1Harness h;
        goToRiff(h, riff);
        h.device.lengthOf[h.data(QStringLiteral("wma/riff%1.wma").arg(riff))] = length;
        h.click("Labelloop");
        QVERIFY(h.window->pollTimer()->isActive());
        QVERIFY(h.idle("Labelplay") && h.active("Labelloop"));
        h.device.take();
        h.tick(100); // the first tick sets the lead
        h.device.nowMs = restartAt - 1;
        h.tick();
        QVERIFY(std::find(h.device.commands.begin(), h.device.commands.end(), "play myMP3 from 0") == h.device.commands.end());
        h.device.nowMs = restartAt;
        h.tick();
        QCOMPARE(h.device.commands.back(), std::string("play myMP3 from 0"));
    }

    void riff9KeepsTheLeadOfRiff1()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/riff1.wma")] = 9000;
        h.click("Labelloop");
        h.tick(100);
        QCOMPARE(h.window->loopLead(), 1000);
        goToRiff(h, 9);
        h.device.lengthOf[h.data("wma/riff9.wma")] = 4000;
        h.click("Labelloop");
        h.device.nowMs += 2999;
        h.tick();
        QVERIFY(h.device.commands.back() != "play myMP3 from 0");
        h.tick(1);
        QCOMPARE(h.device.commands.back(), std::string("play myMP3 from 0"));
        QCOMPARE(h.window->loopLead(), 1000);
    }

    void anExerciseAfterStartUpLoopsAtItsEnd()
    {
        Form1Harness h;
        h.click("Label2");
        h.device.lengthOf[h.data("wma/ex1.wma")] = 6000;
        h.click("Labelloop");
        QCOMPARE(h.device.openPath(), h.data("wma/ex1.wma"));
        h.device.take();
        h.tick(5999);
        QVERIFY(h.device.commands.back() != "play myMP3 from 0");
        h.tick(1);
        QCOMPARE(h.device.commands.back(), std::string("play myMP3 from 0"));
    }

    void slowTempoPicksTheSlowRecording()
    {
        Form1Harness h;
        h.click("Label2");
        h.click("Labelvor");
        h.click("Labelvor");
        QCOMPARE(h.window->currentNumber(), 61);
        h.click("Imagelangsam");
        h.click("Labelplay");
        QCOMPARE(h.device.openPath(), h.data("wma/ex3l.wma"));
        h.click("Imageschnell");
        h.click("Labelplay");
        QCOMPARE(h.device.openPath(), h.data("wma/ex3.wma"));
    }

    void playWhileARhythmPlaysResetsTheBar()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/rock1.wma")] = 4000;
        h.click("Labeldrumplay");
        h.tick(2000);
        QCOMPARE(h.bar().width(), 100);
        QCOMPARE(h.tickRow(), kLightYellow);
        h.click("Labelplay");
        QCOMPARE(h.bar(), QRect(683, 452, 1, 8));
        QCOMPARE(h.tickRow(), kTickRowGrey);
        QVERIFY(h.idle("Labeldrumplay"));
        QCOMPARE(h.device.openPath(), h.data("wma/riff1.wma"));
        QVERIFY(h.device.isPlaying());
    }

    void enterTogglesPlayAndStop()
    {
        Form1Harness h;
        h.enter();
        QVERIFY(h.device.isPlaying());
        QCOMPARE(h.device.openPath(), h.data("wma/riff1.wma"));
        h.enter();
        QVERIFY(!h.device.isOpen());
        QVERIFY(h.idle("Labelplay"));
        h.enter();
        QVERIFY(h.device.isPlaying());
    }

    void aKeyInTheSheetShiftsTheToggle()
    {
        Form1Harness h;
        h.enter(); // 1: plays
        QVERIFY(h.device.isPlaying());
        QTest::keyClick(h.find("Picture1"), Qt::Key_A); // 2
        QCOMPARE(h.text("Text3"), QStringLiteral("2"));
        h.enter(); // 3: only silences
        QVERIFY(!h.device.isOpen());
        h.enter(); // 4: neither plays nor stops
        QVERIFY(!h.device.isOpen());
        QCOMPARE(h.text("Text3"), QStringLiteral("4"));
        QCOMPARE(h.window->toggleCount(), 4);
        h.click("Labelstop");
        QCOMPARE(h.window->toggleCount(), 0);
        QCOMPARE(h.text("Text3"), QStringLiteral("4")); // a reset does not write the box
    }

    void toggleCountStopsAt32767()
    {
        Form1Harness h;
        for (int i = 0; i < 33000; ++i)
            h.window->sheetKeyPressed();
        QCOMPARE(h.window->toggleCount(), 32767);
        QCOMPARE(h.text("Text3"), QStringLiteral("32767"));
    }

    void stopWhenIdleShowsNothing()
    {
        Form1Harness h;
        h.click("Labelstop");
        QVERIFY(h.idle("Labelplay") && h.idle("Labelloop") && h.idle("Labeldrumplay"));
        QCOMPARE(h.bar(), QRect(683, 452, 1, 8));
        QVERIFY(!h.device.isOpen());
    }

    void aMissingRecordingLoopsSilently()
    {
        Form1Harness h;
        h.device.missing.insert(h.data("wma/riff1.wma"));
        h.click("Labelloop");
        QVERIFY(h.active("Labelloop"));
        for (int i = 0; i < 36000; ++i) { // an hour of ticks
            h.tick(100);
            h.device.commands.clear();
        }
        QVERIFY(h.active("Labelloop"));
        QVERIFY(h.window->pollTimer()->isActive());
        QCOMPARE(h.window->loopLead(), 0); // 0 / 9
    }

    void aMissingSheetIsNamed()
    {
        Form1Harness h;
        h.content.remove("Data/images/riff2.gif");
        h.click("Labelvor");
        QCOMPARE(h.window->currentNumber(), 2);
        QVERIFY(h.text("Picture1").contains(QDir::toNativeSeparators("Bild fehlt: Data/images/riff2.gif")));
        h.click("Labelvor"); // and the window goes on
        QCOMPARE(h.find("Picture1")->size(), QSize(303, 100));
    }

    void aMissingBackgroundKeepsTheDesign()
    {
        TestContent content;
        content.remove("Data/images/hinten7.jpg");
        FakeMediaDevice device;
        MediaChannel channel(device);
        Form1 window({channel, ContentFolder(content.programFolder())});
        QVERIFY(window.property("backgroundPath").toString().isEmpty());
        QCOMPARE(window.findChild<QWidget*>("Picture1")->property("picturePath").toString(),
                 content.path("Data/images/riff1.gif"));
    }
};

QTEST_MAIN(Form1TransportTest)
#include "Form1TransportTest.moc"
