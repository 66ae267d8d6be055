// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow/Form2.h"
#include "helpwindow/Form2Design.h"
#include "mainwindow/Form1Design.h"
#include "tests/mainwindow/Form1Harness.h"

#include <QMessageBox>
#include <QTimer>

using namespace zupfomat;
using namespace zupfomat::testing;

namespace {

QList<Form2*> helpWindows()
{
    QList<Form2*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* help = qobject_cast<Form2*>(w); help && help->isVisible())
            found << help;
    return found;
}

} // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

private slots:
    void questionMarkOpensOneWindow()
    {
        Form1Harness h;
        h.click("Label5");
        h.click("Label5");
        QCOMPARE(helpWindows().size(), 1);
        Form2* first = h.window->helpWindow();
        QCOMPARE(first->windowTitle(), QStringLiteral("Zupfomat Hilfe"));
        QVERIFY(!first->isModal());
        first->close();
        QTRY_VERIFY(!h.window->helpWindow()); // closing discards it
        h.click("Label5");
        QVERIFY(h.window->helpWindow());
        QCOMPARE(helpWindows().size(), 1);
        h.window->helpWindow()->close();
    }

    void openingHelpChangesNothingInTheMainWindow()
    {
        Form1Harness h;
        h.click("Labelloop");
        h.device.take();
        h.click("Label5");
        QVERIFY(h.device.commands.empty());
        QVERIFY(h.active("Labelloop"));
        QVERIFY(h.window->pollTimer()->isActive());
        QVERIFY(h.device.isPlaying());
        h.window->helpWindow()->close();
    }

    void theLinkOpensTheDownloadPageOverHttps()
    {
        RecordingDesktop desktop;
        Form2 help(desktop);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        auto* link = help.findChild<QLabel*>("Label21");
        QCOMPARE(link->text(), QStringLiteral("www.zupfomat.example/download.html "));
        QVERIFY(link->font().underline() && link->font().bold());
        QTest::mouseClick(link, Qt::LeftButton);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(desktop.opened.size(), size_t(2));
        QCOMPARE(desktop.opened[0], QUrl("https://www.zupfomat.example/download.html"));
        QCOMPARE(desktop.opened[1], desktop.opened[0]);
    }

    void aBrowserThatDoesNotOpenIsSaid()
    {
        RecordingDesktop desktop;
        desktop.browserOpens = false;
        Form2 help(desktop);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QTest::mouseClick(help.findChild<QLabel*>("Label21"), Qt::LeftButton);
        auto* notice = help.findChild<QMessageBox*>("notice");
        QVERIFY(notice);
        QVERIFY(notice->isVisible());
        QVERIFY(notice->text().contains("Browser"));
        notice->accept();
    }

    // The text on the practice tempo names its keys, and its line ends on the tempo caption in
    // the screenshot, which shows the controls: dark caption pixels where the design puts them.
    void explainsThePracticeTempo()
    {
        RecordingDesktop desktop;
        Form2 help(desktop);
        const QString text = help.findChild<QLabel*>("Label22")->text();
        for (const char* word : {"Tempo", "Strg+Minus", "Strg+Plus", "Steigern", "100 %"})
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);
        auto* picture = help.findChild<QLabel*>("Picture1");
        const double scaleX = double(picture->width()) / kForm1Width;
        const double scaleY = double(picture->height()) / kForm1Height;
        const QRect caption = form1Control("LabelTempo").rect;
        const QRect shown(QPoint(int(caption.left() * scaleX), int(caption.top() * scaleY)),
                          QPoint(int(caption.right() * scaleX), int(caption.bottom() * scaleY)));
        QWidget* line = help.findChild<QWidget*>("Line37");
        QCOMPARE(line->parentWidget(), picture);
        QVERIFY2(shown.adjusted(-3, -3, 3, 3).contains(line->geometry().topLeft()), "the line ends at the caption");
        const QImage screenshot = picture->pixmap().toImage();
        int dark = 0;
        for (int y = shown.top(); y <= shown.bottom(); ++y)
            for (int x = shown.left(); x <= shown.right(); ++x)
                dark += qGray(screenshot.pixel(x, y)) < 100;
        QVERIFY2(dark > 20, qPrintable(QString::number(dark)));
    }

    void theDesign()
    {
        RecordingDesktop desktop;
        Form2 help(desktop);
        QCOMPARE(help.size(), QSize(807, 642));
        QCOMPARE(help.palette().color(QPalette::Window), QColor(255, 255, 128));
        QCOMPARE(help.findChild<QLabel*>("Label3")->text(),
                 QStringLiteral("Riffs:  Hier kann zu den                         Riffs geschaltet werden"));
        QCOMPARE(help.findChild<QLabel*>("Label4")->text(),
                 QStringLiteral("Exercises:  Hier kann zu den                         \u00dcbungen geschaltet                    werden"));
        QCOMPARE(help.findChild<QLabel*>("Label1")->geometry(), QRect(112, 16, 380, 33));
        QCOMPARE(help.findChild<QLabel*>("Label1")->font().pixelSize(), 24);
        int labels = 0;
        for (QLabel* label : help.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            labels += label->objectName().startsWith("Label");
        QCOMPARE(labels, 22);
        QWidget* picture = help.findChild<QWidget*>("Picture1");
        QCOMPARE(picture->geometry(), QRect(224, 82, 502, 344));
        int onWindow = 0, inPicture = 0;
        for (QWidget* w : help.findChildren<QWidget*>()) {
            if (!w->objectName().startsWith("Line"))
                continue;
            (w->parentWidget() == picture ? inPicture : onWindow) += 1;
        }
        QCOMPARE(onWindow, 19);
        QCOMPARE(inPicture, 19);
        QList<QWidget*> line1;
        for (QWidget* w : help.findChildren<QWidget*>("Line1"))
            line1 << w;
        QCOMPARE(line1.size(), 2);
        // Line9 runs straight down: one pixel wide from (619, 426) to (619, 500).
        QCOMPARE(help.findChild<QWidget*>("Line9")->geometry(), QRect(619, 426, 1, 75));
        // The screenshot and its lines lie in front of every label.
        QCOMPARE(help.childAt(QPoint(230, 120)), picture);
    }
};

QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
