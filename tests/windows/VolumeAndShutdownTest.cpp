// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow/Form2.h"
#include "tests/mainwindow/Form1Harness.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace zupfomat;
using namespace zupfomat::testing;

class VolumeAndShutdownTest : public QObject {
    Q_OBJECT

private slots:
    void startsTheFirstMixerFound_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("pavucontrol first") << QStringList{"pavucontrol", "kmix"} << "/usr/bin/pavucontrol" << QStringList{};
        QTest::newRow("GNOME") << QStringList{"gnome-control-center", "kmix"} << "/usr/bin/gnome-control-center"
                               << QStringList{"sound"};
        QTest::newRow("KDE") << QStringList{"kmix"} << "/usr/bin/kmix" << QStringList{};
    }

    void startsTheFirstMixerFound()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        Form1Harness h;
        for (const QString& name : installed)
            h.desktop.programs[name] = "/usr/bin/" + name;
        h.click("Labelloop");
        h.device.take();
        h.click("Image1");
        QCOMPARE(h.desktop.started.size(), size_t(1));
        QCOMPARE(h.desktop.started[0].program, program);
        QCOMPARE(h.desktop.started[0].arguments, arguments);
        QVERIFY(h.device.commands.empty()); // the riff goes on looping
        QVERIFY(h.active("Labelloop"));
    }

    void theLampIsLitForHalfASecond()
    {
        Form1Harness h;
        h.desktop.programs["pavucontrol"] = "/usr/bin/pavucontrol";
        h.click("Image1");
        QCOMPARE(h.lamp("Image1"), h.content.path("Data/images/gruen2.jpg"));
        QVERIFY(h.window->lampTimer()->isActive());
        QCOMPARE(h.window->lampTimer()->interval(), 500);
        QTest::qWait(150);
        const int remaining = h.window->lampTimer()->remainingTime();
        h.click("Image1"); // starts the mixer again, does not lengthen the light
        QCOMPARE(h.desktop.started.size(), size_t(2));
        QVERIFY(h.window->lampTimer()->remainingTime() <= remaining);
        h.window->volumeLampTick();
        QCOMPARE(h.lamp("Image1"), h.content.path("Data/images/gruen.jpg"));
        QVERIFY(!h.window->lampTimer()->isActive());
    }

    void noMixerIsSaid()
    {
        Form1Harness h;
        h.click("Image1");
        QVERIFY(h.desktop.started.empty());
        auto* notice = h.window->findChild<QMessageBox*>("notice");
        QVERIFY(notice && notice->isVisible());
        QVERIFY(!h.window->lampTimer()->isActive());
        QCOMPARE(h.lamp("Image1"), QStringLiteral(":/design/dot.png")); // still its design picture
        notice->accept();
        h.desktop.programs["kmix"] = "/usr/bin/kmix";
        h.desktop.programsStart = false; // found, but it does not start
        h.click("Image1");
        QVERIFY(h.window->findChild<QMessageBox*>("notice"));
    }

    void theVolumeCaptionDoesNothing()
    {
        Form1Harness h;
        h.desktop.programs["pavucontrol"] = "/usr/bin/pavucontrol";
        h.click("Label10");
        QVERIFY(h.desktop.started.empty());
        QVERIFY(h.device.commands.empty());
    }

    void closingSilencesAndClosesHelp()
    {
        Form1Harness h;
        h.click("Labelloop");
        h.click("Label5");
        QPointer<Form2> help = h.window->helpWindow();
        QVERIFY(help);
        h.course.showPage(3);
        h.window->close();
        QVERIFY(!h.device.isOpen());
        QVERIFY(!h.window->pollTimer()->isActive());
        QVERIFY(h.idle("Labelloop"));
        QTRY_VERIFY(!help);
        QVERIFY(h.course.openPage(3)); // lesson pages stay open and working
        QTest::mouseClick(h.course.openPage(3)->button("Command2"), Qt::LeftButton);
        QVERIFY(h.device.isPlaying());
        QVERIFY(h.window->exitTimer()->isActive());
        h.course.closePage(3);
    }

    void closingWithoutHelp()
    {
        Form1Harness h;
        h.click("Labeldrumplay");
        h.window->close();
        QVERIFY(!h.device.isOpen());
        QVERIFY(h.idle("Labeldrumplay"));
        QCOMPARE(h.bar(), QRect(683, 452, 1, 8));
    }
};

QTEST_MAIN(VolumeAndShutdownTest)
#include "VolumeAndShutdownTest.moc"
