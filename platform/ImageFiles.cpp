// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFiles.h"

#include "PrivateFiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QtEndian>

#include <cmath>
#include <mutex>

namespace vantrel {

namespace {

std::optional<double> pngResolution(const QByteArray& head)
{
    // Signature, then chunks of {length, type, data, crc}; pHYs comes before the image data.
    qsizetype pos = 8;
    while (pos + 8 <= head.size()) {
        const quint32 length = qFromBigEndian<quint32>(head.constData() + pos);
        const QByteArray type = head.mid(pos + 4, 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "pHYs" && length == 9 && pos + 8 + 9 <= head.size()) {
            const quint32 perMetre = qFromBigEndian<quint32>(head.constData() + pos + 8);
            const quint8 unit = static_cast<quint8>(head.at(pos + 16));
            if (unit != 1 || perMetre == 0)
                return std::nullopt;
            // pHYs stores whole pixels per metre; round back to the dpi it was written from.
            return std::round(perMetre * 0.0254);
        }
        pos += 12 + qsizetype(length);
    }
    return std::nullopt;
}

std::optional<double> jfifResolution(const QByteArray& head)
{
    // SOI, then an APP0 segment "JFIF\0" with version, units and densities.
    if (head.size() < 18 || static_cast<quint8>(head.at(2)) != 0xFF || static_cast<quint8>(head.at(3)) != 0xE0
        || head.mid(6, 5) != QByteArray("JFIF\0", 5))
        return std::nullopt;
    const quint8 units = static_cast<quint8>(head.at(13));
    const quint16 x = qFromBigEndian<quint16>(head.constData() + 14);
    if (x == 0)
        return std::nullopt;
    if (units == 1)
        return double(x);
    if (units == 2)
        return x * 2.54;
    return std::nullopt;
}

Error notAPicture(const QString& why)
{
    return Error {.domain = QStringLiteral("Image"), .code = 0, .description = why};
}

} // namespace

void allowLargeImages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (QImageReader::allocationLimit() < largestImageMegabytes)
            QImageReader::setAllocationLimit(largestImageMegabytes);
    });
}

double pixelsPerPointForResolution(std::optional<double> dpi)
{
    // Two conventions meet here: 72 dpi per point (144 dpi is a 2× screenshot) and the Linux
    // desktop's 96 dpi per point (Qt and most Linux tools write 96, or 192 at 2×). Anything else
    // is a print resolution and says nothing about the screen.
    if (!dpi || *dpi <= 0)
        return 1.0;
    const double whole = std::round(*dpi);
    if (std::fmod(whole, 72.0) == 0)
        return whole / 72.0;
    if (std::fmod(whole, 96.0) == 0)
        return whole / 96.0;
    return 1.0;
}

double imageScale(int pixelWidth, double pointWidth)
{
    return pixelWidth / (pointWidth <= 1.0 ? 1.0 : pointWidth);
}

std::optional<double> declaredResolution(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return pngResolution(bytes);
    if (bytes.startsWith("\xFF\xD8"))
        return jfifResolution(bytes);
    return std::nullopt;
}

namespace {

// Checks what the header promises before any pixel is decoded.
std::optional<Error> checkHeader(QImageReader& reader)
{
    if (!reader.canRead())
        return notAPicture(QCoreApplication::translate("ImageFiles", "it is not an image Vantrel can read"));
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() * 4 > (qint64(largestImageMegabytes) << 20))
        return notAPicture(
            QCoreApplication::translate("ImageFiles", "the picture is too large to open (%1 × %2 pixels)")
                .arg(size.width())
                .arg(size.height()));
    return std::nullopt;
}

} // namespace

Expected<OpenedImage> decodeImageFile(const QByteArray& bytes)
{
    allowLargeImages();
    if (bytes.isEmpty())
        return notAPicture(QCoreApplication::translate("ImageFiles", "the file is empty"));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (std::optional<Error> problem = checkHeader(reader))
        return *problem;
    QImage image = reader.read();
    if (image.isNull())
        return notAPicture(QCoreApplication::translate("ImageFiles", "the picture is damaged or incomplete"));
    const double scale
        = imageScale(image.width(), image.width() / pixelsPerPointForResolution(declaredResolution(bytes)));
    return OpenedImage {std::move(image), scale};
}

std::optional<Error> checkImageFile(const QString& path)
{
    Expected<QByteArray> bytes = files::readRegularFile(path, largestImageFileBytes);
    if (!bytes)
        return bytes.error();
    QBuffer buffer(&bytes.value());
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return checkHeader(reader);
}

Expected<OpenedImage> loadImageFile(const QString& path)
{
    Expected<QByteArray> bytes = files::readRegularFile(path, largestImageFileBytes);
    if (!bytes)
        return bytes.error();
    return decodeImageFile(*bytes);
}

} // namespace vantrel
