// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/GifWriter.h"

#include <gif_lib.h>

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace zupfomat::content {
namespace {

// 32 greys (sheets are black on white with soft edges) and a 6x6x6 cube for colour pictures.
constexpr int kGreys = 32;

std::vector<GifColorType> palette()
{
    std::vector<GifColorType> colours;
    for (int i = 0; i < kGreys; ++i) {
        const auto v = GifByteType(i * 255 / (kGreys - 1));
        colours.push_back({v, v, v});
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                colours.push_back({GifByteType(r * 51), GifByteType(g * 51), GifByteType(b * 51)});
    while (colours.size() < 256)
        colours.push_back({0, 0, 0});
    return colours;
}

GifByteType indexOf(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    const int spread = std::max({r, g, b}) - std::min({r, g, b});
    if (spread < 12) // grey enough: the finer grey ramp keeps edges smooth
        return GifByteType(((r + g + b) / 3 * (kGreys - 1) + 127) / 255);
    auto level = [](int v) { return (v + 25) / 51; };
    return GifByteType(kGreys + level(r) * 36 + level(g) * 6 + level(b));
}

} // namespace

bool writeGif(const QImage& source, const QString& path, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why + QStringLiteral(": ") + path;
        return false;
    };
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const QString temporary = path + QStringLiteral(".part");
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return fail(QStringLiteral("cannot write"));
    int code = 0;
    GifFileType* gif = EGifOpenFileHandle(fd, &code);
    if (!gif) {
        ::close(fd);
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot start GIF"));
    }
    const std::vector<GifColorType> colours = palette();
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    std::vector<GifByteType> row(size_t(image.width()));
    for (int y = 0; ok && y < image.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[size_t(x)] = indexOf(pixels[x]);
        ok = EGifPutLine(gif, row.data(), image.width()) == GIF_OK;
    }
    GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &code) == GIF_OK && ok; // closes fd too
    if (!ok) {
        QFile::remove(temporary);
        return fail(QStringLiteral("GIF not written"));
    }
    QFile::remove(path);
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot rename into place"));
    }
    return true;
}

} // namespace zupfomat::content
