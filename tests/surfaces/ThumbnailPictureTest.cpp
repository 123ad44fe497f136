// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailPicture.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <random>

using namespace vantrel;

TEST(ThumbnailPicture, CropsAWindowOutOfItsShadowMargin)
{
    QImage capture(300, 200, QImage::Format_ARGB32_Premultiplied);
    capture.fill(QColor(0, 0, 0, 200)); // a dense shadow, still below the threshold of 240
    QPainter painter(&capture);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(40, 50, 220, 120), Qt::white);
    capture.setPixelColor(10, 10, QColor(0, 0, 0, 241));
    painter.end();
    EXPECT_EQ(opaquePixelBounds(capture), QRect(10, 10, 250, 160));
    capture.setPixelColor(10, 10, QColor(0, 0, 0, 240));
    EXPECT_EQ(opaquePixelBounds(capture), QRect(40, 50, 220, 120));

    const std::optional<QImage> picture = trimmedToOpaquePixels(capture, 2);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), QSize(220, 120));
    EXPECT_DOUBLE_EQ(picture->devicePixelRatio(), 2);
    EXPECT_EQ(picture->pixelColor(0, 0), QColor(Qt::white));
}

TEST(ThumbnailPicture, LeavesOpaqueAndEmptyPicturesAlone)
{
    QImage opaque(50, 40, QImage::Format_RGB32);
    opaque.fill(Qt::black);
    EXPECT_FALSE(opaquePixelBounds(opaque)); // no alpha channel: never cropped
    QImage full(50, 40, QImage::Format_ARGB32);
    full.fill(Qt::white);
    EXPECT_EQ(opaquePixelBounds(full), QRect(0, 0, 50, 40));
    EXPECT_FALSE(trimmedToOpaquePixels(full, 1)); // the box is the whole image
    QImage clear(50, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_FALSE(opaquePixelBounds(clear));
    EXPECT_FALSE(opaquePixelBounds(QImage()));
}

TEST(ThumbnailPicture, FindsTheSameBoxAsAFullScanInEveryAlphaFormat)
{
    // The scan skips columns it already knows about; scattered opaque pixels at random places,
    // in each alpha format, must still give the box a look at every pixel gives.
    const auto fullScan = [](const QImage& image) -> std::optional<QRect> {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).alpha() > 240)
                    box |= QRect(x, y, 1, 1);
        return box.isNull() ? std::nullopt : std::optional<QRect>(box);
    };
    std::mt19937 random(7);
    const QImage::Format formats[]
        = {QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888, QImage::Format_RGBA64};
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + int(random() % 90);
        const int h = 1 + int(random() % 70);
        QImage image(w, h, formats[round % 4]);
        image.fill(QColor(10, 20, 30, int(random() % 241)));
        const int dots = int(random() % 6);
        for (int i = 0; i < dots; ++i)
            image.setPixelColor(int(random() % w), int(random() % h), QColor(200, 100, 50, 241 + int(random() % 15)));
        EXPECT_EQ(opaquePixelBounds(image), fullScan(image)) << "round " << round << ", " << w << "x" << h;
    }
}

TEST(ThumbnailPicture, TheCropOutlivesTheCaptureAndIgnoresLaterChangesToIt)
{
    // The crop shares the capture's pixels: it must keep them alive and never see edits.
    std::optional<QImage> picture;
    {
        QImage capture(120, 80, QImage::Format_ARGB32);
        capture.fill(Qt::transparent);
        for (int y = 10; y < 70; ++y)
            for (int x = 20; x < 100; ++x)
                capture.setPixelColor(x, y, QColor(200, 30, 30));
        picture = trimmedToOpaquePixels(capture, 1);
        ASSERT_TRUE(picture);
        capture.fill(Qt::blue);
    }
    EXPECT_EQ(picture->size(), QSize(80, 60));
    EXPECT_EQ(picture->pixelColor(0, 0), QColor(200, 30, 30));
    EXPECT_EQ(picture->pixelColor(79, 59), QColor(200, 30, 30));
    QImage edited = *picture;
    edited.setPixelColor(0, 0, Qt::green);
    EXPECT_EQ(picture->pixelColor(0, 0), QColor(200, 30, 30));
    EXPECT_EQ(edited.pixelColor(0, 0), QColor(Qt::green));
}
