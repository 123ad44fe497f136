// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailReader.h"

#include "PngThumbnail.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace vantrel {

namespace {

// Pictures other than PNG and JPEG up to this size are read whole and then scaled (10
// megapixels, a 4K screen, take 40 MB for the moment of the read); larger ones at reduced size
// where their format allows it.
constexpr qint64 largestWholeReadPixels = 10'000'000;

// A file that stops yielding bytes once the thumbnail is no longer wanted: the decoder sees a
// read error and gives up at once instead of finishing a picture nobody will see.
class CancellableFile : public QFile
{
public:
    CancellableFile(const QString& path, const std::atomic<bool>& cancelled)
        : QFile(path)
        , m_cancelled(cancelled)
    { }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_cancelled.load(std::memory_order_relaxed))
            return -1;
        return QFile::readData(data, maxSize);
    }

private:
    const std::atomic<bool>& m_cancelled;
};

Error failure(const QString& description)
{
    return Error {.description = description};
}

} // namespace

QSize thumbnailSize(QSize size, int longestSide)
{
    if (size.isEmpty())
        return {};
    const int longer = std::max(size.width(), size.height());
    if (longer <= longestSide)
        return size;
    const double factor = double(longestSide) / longer;
    return QSize(
        std::max(1, int(std::lround(size.width() * factor))), std::max(1, int(std::lround(size.height() * factor))));
}

QImage scaledToThumbnail(const QImage& image, int longestSide)
{
    const QSize target = thumbnailSize(image.size(), longestSide);
    if (image.isNull() || target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

Expected<QImage> readThumbnail(const QString& path, const std::atomic<bool>& cancelled, int longestSide)
{
    if (path.isEmpty())
        return failure(QStringLiteral("the capture has no file"));
    // PNG, what the history writes, streams into the thumbnail: memory stays at the thumbnail's
    // size, and a decode stopped on purpose or a damaged file leaves nothing on the terminal.
    Expected<QImage> png = decodePngThumbnail(
        path, [longestSide](QSize size) { return thumbnailSize(size, longestSide); }, largestThumbnailSourcePixels,
        cancelled);
    if (png || png.error().code != ENOTSUP)
        return png;

    CancellableFile file(path, cancelled);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return failure(QStringLiteral("the file is not a picture"));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return failure(QStringLiteral("the picture has no size"));
    if (qint64(size.width()) * size.height() > largestThumbnailSourcePixels)
        return failure(
            QStringLiteral("the picture is too large for a thumbnail (%1 × %2)").arg(size.width()).arg(size.height()));

    const QSize target = thumbnailSize(size, longestSide);
    // JPEG decodes at a fraction of its size for a fraction of the work; other formats only
    // save memory that way, which matters for large pictures only.
    const bool reducedRead = reader.format() == "jpeg" || qint64(size.width()) * size.height() > largestWholeReadPixels;
    if (reducedRead && target != size && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (cancelled.load(std::memory_order_relaxed))
        return failure(QStringLiteral("cancelled"));
    if (image.isNull())
        return failure(reader.errorString());
    // Formats without reduced-size decoding, and orientations that swap width and height.
    image = scaledToThumbnail(image, longestSide);
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(
            image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return image;
}

} // namespace vantrel
