// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Form1.h"

#include "controls/Controls.h"
#include "controls/DesignBuilder.h"
#include "controls/PicturePrefetch.h"
#include "mainwindow/Form1Design.h"

#include <QDir>
#include <QIcon>
#include <QPainter>
#include <QTimer>

namespace zupfomat {
namespace {

constexpr int kPollInterval = 100;
constexpr int kDesignPollInterval = 1;
constexpr int kLampInterval = 500;
constexpr int kExitInterval = 1000;

QTimer* makeTimer(QObject* parent, const char* name, int interval)
{
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    return timer;
}

} // namespace

Form1::Form1(Form1Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      services_(std::move(services))
{
    // The two pictures of the first frame decode while the window is built.
    prefetchPictures({services_.content.background(), services_.content.riffSheet(1)});
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Zupfomat"));
    // From the picture itself: a file name would have QIcon look for icon engine plugins.
    setWindowIcon(QIcon(loadPicture(QStringLiteral(":/design/icon.png"))));
    setFixedSize(kForm1Width, kForm1Height);
    setBackColour(this, QColor(128, 128, 128));
    setAutoFillBackground(false);

    const QHash<QString, QWidget*> controls = buildDesign(this, form1Design());
    auto find = [&](const char* name) { return controls.value(QString::fromLatin1(name)); };
    labelplay_ = qobject_cast<ClickLabel*>(find("Labelplay"));
    labelloop_ = qobject_cast<ClickLabel*>(find("Labelloop"));
    labelstop_ = qobject_cast<ClickLabel*>(find("Labelstop"));
    labeldrumplay_ = qobject_cast<ClickLabel*>(find("Labeldrumplay"));
    labeldrumstop_ = qobject_cast<ClickLabel*>(find("Labeldrumstop"));
    labelrhvor_ = qobject_cast<ClickLabel*>(find("Labelrhvor"));
    labelrhback_ = qobject_cast<ClickLabel*>(find("Labelrhback"));
    labelvor_ = qobject_cast<ClickLabel*>(find("Labelvor"));
    labelback_ = qobject_cast<ClickLabel*>(find("Labelback"));
    labelgoto_ = qobject_cast<ClickLabel*>(find("Labelgoto"));
    label1_ = qobject_cast<ClickLabel*>(find("Label1"));
    label2_ = qobject_cast<ClickLabel*>(find("Label2"));
    label3_ = qobject_cast<ClickLabel*>(find("Label3"));
    label4_ = qobject_cast<ClickLabel*>(find("Label4"));
    label7_ = qobject_cast<ClickLabel*>(find("Label7"));
    label8_ = qobject_cast<ClickLabel*>(find("Label8"));
    label12_ = qobject_cast<ClickLabel*>(find("Label12"));
    label13_ = qobject_cast<ClickLabel*>(find("Label13"));
    label14_ = qobject_cast<ClickLabel*>(find("Label14"));
    image2_ = qobject_cast<ClickLabel*>(find("Image2"));
    imageschnell_ = qobject_cast<ClickLabel*>(find("Imageschnell"));
    imagelangsam_ = qobject_cast<ClickLabel*>(find("Imagelangsam"));
    image1_ = qobject_cast<ClickLabel*>(find("Image1"));
    tempoCaption_ = qobject_cast<ClickLabel*>(find("LabelTempo"));
    tempoDown_ = qobject_cast<ClickLabel*>(find("LabelTempoDown"));
    tempoUp_ = qobject_cast<ClickLabel*>(find("LabelTempoUp"));
    speedTrainer_ = qobject_cast<ClickLabel*>(find("LabelSteigern"));
    barLeft_ = label12_->x();
    picture1_ = qobject_cast<SheetBox*>(find("Picture1"));
    text1_ = qobject_cast<NumberBox*>(find("Text1"));
    text2_ = qobject_cast<NumberBox*>(find("Text2"));
    text3_ = qobject_cast<NumberBox*>(find("Text3"));
    // Only the sheet box and the number box take the focus.
    text1_->setFocusPolicy(Qt::NoFocus);
    text3_->setFocusPolicy(Qt::NoFocus);

    timer1_ = makeTimer(this, "Timer1", kDesignPollInterval);
    timer4_ = makeTimer(this, "Timer4", kLampInterval);
    timerexit_ = makeTimer(this, "Timerexit", kExitInterval);

    connectHandlers();
    setUpKeyboard();
    startUp();
}

Form1::~Form1() = default;

void Form1::connectHandlers()
{
    connect(labelplay_, &ClickLabel::clicked, this, &Form1::play);
    connect(labelloop_, &ClickLabel::clicked, this, &Form1::loop);
    connect(labelstop_, &ClickLabel::clicked, this, &Form1::stop);
    connect(timer1_, &QTimer::timeout, this, &Form1::pollTick);
    connect(picture1_, &SheetBox::characterTyped, this, &Form1::sheetKeyPressed);

    connect(label1_, &ClickLabel::clicked, this, &Form1::showRiffs);
    connect(label2_, &ClickLabel::clicked, this, &Form1::showExercises);
    connect(labelvor_, &ClickLabel::clicked, this, &Form1::nextSheet);
    connect(labelback_, &ClickLabel::clicked, this, &Form1::previousSheet);
    connect(labelgoto_, &ClickLabel::clicked, this, &Form1::goTo);
    connect(text2_, &NumberBox::keyDown, this, &Form1::numberKey);
    connect(text2_, &QLineEdit::textChanged, this, &Form1::numberChanged);
    connect(text2_, &NumberBox::clicked, this, &Form1::numberBoxClicked);

    connect(imagelangsam_, &ClickLabel::clicked, this, &Form1::chooseSlowTempo);
    connect(imageschnell_, &ClickLabel::clicked, this, &Form1::chooseNormalTempo);
    connect(label3_, &ClickLabel::clicked, this, &Form1::tempoCaptionClicked);
    connect(label8_, &ClickLabel::clicked, this, &Form1::tempoCaptionClicked);

    connect(tempoDown_, &ClickLabel::clicked, this, &Form1::slowDown);
    connect(tempoUp_, &ClickLabel::clicked, this, &Form1::speedUp);
    connect(tempoCaption_, &ClickLabel::clicked, this, &Form1::resetPracticeTempo);
    connect(speedTrainer_, &ClickLabel::clicked, this, &Form1::toggleSpeedTrainer);
    tempoCaption_->setToolTip(QStringLiteral("Zur\u00fcck auf 100 %"));
    speedTrainer_->setToolTip(QStringLiteral("Im Loop und beim Rhythmus nach jedem Durchgang 5 % schneller"));

    connect(labelrhvor_, &ClickLabel::clicked, this, &Form1::nextRhythm);
    connect(labelrhback_, &ClickLabel::clicked, this, &Form1::previousRhythm);
    connect(labeldrumplay_, &ClickLabel::clicked, this, &Form1::playRhythm);
    connect(labeldrumstop_, &ClickLabel::clicked, this, &Form1::resetRhythmPlayer);

    connect(qobject_cast<ClickLabel*>(findChild<QWidget*>(QStringLiteral("Label5"))), &ClickLabel::clicked, this,
            &Form1::showHelp);
    for (const char* link : {"Labellage", "Label6"})
        connect(qobject_cast<ClickLabel*>(findChild<QWidget*>(QString::fromLatin1(link))), &ClickLabel::clicked, this,
                &Form1::openCourse);
    connect(image1_, &ClickLabel::clicked, this, &Form1::volumeLamp);
    connect(timer4_, &QTimer::timeout, this, &Form1::volumeLampTick);
    connect(timerexit_, &QTimer::timeout, this, &Form1::exitTick);
}

void Form1::startUp()
{
    setBackgroundPicture(services_.content.background());
    setTabOrder(text2_, picture1_);
    text2_->setFocus();
    label7_->setText(QStringLiteral("Rock 1"));
    timer1_->stop();
    timer1_->setInterval(kPollInterval);
    currentNumber_ = 1;
    rhythmIndex_ = 0;
    toggleCount_ = 0;
    currentMediaPath_ = services_.content.riffRecording(1);
    startAtNormalTempo();
    showSheet();
}

// A missing background keeps the design background compiled into the program. That one is
// decoded only then: start-up replaces it before the window is first shown.
void Form1::setBackgroundPicture(const QString& path)
{
    const QPixmap picture = loadPicture(path);
    if (!picture.isNull())
        background_ = picture;
    else if (background_.isNull())
        background_ = loadPicture(QStringLiteral(":/design/background.png"));
    setProperty("backgroundPath", picture.isNull() ? QString() : path);
    update();
}

void Form1::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    painter.drawPixmap(0, 0, background_);
}

QString Form1::shownName(const QString& path) const
{
    return QDir::toNativeSeparators(QDir(services_.content.programFolder()).relativeFilePath(path));
}

void Form1::moveRhythmBarHome() { label12_->move(barLeft_, label12_->y()); }

void Form1::setRhythmBar(int width)
{
    moveRhythmBarHome();
    label12_->resize(width, label12_->height());
}

void Form1::resetRhythmPlayer()
{
    moveRhythmBarHome();
    setTextColour(labeldrumplay_, idleColour());
    services_.media.closeMedia();
    setRhythmBar(1);
    setBackColour(label14_, kTickRowGrey);
    text2_->setEnabled(true);
}

void Form1::stopRhythm()
{
    resetRhythmPlayer();
    setRhythmBar(1);
    setTextColour(labeldrumplay_, idleColour());
    setBackColour(label14_, kTickRowGrey);
}

void Form1::showExerciseMode()
{
    setTextColour(label2_, kGreen);
    setTextColour(label1_, kDarkGrey);
    label4_->setText(QStringLiteral("Exercise"));
}

} // namespace zupfomat
