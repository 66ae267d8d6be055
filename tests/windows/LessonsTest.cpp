// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"
#include "tests/mainwindow/Form1Harness.h"
#include "tests/support/LessonRoutes.h"

#include <QPushButton>
#include <QTimer>

using namespace zupfomat;
using namespace zupfomat::testing;

using Commands = std::vector<std::string>;

namespace {

const char* const kPlayButton[5] = {nullptr, "Command2", "Command1", "Command2", "Command1"};
const char* const kBackButton[6] = {nullptr, "Command1", "Command3", "Command1", "Command3", "Command3"}; // "Zurück zur Zupfomat"
const char* const kRecording[5] = {nullptr, "pent moll cells exercise.mp3", "pent moll cells beispiel.mp3",
                                   "pent dur cells exercise.mp3", "pent dur cells beispiel.mp3"};

void press(LessonCourse& course, int page, const char* button)
{
    LessonPage* window = course.openPage(page);
    QVERIFY2(window, qPrintable(QStringLiteral("page %1 is not open").arg(page)));
    QTest::mouseClick(window->button(button), Qt::LeftButton);
}

// A key pressed where the page has its focus.
void pressKey(LessonCourse& course, int page, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    LessonPage* window = course.openPage(page);
    QVERIFY2(window, qPrintable(QStringLiteral("page %1 is not open").arg(page)));
    QVERIFY(QTest::qWaitForWindowActive(window)); // a page's keys work where it is the active window
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, key, modifiers);
}

std::vector<int> openPages(const LessonCourse& course)
{
    std::vector<int> open;
    for (int page = 1; page <= 5; ++page)
        if (course.openPage(page))
            open.push_back(page);
    return open;
}

} // namespace

