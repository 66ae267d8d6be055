// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/mainwindow/Form1Harness.h"

#include <QPushButton>

using namespace zupfomat;
using namespace zupfomat::testing;

namespace {

constexpr const char* kRestart = "play myMP3 from 0";

bool restarted(const std::vector<std::string>& commands)
{
    return std::find(commands.begin(), commands.end(), kRestart) != commands.end();
}

void goTo(Form1Harness& h, int number)
{
    h.typeIntoBox(QString::number(number));
    h.click("Labelgoto");
    QCOMPARE(h.window->currentNumber(), number);
}

// The point armed by the latest tick must be the very position at which the next tick
// restarts: one millisecond short of it nothing happens, at it the restart comes. Checked
// over a few passes, since each pass's tick arms the point for the one after.
void armedPointIsTheNextRestart(Form1Harness& h, long long playedAt, long long expectedPoint, int passes = 3)
{
    long long passStart = playedAt;
    for (int pass = 0; pass < passes; ++pass) {
        QVERIFY(!h.device.loopPoints.empty());
        const long long armed = h.device.loopPoints.back();
        QCOMPARE(armed, expectedPoint);
        h.device.take();
        h.device.nowMs = passStart + armed - 1;
        h.tick();
        QVERIFY2(!restarted(h.device.commands), qPrintable(QStringLiteral("pass %1: restarted before %2 ms").arg(pass).arg(armed)));
        QCOMPARE(h.device.loopPoints.back(), armed); // the same point again, nothing has changed
        h.device.take();
        h.device.nowMs = passStart + armed;
        h.tick();
        QVERIFY2(restarted(h.device.commands), qPrintable(QStringLiteral("pass %1: no restart at %2 ms").arg(pass).arg(armed)));
        passStart = h.device.nowMs;
    }
}

} // namespace

// Each tick arms in the device the loop point that the next tick compares with, so a device
// that splices comes round exactly where the tick would have restarted it.
class Form1LoopPointTest : public QObject {
    Q_OBJECT

private slots:
    void riffWithALead()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/riff1.wma")] = 9000;
        h.click("Labelloop");
        h.tick(100);
        armedPointIsTheNextRestart(h, 0, 8000);
    }

    void rhythmAtItsVeryEnd()
    {
        Form1Harness h;
        goTo(h, 1); // riff 1's divisor must not leak into the rhythm's point
        h.device.lengthOf[h.data("wma/rock1.wma")] = 4829;
        const long long playedAt = h.device.nowMs;
        h.click("Labeldrumplay");
        QVERIFY(h.active("Labeldrumplay"));
        h.tick(100);
        armedPointIsTheNextRestart(h, playedAt, 4829);
    }

    void riffs9And11KeepTheLeadTheyInherit_data()
    {
        QTest::addColumn<int>("riff");
        QTest::newRow("riff 9") << 9;
        QTest::newRow("riff 11") << 11;
    }

    void riffs9And11KeepTheLeadTheyInherit()
    {
        QFETCH(int, riff);
        Form1Harness h;
        h.device.lengthOf[h.data("wma/riff1.wma")] = 9000;
        h.click("Labelloop");
        h.tick(100); // riff 1's lead: 1000 ms
        goTo(h, riff);
        h.device.lengthOf[h.data(QStringLiteral("wma/riff%1.wma").arg(riff))] = 7000;
        const long long playedAt = h.device.nowMs;
        h.click("Labelloop");
        h.device.loopPoints.clear();
        h.tick(100);
        armedPointIsTheNextRestart(h, playedAt, 6000);
    }

    void exerciseAfterARiffLoop()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/riff1.wma")] = 9000;
        h.click("Labelloop");
        h.tick(100);
        h.click("Label2");
        QCOMPARE(h.window->currentNumber(), 59);
        h.device.lengthOf[h.data("wma/ex1.wma")] = 12000;
        const long long playedAt = h.device.nowMs;
        h.click("Labelloop");
        h.tick(100);
        armedPointIsTheNextRestart(h, playedAt, 11000);
    }

    void slowExerciseAfterStartUpLoopsWhole()
    {
        Form1Harness h;
        h.click("Label2");
        h.click("Labelvor");
        h.click("Imagelangsam");
        h.device.lengthOf[h.data("wma/ex2l.wma")] = 12000;
        h.click("Labelloop");
        h.tick(100);
        armedPointIsTheNextRestart(h, 0, 12000);
    }

    // The first tick of a riff still compares with the lead it inherited; the point it arms
    // is already the riff's own.
    void theFirstTickArmsTheNewLead()
    {
        Form1Harness h;
        goTo(h, 2);
        h.device.lengthOf[h.data("wma/riff2.wma")] = 18000;
        h.click("Labelloop");
        QCOMPARE(h.window->loopLead(), 0);
        h.tick(100);
        QCOMPARE(h.device.loopPoints.back(), 16000LL);
    }

    void lessonRecordingWhileTimer1Runs()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/riff1.wma")] = 9000;
        h.click("Labelloop");
        h.tick(100);
        h.click("Labellage");
        h.device.lengthOf[h.data("wma/pent moll cells exercise.mp3")] = 18000;
        LessonPage* page = h.course.openPage(1);
        QVERIFY(page);
        const long long playedAt = h.device.nowMs;
        QTest::mouseClick(page->button("Command2"), Qt::LeftButton);
        QVERIFY(h.window->pollTimer()->isActive());
        h.tick(100); // riff 1's divisor on the lesson recording: 18000 / 9
        armedPointIsTheNextRestart(h, playedAt, 16000);
        h.course.closePage(1);
    }

    // Nothing usable open: the point armed is at or before 0, which clears it.
    void nothingOpenArmsNothing()
    {
        Form1Harness h;
        h.device.missing.insert(h.data("wma/riff1.wma"));
        h.click("Labelloop");
        h.tick(100);
        QVERIFY(!h.device.loopPoints.empty());
        QVERIFY(h.device.loopPoints.back() <= 0);
    }
};

QTEST_MAIN(Form1LoopPointTest)
#include "Form1LoopPointTest.moc"
