// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzz targets' seed inputs into a folder: small recordings of every kind the
// program plays, and command and answer texts of every form it sends and reads.
#include "tests/support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <fstream>

using namespace zupfomat::testing;

namespace {

void writeText(const QString& path, const std::string& text) { std::ofstream(path.toStdString(), std::ios::binary) << text; }

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const char* target : {"file", "command", "answer"})
        QDir().mkpath(root + "/" + target);
    const std::string file = (root + "/file/").toStdString();
    bool written = writeWma(file + "stereo.wma", 0.2) && writeWma(file + "mono22.wma", 0.2, 22050, 1) &&
                   writeMp3(file + "cbr.mp3", 0.2) && writeMp3(file + "mono48.mp3", 0.2, 48000, 1) &&
                   writeMp3(file + "vbr.mp3", 0.2, 44100, 2, zupfomat::content::BitRateMode::Variable, false) &&
                   writeMp3(file + "cover.mp3", 0.1, 44100, 2, zupfomat::content::BitRateMode::Constant, true, 16);
    const std::string open = "open " + file + "stereo.wma type MPEGVideo alias myMP3\n";
    writeText(root + "/command/sequence", open + "play myMP3 from 0\nstatus myMP3 position\nstatus myMP3 length\nclose myMP3");
    writeText(root + "/command/upper", "OPEN " + file + "cbr.mp3 TYPE MPEGVideo ALIAS myMP3\nPLAY MYMP3 FROM 0");
    writeText(root + "/command/blanks", "open /tmp/a b \"c\" type x type MPEGVideo alias myMP3");
    writeText(root + "/command/other", "seek myMP3 to end");
    for (const char* answer : {"6316", "  -12.5e2", "2147483648", "0.5", "1.5", "-0", "+7", "1e400", "abc", ""})
        writeText(root + "/answer/" + QString::number(qHash(QByteArray(answer))), answer);
    return written ? 0 : 1;
}
