// SPDX-License-Identifier: GPL-3.0-or-later
// Clicks go to the window at the control's place, as a user's do: a control left out of view by
// its scroll area is missed there.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/Program.h"
#include "controls/Controls.h"
#include "controls/ScreenFit.h"
#include "helpwindow/Form2.h"
#include "helpwindow/Form2Design.h"
#include "mainwindow/Form1Design.h"
#include "tests/support/FakeMediaDevice.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TestContent.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include "tests/support/LessonRoutes.h"

#include <QtTest>

#include <algorithm>
#include <memory>

using namespace zupfomat;
using namespace zupfomat::testing;

namespace {

const QString kSmallScreen = QStringLiteral("1024x600");
const QString kWideScreen = QStringLiteral("1920x1200");

QScreen* screenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

// The program over a fake device: its windows open on the primary screen, the small one.
struct Scene {
    TestContent content;
    FakeMediaDevice device;
    MediaChannel channel{device};
    RecordingDesktop desktop;
    Program program{channel, ContentFolder(content.programFolder()), desktop};

    Form1* main() { return program.mainWindow(); }
    Form1Services services() { return {channel, ContentFolder(content.programFolder()), &desktop, &program.course()}; }
};

// Its frame as well as its client area lie in the available area of its screen.
bool wholeOnScreen(const QWidget* window)
{
    return window->screen()->availableGeometry().contains(window->frameGeometry());
}

QList<QWidget*> designControls(const QWidget* window, const std::vector<ControlDesign>& design)
{
    QList<QWidget*> controls;
    for (const ControlDesign& row : design) // every element of a control array
        controls << window->findChildren<QWidget*>(QString::fromLatin1(row.name));
    return controls;
}

// Every shown control of the design can be scrolled into view: as much of it as the view holds.
void checkEveryControlReachable(const QWidget* window, const std::vector<ControlDesign>& design)
{
    QScrollArea* area = screenFitArea(window);
    QVERIFY2(area, qPrintable(window->objectName() + " has no scroll area"));
    const QList<QWidget*> controls = designControls(window, design);
    QVERIFY(!controls.isEmpty());
    for (QWidget* control : controls) {
        if (!control->isVisibleTo(window))
            continue;
        area->ensureWidgetVisible(control, 0, 0);
        const QRect inView(control->mapTo(area->viewport(), QPoint()), control->size());
        const QRect seen = inView & area->viewport()->rect();
        QVERIFY2(seen.size() == control->size().boundedTo(area->viewport()->size()),
                 qPrintable(QStringLiteral("%1 of %2 cannot be brought into view").arg(control->objectName(), window->objectName())));
    }
}

// A click where a user would click: brought into view first, then at its place in the window.
void clickInView(QWidget* control)
{
    QScrollArea* area = screenFitArea(control->window());
    QVERIFY2(area, qPrintable(control->window()->objectName() + " has no scroll area"));
    area->ensureWidgetVisible(control, 0, 0);
    QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
}

QList<Form2*> helpWindows()
{
    QList<Form2*> found;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* help = qobject_cast<Form2*>(window))
            found << help;
    return found;
}

// The picture with one part blacked out.
QImage withOut(QImage image, const QRect& part)
{
    QPainter(&image).fillRect(part, Qt::black);
    return image;
}

// What a click on a main window control does, seen from outside.
struct MainControl {
    const char* name;
    const char* does;
    bool (*done)(Scene&);
};

const MainControl kMainControls[] = {
    {"Label5", "? opens the help window", [](Scene& s) { return s.main()->helpWindow() && s.main()->helpWindow()->isVisible(); }},
    {"Labellage", "the lesson link opens page 1", [](Scene& s) { return s.program.course().openPage(1) != nullptr; }},
    {"Label6", "the circle opens page 1", [](Scene& s) { return s.program.course().openPage(1) != nullptr; }},
    {"Image1", "the lamp starts the mixer", [](Scene& s) { return s.desktop.started.size() == 1; }},
    {"Labelvor", "> shows riff 2", [](Scene& s) { return s.main()->currentNumber() == 2; }},
    {"Labelplay", "PLAY plays", [](Scene& s) { return s.device.isPlaying(); }},
    {"Label2", "Exercises shows the exercises",
     [](Scene& s) { return s.main()->findChild<QLabel*>(QStringLiteral("Label4"))->text() == "Exercise"; }},
    {"Labelrhvor", "> chooses the next rhythm", [](Scene& s) { return s.main()->rhythmIndex() == 1; }},
    {"Labeldrumplay", "Play Rhythm plays", [](Scene& s) { return s.device.isPlaying(); }},
};

enum class Window { Main, Help, Page1, Page2, Page3, Page4, Page5 };

