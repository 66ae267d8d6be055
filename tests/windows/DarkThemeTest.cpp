// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow/Form2.h"
#include "helpwindow/Form2Design.h"
#include "lessons/LessonDesigns.h"
#include "mainwindow/Form1Design.h"
#include "tests/mainwindow/Form1Harness.h"

#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <map>

using namespace zupfomat;
using namespace zupfomat::testing;

namespace {

// What the designs were drawn with: black captions, white text boxes on a light grey face.
const QColor kDesignBlack(0, 0, 0);
const QColor kDesignWhite(255, 255, 255);
const QColor kDesignFace(240, 240, 240);

// WCAG 2's least contrast for body text.
constexpr double kReadableContrast = 4.5;

// A dark desktop theme as qt6ct's "darker" or Adwaita:dark hand it to Qt: light text on dark
// faces and boxes, Adwaita's blue behind selected text.
QPalette darkDesktop()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(255, 255, 255));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, QColor(255, 255, 255));
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, QColor(255, 255, 255));
    dark.setColor(QPalette::Highlight, QColor(53, 132, 228));
    dark.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    return dark;
}

// WCAG 2 relative luminance of an sRGB pixel.
double luminance(QRgb pixel)
{
    auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of a caption's ink with the picture under it: of the pixels that the caption
// changes, the one that stands out most, that is where the glyphs are fully inked.
double inkContrast(const QImage& withCaption, const QImage& without)
{
    double strongest = 0;
    for (int y = 0; y < withCaption.height(); ++y)
        for (int x = 0; x < withCaption.width(); ++x)
            if (withCaption.pixel(x, y) != without.pixel(x, y))
                strongest = std::max(strongest, contrast(withCaption.pixel(x, y), without.pixel(x, y)));
    return strongest;
}

// The contrast of selected text with its selection: the selection's colour is the one most of
// the changed pixels have, the text the changed pixel that stands out most from it.
double selectionContrast(const QImage& selected, const QImage& unselected)
{
    std::map<QRgb, int> counts;
    for (int y = 0; y < selected.height(); ++y)
        for (int x = 0; x < selected.width(); ++x)
            if (selected.pixel(x, y) != unselected.pixel(x, y))
                counts[selected.pixel(x, y)] += 1;
    if (counts.empty())
        return 0;
    const QRgb selection =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    double strongest = 0;
    for (const auto& [pixel, count] : counts)
        strongest = std::max(strongest, contrast(pixel, selection));
    return strongest;
}

// The picture of a control's place in its window: what a user sees there.
QImage seen(QWidget* control)
{
    return control->parentWidget()->grab(control->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
}

// A caption's picture and the same place without the caption. The number box's text is taken
// out without telling the window, which would read it as typed.
std::pair<QImage, QImage> withAndWithoutCaption(QWidget* control)
{
    const QImage with = seen(control);
    QImage without;
    if (auto* box = qobject_cast<QLineEdit*>(control)) {
        const QSignalBlocker quiet(box);
        const QString text = box->text();
        box->clear();
        without = seen(control);
        box->setText(text);
    } else {
        auto* label = qobject_cast<QLabel*>(control);
        const QString text = label->text();
        label->clear();
        without = seen(control);
        label->setText(text);
    }
    return {with, without};
}

// The colour a row's caption is drawn in: its own, or the design's black where it says "(default)".
QColor designText(const ControlDesign& row) { return row.text.isValid() ? row.text : kDesignBlack; }

// One window of the program with the table it is built from, over the fake device and the test
// content: "Form1" the main window, "Form2" help, "Form3" to "Form7" the lesson pages.
struct DesignedWindow {
    Form1Harness h;
    std::unique_ptr<Form2> help;
    QWidget* window = nullptr;
    const std::vector<ControlDesign>* design = nullptr;

    explicit DesignedWindow(const QString& name)
    {
        if (name == "Form1") {
            window = h.window.get();
            design = &form1Design();
        } else if (name == "Form2") {
            help = std::make_unique<Form2>(h.desktop);
            help->show();
            window = help.get();
            design = &form2Design();
        } else {
            const int page = name.mid(4).toInt() - 2;
            h.course.showPage(page);
            window = h.course.openPage(page);
            design = &lessonPageDesign(page).controls;
        }
        if (!QTest::qWaitForWindowExposed(window))
            qWarning("DesignedWindow: %s was not exposed", qPrintable(name));
    }
};

void addWindowRows()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "Form1";
    QTest::newRow("help") << "Form2";
    for (int page = 1; page <= kLessonPages; ++page)
        QTest::newRow(qPrintable(QStringLiteral("lesson page %1").arg(page))) << QStringLiteral("Form%1").arg(page + 2);
}

} // namespace

