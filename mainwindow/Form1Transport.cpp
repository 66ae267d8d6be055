// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"
#include "mainwindow/LoopLead.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zupfomat {
namespace {

constexpr int kMaxToggleCount = std::numeric_limits<int16_t>::max();
constexpr const char* kPlayFromStart = "play myMP3 from 0";

} // namespace

QString Form1::sheetRecordingPath() const
{
    if (currentNumber_ <= ContentFolder::kRiffCount)
        return services_.content.riffRecording(currentNumber_);
    const ExerciseTempo tempo = hasTextColour(label13_, kGreen) ? ExerciseTempo::Slow : ExerciseTempo::Normal;
    return services_.content.exerciseRecording(currentNumber_ - ContentFolder::kRiffCount, tempo);
}

void Form1::openAndPlay(const QString& path)
{
    services_.media.openMediaFile(path.toStdString());
    services_.media.sendMediaCommand(kPlayFromStart);
    lastPosition_ = 0; // a new start is no pass of the recording before
}

void Form1::play()
{
    stopRhythm();
    setTextColour(labelplay_, kActive);
    setTextColour(labelloop_, idleColour());
    services_.media.closeMedia();
    setTabOrder(picture1_, text2_);
    openAndPlay(sheetRecordingPath());
    timer1_->stop();
}

void Form1::loop()
{
    stopRhythm();
    setTextColour(labelplay_, idleColour());
    setTextColour(labelloop_, kActive);
    timer1_->start();
    openAndPlay(sheetRecordingPath());
}

void Form1::stop()
{
    timer1_->stop();
    toggleCount_ = 0;
    stopRhythm();
    setTextColour(labelplay_, idleColour());
    setTextColour(labelloop_, idleColour());
    services_.media.closeMedia();
}

void Form1::pollTick()
{
    const int32_t position = services_.media.sendMediaCommand("status myMP3 position");
    const int32_t length = services_.media.sendMediaCommand("status myMP3 length");
    if (length == 0)
        resetRhythmPlayer(); // nothing usable is open
    if (hasTextColour(labeldrumplay_, kActive) && length > 0) {
        const double tickRow = label14_->width(); // a full bar fills the tick row
        const double width = std::round(tickRow * double(position) / double(length));
        setRhythmBar(int(std::clamp(width, 0.0, tickRow)));
        loopLead_ = 0;
    }
    const bool restarted = int64_t(position) >= int64_t(length) - loopLead_;
    if (restarted)
        services_.media.sendMediaCommand(kPlayFromStart);
    notePlayerPosition(position, length, restarted);
    // Computed after the comparison: each tick uses the lead of the tick before.
    const LoopLeadRule rule = loopLeadRule(currentNumber_);
    if (rule.kind == LoopLeadRule::Divide)
        loopLead_ = loopLeadFor(length, rule.divisor);
    else if (rule.kind == LoopLeadRule::Zero)
        loopLead_ = 0;
    // The device splices the loop at the very point the next tick would restart it, so it
    // comes round on the frame; the next tick's restart is left for a device that cannot.
    const int64_t nextLead = hasTextColour(labeldrumplay_, kActive) ? 0 : loopLead_;
    services_.media.expectRestartAt(int64_t(length) - nextLead);
}

void Form1::raiseToggleCount()
{
    toggleCount_ = std::min(toggleCount_ + 1, kMaxToggleCount);
    text3_->setText(QString::number(toggleCount_));
}

void Form1::sheetKeyPressed() { raiseToggleCount(); }

void Form1::enterToggle()
{
    raiseToggleCount();
    if (toggleCount_ == 1)
        play();
    else if (toggleCount_ == 2)
        stop();
}

} // namespace zupfomat
