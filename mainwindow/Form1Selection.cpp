// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"

#include <QLocale>
#include <QTimer>

#include <cmath>

namespace zupfomat {
namespace {

constexpr int kFirstExercise = ContentFolder::kRiffCount + 1;                         // 59
constexpr int kLastExercise = ContentFolder::kRiffCount + ContentFolder::kExerciseCount; // 100

} // namespace

void Form1::setBoxNumber(int number) { text2_->setText(QString::number(number)); } // runs numberChanged()

void Form1::showSheet()
{
    const QString path = currentNumber_ >= kFirstExercise
                             ? services_.content.exerciseSheet(currentNumber_ - ContentFolder::kRiffCount)
                             : services_.content.riffSheet(currentNumber_);
    picture1_->showPicture(path, shownName(path));
}

void Form1::markRiffMode()
{
    setTextColour(label1_, kGreen);
    setTextColour(label2_, kDarkGrey);
    label4_->setText(QStringLiteral("Riff"));
}

void Form1::resetTempoToNormal()
{
    setTextColour(label13_, idleColour());
    setLamp(imagelangsam_, false);
    setLamp(imageschnell_, true);
}

void Form1::showRiffs()
{
    image2_->show();
    setTextColour(labeldrumplay_, idleColour());
    setTextColour(labelplay_, idleColour());
    setTextColour(labelloop_, idleColour());
    setBackColour(label14_, kTickRowGrey);
    toggleCount_ = 0;
    services_.media.closeMedia();
    currentNumber_ = 1;
    setBoxNumber(1);
    showSheet();
    markRiffMode();
}

void Form1::showExercises()
{
    setTextColour(labeldrumplay_, idleColour());
    setBackColour(label14_, kTickRowGrey);
    setTextColour(labelplay_, idleColour());
    setTextColour(labelloop_, idleColour());
    setTextColour(label13_, idleColour());
    toggleCount_ = 0;
    image2_->hide();
    services_.media.closeMedia();
    currentNumber_ = kFirstExercise;
    showSheet();
    setBoxNumber(1);
    showExerciseMode();
    setLamp(imageschnell_, true);
    setLamp(imagelangsam_, false);
}

void Form1::nextSheet()
{
    stopRhythm();
    text2_->setEnabled(true);
    services_.media.closeMedia();
    setTextColour(labelplay_, kActive);
    setTextColour(labelloop_, idleColour());
    text1_->setText(QString::number(currentNumber_));
    resetTempoToNormal();
    const int n = currentNumber_;
    if (n >= 1 && n < ContentFolder::kRiffCount) {
        currentNumber_ = n + 1;
        setBoxNumber(currentNumber_);
        markRiffMode();
    } else if (n >= kFirstExercise && n < kLastExercise) {
        showExerciseMode();
        currentNumber_ = n + 1;
        setBoxNumber(currentNumber_ - ContentFolder::kRiffCount);
    } else if (n == kLastExercise) { // exercise 42 is followed by exercise 1
        services_.media.closeMedia();
        currentNumber_ = kFirstExercise;
        setBoxNumber(1);
        showExerciseMode();
    }
    showSheet();
}

void Form1::previousSheet()
{
    stopRhythm();
    setTextColour(labelplay_, kActive);
    setTextColour(labelloop_, idleColour());
    text2_->setEnabled(true);
    resetTempoToNormal();
    services_.media.closeMedia();
    text1_->setText(QString::number(currentNumber_));
    const int n = currentNumber_;
    if (n >= 1 && n <= ContentFolder::kRiffCount) {
        currentNumber_ = std::max(1, n - 1);
        setBoxNumber(currentNumber_);
        label3_->hide();
        label8_->hide();
        markRiffMode();
    } else if (n > kFirstExercise && n <= kLastExercise) {
        showExerciseMode();
        currentNumber_ = n - 1;
        setBoxNumber(currentNumber_ - ContentFolder::kRiffCount);
    }
    const int exercise = currentNumber_ - ContentFolder::kRiffCount;
    if (currentNumber_ >= kFirstExercise && currentNumber_ <= 108 && exercise % 2 == 1)
        label3_->show();
    showSheet();
}

// The box read as a decimal number, the user's decimal separator first; anything that is
// not a number reads as 0.
double Form1::typedNumber() const
{
    const QString text = text2_->text().trimmed();
    bool ok = false;
    double value = QLocale().toDouble(text, &ok); // the user's locale unless told otherwise
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

void Form1::limitTypedNumber()
{
    if (typedNumber() > ContentFolder::kRiffCount && hasTextColour(label1_, kGreen))
        setBoxNumber(ContentFolder::kRiffCount);
    if (typedNumber() > ContentFolder::kExerciseCount && hasTextColour(label2_, kGreen))
        setBoxNumber(1);
    // 0, and whatever rounds to 0 or below, would ask for a sheet that does not exist.
    if (std::nearbyint(typedNumber()) <= 0)
        setBoxNumber(1);
}

void Form1::readTypedNumber()
{
    const double x = typedNumber();
    const bool riffMode = hasTextColour(label1_, kGreen);
    const double n = std::nearbyint(riffMode ? x : x + ContentFolder::kRiffCount); // half to even
    currentNumber_ = int(std::clamp(n, -32768.0, 32767.0));
    if (currentNumber_ >= 1 && currentNumber_ < ContentFolder::kRiffCount) {
        setBoxNumber(currentNumber_); // the plain form: "07" becomes "7"
        setTextColour(label1_, kGreen);
        setTextColour(label2_, kDarkGrey);
    } else if (currentNumber_ >= kFirstExercise && currentNumber_ <= 96) {
        showExerciseMode();
    }
}

void Form1::goTo()
{
    toggleCount_ = 0;
    stopRhythm();
    setLamp(imageschnell_, false);
    setLamp(imagelangsam_, false);
    limitTypedNumber();
    services_.media.closeMedia();
    readTypedNumber();
    showSheet();
}

void Form1::numberKey(int keyCode)
{
    stopRhythm();
    services_.media.closeMedia();
    if (keyCode != NumberBox::kEnterKey)
        return; // the box enters the character itself, which runs numberChanged()
    limitTypedNumber();
    readTypedNumber();
    showSheet();
    enterToggle();
}

void Form1::numberChanged()
{
    timer1_->stop();
    toggleCount_ = 0;
    services_.media.closeMedia();
}

void Form1::numberBoxClicked() { services_.media.closeMedia(); }

} // namespace zupfomat