// The window made and shown on a screen, as the program makes it, with its design.
struct Shown {
    std::unique_ptr<QWidget> window;
    std::vector<ControlDesign> design;
    QSize designSize;
};

Shown showOn(Scene& scene, Window kind, QScreen* screen)
{
    Shown shown;
    const QPoint corner = screen->availableGeometry().topLeft() + QPoint(kFrameAllowance.left(), kFrameAllowance.top());
    if (kind == Window::Main) {
        shown.window = std::make_unique<Form1>(scene.services());
        shown.design = form1Design();
        shown.designSize = QSize(kForm1Width, kForm1Height);
    } else if (kind == Window::Help) {
        shown.window = std::make_unique<Form2>(scene.desktop);
        shown.window->setAttribute(Qt::WA_DeleteOnClose, false);
        shown.design = form2Design();
        shown.designSize = QSize(kForm2Width, kForm2Height);
    } else {
        const int page = int(kind) - int(Window::Page1) + 1;
        shown.window = std::make_unique<LessonPage>(page);
        shown.window->setAttribute(Qt::WA_DeleteOnClose, false);
        shown.design = lessonPageDesign(page).controls;
        shown.designSize = lessonPageDesign(page).size;
    }
    shown.window->move(corner);
    if (kind >= Window::Page1)
        shown.window->showMaximized(); // as the course shows its pages
    else
        shown.window->show();
    return shown;
}

} // namespace

class ScreenFitTest : public QObject {
    Q_OBJECT

public:
    // Two screens side by side: a small one, which comes first and is where the program opens
    // its windows, and a desktop screen.
    static void initMain()
    {
        static QTemporaryDir folder;
        QFile config(folder.filePath(QStringLiteral("screens.json")));
        if (!config.open(QIODevice::WriteOnly))
            qFatal("cannot write the screen configuration");
        config.write(R"({"screens": [
            {"name": "1024x600", "x": 0, "y": 0, "width": 1024, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0},
            {"name": "1920x1200", "x": 1024, "y": 0, "width": 1920, "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}
        ]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(screenNamed(kWideScreen));
        QCOMPARE(QGuiApplication::primaryScreen()->name(), kSmallScreen);
    }

    void cleanup()
    {
        qDeleteAll(helpWindows()); // a help window outlives the main window that opened it
    }

    void mainWindowOnASmallScreen()
    {
        Scene s;
        s.program.showMainWindow();
        Form1* main = s.main();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QTRY_VERIFY(wholeOnScreen(main)); // its title bar too
        QCOMPARE(main->minimumSize(), main->maximumSize()); // still of fixed size
        checkEveryControlReachable(main, form1Design());
        QWidget* numberBox = main->findChild<QWidget*>(QStringLiteral("Text2"));
        QCOMPARE(main->focusWidget(), numberBox);
        clickInView(main->findChild<QWidget*>(QStringLiteral("Labelvor")));
        QCOMPARE(main->focusWidget(), numberBox); // a click on a label leaves the typing in the number box
        QTRY_COMPARE(s.device.preparations, 1); // the fitted window still has its first frame
    }

    void mainWindowControlsWorkOnASmallScreen_data()
    {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < std::size(kMainControls); ++i)
            QTest::newRow(kMainControls[i].does) << int(i);
    }

