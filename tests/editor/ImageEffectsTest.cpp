// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageEffects.h"

#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace vantrel;

namespace {

// The exact blur: a sampled Gaussian (normalised, out to 5 sigma) convolved separably in double
// precision over the edge-clamped image.
std::vector<double> referenceBlur(const QImage& image, double sigma)
{
    const int w = image.width();
    const int h = image.height();
    const int radius = static_cast<int>(std::ceil(5 * sigma));
    std::vector<double> kernel(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += kernel[i + radius] = std::exp(-(i * i) / (2 * sigma * sigma));
    for (double& k : kernel)
        k /= sum;
    std::vector<double> across(std::size_t(w) * h * 4), result(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 4; ++c) {
                double v = 0;
                for (int i = -radius; i <= radius; ++i)
                    v += kernel[i + radius] * row[std::clamp(x + i, 0, w - 1) * 4 + c];
                across[(std::size_t(y) * w + x) * 4 + c] = v;
            }
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 4; ++c) {
                double v = 0;
                for (int i = -radius; i <= radius; ++i)
                    v += kernel[i + radius] * across[(std::size_t(std::clamp(y + i, 0, h - 1)) * w + x) * 4 + c];
                result[(std::size_t(y) * w + x) * 4 + c] = v;
            }
        }
    }
    return result;
}

// Text-like detail, hard edges at the borders and random blocks: the worst case for a blur
// computed at reduced resolution.
QImage busyImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QRandomGenerator random(42);
    for (int i = 0; i < 150; ++i) {
        painter.fillRect(random.bounded(w), random.bounded(h), 1 + random.bounded(20), 1 + random.bounded(20),
            QColor::fromRgb(random.generate() | 0xff000000));
    }
    for (int y = 0; y < h; y += 7)
        painter.fillRect(0, y, w, 2, Qt::black);
    painter.fillRect(0, 0, 1, h, Qt::red); // a one-pixel border on the edge
    painter.fillRect(w - 3, 0, 3, h, Qt::blue);
    return image;
}

struct Error
{
    int largest = 0;
    double mean = 0;
};

Error compare(const QImage& fast, const std::vector<double>& exact)
{
    Error error;
    double total = 0;
    for (int y = 0; y < fast.height(); ++y) {
        const uchar* row = fast.constScanLine(y);
        for (int i = 0; i < fast.width() * 4; ++i) {
            const double d = std::abs(row[i] - exact[std::size_t(y) * fast.width() * 4 + i]);
            error.largest = std::max(error.largest, static_cast<int>(std::lround(d)));
            total += d;
        }
    }
    error.mean = total / (double(fast.width()) * fast.height() * 4);
    return error;
}

} // namespace

TEST(ImageEffects, ReferenceSeparableBlurMatchesTheTwoDimensionalConvolution)
{
    // Guards the yardstick itself: separable and full 2-D convolution agree on a tiny image.
    const QImage image = busyImage(24, 16);
    const double sigma = 3;
    const std::vector<double> separable = referenceBlur(image, sigma);
    const int radius = 15;
    double largest = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            for (int c = 0; c < 4; ++c) {
                double v = 0, weights = 0;
                for (int dy = -radius; dy <= radius; ++dy) {
                    for (int dx = -radius; dx <= radius; ++dx) {
                        const double w = std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
                        v += w * image.constScanLine(std::clamp(y + dy, 0, 15))[std::clamp(x + dx, 0, 23) * 4 + c];
                        weights += w;
                    }
                }
                largest = std::max(largest, std::abs(v / weights - separable[(y * 24 + x) * 4 + c]));
            }
        }
    }
    EXPECT_LT(largest, 1e-6);
}

TEST(ImageEffects, FastBlurStaysWithinThreeGreyLevelsOfTheExactGaussian)
{
    const QImage image = busyImage(240, 160);
    for (double sigma : {12.0, 21.33, 42.67}) {
        const QImage fast = effects::gaussianBlur(image, sigma);
        ASSERT_EQ(fast.size(), image.size());
        const Error error = compare(fast, referenceBlur(image, sigma));
        EXPECT_LE(error.largest, 3) << "sigma " << sigma;
        EXPECT_LT(error.mean, 0.5) << "sigma " << sigma;
    }
}

