// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"

namespace zupfomat {

// A lamp whose picture cannot be read keeps the picture it has.
void Form1::setLamp(QLabel* lamp, bool lit)
{
    loadPictureInto(lamp, lit ? services_.content.lampLit() : services_.content.lampUnlit());
}

void Form1::chooseSlowTempo()
{
    stopRhythm();
    setLamp(imageschnell_, false);
    setLamp(imagelangsam_, true);
    setTextColour(label13_, kGreen);
    setTextColour(labeldrumplay_, idleColour());
    setBackColour(label14_, kTickRowGrey);
    toggleCount_ = 0;
    currentMediaPath_ = services_.content.exerciseRecording(currentNumber_ - ContentFolder::kRiffCount, ExerciseTempo::Slow);
    services_.media.openMediaFile(currentMediaPath_.toStdString()); // prepared, not started
}

void Form1::chooseNormalTempo()
{
    setTextColour(labeldrumplay_, idleColour());
    setBackColour(label14_, kTickRowGrey);
    services_.media.closeMedia();
    setTextColour(label13_, idleColour());
    setLamp(imagelangsam_, false);
    setLamp(imageschnell_, true);
    toggleCount_ = 0;
}

void Form1::tempoCaptionClicked() { services_.media.closeMedia(); }

} // namespace zupfomat
