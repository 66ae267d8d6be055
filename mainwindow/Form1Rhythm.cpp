// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"

#include <QTimer>

namespace zupfomat {
namespace {

constexpr int kRhythmSteps = 7; // forward stepping runs 1 to 7 and round to 1 again

// The names of the rhythm list; "Rock 1" stands at the start and again after "6/8".
const char* const kRhythmNames[kRhythmSteps + 1] = {"Rock 1", "Rock 2", "Rock 3", "Blues langsam ", "Blues ", "Pop", "6/8", "Rock 1"};

} // namespace

void Form1::nextRhythm()
{
    setTextColour(labeldrumplay_, idleColour());
    moveRhythmBarHome();
    setBackColour(label14_, kTickRowGrey);
    services_.media.closeMedia();
    rhythmIndex_ += 1;
    if (rhythmIndex_ >= 1 && rhythmIndex_ <= kRhythmSteps)
        label7_->setText(QString::fromLatin1(kRhythmNames[rhythmIndex_]));
    if (rhythmIndex_ > kRhythmSteps) {
        rhythmIndex_ = 1;
        label7_->setText(QString::fromLatin1(kRhythmNames[1]));
    }
}

void Form1::previousRhythm()
{
    moveRhythmBarHome();
    setBackColour(label14_, kTickRowGrey);
    setTextColour(labeldrumplay_, idleColour());
    services_.media.closeMedia();
    rhythmIndex_ = std::max(0, rhythmIndex_ - 1); // the first rhythm is where stepping back ends
    if (rhythmIndex_ >= 1 && rhythmIndex_ <= kRhythmSteps)
        label7_->setText(QString::fromLatin1(kRhythmNames[rhythmIndex_]));
    if (rhythmIndex_ == 0)
        label7_->setText(QString::fromLatin1(kRhythmNames[0]));
}

void Form1::playRhythm()
{
    setTabOrder(picture1_, text2_);
    setBackColour(label14_, kLightYellow);
    setTextColour(labeldrumplay_, kActive);
    setTextColour(labelplay_, idleColour());
    setTextColour(labelloop_, idleColour());
    services_.media.closeMedia();
    // Values 0 and 7 (both "Rock 1") and anything else play the first rhythm.
    currentMediaPath_ = services_.content.rhythmRecording(rhythmIndex_);
    openAndPlay(currentMediaPath_);
    timer1_->start();
    loopLead_ = 0;
}

} // namespace zupfomat
