// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/mainwindow/Form1Harness.h"

#include <QLocale>
#include <QTimer>

using namespace zupfomat;
using namespace zupfomat::testing;

class Form1SelectionTest : public QObject {
    Q_OBJECT

    static void goToExercise(Form1Harness& h, int k)
    {
        h.click("Label2");
        h.typeIntoBox(QString::number(k));
        h.click("Labelgoto");
        QCOMPARE(h.window->currentNumber(), 58 + k);
    }

private slots:
    // Which sheet each selection command leads to.
    void stateAndLifecycle_data()
    {
        QTest::addColumn<QString>("mode");   // "riff" or "exercise"
        QTest::addColumn<int>("start");      // the number shown first
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("riff 3, Riffs") << "riff" << 3 << "Label1" << "1" << "riff1";
        QTest::newRow("riff 3, Exercises") << "riff" << 3 << "Label2" << "1" << "ex1";
        QTest::newRow("exercise 17, Exercises") << "exercise" << 17 << "Label2" << "1" << "ex1";
        QTest::newRow("riff 7, Next") << "riff" << 7 << "Labelvor" << "8" << "riff8";
        QTest::newRow("riff 58, Next") << "riff" << 58 << "Labelvor" << "58" << "riff58";
        QTest::newRow("exercise 5, Next") << "exercise" << 5 << "Labelvor" << "6" << "ex6";
        QTest::newRow("exercise 42, Next") << "exercise" << 42 << "Labelvor" << "1" << "ex1";
        QTest::newRow("riff 7, Previous") << "riff" << 7 << "Labelback" << "6" << "riff6";
        QTest::newRow("riff 1, Previous") << "riff" << 1 << "Labelback" << "1" << "riff1";
        QTest::newRow("exercise 5, Previous") << "exercise" << 5 << "Labelback" << "4" << "ex4";
        QTest::newRow("exercise 1, Previous") << "exercise" << 1 << "Labelback" << "1" << "ex1";
    }

    void stateAndLifecycle()
    {
        QFETCH(QString, mode);
        QFETCH(int, start);
        QFETCH(QString, command);
        QFETCH(QString, box);
        QFETCH(QString, sheet);
        Form1Harness h;
        if (mode == "exercise")
            goToExercise(h, start);
        else if (start != 1) {
            h.typeIntoBox(QString::number(start));
            h.click("Labelgoto");
        }
        h.click(command.toLatin1().constData());
        QCOMPARE(h.text("Text2"), box);
        QCOMPARE(h.sheet(), h.content.path("Data/images/" + sheet + ".gif"));
        const bool exercise = sheet.startsWith("ex");
        QCOMPARE(h.text("Label4"), exercise ? QStringLiteral("Exercise") : QStringLiteral("Riff"));
        QCOMPARE(h.colour("Label1"), exercise ? kDarkGrey : kGreen);
        QCOMPARE(h.colour("Label2"), exercise ? kGreen : kDarkGrey);
        if (command == "Labelvor" || command == "Labelback")
            QVERIFY(h.active("Labelplay"));
    }