TEST(ImageEffects, BlurClampsEdgesInsteadOfFadingThem)
{
    QImage image(120, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 60; ++x)
            image.setPixelColor(x, y, Qt::white);
    }
    const QImage blurred = effects::gaussianBlur(image, 12);
    // The white half is infinite to the left: its edge column stays white, alpha stays opaque.
    EXPECT_GE(qGray(blurred.pixel(0, 0)), 250);
    EXPECT_GE(qGray(blurred.pixel(0, 79)), 250);
    EXPECT_EQ(qAlpha(blurred.pixel(119, 40)), 255);
    EXPECT_NEAR(qGray(blurred.pixel(60, 40)), 128, 12);
    EXPECT_LE(qGray(blurred.pixel(119, 40)), 5);

    // Opaque formats stay opaque formats.
    const QImage rgb = effects::gaussianBlur(image.convertToFormat(QImage::Format_RGB32), 12);
    EXPECT_EQ(rgb.format(), QImage::Format_RGB32);
    EXPECT_TRUE(effects::gaussianBlur(QImage(), 12).isNull());
}

TEST(ImageEffects, PixellationUsesSquareCellsAnchoredAtTheOrigin)
{
    QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x)
            image.setPixel(x, y, qRgb(x * 2, y * 4, 100));
    }
    const QImage cells = effects::pixellate(image, 10);
    // Cell (0, 0) covers x 0–9, y 0–9 and holds their mean.
    EXPECT_EQ(cells.pixel(0, 0), cells.pixel(9, 9));
    EXPECT_NE(cells.pixel(9, 0), cells.pixel(10, 0));
    EXPECT_NE(cells.pixel(0, 9), cells.pixel(0, 10));
    EXPECT_EQ(qRed(cells.pixel(0, 0)), 9); // mean of 0, 2, …, 18
    EXPECT_EQ(qGreen(cells.pixel(0, 0)), 18); // mean of 0, 4, …, 36
    // A partial cell at the edge averages what lies inside the image.
    const QImage partial = effects::pixellate(image, 40);
    EXPECT_EQ(partial.pixel(80, 40), partial.pixel(99, 49));
    EXPECT_EQ(qRed(partial.pixel(99, 49)), 179); // mean of 160, …, 198

    // A fractional cell puts each edge on the pixel nearest to its multiple.
    const QImage fractional = effects::pixellate(image, 12.5);
    EXPECT_EQ(fractional.pixel(0, 0), fractional.pixel(11, 0));
    EXPECT_NE(fractional.pixel(11, 0), fractional.pixel(12, 0));
    EXPECT_EQ(fractional.pixel(12, 0), fractional.pixel(24, 0));
    EXPECT_NE(fractional.pixel(24, 0), fractional.pixel(25, 0));
}

TEST(ImageEffects, LayerSizesFollowTheBase)
{
    EXPECT_DOUBLE_EQ(effects::blurSigma(3840), 3840 / 90.0);
    EXPECT_DOUBLE_EQ(effects::blurSigma(900), 12);
    EXPECT_DOUBLE_EQ(effects::pixelCell(3840), 3840 / 70.0);
    EXPECT_DOUBLE_EQ(effects::pixelCell(500), 10);

    QImage base(90, 40, QImage::Format_RGB32);
    base.fill(Qt::gray);
    const EffectLayers layers = effects::makeEffectLayers(base);
    ASSERT_TRUE(layers.blurred && layers.pixelated);
    EXPECT_EQ(layers.blurred->size(), base.size());
    EXPECT_EQ(layers.pixelated->size(), base.size());
    EXPECT_EQ(layers.blurred->pixel(45, 20), base.pixel(45, 20)); // a flat image stays flat
    const EffectLayers none = effects::makeEffectLayers(QImage());
    EXPECT_FALSE(none.blurred || none.pixelated);
}
