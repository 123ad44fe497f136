// SPDX-License-Identifier: GPL-3.0-or-later
#include "PngThumbnail.h"

#include <QFile>
#include <QtEndian>

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <vector>

namespace vantrel {

namespace {

// Rows wider than this are refused: one row is held whole, 4 bytes a pixel.
constexpr png_uint_32 widestRow = 1u << 20;

// Everything the decode changes once libpng may jump back out of it: held in memory that
// libpng's callbacks reach through a pointer, never in locals that a jump could leave stale.
struct Decoding
{
    QFile file;
    const std::atomic<bool>* cancelled = nullptr;
    QString failure; // why the decode stopped, in words
    int failureCode = 0;
    bool transparent = false;
    std::vector<png_byte> row; // one source row: R, G, B, A bytes
    std::vector<int> columnOf; // source column → result column
    std::vector<int> columnCount; // source columns in each result column
    std::vector<quint64> sums; // the result row being gathered: 4 sums per pixel
    QImage result;
};

Error tooLarge(quint32 width, quint32 height)
{
    return Error {.code = EFBIG,
        .description = QStringLiteral("the picture is too large (%1 × %2 pixels)").arg(width).arg(height)};
}

[[noreturn]] void stop(png_structp png, png_const_charp message)
{
    auto* decoding = static_cast<Decoding*>(png_get_error_ptr(png));
    if (decoding->failure.isEmpty())
        decoding->failure = QString::fromLatin1(message);
    png_longjmp(png, 1);
}

// libpng's warnings (unknown chunks, sRGB profiles) change nothing about the picture.
void ignoreWarning(png_structp, png_const_charp)
{ }

void readBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* decoding = static_cast<Decoding*>(png_get_io_ptr(png));
    if (decoding->cancelled->load(std::memory_order_relaxed)) {
        decoding->failure = QStringLiteral("cancelled");
        png_error(png, "cancelled");
    }
    png_size_t done = 0;
    while (done < length) {
        const qint64 read = decoding->file.read(reinterpret_cast<char*>(data) + done, qint64(length - done));
        if (read <= 0) {
            decoding->failure = read < 0 ? decoding->file.errorString() : QStringLiteral("the file ends early");
            png_error(png, "read");
        }
        done += png_size_t(read);
    }
}

// Adds one source row to the sums of its result row. With transparency, colours are weighted by
// their alpha (premultiplied) and every sum is 255 times its value, to keep the precision.
void gather(Decoding& d)
{
    const png_byte* pixel = d.row.data();
    quint64* sums = d.sums.data();
    const std::size_t width = d.columnOf.size();
    if (d.transparent) {
        for (std::size_t x = 0; x < width; ++x, pixel += 4) {
            quint64* sum = sums + std::size_t(d.columnOf[x]) * 4;
            const unsigned alpha = pixel[3];
            sum[0] += pixel[0] * alpha;
            sum[1] += pixel[1] * alpha;
            sum[2] += pixel[2] * alpha;
            sum[3] += alpha * 255u;
        }
    } else {
        for (std::size_t x = 0; x < width; ++x, pixel += 4) {
            quint64* sum = sums + std::size_t(d.columnOf[x]) * 4;
            sum[0] += pixel[0];
            sum[1] += pixel[1];
            sum[2] += pixel[2];
        }
    }
}

// Writes result row `y` as the average of the `rows` source rows gathered, and starts afresh.
void emitRow(Decoding& d, int y, int rows)
{
    auto* out = reinterpret_cast<QRgb*>(d.result.scanLine(y));
    const quint64 weight = d.transparent ? 255u : 1u;
    for (std::size_t column = 0; column < d.columnCount.size(); ++column) {
        const quint64* sum = d.sums.data() + column * 4;
        const quint64 count = quint64(d.columnCount[column]) * quint64(rows) * weight;
        const auto average = [&](int channel) { return int((sum[channel] + count / 2) / count); };
        // Premultiplied stays valid: no colour sum exceeds its alpha sum.
        out[column] = d.transparent ? qRgba(average(0), average(1), average(2), average(3))
                                    : qRgb(average(0), average(1), average(2));
    }
    std::fill(d.sums.begin(), d.sums.end(), 0);
}

// The decode proper; false when it stopped, with `d.failure` saying why. No object with a
// destructor may be alive in this frame while libpng runs: libpng leaves it by a long jump.
bool decodeRows(
    png_structp png, png_infop info, Decoding& d, const std::function<QSize(QSize)>& sizeFor, qint64 maxPixels)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_sig_bytes(png, 8);
    png_set_read_fn(png, &d, readBytes);
    // The area limit below is the one that counts; libpng's own (a million a side) would refuse
    // a long scrolling capture.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colorType = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (qint64(width) * qint64(height) > maxPixels || width > widestRow) {
        const Error error = tooLarge(width, height);
        d.failureCode = error.code;
        d.failure = error.description;
        return false;
    }
    if (interlace != PNG_INTERLACE_NONE) {
        // Its passes need the whole picture at once.
        d.failureCode = ENOTSUP;
        d.failure = QStringLiteral("the picture is interlaced");
        return false;
    }
    const QSize target = sizeFor(QSize(int(width), int(height)));
    if (target.isEmpty() || target.width() > int(width) || target.height() > int(height)) {
        d.failure = QStringLiteral("no smaller size for a %1 × %2 picture").arg(width).arg(height);
        return false;
    }

    // Every kind of PNG as 8-bit R, G, B, A.
    const bool hasTransparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    d.transparent = (colorType & PNG_COLOR_MASK_ALPHA) || hasTransparencyChunk;
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (hasTransparencyChunk)
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_strip_16(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    if (!d.transparent)
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(width) * 4) {
        d.failure = QStringLiteral("an unexpected row layout");
        return false;
    }

    d.row.resize(std::size_t(width) * 4);
    d.columnOf.resize(width);
    d.columnCount.assign(std::size_t(target.width()), 0);
    for (png_uint_32 x = 0; x < width; ++x) {
        const int column = int(qint64(x) * target.width() / qint64(width));
        d.columnOf[x] = column;
        ++d.columnCount[std::size_t(column)];
    }
    d.sums.assign(std::size_t(target.width()) * 4, 0);
    d.result = QImage(target, d.transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (d.result.isNull()) {
        d.failure = QStringLiteral("no memory for the thumbnail");
        return false;
    }

    int resultRow = 0;
    int rowsGathered = 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        if (d.cancelled->load(std::memory_order_relaxed)) {
            d.failure = QStringLiteral("cancelled");
            return false;
        }
        png_read_row(png, d.row.data(), nullptr);
        const int row = int(qint64(y) * target.height() / qint64(height));
        if (row != resultRow) {
            emitRow(d, resultRow, rowsGathered);
            resultRow = row;
            rowsGathered = 0;
        }
        gather(d);
        ++rowsGathered;
    }
    emitRow(d, resultRow, rowsGathered);
    // The chunks after the pixels (text, the end marker) are not read: nothing in them matters
    // to a thumbnail, and a file cut off after its last row still shows whole.
    return true;
}

} // namespace

