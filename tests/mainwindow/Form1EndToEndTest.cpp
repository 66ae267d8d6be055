// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"
#include "media/MediaChannel.h"
#include "media/PlaybackDevice.h"
#include "tests/support/TestContent.h"
#include "tests/support/TestMedia.h"

#include <QtTest>

using namespace zupfomat;
using namespace zupfomat::testing;
using namespace std::chrono_literals;

// The real device (null output) and a real recording: LOOP comes round, STOP silences.
class Form1EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void loopRestartsAndStopSilences()
    {
        TestContent content;
        QVERIFY(writeWma(content.path("Data/wma/riff1.wma").toStdString(), 0.9));
        PlaybackDevice device(OutputChoice::NullOnly);
        MediaChannel channel(device);
        Form1 window({channel, ContentFolder(content.programFolder())});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.findChild<QWidget*>("Labelloop"), Qt::LeftButton);
        QVERIFY(window.pollTimer()->isActive());
        int restarts = 0;
        int last = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000) { // the real timer drives the ticks
            QTest::qWait(20);
            const int position = channel.sendMediaCommand("status myMP3 position");
            if (position + 200 < last)
                ++restarts;
            last = position;
        }
        QVERIFY2(restarts >= 2, qPrintable(QStringLiteral("%1 restarts").arg(restarts)));
        QTest::mouseClick(window.findChild<QWidget*>("Labelstop"), Qt::LeftButton);
        QVERIFY(!window.pollTimer()->isActive());
        QCOMPARE(device.send("status myMP3 length"), std::string()); // closed: silent
    }
};

QTEST_MAIN(Form1EndToEndTest)
#include "Form1EndToEndTest.moc"
