// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZXingBarcodeReader.h"

#include <QPainter>

// Payloads as UTF-8 strings (the library's newer interface).
#define ZX_USE_UTF8 1
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

namespace vantrel {

namespace {

// Larger pictures are read at a reduced size: codes on a screen have modules of several pixels,
// and the decoder's memory grows with the pixel count.
constexpr qint64 maxReadPixels = 24'000'000;

QImage greyOnWhite(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    QImage canvas(image.size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, image);
    painter.end();
    return canvas.convertToFormat(QImage::Format_Grayscale8);
}

struct Found
{
    QString text;
    QPoint centre;
    QRect area;
};

ZXing::ImageView viewOf(const QImage& grey)
{
    return ZXing::ImageView(
        grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
}

QRect boundsOf(const ZXing::Position& position)
{
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const ZXing::PointI& corner : position) {
        left = std::min(left, corner.x), right = std::max(right, corner.x);
        top = std::min(top, corner.y), bottom = std::max(bottom, corner.y);
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// `area`: where the code lies, when the caller knows better than the decoder's corners.
std::optional<Found> foundOf(const ZXing::Result& result, QPoint offset, std::optional<QRect> area = std::nullopt)
{
    if (!result.isValid() || result.contentType() == ZXing::ContentType::Binary)
        return std::nullopt;
    const QString text = QString::fromStdString(result.text());
    if (text.isEmpty())
        return std::nullopt;
    const ZXing::PointI centre = ZXing::Center(result.position());
    QRect bounds = area.value_or(boundsOf(result.position()));
    if (!area) {
        // The corners are those of the modules; the quiet zone around them is part of the code.
        const int zone = 4 + std::max(bounds.width(), bounds.height()) / 10;
        bounds.adjust(-zone, -zone, zone, zone);
    }
    return Found {text, offset + QPoint(centre.x, centre.y), bounds.translated(offset)};
}

// Two-dimensional codes (QR, Micro QR, Data Matrix, Aztec, PDF417, MaxiCode), all at once.
std::vector<Found> decodeMatrix(const QImage& grey, ZXing::BarcodeFormats formats, QPoint offset = {})
{
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryDownscale(true);
    std::vector<Found> found;
    for (const ZXing::Result& result : ZXing::ReadBarcodes(viewOf(grey), hints)) {
        if (std::optional<Found> code = foundOf(result, offset))
            found.push_back(std::move(*code));
    }
    return found;
}

// Whether the dark and light of row (or column) `line` over `span` match `pattern`.
bool sameBars(const QImage& grey, bool rows, int line, int from, const std::vector<bool>& pattern)
{
    int equal = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const int along = from + int(i);
        const uchar level = rows ? grey.constScanLine(line)[along] : grey.constScanLine(along)[line];
        equal += (level < 128) == pattern[i];
    }
    return equal * 10 >= int(pattern.size()) * 9;
}

// Whether row (or column) `line` is one of the bars' cross-sections: across [first, last] of
// the other direction, nearly all dark or nearly all light.
bool uniformAcross(const QImage& grey, bool rows, int line, int first, int last)
{
    int dark = 0;
    for (int at = first; at <= last; ++at)
        dark += (rows ? grey.constScanLine(at)[line] : grey.constScanLine(line)[at]) < 128;
    const int count = last - first + 1;
    return dark * 10 >= count * 9 || dark * 10 <= count;
}

// Paints out a linear code that the decoder placed on a line or two, and returns where it lies:
// the whole height of its bars, the bars beyond the part the decoder reported, and the quiet
// zone, so that the next search finds the next code and the text engine sees no bars.
QRect paintOut(QImage& grey, const QRect& found)
{
    const QRect image = grey.rect();
    const bool rows = found.width() >= found.height(); // bars standing upright
    const int from = rows ? std::max(0, found.left()) : std::max(0, found.top());
    const int to = rows ? std::min(image.right(), found.right()) : std::min(image.bottom(), found.bottom());
    const int middle
        = rows ? std::clamp(found.center().y(), 0, image.bottom()) : std::clamp(found.center().x(), 0, image.right());
    std::vector<bool> pattern;
    for (int along = from; along <= to; ++along)
        pattern.push_back((rows ? grey.constScanLine(middle)[along] : grey.constScanLine(along)[middle]) < 128);
    const int last = rows ? image.bottom() : image.right();
    int low = middle, high = middle;
    while (low > 0 && sameBars(grey, rows, low - 1, from, pattern))
        --low;
    while (high < last && sameBars(grey, rows, high + 1, from, pattern))
        ++high;
    // Along the code: bars continue while each cross-section is uniform, up to a quiet zone.
    const int end = rows ? image.right() : image.bottom();
    const int quiet = std::max(6, (high - low + 1) / 4);
    auto extend = [&](int start, int step) {
        int reach = start, light = 0;
        for (int at = start + step; at >= 0 && at <= end && light < quiet; at += step) {
            if (!uniformAcross(grey, rows, at, low, high))
                break;
            const uchar level = rows ? grey.constScanLine(middle)[at] : grey.constScanLine(at)[middle];
            light = level < 128 ? 0 : light + 1;
            if (light == 0)
                reach = at;
        }
        return reach;
    };
    const int first = extend(from, -1), final = extend(to, 1);
    const QRect bars
        = rows ? QRect(QPoint(first, low), QPoint(final, high)) : QRect(QPoint(low, first), QPoint(high, final));
    const QRect code = (rows ? bars.adjusted(-10, -3, 10, 3) : bars.adjusted(-3, -10, 3, 10)).intersected(image);
    QPainter painter(&grey);
    painter.fillRect(code, Qt::white);
    return code;
}

// Linear codes one at a time. The library's own search for several at once can abort the whole
// process when one code appears twice (a failed assertion in ZXing-C++ 1.4 as Debian builds it),
// so each search asks for one code and paints it out before looking again.
std::vector<Found> decodeLinear(QImage grey)
{
    constexpr int maxCodes = 16;
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryDownscale(false);
    hints.setMaxNumberOfSymbols(1);
    std::vector<Found> found;
    for (int i = 0; i < maxCodes; ++i) {
        const ZXing::Results results = ZXing::ReadBarcodes(viewOf(grey), hints);
        if (results.empty())
            break;
        const ZXing::Result& result = results.front();
        const QRect bounds = boundsOf(result.position());
        if (!bounds.isValid() || !bounds.intersects(grey.rect()))
            break;
        const QRect area = paintOut(grey, bounds);
        if (std::optional<Found> code = foundOf(result, {}, area))
            found.push_back(std::move(*code));
    }
    return found;
}

// Patches that may hold a matrix code: dense, high-contrast areas at least 16 px on a side.
// The decoder looks for Data Matrix, Aztec and MaxiCode symbols from the middle of the picture
// outwards and stops at the first, so a screen with several codes, or one off centre among
// other things, is read patch by patch as well.
std::vector<QRect> codeCandidates(const QImage& grey)
{
    constexpr int cell = 4; // pixels
    const int columns = grey.width() / cell, rows = grey.height() / cell;
    if (columns < 4 || rows < 4)
        return {};
    std::vector<std::uint8_t> busy(size_t(columns) * rows, 0);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            int low = 255, high = 0;
            for (int y = row * cell; y < (row + 1) * cell; ++y) {
                const uchar* line = grey.constScanLine(y) + column * cell;
                for (int x = 0; x < cell; ++x)
                    low = std::min<int>(low, line[x]), high = std::max<int>(high, line[x]);
            }
            busy[size_t(row) * columns + column] = high - low > 96;
        }
    }
    // Grow each busy cell by one so that the modules of one code join up.
    std::vector<std::uint8_t> grown(busy.size(), 0);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (!busy[size_t(row) * columns + column])
                continue;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int r = row + dy, c = column + dx;
                    if (r >= 0 && r < rows && c >= 0 && c < columns)
                        grown[size_t(r) * columns + c] = 1;
                }
            }
        }
    }
    std::vector<QRect> candidates;
    std::vector<std::uint8_t> seen(grown.size(), 0);
    std::vector<int> stack;
    for (int start = 0; start < int(grown.size()); ++start) {
        if (!grown[size_t(start)] || seen[size_t(start)])
            continue;
        int left = columns, right = -1, top = rows, bottom = -1, count = 0;
        stack.assign(1, start);
        seen[size_t(start)] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int row = at / columns, column = at % columns;
            left = std::min(left, column), right = std::max(right, column);
            top = std::min(top, row), bottom = std::max(bottom, row);
            ++count;
            const int neighbours[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (const auto& [dy, dx] : neighbours) {
                const int r = row + dy, c = column + dx;
                if (r < 0 || r >= rows || c < 0 || c >= columns)
                    continue;
                const size_t next = size_t(r) * columns + c;
                if (grown[next] && !seen[next]) {
                    seen[next] = 1;
                    stack.push_back(int(next));
                }
            }
        }
        const int width = right - left + 1, height = bottom - top + 1;
        const bool codeSized = width >= 4 && height >= 4 && width <= 3 * height && height <= 3 * width;
        if (codeSized && count * 2 >= width * height)
            candidates.push_back(QRect(left * cell, top * cell, width * cell, height * cell));
    }
    // The largest first, and not too many: a screen of text has many dense patches.
    std::sort(candidates.begin(), candidates.end(),
        [](const QRect& a, const QRect& b) { return a.width() * a.height() > b.width() * b.height(); });
    if (candidates.size() > 24)
        candidates.resize(24);
    return candidates;
}