Expected<QImage> decodePngThumbnail(const QString& path, const std::function<QSize(QSize)>& sizeFor, qint64 maxPixels,
    const std::atomic<bool>& cancelled)
{
    Decoding decoding;
    decoding.cancelled = &cancelled;
    decoding.file.setFileName(path);
    if (!decoding.file.open(QIODevice::ReadOnly)) {
        const int code = errno != 0 ? errno : EIO;
        return Error {.code = code, .description = decoding.file.errorString()};
    }
    png_byte signature[8] = {};
    if (decoding.file.read(reinterpret_cast<char*>(signature), 8) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        return Error {.code = ENOTSUP, .description = QStringLiteral("not a PNG file")};
    // The size the header declares, before libpng reads anything past it: a picture too large
    // is refused even when what follows is missing or hostile.
    const QByteArray header = decoding.file.peek(16);
    if (header.size() == 16 && header.mid(4, 4) == "IHDR") {
        const quint32 width = qFromBigEndian<quint32>(header.constData() + 8);
        const quint32 height = qFromBigEndian<quint32>(header.constData() + 12);
        if (qint64(width) * qint64(height) > maxPixels || width > widestRow)
            return tooLarge(width, height);
    }

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &decoding, stop, ignoreWarning);
    if (!png)
        return Error {.code = ENOMEM, .description = QStringLiteral("no memory for the decoder")};
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return Error {.code = ENOMEM, .description = QStringLiteral("no memory for the decoder")};
    }
    const bool decoded = decodeRows(png, info, decoding, sizeFor, maxPixels);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded)
        return Error {.code = decoding.failureCode, .description = decoding.failure};
    return std::move(decoding.result);
}

} // namespace vantrel