    void mainWindowControlsWorkOnASmallScreen()
    {
        QFETCH(int, index);
        const MainControl& control = kMainControls[index];
        Scene s;
        s.desktop.programs[QStringLiteral("pavucontrol")] = QStringLiteral("/usr/bin/pavucontrol");
        s.program.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(s.main()));
        QVERIFY(!control.done(s));
        clickInView(s.main()->findChild<QWidget*>(QString::fromLatin1(control.name)));
        QVERIFY(control.done(s));
    }

    void helpWindowOnASmallScreen()
    {
        Scene s;
        s.program.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(s.main()));
        clickInView(s.main()->findChild<QWidget*>(QStringLiteral("Label5"))); // "?"
        Form2* help = s.main()->helpWindow();
        QVERIFY(help);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTRY_VERIFY(wholeOnScreen(help));
        checkEveryControlReachable(help, form2Design());
        clickInView(help->findChild<QWidget*>(QStringLiteral("Label21"))); // the download link
        QCOMPARE(s.desktop.opened, std::vector<QUrl>{downloadPage()});
    }

    void lessonPageOnASmallScreen_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 1; page <= kLessonPages; ++page)
            QTest::newRow(qPrintable(QStringLiteral("page %1").arg(page))) << page;
    }

    // Maximised as ever, with everything of the page in reach, what lies beyond its design size too.
    void lessonPageOnASmallScreen()
    {
        QFETCH(int, page);
        Scene s;
        s.program.course().showPage(page);
        LessonPage* window = s.program.course().openPage(page);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->isMaximized());
        QTRY_COMPARE(window->frameGeometry(), window->screen()->availableGeometry());
        checkEveryControlReachable(window, lessonPageDesign(page).controls);
    }

    void lessonButtonsWorkOnASmallScreen_data() { addLessonButtonRows(PlayButtons::Included); }

    void lessonButtonsWorkOnASmallScreen()
    {
        QFETCH(int, page);
        QFETCH(QString, button);
        QFETCH(int, shown);
        Scene s;
        s.program.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(s.main()));
        s.program.course().showPage(page);
        LessonPage* window = s.program.course().openPage(page);
        QVERIFY(QTest::qWaitForWindowActive(window));
        clickInView(window->button(button.toLatin1().constData()));
        if (shown < 0) {
            QVERIFY(s.device.isPlaying());
            QCOMPARE(window->button(button.toLatin1().constData())->text(), QStringLiteral("Stop"));
            return;
        }
        QTRY_VERIFY(!s.program.course().openPage(page));
        if (shown == 0) {
            QVERIFY(s.main()->isVisible());
            QTRY_COMPARE(QApplication::activeWindow(), s.main());
        } else {
            QVERIFY(s.program.course().openPage(shown));
        }
    }

    // "Zurück zur Zupfomat" after the main window was closed builds it anew, fitted as well.
    void aMainWindowBuiltAnewFitsToo()
    {
        Scene s;
        s.program.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(s.main()));
        s.program.course().showPage(5);
        QPointer<Form1> first = s.main();
        first->close();
        QTRY_VERIFY(!first);
        clickInView(s.program.course().openPage(5)->button("Command3")); // "Zurück zur Zupfomat"
        QVERIFY(s.main());
        QVERIFY(QTest::qWaitForWindowExposed(s.main()));
        QVERIFY(screenFitArea(s.main()));
        QTRY_VERIFY(wholeOnScreen(s.main()));
    }

    void theScreenItShowsOnDecides_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("main window") << int(Window::Main);
        QTest::newRow("help window") << int(Window::Help);
        for (int page = 1; page <= kLessonPages; ++page)
            QTest::newRow(qPrintable(QStringLiteral("lesson page %1").arg(page))) << int(Window::Page1) + page - 1;
    }

    // The same window: fitted on the small screen, left exactly as designed on the wide one.
    void theScreenItShowsOnDecides()
    {
        QFETCH(int, kind);
        Scene s;
        const Shown small = showOn(s, Window(kind), screenNamed(kSmallScreen));
        QVERIFY(QTest::qWaitForWindowActive(small.window.get())); // drawn as the active window, as the other
        QScrollArea* area = screenFitArea(small.window.get());
        QVERIFY(area);
        QTRY_VERIFY(wholeOnScreen(small.window.get()));
        const QImage fitted = area->widget()->grab().toImage();

        const Shown wide = showOn(s, Window(kind), screenNamed(kWideScreen));
        QWidget* window = wide.window.get();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // Where both show the design, they show it alike: the window's own painting, its
        // controls and their places. The number box's cursor blinks: it is left out.
        const QRect common = QRect(QPoint(), fitted.size()) & window->rect();
        const QRect blinking = Window(kind) == Window::Main ? form1Control("Text2").rect : QRect();
        QVERIFY2(withOut(fitted.copy(common), blinking) == withOut(window->grab(common).toImage(), blinking),
                 "the fitted window does not look as designed");
        QCOMPARE(window->screen()->name(), kWideScreen);
        QVERIFY(!screenFitArea(window));
        if (Window(kind) >= Window::Page1)
            QTRY_COMPARE(window->frameGeometry(), window->screen()->availableGeometry());
        else
            QCOMPARE(window->size(), wide.designSize);
        if (Window(kind) == Window::Main)
            QCOMPARE(window->maximumSize(), wide.designSize);
        for (const ControlDesign& row : wide.design) {
            if (row.container)
                continue;
            const QList<QWidget*> named = window->findChildren<QWidget*>(QString::fromLatin1(row.name), Qt::FindDirectChildrenOnly);
            QVERIFY2(!named.isEmpty(), row.name);
            if (qobject_cast<SheetBox*>(named.first()))
                continue; // the sheet box takes its sheet's size
            QVERIFY2(std::any_of(named.begin(), named.end(), [&](QWidget* control) { return control->geometry() == row.rect; }),
                     row.name);
        }
    }
};

QTEST_MAIN(ScreenFitTest)
#include "ScreenFitTest.moc"
