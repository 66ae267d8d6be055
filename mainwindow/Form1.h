// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "helpwindow/Form2.h"
#include "media/ContentFolder.h"
#include "media/MediaChannel.h"

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <cstdint>

class QFocusFrame;
class QLabel;
class QTimer;

namespace zupfomat {

class ClickLabel;
class Desktop;

class LessonCourse;
class NumberBox;
class SheetBox;

// Colours that serve as state flags in the main window.
inline const QColor kActive(192, 0, 0);
inline const QColor kGreen(0, 255, 0);
inline const QColor kDarkGrey(64, 64, 64);
inline const QColor kTickRowGrey(224, 224, 224);
inline const QColor kLightYellow(255, 255, 192);

struct Form1Services {
    MediaChannel& media;
    ContentFolder content;
    Desktop* desktop = nullptr;     // the volume mixer and the help window's link
    LessonCourse* course = nullptr; // the lesson pages
};

// The main window: one sheet with its transport, the sheet selection, the exercise tempo, the
// practice tempo with its speed trainer, and the rhythm player.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // Handlers, one per user event; tests call the tick handlers directly.
    void play();
    void loop();
    void stop();
    void pollTick();
    void sheetKeyPressed();
    void enterToggle();

    void showRiffs();
    void showExercises();
    void switchRiffsAndExercises();
    void nextSheet();
    void previousSheet();
    void goTo();
    void numberKey(int keyCode);
    void numberChanged();
    void numberBoxClicked();

    void chooseSlowTempo();
    void chooseNormalTempo();
    void tempoCaptionClicked();

    void slowDown();
    void speedUp();
    void resetPracticeTempo();
    void toggleSpeedTrainer();

    void nextRhythm();
    void previousRhythm();
    void playRhythm();

    void showHelp();
    void openCourse();
    void volumeLamp();
    void volumeLampTick();
    void exitTick();

    // Shared operations.
    void resetRhythmPlayer();
    void stopRhythm();
    void showExerciseMode();

    // What tests read back.
    int currentNumber() const { return currentNumber_; }
    int rhythmIndex() const { return rhythmIndex_; }
    int toggleCount() const { return toggleCount_; }
    int64_t loopLead() const { return loopLead_; }
    int practiceTempo() const { return practiceTempo_; }
    QTimer* pollTimer() const { return timer1_; }
    QTimer* lampTimer() const { return timer4_; }
    QTimer* exitTimer() const { return timerexit_; }
    Form2* helpWindow() const { return help_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startUp();
    void connectHandlers();
    void setUpKeyboard();
    void setBackgroundPicture(const QString& path);
    QString sheetRecordingPath() const;
    void openAndPlay(const QString& path);
    void showSheet();
    void setBoxNumber(int number);
    void setLamp(QLabel* lamp, bool lit);
    void resetTempoToNormal();
    void markRiffMode();
    void limitTypedNumber();
    void readTypedNumber();
    void raiseToggleCount();
    double typedNumber() const;
    void setRhythmBar(int width);
    void startAtNormalTempo();
    void setPracticeTempo(int percent);
    void showPracticeTempo();
    void notePlayerPosition(int32_t position, int32_t length, bool restarted);
    void raiseTempoForPass();
    void moveRhythmBarHome();
    QString shownName(const QString& path) const;

    Form1Services services_;
    QPixmap background_;

    // State fields.
    int currentNumber_ = 1;
    int rhythmIndex_ = 0;
    int toggleCount_ = 0;
    int64_t loopLead_ = 0;
    QString currentMediaPath_;
    int practiceTempo_ = kTempoNormal; // percent, for everything that plays
    int trainerTarget_ = kTempoNormal; // where the speed trainer stops raising the tempo
    int32_t lastPosition_ = 0;          // the player's position at the tick before, to see it come round

    ClickLabel* labelplay_ = nullptr;
    ClickLabel* labelloop_ = nullptr;
    ClickLabel* labelstop_ = nullptr;
    ClickLabel* labeldrumplay_ = nullptr;
    ClickLabel* labeldrumstop_ = nullptr;
    ClickLabel* labelrhvor_ = nullptr;
    ClickLabel* labelrhback_ = nullptr;
    ClickLabel* labelvor_ = nullptr;
    ClickLabel* labelback_ = nullptr;
    ClickLabel* labelgoto_ = nullptr;
    ClickLabel* label1_ = nullptr;
    ClickLabel* label2_ = nullptr;
    ClickLabel* label3_ = nullptr;
    ClickLabel* label4_ = nullptr;
    ClickLabel* label7_ = nullptr;
    ClickLabel* label8_ = nullptr;
    ClickLabel* label12_ = nullptr;
    ClickLabel* label13_ = nullptr;
    ClickLabel* label14_ = nullptr;
    ClickLabel* image2_ = nullptr;
    ClickLabel* imageschnell_ = nullptr;
    ClickLabel* imagelangsam_ = nullptr;
    ClickLabel* image1_ = nullptr;
    ClickLabel* tempoCaption_ = nullptr; // LabelTempo
    ClickLabel* tempoDown_ = nullptr;    // LabelTempoDown
    ClickLabel* tempoUp_ = nullptr;      // LabelTempoUp
    ClickLabel* speedTrainer_ = nullptr; // LabelSteigern
    QPointer<Form2> help_;
    int barLeft_ = 0; // the bar's left edge never leaves its design place, one pixel inside the tick row
    SheetBox* picture1_ = nullptr;
    NumberBox* text1_ = nullptr;
    NumberBox* text2_ = nullptr;
    NumberBox* text3_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer4_ = nullptr;
    QTimer* timerexit_ = nullptr;
    QFocusFrame* sheetFocusFrame_ = nullptr;
};

} // namespace zupfomat
