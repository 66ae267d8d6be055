// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Generator.h"
#include "content/SheetRenderer.h"
#include "content/Synth.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QApplication>

#include <cstdio>

// zupfomat-content DATA_FOLDER        writes the demo Data tree
// zupfomat-content --assets FOLDER    writes the design pictures
// zupfomat-content --sheet NOTES PNG  draws one note file's sheet, to look at while writing it
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // paints pictures only; needs no display
    QApplication application(argc, argv); // the help screenshot draws the real main window
    const QStringList args = application.arguments();
    const QString notes = QStringLiteral(ZUPFOMAT_NOTES_DIR);
    QString error;
    QElapsedTimer timer;
    timer.start();
    bool ok = false;
    if (args.size() == 3 && args[1] == QLatin1String("--assets")) {
        ok = zupfomat::content::writeDesignPictures(notes, args[2], &error);
    } else if (args.size() == 4 && args[1] == QLatin1String("--sheet")) {
        zupfomat::content::Score score;
        ok = zupfomat::content::loadScore(args[2], &score, &error);
        // Drawn as the pack draws it: an exercise's header names no loop.
        zupfomat::content::SheetStyle style;
        if (QFileInfo(args[2]).fileName().startsWith(QLatin1String("ex")))
            style.kind = zupfomat::content::SheetKind::Exercise;
        if (ok && !zupfomat::content::renderSheet(score, style).save(args[3])) {
            error = QStringLiteral("cannot write ") + args[3];
            ok = false;
        }
    } else if (args.size() == 2 && !args[1].startsWith('-')) {
        zupfomat::content::GeneratorOptions options;
        options.notesFolder = notes;
        options.dataFolder = args[1];
        options.soundFont = QString::fromStdString(zupfomat::content::defaultSoundFont());
        ok = zupfomat::content::generateDataTree(options, &error);
    } else {
        std::fprintf(stderr, "usage: zupfomat-content DATA_FOLDER | --assets FOLDER | --sheet NOTES PNG\n");
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "zupfomat-content: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("zupfomat-content: done in %.1f s\n", timer.elapsed() / 1000.0);
    return 0;
}
