// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailPicture.h"

#include <QPainter>

#include <gtest/gtest.h>

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