class LessonsTest : public QObject {
    Q_OBJECT

private slots:
    void playStopPlayOnEveryPage_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 1; page <= 4; ++page)
            QTest::newRow(qPrintable(QStringLiteral("page %1").arg(page))) << page;
    }

    void playStopPlayOnEveryPage()
    {
        QFETCH(int, page);
        Form1Harness h;
        h.course.showPage(page);
        QPushButton* play = h.course.openPage(page)->button(kPlayButton[page]);
        QCOMPARE(play->text(), QStringLiteral("Play"));
        h.device.take();
        QTest::mouseClick(play, Qt::LeftButton);
        const Commands started = {"close myMP3", h.openOf(QStringLiteral("wma/") + kRecording[page]), "play myMP3 from 0"};
        QCOMPARE(h.device.take(), started);
        QCOMPARE(play->text(), QStringLiteral("Stop"));
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(h.device.take(), Commands{"close myMP3"});
        QCOMPARE(play->text(), QStringLiteral("Play"));
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(h.device.take(), started);
        h.course.closePage(page);
    }

    void aRecordingThatEndedByItself()
    {
        Form1Harness h;
        h.course.showPage(1);
        QPushButton* play = h.course.openPage(1)->button("Command2");
        QTest::mouseClick(play, Qt::LeftButton);
        h.device.nowMs += 60000; // it has ended; nothing watches it
        QCOMPARE(play->text(), QStringLiteral("Stop"));
        QCOMPARE(h.course.playToggleOf(1), 1);
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(play->text(), QStringLiteral("Play"));
        QVERIFY(!h.device.isOpen());
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(h.device.isPlaying());
        h.course.closePage(1);
    }

    // Every page with a recording stops it when its window is closed, and starts stopped.
    void closeBoxStopsTheRecording_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 1; page <= 4; ++page)
            QTest::newRow(qPrintable(QStringLiteral("page %1").arg(page))) << page;
    }

    void closeBoxStopsTheRecording()
    {
        QFETCH(int, page);
        Form1Harness h;
        h.course.showPage(page);
        press(h.course, page, kPlayButton[page]);
        QVERIFY(h.device.isPlaying());
        h.course.openPage(page)->close();
        QVERIFY(!h.device.isOpen());
        QVERIFY(!h.course.openPage(page));
        h.course.showPage(page); // reopened: its toggle starts again at 0
        QCOMPARE(h.course.playToggleOf(page), 0);
        QCOMPARE(h.course.openPage(page)->button(kPlayButton[page])->text(), QStringLiteral("Play"));
        press(h.course, page, kPlayButton[page]);
        QVERIFY(h.device.isPlaying());
        h.course.closePage(page);
    }

    void navigation_data() { addLessonButtonRows(PlayButtons::Left); }

    // Which page opens, which closes, and that a recording of the page left is silenced.
    void navigation()
    {
        QFETCH(int, page);
        QFETCH(QString, button);
        QFETCH(int, shown);
        Form1Harness h;
        h.course.showPage(page);
        if (page <= 4)
            press(h.course, page, kPlayButton[page]);
        const bool wasPlaying = h.device.isPlaying();
        press(h.course, page, button.toLatin1().constData());
        QCOMPARE(openPages(h.course), shown == 0 ? std::vector<int>{} : std::vector<int>{shown});
        QCOMPARE(h.returnsToMainWindow, shown == 0 ? 1 : 0);
        if (wasPlaying)
            QVERIFY(!h.device.isOpen());
        if (shown != 0) {
            QCOMPARE(h.course.openPage(shown)->windowTitle(), QStringLiteral("Form%1").arg(shown + 2));
            h.course.closePage(shown);
        }
    }

    void f5IsThePlayButton_data() { playStopPlayOnEveryPage_data(); }

    void f5IsThePlayButton()
    {
        QFETCH(int, page);
        Form1Harness h;
        h.course.showPage(page);
        QPushButton* play = h.course.openPage(page)->button(kPlayButton[page]);
        h.device.take();
        pressKey(h.course, page, Qt::Key_F5);
        const Commands started = {"close myMP3", h.openOf(QStringLiteral("wma/") + kRecording[page]), "play myMP3 from 0"};
        QCOMPARE(h.device.take(), started);
        QCOMPARE(play->text(), QStringLiteral("Stop"));
        pressKey(h.course, page, Qt::Key_F5);
        QCOMPARE(h.device.take(), Commands{"close myMP3"});
        QCOMPARE(play->text(), QStringLiteral("Play"));
        QCOMPARE(h.returnsToMainWindow, 0);
        QVERIFY(play->toolTip().endsWith(QStringLiteral("(F5)")));
        h.course.closePage(page);
    }

    void backKeysLeadToTheMainWindow_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        for (int page = 1; page <= 5; ++page) {
            QTest::newRow(qPrintable(QStringLiteral("page %1, Escape").arg(page))) << page << int(Qt::Key_Escape) << int(Qt::NoModifier);
            QTest::newRow(qPrintable(QStringLiteral("page %1, Alt+Left").arg(page))) << page << int(Qt::Key_Left) << int(Qt::AltModifier);
        }
    }

    // The key does what "Zurück zur Zupfomat" does: the same commands, the page closed, the
    // main window asked for; the button's tooltip names the keys.
    void backKeysLeadToTheMainWindow()
    {
        QFETCH(int, page);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Commands clicked;
        QString tip;
        {
            Form1Harness h;
            h.course.showPage(page);
            if (page <= 4)
                press(h.course, page, kPlayButton[page]);
            tip = h.course.openPage(page)->button(kBackButton[page])->toolTip();
            h.device.take();
            press(h.course, page, kBackButton[page]);
            clicked = h.device.take();
        }
        Form1Harness h;
        h.course.showPage(page);
        if (page <= 4)
            press(h.course, page, kPlayButton[page]);
        h.device.take();
        pressKey(h.course, page, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(h.device.take(), clicked);
        QCOMPARE(openPages(h.course), std::vector<int>{});
        QCOMPARE(h.returnsToMainWindow, 1);
        if (page <= 4)
            QVERIFY(!h.device.isOpen());
        QVERIFY(tip.contains(QStringLiteral("Esc")) && tip.contains(QStringLiteral("Alt+Links")));
    }

    void theLessonLinkSilencesARhythm_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("caption") << "Labellage";
        QTest::newRow("click area over the circle") << "Label6";
    }

    void theLessonLinkSilencesARhythm()
    {
        QFETCH(QString, link);
        Form1Harness h;
        h.click("Labeldrumplay");
        h.click(link.toLatin1().constData());
        QVERIFY(!h.device.isOpen());
        QVERIFY(h.course.openPage(1));
        QCOMPARE(h.course.openPage(1)->windowTitle(), QStringLiteral("Form3"));
        QVERIFY(h.active("Labeldrumplay")); // the main window's labels keep their colours
        QVERIFY(h.window->pollTimer()->isActive());
        h.tick(100); // its next tick finds the device closed
        QVERIFY(h.idle("Labeldrumplay"));
        h.course.closePage(1);
    }

    // With LOOP running the poll tick watches the lesson recording like a looped riff.
    void theLoopTickWatchesALessonRecording()
    {
        Form1Harness h;
        h.device.lengthOf[h.data("wma/riff1.wma")] = 9000;
        h.click("Labelloop");
        h.tick(100); // the lead of riff 1: 1000 ms
        h.click("Labellage");
        h.device.lengthOf[h.data("wma/pent moll cells exercise.mp3")] = 18000;
        press(h.course, 1, "Command2");
        h.device.take();
        h.tick(100); // the lead becomes 18000 / 9 = 2000
        h.device.nowMs += 15899;
        h.tick();
        QVERIFY(h.device.commands.back() != "play myMP3 from 0");
        h.tick(1);
        QCOMPARE(h.device.commands.back(), std::string("play myMP3 from 0"));
        h.course.closePage(1);
    }

    // The media device gets ready once the main window's first frame is out, not on its way,
    // and once for each main window shown.
    void mediaDeviceGetsReadyAfterTheFirstFrame()
    {
        TestContent content;
        FakeMediaDevice device;
        MediaChannel channel(device);
        RecordingDesktop desktop;
        Program program(channel, ContentFolder(content.programFolder()), desktop);
        program.showMainWindow();
        QCOMPARE(device.preparations, 0);
        QVERIFY(QTest::qWaitForWindowExposed(program.mainWindow()));
        QTRY_COMPARE(device.preparations, 1);
        program.mainWindow()->update();
        QTest::qWait(50);
        QCOMPARE(device.preparations, 1);
        QVERIFY(device.commands.empty()); // getting ready opens nothing
    }

    // The main window closed, a page's way back opens it again, freshly started.
    void backToAClosedMainWindow()
    {
        TestContent content;
        FakeMediaDevice device;
        MediaChannel channel(device);
        RecordingDesktop desktop;
        Program program(channel, ContentFolder(content.programFolder()), desktop);
        program.showMainWindow();
        QPointer<Form1> first = program.mainWindow();
        QVERIFY(first);
        QTest::mouseClick(first->findChild<QWidget*>("Labelvor"), Qt::LeftButton);
        QCOMPARE(first->currentNumber(), 2);
        program.course().showPage(2);
        first->close();
        QTRY_VERIFY(!first);
        QVERIFY(program.course().openPage(2)); // the page stays open and working
        press(program.course(), 2, "Command3"); // "Zurück zur Zupfomat"
        QVERIFY(program.mainWindow());
        QVERIFY(program.mainWindow()->isVisible());
        QCOMPARE(program.mainWindow()->currentNumber(), 1);
    }
};

QTEST_MAIN(LessonsTest)
#include "LessonsTest.moc"
