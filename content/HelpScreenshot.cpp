// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/HelpScreenshot.h"

#include "content/Generator.h"
#include "content/GifWriter.h"
#include "content/Pictures.h"
#include "content/SheetRenderer.h"
#include "mainwindow/Form1.h"
#include "media/MediaChannel.h"

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

namespace zupfomat::content {
namespace {

// The picture needs no sound: every command fails quietly.
class SilentDevice final : public MediaDevice {
public:
    std::string send(std::string_view) override { return {}; }
};

} // namespace

QImage paintHelpScreenshot(const QString& notesFolder, QString* error)
{
    QTemporaryDir program;
    const QString images = program.path() + QStringLiteral("/Data/images");
    QDir().mkpath(images);
    Score exercise;
    Score riff;
    if (!loadScore(notesFolder + QStringLiteral("/ex1.txt"), &exercise, error) ||
        !loadScore(notesFolder + QStringLiteral("/riff1.txt"), &riff, error))
        return {};
    if (!writeGif(renderSheet(exercise), images + QStringLiteral("/ex1.gif"), error) ||
        !writeGif(renderSheet(riff), images + QStringLiteral("/riff1.gif"), error))
        return {};
    paintBackground().save(images + QStringLiteral("/hinten7.jpg"), "JPG", 92);
    paintLamp(false).save(images + QStringLiteral("/gruen.jpg"), "JPG", 92);
    paintLamp(true).save(images + QStringLiteral("/gruen2.jpg"), "JPG", 92);

    SilentDevice device;
    MediaChannel channel(device);
    Form1 window({channel, ContentFolder(program.path())});
    window.showExercises();
    window.nextRhythm(); // a rhythm name other than the first
    window.nextRhythm();
    window.nextRhythm();
    const QImage shot = window.grab().toImage();
    return shot.scaled(502, 344, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace zupfomat::content