    void goToLimits_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("riff 75") << "riff" << "75" << "58" << "riff58";
        QTest::newRow("exercise 43") << "exercise" << "43" << "1" << "ex1";
        QTest::newRow("riff 0") << "riff" << "0" << "1" << "riff1";
        QTest::newRow("exercise 0") << "exercise" << "0" << "1" << "ex1";
        QTest::newRow("riff 07, plain") << "riff" << "07" << "7" << "riff7";
        QTest::newRow("exercise 07 kept") << "exercise" << "07" << "07" << "ex7";
        // Nothing that is not a sheet number ever asks for a sheet that does not exist.
        QTest::newRow("empty") << "riff" << "" << "1" << "riff1";
        QTest::newRow("blank") << "riff" << " " << "1" << "riff1";
        QTest::newRow("letters") << "riff" << "abc" << "1" << "riff1";
        QTest::newRow("negative") << "riff" << "-3" << "1" << "riff1";
        QTest::newRow("0,4 in exercises") << "exercise" << "0,4" << "1" << "ex1";
        QTest::newRow("0.4 in riffs") << "riff" << "0.4" << "1" << "riff1";
        QTest::newRow("huge riff") << "riff" << "99999999999" << "58" << "riff58";
        QTest::newRow("huge exercise") << "exercise" << "99999999999" << "1" << "ex1";
    }

    void goToLimits()
    {
        QFETCH(QString, mode);
        QFETCH(QString, typed);
        QFETCH(QString, box);
        QFETCH(QString, sheet);
        Form1Harness h;
        if (mode == "exercise")
            h.click("Label2");
        h.typeIntoBox(typed);
        h.click("Labelgoto");
        QCOMPARE(h.text("Text2"), box);
        QCOMPARE(h.sheet(), h.content.path("Data/images/" + sheet + ".gif"));
        QVERIFY(QFile::exists(h.sheet()));
    }

    void enterOnTypedNumbers()
    {
        Form1Harness h;
        h.typeIntoBox("07");
        h.enter();
        QCOMPARE(h.text("Text2"), QStringLiteral("7"));
        QCOMPARE(h.device.openPath(), h.data("wma/riff7.wma"));
        QVERIFY(h.device.isPlaying());
        h.enter();
        QVERIFY(!h.device.isOpen());

        h.click("Label2");
        h.typeIntoBox("07");
        h.enter();
        QCOMPARE(h.text("Text2"), QStringLiteral("07"));
        QCOMPARE(h.device.openPath(), h.data("wma/ex7.wma"));
        QVERIFY(h.device.isPlaying());
    }

    void germanDecimalCommaInTheBox()
    {
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Form1Harness h;
        h.typeIntoBox("6,5"); // rounds half to even
        h.click("Labelgoto");
        QCOMPARE(h.window->currentNumber(), 6);
        h.typeIntoBox("7,5");
        h.click("Labelgoto");
        QCOMPARE(h.window->currentNumber(), 8);
        QLocale::setDefault(previous);
    }

    void tempoAfterNextAndGoTo()
    {
        Form1Harness h;
        goToExercise(h, 5);
        h.click("Imagelangsam");
        QCOMPARE(h.colour("Label13"), kGreen);
        QCOMPARE(h.device.openPath(), h.data("wma/ex5l.wma")); // opened, not started
        QVERIFY(!h.device.isPlaying());
        QCOMPARE(h.lamp("Imagelangsam"), h.content.path("Data/images/gruen2.jpg"));
        QCOMPARE(h.lamp("Imageschnell"), h.content.path("Data/images/gruen.jpg"));
        h.click("Labelvor");
        QCOMPARE(h.colour("Label13"), idleColour());
        QCOMPARE(h.lamp("Imagelangsam"), h.content.path("Data/images/gruen.jpg"));
        QCOMPARE(h.lamp("Imageschnell"), h.content.path("Data/images/gruen2.jpg"));

        h.click("Imagelangsam");
        h.typeIntoBox("9");
        h.click("Labelgoto");
        QCOMPARE(h.lamp("Imagelangsam"), h.content.path("Data/images/gruen.jpg"));
        QCOMPARE(h.lamp("Imageschnell"), h.content.path("Data/images/gruen.jpg"));
        QCOMPARE(h.colour("Label13"), kGreen);
        h.click("Labelplay");
        QCOMPARE(h.device.openPath(), h.data("wma/ex9l.wma"));
    }

    void captionsStopOnlyTheSound()
    {
        Form1Harness h;
        goToExercise(h, 2);
        h.click("Imagelangsam");
        h.click("Labelplay");
        QVERIFY(h.device.isPlaying());
        h.click("Label8");
        QVERIFY(!h.device.isOpen());
        QCOMPARE(h.colour("Label13"), kGreen);
        QCOMPARE(h.lamp("Imagelangsam"), h.content.path("Data/images/gruen2.jpg"));
    }

    void previousHidesAndShowsTheCaptions()
    {
        Form1Harness h;
        h.typeIntoBox("3");
        h.click("Labelgoto");
        h.click("Labelback"); // onto a riff
        QVERIFY(!h.find("Label8")->isVisible());
        QVERIFY(!h.find("Label3")->isVisible());
        h.click("Label2");
        QVERIFY(h.find("Imageschnell")->isVisible()); // the lamps show, the captions do not
        QVERIFY(!h.find("Image2")->isVisible());
        QVERIFY(!h.find("Label8")->isVisible());
        h.typeIntoBox("4");
        h.click("Labelgoto");
        h.click("Labelback"); // onto exercise 3
        QVERIFY(h.find("Label3")->isVisible());
        QVERIFY(!h.find("Label8")->isVisible());
    }

    void aDigitKeySilencesARhythm()
    {
        Form1Harness h;
        h.click("Labeldrumplay");
        h.tick(3000);
        QVERIFY(h.bar().width() > 1);
        QTest::keyClick(h.find("Text2"), Qt::Key_5);
        QVERIFY(!h.device.isOpen());
        QCOMPARE(h.bar(), QRect(683, 452, 1, 8));
        QVERIFY(h.idle("Labeldrumplay"));
        QCOMPARE(h.tickRow(), kTickRowGrey);
        QVERIFY(!h.window->pollTimer()->isActive()); // the edit of the box
    }

    void aClickIntoTheBoxSilences()
    {
        Form1Harness h;
        h.click("Labelloop");
        QVERIFY(h.device.isPlaying());
        h.click("Text2");
        QVERIFY(!h.device.isOpen());
        QVERIFY(h.active("Labelloop"));
    }

    void rhythmNames()
    {
        Form1Harness h;
        const QStringList forward = {"Rock 2", "Rock 3", "Blues langsam ", "Blues ", "Pop", "6/8", "Rock 1", "Rock 2"};
        for (const QString& name : forward) {
            h.click("Labelrhvor");
            QCOMPARE(h.text("Label7"), name);
        }
        Form1Harness back;
        back.click("Labelrhvor");
        back.click("Labelrhback");
        QCOMPARE(back.text("Label7"), QStringLiteral("Rock 1"));
        QCOMPARE(back.window->rhythmIndex(), 0);
        back.click("Labelrhback"); // stays at the first rhythm
        QCOMPARE(back.window->rhythmIndex(), 0);
        back.click("Labelrhvor");
        QCOMPARE(back.text("Label7"), QStringLiteral("Rock 2"));
    }

    void rhythmRecordings_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("file");
        QTest::newRow("start") << 0 << "rock1.wma";
        QTest::newRow("Rock 2") << 1 << "rock2.wma";
        QTest::newRow("Blues langsam") << 3 << "blues1.wma";
        QTest::newRow("6/8") << 6 << "681.wma";
        QTest::newRow("Rock 1 again") << 7 << "rock1.wma";
    }

    void rhythmRecordings()
    {
        QFETCH(int, steps);
        QFETCH(QString, file);
        Form1Harness h;
        for (int i = 0; i < steps; ++i)
            h.click("Labelrhvor");
        h.click("Labeldrumplay");
        QCOMPARE(h.device.openPath(), h.data("wma/" + file));
        QVERIFY(h.device.isPlaying());
    }

    void playRhythmWhileARiffLoops()
    {
        Form1Harness h;
        h.click("Labelloop");
        h.click("Labeldrumplay");
        QCOMPARE(h.device.openPath(), h.data("wma/rock1.wma"));
        QVERIFY(h.idle("Labelplay") && h.idle("Labelloop"));
        QVERIFY(h.active("Labeldrumplay"));
        QCOMPARE(h.tickRow(), kLightYellow);
        QVERIFY(h.window->pollTimer()->isActive());
    }

    void aMissingRhythmIsIdleAfterOneTick()
    {
        Form1Harness h;
        h.device.missing.insert(h.data("wma/rock1.wma"));
        h.click("Labeldrumplay");
        QVERIFY(h.active("Labeldrumplay"));
        h.tick(100);
        QVERIFY(h.idle("Labeldrumplay"));
        QCOMPARE(h.bar(), QRect(683, 452, 1, 8));
        QCOMPARE(h.tickRow(), kTickRowGrey);
    }

    void theBarFollowsTheRhythm()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/rock1.wma")] = 4800;
        h.click("Labeldrumplay");
        h.tick(0);
        QCOMPARE(h.bar(), QRect(683, 452, 0, 8));
        h.device.take();
        h.tick(2400);
        QCOMPARE(h.bar().width(), 100);
        h.tick(2399);
        QCOMPARE(h.bar().width(), 200); // 199.96 rounds to the full row
        QVERIFY(h.device.take().back() != "play myMP3 from 0"); // not before the very end
        h.tick(1);
        QCOMPARE(h.device.commands.back(), std::string("play myMP3 from 0"));
        QCOMPARE(h.window->loopLead(), 533); // the riff's lead, recomputed after; the next tick sets 0
        h.tick(100);
        QCOMPARE(h.bar().width(), 4);
    }

    void normalTempoWhileARhythmPlays()
    {
        Form1Harness h;
        h.click("Label2");
        h.click("Labeldrumplay");
        h.tick(5000);
        const int width = h.bar().width();
        QVERIFY(width > 1);
        h.click("Imageschnell");
        QCOMPARE(h.bar().width(), width); // until the next tick
        QVERIFY(!h.device.isOpen());
        h.tick(100);
        QCOMPARE(h.bar(), QRect(683, 452, 1, 8));
    }

    void imagePatchTakesTheClicksInRiffMode()
    {
        Form1Harness h;
        QCOMPARE(h.window->childAt(QPoint(118, 536))->objectName(), QStringLiteral("Image2"));
        QTest::mouseClick(h.find("Image2"), Qt::LeftButton);
        QCOMPARE(h.colour("Label13"), idleColour());
        QVERIFY(h.device.commands.empty());
    }
};

QTEST_MAIN(Form1SelectionTest)
#include "Form1SelectionTest.moc"