// The windows under a dark desktop theme: they look as designed, whatever the desktop says.
class DarkThemeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setPalette(darkDesktop()); }

    // Every caption in the colour its design gives it, active window or not; text boxes with
    // the design's box colours.
    void everyCaptionInItsDesignColour_data() { addWindowRows(); }

    void everyCaptionInItsDesignColour()
    {
        QFETCH(QString, window);
        DesignedWindow w(window);
        for (const ControlDesign& row : *w.design) {
            QWidget* control = w.window->findChild<QWidget*>(QString::fromLatin1(row.name));
            QVERIFY2(control, row.name);
            const QPalette colours = control->palette();
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                const QByteArray what = QByteArray(row.name) + (group == QPalette::Active ? " active" : " inactive");
                switch (row.kind) {
                case ControlKind::Label:
                case ControlKind::OpaqueLabel:
                case ControlKind::BorderedLabel:
                case ControlKind::PictureBox:
                    QVERIFY2(colours.color(group, QPalette::WindowText) == designText(row), what.constData());
                    break;
                case ControlKind::TextBox:
                    QVERIFY2(colours.color(group, QPalette::Text) == designText(row), what.constData());
                    QVERIFY2(colours.color(group, QPalette::Base) ==
                                 (row.background.isValid() ? row.background : kDesignWhite),
                             what.constData());
                    break;
                case ControlKind::PushButton:
                    QVERIFY2(colours.color(group, QPalette::ButtonText) == designText(row), what.constData());
                    break;
                default: // pictures and shapes have no caption
                    break;
                }
            }
        }
    }

    // What a user reads on the main window and in help stands out from the picture under it.
    void captionsReadOverTheirPictures_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        for (const char* name : {"Labelplay", "Labelloop", "Labelstop", "Labelgoto", "Label4", "Label9",
                                 "Labeldrumplay", "Labeldrumstop", "Label10", "Labellage", "Text2"})
            QTest::newRow(qPrintable(QStringLiteral("Form1 ") + name)) << "Form1" << name;
        for (const ControlDesign& row : form2Design())
            if (row.kind == ControlKind::Label)
                QTest::newRow(qPrintable(QStringLiteral("Form2 ") + row.name)) << "Form2" << row.name;
    }

    void captionsReadOverTheirPictures()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        DesignedWindow w(window);
        if (window == "Form1")
            w.h.find("Picture1")->setFocus(); // the number box's cursor is no caption
        QWidget* caption = w.window->findChild<QWidget*>(control);
        QVERIFY(caption);
        const auto [with, without] = withAndWithoutCaption(caption);
        const double ink = inkContrast(with, without);
        QVERIFY2(ink >= kReadableContrast, qPrintable(QStringLiteral("contrast %1").arg(ink)));
    }

    // A number selected in the number box stays readable on its selection.
    void theSelectedNumberReads()
    {
        DesignedWindow w("Form1");
        w.h.typeIntoBox("58");
        w.h.find("Picture1")->setFocus(); // the cursor leaves with the focus; a later selection stays
        auto* box = w.h.find<QLineEdit>("Text2");
        const QImage unselected = seen(box);
        box->selectAll();
        const double ink = selectionContrast(seen(box), unselected);
        QVERIFY2(ink >= kReadableContrast, qPrintable(QStringLiteral("contrast %1").arg(ink)));
    }

    // The short messages the windows open look like the windows they belong to.
    void noticesAsDesigned_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("no volume mixer") << "Form1";
        QTest::newRow("no browser") << "Form2";
    }

    void noticesAsDesigned()
    {
        QFETCH(QString, window);
        DesignedWindow w(window);
        w.h.desktop.browserOpens = false; // and no volume mixer is installed
        if (window == "Form1")
            w.h.click("Image1");
        else
            QTest::mouseClick(w.window->findChild<QLabel*>("Label21"), Qt::LeftButton);
        auto* notice = w.window->findChild<QMessageBox*>("notice");
        QVERIFY(notice && notice->isVisible());
        auto* text = notice->findChild<QLabel*>("qt_msgbox_label");
        QVERIFY(text);
        QCOMPARE(text->palette().color(QPalette::WindowText), kDesignBlack);
        QCOMPARE(notice->palette().color(QPalette::Window), kDesignFace);
        QCOMPARE(notice->button(QMessageBox::Ok)->palette().color(QPalette::ButtonText), kDesignBlack);
        notice->accept();
    }
};

QTEST_MAIN(DarkThemeTest)
#include "DarkThemeTest.moc"