double meanLevel(const QImage& grey)
{
    qint64 sum = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            sum += line[x];
    }
    return double(sum) / std::max<qint64>(1, qint64(grey.width()) * grey.height());
}

ZXing::BarcodeFormat formatOf(BarcodeSymbology symbology)
{
    switch (symbology) {
    case BarcodeSymbology::qrCode: return ZXing::BarcodeFormat::QRCode;
    case BarcodeSymbology::dataMatrix: return ZXing::BarcodeFormat::DataMatrix;
    case BarcodeSymbology::aztec: return ZXing::BarcodeFormat::Aztec;
    case BarcodeSymbology::pdf417: return ZXing::BarcodeFormat::PDF417;
    case BarcodeSymbology::ean8: return ZXing::BarcodeFormat::EAN8;
    case BarcodeSymbology::ean13: return ZXing::BarcodeFormat::EAN13;
    case BarcodeSymbology::upcA: return ZXing::BarcodeFormat::UPCA;
    case BarcodeSymbology::upcE: return ZXing::BarcodeFormat::UPCE;
    case BarcodeSymbology::code39: return ZXing::BarcodeFormat::Code39;
    case BarcodeSymbology::code93: return ZXing::BarcodeFormat::Code93;
    case BarcodeSymbology::code128: return ZXing::BarcodeFormat::Code128;
    case BarcodeSymbology::itf: return ZXing::BarcodeFormat::ITF;
    case BarcodeSymbology::codabar: return ZXing::BarcodeFormat::Codabar;
    }
    return ZXing::BarcodeFormat::QRCode;
}

} // namespace

