// SPDX-License-Identifier: GPL-3.0-or-later
// Times what stands between a capture and its thumbnail: finding the window inside a window
// capture's shadow margin, and the whole thumbnail picture. The reference, measured in the same
// run, is the plain way of finding the box: an alpha-only copy of the image, then a look at
// every pixel. Figures are medians of 9 runs after a warm-up.
#include "CaptureItem.h"
#include "ThumbnailPicture.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

using namespace vantrel;

namespace {

double milliseconds(const std::function<void()>& work, int runs = 9)
{
    work();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The reference: alpha-only copy, then every pixel.
std::optional<QRect> boxByFullScan(const QImage& image)
{
    const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
    int minX = alpha.width(), minY = alpha.height(), maxX = -1, maxY = -1;
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar* row = alpha.constScanLine(y);
        for (int x = 0; x < alpha.width(); ++x) {
            if (row[x] > 240) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = y;
            }
        }
    }
    if (maxX < 0)
        return std::nullopt;
    return QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);
}

// A window capture at scale 2: the window with a soft shadow in a transparent margin.
QImage windowCapture(int w, int h, int margin)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    for (int i = margin; i > 0; i -= 4)
        p.fillRect(QRect(margin - i, margin - i + 8, w - 2 * (margin - i), h - 2 * (margin - i)),
            QColor(0, 0, 0, std::min(200, 4 * (margin - i) / 2 + 8)));
    p.fillRect(QRect(margin, margin, w - 2 * margin, h - 2 * margin), QColor(236, 238, 242));
    p.fillRect(QRect(margin, margin, w - 2 * margin, 56), QColor(210, 212, 218));
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    std::printf("Thumbnail picture of a window capture; medians of 9 runs\n");
    for (const QSize size : {QSize(1600, 1000), QSize(3200, 2000), QSize(5120, 2880)}) {
        const QImage capture = windowCapture(size.width(), size.height(), 120);
        if (opaquePixelBounds(capture) != boxByFullScan(capture)) {
            std::printf("  boxes differ at %dx%d\n", size.width(), size.height());
            return 1;
        }
        const double ours = milliseconds([&] { opaquePixelBounds(capture); });
        const double reference = milliseconds([&] { boxByFullScan(capture); });
        const auto item = CaptureItem::fromImage(capture, 2, CaptureKind::window);
        const double picture = milliseconds([&] { thumbnailPicture(*item); });
        std::printf("\n%dx%d pixels, 120-pixel shadow margin\n", size.width(), size.height());
        std::printf("  opaquePixelBounds          %8.2f ms\n", ours);
        std::printf(
            "  reference: full alpha scan %8.2f ms   ratio Vantrel/reference %.3f\n", reference, ours / reference);
        const QRect box = *opaquePixelBounds(capture);
        const double copy = milliseconds([&] { capture.copy(box); });
        std::printf("  thumbnailPicture (crop)    %8.2f ms\n", picture);
        std::printf("  reference: QImage::copy    %8.2f ms\n", copy);
        const QImage cropped = thumbnailPicture(*item);
        const double scale = milliseconds([&] {
            cropped.scaled(QSize(440, 440 * cropped.height() / cropped.width()), Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
        });
        std::printf("  smooth scale to 440 px     %8.2f ms\n", scale);
    }
    return 0;
}
