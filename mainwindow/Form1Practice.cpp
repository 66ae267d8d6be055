// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"

#include <algorithm>

namespace zupfomat {
namespace {

constexpr int kTempoStep = 5; // percent per click, per key and per trainer pass

} // namespace

// The device may still play at the tempo of a main window closed before: every start-up
// begins at the normal tempo, with the trainer off. Nothing of either is kept between runs.
void Form1::startAtNormalTempo()
{
    practiceTempo_ = kTempoNormal;
    trainerTarget_ = kTempoNormal;
    setTextColour(speedTrainer_, idleColour());
    services_.media.setTempo(kTempoNormal);
    showPracticeTempo();
}

// One tempo for everything that plays; the device is told only of a real change, so a click
// beyond a limit does nothing at all.
void Form1::setPracticeTempo(int percent)
{
    const int tempo = std::clamp(percent, kTempoMin, kTempoMax);
    if (tempo == practiceTempo_)
        return;
    practiceTempo_ = tempo;
    services_.media.setTempo(tempo);
    showPracticeTempo();
}

// Green, as the window marks the slow exercise tempo and the mode shown: a tempo other than
// normal is a setting that stays, not something that plays (red is for what plays).
void Form1::showPracticeTempo()
{
    tempoCaption_->setText(QStringLiteral("Tempo %1 %").arg(practiceTempo_));
    setTextColour(tempoCaption_, practiceTempo_ == kTempoNormal ? idleColour() : kGreen);
}

void Form1::slowDown() { setPracticeTempo(practiceTempo_ - kTempoStep); }

void Form1::speedUp() { setPracticeTempo(practiceTempo_ + kTempoStep); }

void Form1::resetPracticeTempo() { setPracticeTempo(kTempoNormal); }

// The trainer climbs to the tempo set when it was switched on, and to the normal tempo at
// least: switched on at 70 %, it ends at 100 %; at 120 %, slowing down by hand has it climb
// back to 120 %. It stays on at the target, so the next slow-down by hand climbs again.
void Form1::toggleSpeedTrainer()
{
    if (hasTextColour(speedTrainer_, kGreen)) {
        setTextColour(speedTrainer_, idleColour());
        return;
    }
    trainerTarget_ = std::max(kTempoNormal, practiceTempo_);
    setTextColour(speedTrainer_, kGreen);
}

// A pass is complete when the tick restarts the recording itself, or when it finds the
// position back before where it was: the device splices the loop without the tick.
void Form1::notePlayerPosition(int32_t position, int32_t length, bool restarted)
{
    const bool cameRound = restarted || position < lastPosition_;
    lastPosition_ = restarted ? 0 : position;
    const bool looping = hasTextColour(labelloop_, kActive) || hasTextColour(labeldrumplay_, kActive);
    if (cameRound && looping && length > 0)
        raiseTempoForPass();
}

void Form1::raiseTempoForPass()
{
    if (hasTextColour(speedTrainer_, kGreen) && practiceTempo_ < trainerTarget_)
        setPracticeTempo(std::min(practiceTempo_ + kTempoStep, trainerTarget_));
}

} // namespace zupfomat
