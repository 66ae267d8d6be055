// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/PicturePrefetch.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>

#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace zupfomat {
namespace {

struct Decoded {
    QImage image;
    QDateTime modified;
    qint64 bytes = -1;
};

// What a load compares to tell whether the file is still the one decoded.
bool sameFile(const QFileInfo& file, const Decoded& decoded)
{
    return file.exists() && file.size() == decoded.bytes && file.lastModified() == decoded.modified;
}

// The program's own pictures are what their names say and are read by that format alone: asking
// the image plugins what a file might be loads every one of them. A file of the content folder
// may be misnamed and is recognised by what it holds.
QImage decode(const QString& path)
{
    QImageReader reader(path);
    if (path.startsWith(QLatin1String(":/"))) {
        reader.setFormat(QFileInfo(path).suffix().toLatin1());
        reader.setAutoDetectImageFormat(false);
    }
    return reader.read();
}

std::mutex mutex;
QHash<QString, std::shared_future<Decoded>> pending;

} // namespace

void prefetchPictures(const QStringList& paths)
{
    auto promises = std::make_shared<std::vector<std::promise<Decoded>>>(size_t(paths.size()));
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (int i = 0; i < paths.size(); ++i)
            pending.insert(paths[i], (*promises)[size_t(i)].get_future().share());
    }
    std::thread([paths, promises] {
        for (int i = 0; i < paths.size(); ++i) {
            const QFileInfo file(paths[i]);
            Decoded decoded{decode(paths[i]), file.lastModified(), file.exists() ? file.size() : -1};
            (*promises)[size_t(i)].set_value(std::move(decoded));
        }
    }).detach();
}

QPixmap loadPicture(const QString& path)
{
    std::shared_future<Decoded> prefetched;
    {
        std::lock_guard<std::mutex> guard(mutex);
        prefetched = pending.take(path);
    }
    if (prefetched.valid()) {
        const Decoded& decoded = prefetched.get();
        if (!decoded.image.isNull() && sameFile(QFileInfo(path), decoded))
            return QPixmap::fromImage(decoded.image);
    }
    return QPixmap::fromImage(decode(path));
}

} // namespace zupfomat
