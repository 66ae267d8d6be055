// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/DesignBuilder.h"
#include "mainwindow/Form1.h"
#include "mainwindow/Form1Design.h"
#include "tests/support/FakeMediaDevice.h"
#include "tests/support/TestContent.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace zupfomat;
using namespace zupfomat::testing;

class Form1LayoutTest : public QObject {
    Q_OBJECT

    TestContent content;
    FakeMediaDevice device;
    MediaChannel channel{device};

private slots:
    void theWindow()
    {
        Form1 window({channel, ContentFolder(content.programFolder())});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.objectName(), QStringLiteral("Form1"));
        QCOMPARE(window.windowTitle(), QStringLiteral(" Zupfomat"));
        QCOMPARE(window.size(), QSize(999, 657));
        QCOMPARE(window.minimumSize(), window.maximumSize()); // not resizable
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!window.windowIcon().isNull());
    }

    // Every control as the design table has it, before start-up changes anything.
    void everyControlAsDesigned()
    {
        Form1 window({channel, ContentFolder(content.programFolder())});
        for (const ControlDesign& row : form1Design()) {
            QWidget* control = window.findChild<QWidget*>(QString::fromLatin1(row.name));
            QVERIFY2(control, row.name);
            if (std::string(row.name) != "Picture1") // it takes the size of its sheet
                QCOMPARE(control->geometry(), row.rect);
            QCOMPARE(control->font().pixelSize(), designFont(row).pixelSize());
            QCOMPARE(control->font().bold(), row.bold);
            if (auto* label = qobject_cast<QLabel*>(control); label && !row.caption.isEmpty() &&
                                                              std::string(row.name) != "Label7")
                QCOMPARE(label->text(), row.caption);
            QCOMPARE(control->isVisibleTo(&window), row.visible);
        }
        QCOMPARE(window.findChild<QLabel*>("Labelplay")->text(), QStringLiteral("   PLAY"));
        QCOMPARE(window.findChild<QLabel*>("Labeldrumplay")->text(), QStringLiteral("Play   Rhythm"));
        QCOMPARE(window.findChild<QLabel*>("Label14")->text().size(), 66);
        QCOMPARE(window.findChild<QLabel*>("Label11")->font().family(), QStringLiteral("Comic Neue"));
        QCOMPARE(window.findChild<QLabel*>("Labellage")->font().pixelSize(), 16); // 12 pt at 96 dpi
    }

    // Where controls overlap, the one in front takes the click.
    void stackingOfTheOverlappingPairs_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("front");
        QTest::newRow("bar before tick row") << QPoint(683, 455) << "Label12";
        QTest::newRow("click area before circle") << QPoint(709, 619) << "Label6";
        QTest::newRow("patch before slow lamp") << QPoint(118, 536) << "Image2";
        QTest::newRow("patch before normal lamp") << QPoint(66, 536) << "Image2";
        QTest::newRow("patch before caption") << QPoint(110, 560) << "Image2";
        QTest::newRow("PLAY") << QPoint(290, 480) << "Labelplay";
        QTest::newRow("LOOP") << QPoint(290, 500) << "Labelloop";
    }

    void stackingOfTheOverlappingPairs()
    {
        QFETCH(QPoint, point);
        QFETCH(QString, front);
        Form1 window({channel, ContentFolder(content.programFolder())});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* hit = window.childAt(point);
        QVERIFY(hit);
        QCOMPARE(hit->objectName(), front);
    }

    void onlySheetAndNumberBoxTakeFocus()
    {
        Form1 window({channel, ContentFolder(content.programFolder())});
        QStringList focusable;
        for (QWidget* child : window.findChildren<QWidget*>()) {
            if (child->focusPolicy() != Qt::NoFocus && child->isVisibleTo(&window))
                focusable << child->objectName();
        }
        focusable.sort();
        QCOMPARE(focusable, (QStringList{"Picture1", "Text2"}));
    }
};

QTEST_MAIN(Form1LayoutTest)
#include "Form1LayoutTest.moc"
