// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/mainwindow/Form1Harness.h"

#include <QPointer>
#include <QSignalSpy>

#include <algorithm>
#include <functional>

using namespace zupfomat;
using namespace zupfomat::testing;

using Commands = std::vector<std::string>;

namespace {

const std::pair<Qt::KeyboardModifier, Qt::Key> kModifierKeys[] = {
    {Qt::ShiftModifier, Qt::Key_Shift}, {Qt::ControlModifier, Qt::Key_Control}, {Qt::AltModifier, Qt::Key_Alt}};

// The modifier keys go down first, as on a keyboard, and reach the box like any key.
void holdModifiers(QWidget* box, Qt::KeyboardModifiers modifiers)
{
    for (const auto& [modifier, key] : kModifierKeys)
        if (modifiers & modifier)
            QTest::keyPress(box, key);
}

// One key pressed and released while the modifiers are held: the window's shortcuts see it
// first, the box gets it only when none takes it.
void pressWhileHeld(QWidget* box, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    const char ascii = QTest::keyToAscii(key);
    const QString text = ascii ? QString(QChar::fromLatin1(ascii)) : QString();
    QPointer<QWidget> receiver(box);
    QTest::simulateEvent(box, true, key, modifiers, text, false);
    if (receiver)
        QTest::simulateEvent(box, false, key, modifiers, text, false);
}

// Brings the window to a state named by its steps, e.g. "riff 5, looping".
void prepare(Form1Harness& h, const QString& steps)
{
    for (const QString& step : steps.split(QStringLiteral(", "))) {
        const QStringList words = step.split(QLatin1Char(' '));
        if (words[0] == "riff" || words[0] == "exercise") {
            if (words[0] == "exercise")
                h.click("Label2");
            h.typeIntoBox(words[1]);
            h.click("Labelgoto");
        } else if (step == "looping") {
            h.click("Labelloop");
            h.tick(100);
        } else if (step == "rhythm") {
            h.click("Labeldrumplay");
            h.tick(1000);
        } else if (step == "slow") {
            h.click("Imagelangsam");
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
}

// What a user or the device sees of the window, the content folder written the same for any
// two windows so that they compare.
QStringList seen(Form1Harness& h, const Commands& commands)
{
    const QString folder = QDir::toNativeSeparators(h.content.programFolder());
    QStringList lines;
    for (const std::string& command : commands)
        lines << QString::fromStdString(command).replace(folder, QStringLiteral("<folder>"));
    lines << "Text2 " + h.text("Text2") << "Text3 " + h.text("Text3") << "Label4 " + h.text("Label4")
          << "number " + QString::number(h.window->currentNumber())
          << "toggle count " + QString::number(h.window->toggleCount())
          << "sheet " + QDir(h.content.programFolder()).relativeFilePath(h.sheet());
    for (const char* label : {"Labelplay", "Labelloop", "Labeldrumplay", "Label1", "Label2", "Label13"})
        lines << QString::fromLatin1(label) + " " + h.colour(label).name();
    lines << "Image2 " + QString(h.find("Image2")->isVisible() ? "shown" : "hidden")
          << "bar " + QString::number(h.bar().width()) << "tick row " + h.tickRow().name()
          << "polling " + QString(h.window->pollTimer()->isActive() ? "on" : "off")
          << "help " + QString(h.window->helpWindow() ? "open" : "closed")
          << "lesson page 1 " + QString(h.course.openPage(1) ? "open" : "closed")
          << h.text("LabelTempo") + " " + h.colour("LabelTempo").name();
    QStringList tempos;
    for (int tempo : h.device.tempos)
        tempos << QString::number(tempo);
    lines << "tempos told " + tempos.join(' ');
    return lines;
}

} // namespace

class Form1ShortcutTest : public QObject {
    Q_OBJECT

    // The window after `steps`, with the focus in `box` and the modifiers held there, then
    // `act`: what the act sent to the device and what shows afterwards.
    static void outcome(const QString& steps, const char* box, Qt::KeyboardModifiers held,
                        const std::function<void(Form1Harness&, QWidget*)>& act, QStringList& after)
    {
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get())); // the window's keys work where it is the active window
        prepare(h, steps);
        QWidget* focus = h.find(box);
        focus->setFocus();
        QCOMPARE(QApplication::focusWidget(), focus);
        holdModifiers(focus, held);
        h.device.take();
        const QStringList before = seen(h, {});
        QSignalSpy numberKeys(h.find<NumberBox>("Text2"), &NumberBox::keyDown);
        QSignalSpy sheetKeys(h.find<SheetBox>("Picture1"), &SheetBox::characterTyped);
        act(h, focus);
        after = seen(h, h.device.take());
        if (after == before)
            after << "nothing happened";
        after << QStringLiteral("keys seen by the number box %1, by the sheet box %2").arg(numberKeys.count()).arg(sheetKeys.count());
        delete h.window->helpWindow();
    }

private slots:
    void eachKeyDoesWhatItsControlDoes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("keyName");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("box");
        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("F1 help") << int(Qt::Key_F1) << none << "F1" << "Label5" << "riff 5" << "Text2";
        QTest::newRow("F2 lessons, a rhythm playing") << int(Qt::Key_F2) << none << "F2" << "Labellage" << "riff 5, rhythm" << "Text2";
        QTest::newRow("F2 lessons, the circle") << int(Qt::Key_F2) << none << "F2" << "Label6" << "riff 5, looping" << "Picture1";
        QTest::newRow("F5 PLAY, a rhythm playing") << int(Qt::Key_F5) << none << "F5" << "Labelplay" << "riff 5, rhythm" << "Text2";
        QTest::newRow("F5 PLAY, slow exercise") << int(Qt::Key_F5) << none << "F5" << "Labelplay" << "exercise 3, slow" << "Picture1";
        QTest::newRow("F6 LOOP") << int(Qt::Key_F6) << none << "F6" << "Labelloop" << "riff 5" << "Text2";
        QTest::newRow("F7 STOP, looping") << int(Qt::Key_F7) << none << "F7" << "Labelstop" << "riff 5, looping" << "Text2";
        QTest::newRow("F8 Play Rhythm, looping") << int(Qt::Key_F8) << none << "F8" << "Labeldrumplay" << "riff 5, looping" << "Text2";
        QTest::newRow("F9 Stop Rhythm") << int(Qt::Key_F9) << none << "F9" << "Labeldrumstop" << "riff 5, rhythm" << "Picture1";
        QTest::newRow("Ctrl+Left previous, looping") << int(Qt::Key_Left) << ctrl << "Strg+Links" << "Labelback" << "riff 5, looping" << "Text2";
        QTest::newRow("Ctrl+Left previous, slow exercise") << int(Qt::Key_Left) << ctrl << "Strg+Links" << "Labelback" << "exercise 3, slow" << "Picture1";
        QTest::newRow("Ctrl+Right next, a rhythm playing") << int(Qt::Key_Right) << ctrl << "Strg+Rechts" << "Labelvor" << "riff 5, rhythm" << "Text2";
        QTest::newRow("Ctrl+Right next, exercise 42") << int(Qt::Key_Right) << ctrl << "Strg+Rechts" << "Labelvor" << "exercise 42" << "Text2";
        QTest::newRow("Ctrl+E to the exercises") << int(Qt::Key_E) << ctrl << "Strg+E" << "Label2" << "riff 5, looping" << "Text2";
        QTest::newRow("Ctrl+E to the exercises, sheet box") << int(Qt::Key_E) << ctrl << "Strg+E" << "Label2" << "riff 5" << "Picture1";
        QTest::newRow("Ctrl+E to the riffs") << int(Qt::Key_E) << ctrl << "Strg+E" << "Label1" << "exercise 3, slow" << "Text2";
        const int keypad = Qt::ControlModifier | Qt::KeypadModifier;
        QTest::newRow("Ctrl+Minus slower, looping") << int(Qt::Key_Minus) << ctrl << "Strg+Minus" << "LabelTempoDown" << "riff 5, looping" << "Text2";
        QTest::newRow("Ctrl+Minus slower, sheet box") << int(Qt::Key_Minus) << ctrl << "Strg+Minus" << "LabelTempoDown" << "riff 5" << "Picture1";
        QTest::newRow("Ctrl+keypad minus") << int(Qt::Key_Minus) << keypad << "Strg+Minus" << "LabelTempoDown" << "rhythm" << "Text2";
        QTest::newRow("Ctrl+Plus faster, a rhythm playing") << int(Qt::Key_Plus) << ctrl << "Strg+Plus" << "LabelTempoUp" << "riff 5, rhythm" << "Text2";
        QTest::newRow("Ctrl+keypad plus, sheet box") << int(Qt::Key_Plus) << keypad << "Strg+Plus" << "LabelTempoUp" << "riff 5" << "Picture1";
        QTest::newRow("Ctrl+= faster") << int(Qt::Key_Equal) << ctrl << "Strg+Plus" << "LabelTempoUp" << "exercise 3, slow" << "Text2";
    }

    // The key gives the device the commands the click gives it, and leaves the window as the
    // click leaves it; neither box sees the key. The control's tooltip names that key.
    void eachKeyDoesWhatItsControlDoes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, keyName);
        QFETCH(QString, control);
        QFETCH(QString, steps);
        QFETCH(QString, box);
        const QByteArray boxName = box.toLatin1();
        const QByteArray controlName = control.toLatin1();
        const auto held = Qt::KeyboardModifiers(modifiers);

        QStringList clicked;
        QString tip;
        outcome(steps, boxName.constData(), held, [&](Form1Harness& h, QWidget*) {
            tip = h.find(controlName.constData())->toolTip();
            h.click(controlName.constData());
        }, clicked);
        QStringList keyed;
        outcome(steps, boxName.constData(), held, [&](Form1Harness&, QWidget* focus) {
            pressWhileHeld(focus, Qt::Key(key), held);
        }, keyed);
        QVERIFY(!clicked.contains("nothing happened"));
        QCOMPARE(keyed, clicked);
        QVERIFY2(tip.endsWith(" (" + keyName + ")"), qPrintable(tip));
    }

    // F5 in the number box is PLAY of the sheet shown, not of a number typed and not yet taken;
    // the box neither takes the key nor silences anything before PLAY does.
    void f5InTheNumberBoxIsPlayAlone()
    {
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.typeIntoBox("5");
        h.click("Labelgoto");
        h.typeIntoBox("12");
        auto* box = h.find<QLineEdit>("Text2");
        box->setCursorPosition(1);
        h.device.take();
        QTest::keyClick(box, Qt::Key_F5);
        const Commands play = {"close myMP3", "close myMP3", h.openOf("wma/riff5.wma"), "play myMP3 from 0"};
        QCOMPARE(h.device.take(), play);
        QCOMPARE(box->text(), QStringLiteral("12"));
        QCOMPARE(box->cursorPosition(), 1);
        QCOMPARE(QApplication::focusWidget(), box);
        QVERIFY(h.active("Labelplay"));
        QVERIFY(h.device.isPlaying());
    }

    void theNumberBoxKeepsItsKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");  // in the box afterwards, from "12"
        QTest::addColumn<int>("cursor");    // from 1, between the digits
        QTest::addColumn<int>("keyCode");   // what the box's key-down reports; 0: it never sees the key
        const int none = Qt::NoModifier;
        QTest::newRow("digit") << int(Qt::Key_3) << none << "132" << 2 << int(Qt::Key_3);
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << "2" << 0 << int(Qt::Key_Backspace);
        QTest::newRow("Delete") << int(Qt::Key_Delete) << none << "1" << 1 << int(Qt::Key_Delete);
        QTest::newRow("Left") << int(Qt::Key_Left) << none << "12" << 0 << int(Qt::Key_Left);
        QTest::newRow("Right") << int(Qt::Key_Right) << none << "12" << 2 << int(Qt::Key_Right);
        QTest::newRow("Shift+Left") << int(Qt::Key_Left) << int(Qt::ShiftModifier) << "12" << 0 << int(Qt::Key_Left);
        QTest::newRow("Home") << int(Qt::Key_Home) << none << "12" << 0 << int(Qt::Key_Home);
        QTest::newRow("Escape, no key of the window") << int(Qt::Key_Escape) << none << "12" << 1 << int(Qt::Key_Escape);
        QTest::newRow("F3, no key of the window") << int(Qt::Key_F3) << none << "12" << 1 << int(Qt::Key_F3);
        // The window's keys: the box shows only what their handlers write into it.
        QTest::newRow("Ctrl+Left") << int(Qt::Key_Left) << int(Qt::ControlModifier) << "1" << 1 << 0;
        QTest::newRow("Ctrl+Right") << int(Qt::Key_Right) << int(Qt::ControlModifier) << "2" << 1 << 0;
        QTest::newRow("Ctrl+E") << int(Qt::Key_E) << int(Qt::ControlModifier) << "1" << 1 << 0;
        QTest::newRow("F5") << int(Qt::Key_F5) << none << "12" << 1 << 0;
        QTest::newRow("F7") << int(Qt::Key_F7) << none << "12" << 1 << 0;
        QTest::newRow("Ctrl+Minus") << int(Qt::Key_Minus) << int(Qt::ControlModifier) << "12" << 1 << 0;
        QTest::newRow("Ctrl+keypad plus") << int(Qt::Key_Plus) << int(Qt::ControlModifier | Qt::KeypadModifier) << "12" << 1 << 0;
    }

    // Plain keys still edit the box and silence what plays on the way in; the window's keys
    // neither edit it nor move its cursor.
    void theNumberBoxKeepsItsKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, cursor);
        QFETCH(int, keyCode);
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        auto* box = h.find<NumberBox>("Text2");
        h.typeIntoBox("12");
        box->setCursorPosition(1);
        holdModifiers(box, Qt::KeyboardModifiers(modifiers));
        h.click("Labeldrumplay");
        QSignalSpy keyDown(box, &NumberBox::keyDown);
        pressWhileHeld(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box->text(), text);
        QCOMPARE(box->cursorPosition(), cursor);
        if (keyCode == 0) {
            QCOMPARE(keyDown.count(), 0);
            return;
        }
        QCOMPARE(keyDown.count(), 1);
        QCOMPARE(keyDown.first().first().toInt(), keyCode);
        QVERIFY(!h.device.isOpen()); // the rhythm is silenced
        QVERIFY(h.idle("Labeldrumplay"));
    }

    // Enter still jumps to the typed number and plays, then stops, between window keys.
    void enterBetweenWindowKeys()
    {
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.typeIntoBox("12");
        QTest::keyClick(h.find("Text2"), Qt::Key_F6); // LOOP of riff 1, the sheet shown
        QCOMPARE(h.device.openPath(), h.data("wma/riff1.wma"));
        QCOMPARE(h.text("Text2"), QStringLiteral("12"));
        h.enter();
        QCOMPARE(h.window->currentNumber(), 12);
        QCOMPARE(h.device.openPath(), h.data("wma/riff12.wma"));
        QVERIFY(h.device.isPlaying());
        QTest::keyClick(h.find("Text2"), Qt::Key_F7);
        QVERIFY(!h.device.isOpen());
        h.enter(); // STOP reset the count: this Enter plays again
        QVERIFY(h.device.isPlaying());
        QCOMPARE(h.text("Text3"), QStringLiteral("1"));
    }

    void theSheetBoxKeepsItsKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("counted"); // a character typed into the sheet box
        const int none = Qt::NoModifier;
        QTest::newRow("a letter") << int(Qt::Key_A) << none << true;
        QTest::newRow("a digit") << int(Qt::Key_7) << none << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << none << true;
        QTest::newRow("Shift+E") << int(Qt::Key_E) << int(Qt::ShiftModifier) << true;
        QTest::newRow("Ctrl+E") << int(Qt::Key_E) << int(Qt::ControlModifier) << false;
    }

    // Characters typed into the sheet box still count toward the Enter toggle; a window key
    // that carries a character is the window's alone.
    void theSheetBoxKeepsItsKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, counted);
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        auto* sheet = h.find<SheetBox>("Picture1");
        sheet->setFocus();
        holdModifiers(sheet, Qt::KeyboardModifiers(modifiers));
        QSignalSpy typed(sheet, &SheetBox::characterTyped);
        pressWhileHeld(sheet, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(typed.count(), counted ? 1 : 0);
        QCOMPARE(h.window->toggleCount(), counted ? 1 : 0);
        QCOMPARE(h.text("Label4"), counted ? QStringLiteral("Riff") : QStringLiteral("Exercise"));
    }

    // The sheet box shows that it has the focus, with a frame that follows it as a picture of
    // another size resizes it, and that goes when the focus goes.
    void theSheetBoxShowsItsFocus()
    {
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QWidget* sheet = h.find("Picture1");
        auto pixelsAround = [&] {
            const QImage shown = h.window->grab().toImage();
            const QRect box = sheet->geometry();
            return QList<QColor>{shown.pixelColor(box.right() + 1, box.center().y()),
                                 shown.pixelColor(box.center().x(), box.bottom() + 1)};
        };
        const QList<QColor> unfocused = pixelsAround();
        const QList<QColor> frame = {QColor(Qt::black), QColor(Qt::black)};
        QVERIFY(unfocused != frame);
        QTest::keyClick(h.find("Text2"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), sheet);
        QCOMPARE(pixelsAround(), frame);
        QTest::keyClick(sheet, Qt::Key_E, Qt::ControlModifier); // exercise 1: a larger picture
        QCOMPARE(sheet->size(), QSize(401, 120));
        QCOMPARE(pixelsAround(), frame);
        QTest::keyClick(sheet, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), h.find("Text2"));
        const QList<QColor> left = pixelsAround();
        QVERIFY(left[0] != frame[0] && left[1] != frame[1]);
    }

    // Held down, the transport keys act once; stepping through the sheets goes on.
    void heldKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("opens"); // of three presses, the first and two repeats
        QTest::addColumn<int>("number");
        QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << 1 << 1;
        QTest::newRow("F6") << int(Qt::Key_F6) << int(Qt::NoModifier) << 1 << 1;
        QTest::newRow("Ctrl+Right") << int(Qt::Key_Right) << int(Qt::ControlModifier) << 0 << 4;
    }

    void heldKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, opens);
        QFETCH(int, number);
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QWidget* box = h.find("Text2");
        holdModifiers(box, Qt::KeyboardModifiers(modifiers));
        h.device.take();
        for (bool repeat : {false, true, true})
            QTest::simulateEvent(box, true, key, Qt::KeyboardModifiers(modifiers), QString(), repeat);
        const Commands sent = h.device.take();
        QCOMPARE(int(std::count_if(sent.begin(), sent.end(), [](const std::string& c) { return c.rfind("open ", 0) == 0; })), opens);
        QCOMPARE(h.window->currentNumber(), number);
        QCOMPARE(h.text("Text2"), QString::number(number));
    }
};

QTEST_MAIN(Form1ShortcutTest)
#include "Form1ShortcutTest.moc"
