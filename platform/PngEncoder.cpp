// SPDX-License-Identifier: GPL-3.0-or-later
#include "PngEncoder.h"

#include <QSysInfo>

#include <png.h>
#include <zlib.h>

#include <csetjmp>

namespace vantrel {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void noFlush(png_structp)
{ }

void silentWarning(png_structp, png_const_charp)
{ }

} // namespace

std::optional<QByteArray> encodePng(const QImage& image, PngSpeed speed)
{
    if (image.isNull())
        return std::nullopt;
    // 32-bit words 0xAARRGGBB are B, G, R, A in memory on little-endian machines, which libpng
    // takes as is with its BGR and filler transforms; elsewhere convert to byte order first.
    const bool alpha = image.hasAlphaChannel();
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    QImage source;
    if (littleEndian)
        source = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    else
        source = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (source.isNull())
        return std::nullopt;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, silentWarning);
    if (!png)
        return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return std::nullopt;
    }
    QByteArray out;
    out.reserve(qsizetype(source.sizeInBytes() / 4));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::nullopt;
    }
    png_set_write_fn(png, &out, appendBytes, noFlush);
    png_set_IHDR(png, info, png_uint_32(source.width()), png_uint_32(source.height()), 8,
        alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    if (speed == PngSpeed::fast) {
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    } else {
        png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
    }
    png_write_info(png, info);
    if (littleEndian) {
        png_set_bgr(png);
        if (!alpha)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else if (!alpha) {
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    for (int y = 0; y < source.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(source.constScanLine(y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace vantrel