Expected<std::vector<Barcode>> ZXingBarcodeReader::read(const QImage& image)
{
    if (image.isNull() || image.width() < 8 || image.height() < 8)
        return std::vector<Barcode>();
    QImage grey = greyOnWhite(image);
    if (grey.isNull())
        return Error {.description = QStringLiteral("the picture could not be converted for the barcode reader")};
    const qint64 pixels = qint64(grey.width()) * grey.height();
    double shrink = 1.0;
    if (pixels > maxReadPixels) {
        shrink = std::sqrt(double(maxReadPixels) / double(pixels));
        grey = grey.scaled(
            int(grey.width() * shrink), int(grey.height() * shrink), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    std::vector<Found> found;
    try {
        auto decode = [](const QImage& picture) {
            std::vector<Found> codes = decodeMatrix(picture, ZXing::BarcodeFormat::MatrixCodes);
            for (Found& code : decodeLinear(picture))
                codes.push_back(std::move(code));
            return codes;
        };
        found = decode(grey);
        // Light codes on a dark theme: the decoder looks for dark modules, so try the negative of
        // a mostly dark picture too.
        if (found.empty() && meanLevel(grey) < 128.0) {
            grey.invertPixels();
            found = decode(grey);
        }
        constexpr auto patchFormats = ZXing::BarcodeFormat::DataMatrix | ZXing::BarcodeFormat::Aztec
            | ZXing::BarcodeFormat::MaxiCode | ZXing::BarcodeFormat::MicroQRCode | ZXing::BarcodeFormat::QRCode;
        for (const QRect& patch : codeCandidates(grey)) {
            const bool known = std::any_of(
                found.begin(), found.end(), [&patch](const Found& code) { return patch.contains(code.centre); });
            if (known)
                continue;
            // With a quiet zone around it, as the decoder expects.
            const QRect area = patch.adjusted(-8, -8, 8, 8).intersected(grey.rect());
            for (Found& code : decodeMatrix(grey.copy(area), patchFormats, area.topLeft()))
                found.push_back(std::move(code));
        }
    } catch (const std::exception& failure) {
        return Error {.description = QStringLiteral("barcode reader: ") + QString::fromLocal8Bit(failure.what())};
    }
    // Reading order, like the text: rows of codes top to bottom, left to right within a row.
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (std::abs(a.centre.y() - b.centre.y()) > 16)
            return a.centre.y() < b.centre.y();
        return a.centre.x() < b.centre.x();
    });
    std::vector<Barcode> codes;
    for (const Found& code : found) {
        const QRect area(QPoint(int(code.area.left() / shrink), int(code.area.top() / shrink)),
            QPoint(int(std::ceil((code.area.right() + 1) / shrink)) - 1,
                int(std::ceil((code.area.bottom() + 1) / shrink)) - 1));
        codes.push_back({code.text, area.intersected(image.rect())});
    }
    return codes;
}

Expected<QImage> drawBarcode(BarcodeSymbology symbology, const QString& payload, int width, int height)
{
    try {
        ZXing::MultiFormatWriter writer(formatOf(symbology));
        writer.setMargin(symbology == BarcodeSymbology::qrCode || symbology == BarcodeSymbology::aztec
                    || symbology == BarcodeSymbology::dataMatrix || symbology == BarcodeSymbology::pdf417
                ? 4
                : 10);
        const ZXing::BitMatrix matrix = writer.encode(payload.toStdString(), width, height);
        QImage image(matrix.width(), matrix.height(), QImage::Format_Grayscale8);
        for (int y = 0; y < matrix.height(); ++y) {
            uchar* line = image.scanLine(y);
            for (int x = 0; x < matrix.width(); ++x)
                line[x] = matrix.get(x, y) ? 0 : 255;
        }
        return image.convertToFormat(QImage::Format_RGB32);
    } catch (const std::exception& failure) {
        return Error {.description = QString::fromLocal8Bit(failure.what())};
    }
}

} // namespace vantrel
