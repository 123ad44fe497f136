// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowingImageBuffer.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>

using namespace vantrel;

namespace {

void fillRows(uchar* first, int width, int fromRow, int count)
{
    for (int y = 0; y < count; ++y) {
        auto* row = reinterpret_cast<quint32*>(first + qsizetype(width) * 4 * y);
        for (int x = 0; x < width; ++x)
            row[x] = quint32((fromRow + y) * 7919 + x) | 0xff000000u;
    }
}

bool rowHolds(const uchar* row, int width, int y)
{
    const auto* pixels = reinterpret_cast<const quint32*>(row);
    for (int x = 0; x < width; ++x) {
        if (pixels[x] != (quint32(y * 7919 + x) | 0xff000000u))
            return false;
    }
    return true;
}

} // namespace

// Rows written early survive every growth of the buffer, including the moves of its mapping.
TEST(GrowingImageBuffer, KeepsEveryRowWhileGrowing)
{
    const int width = 1000;
    GrowingImageBuffer buffer(width);
    int rows = 0;
    for (int batch : {1, 200, 3, 1000, 4096, 57, 2000}) {
        uchar* first = buffer.appendRows(batch);
        ASSERT_NE(first, nullptr);
        fillRows(first, width, rows, batch);
        rows += batch;
        ASSERT_EQ(buffer.rows(), rows);
    }
    for (int y = 0; y < rows; ++y)
        ASSERT_TRUE(rowHolds(buffer.row(y), width, y)) << y;
}

// A 30,000-row picture holds its own size and little more: the reserve grows by a sixteenth.
TEST(GrowingImageBuffer, HoldsLittleMoreThanItsRows)
{
    const int width = 256;
    GrowingImageBuffer buffer(width);
    std::vector<uchar> frame(std::size_t(width) * 4 * 140);
    while (buffer.rows() < 30000)
        ASSERT_TRUE(buffer.append(frame.data(), width * 4, 140));
    const double raw = double(buffer.rows()) * width * 4;
    EXPECT_LE(double(buffer.capacity()), raw * 1.5);
    EXPECT_GE(double(buffer.capacity()), raw);
}

TEST(GrowingImageBuffer, TruncatesAndHandsItsRowsToAnImage)
{
    const int width = 33;
    GrowingImageBuffer buffer(width);
    fillRows(buffer.appendRows(50), width, 0, 50);
    buffer.truncate(40);
    buffer.truncate(90); // cannot grow by truncating
    EXPECT_EQ(buffer.rows(), 40);
    // Rows appended after a truncation follow the kept ones.
    std::vector<uchar> more(std::size_t(width) * 4 * 3 + 8);
    fillRows(more.data(), width, 40, 3);
    ASSERT_TRUE(buffer.append(more.data(), width * 4, 3));

    QImage image = buffer.takeImage(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(width, 43));
    for (int y = 0; y < 43; ++y)
        EXPECT_TRUE(rowHolds(image.constScanLine(y), width, y)) << y;
    EXPECT_EQ(buffer.rows(), 0);
    EXPECT_TRUE(buffer.takeImage(QImage::Format_RGB32).isNull());

    // The image owns the memory now: a copy outlives the original and the buffer.
    const QImage copy = image;
    image = QImage();
    EXPECT_TRUE(rowHolds(copy.constScanLine(42), width, 42));
}

TEST(GrowingImageBuffer, RefusesImpossibleSizes)
{
    GrowingImageBuffer empty(0);
    EXPECT_EQ(empty.appendRows(10), nullptr);
    GrowingImageBuffer buffer(4);
    EXPECT_EQ(buffer.appendRows(-1), nullptr);
    ASSERT_NE(buffer.appendRows(2), nullptr);
    EXPECT_EQ(buffer.appendRows(std::numeric_limits<int>::max()), nullptr);
    EXPECT_EQ(buffer.rows(), 2);
    // Moved from, a buffer is empty and its rows live on in the new one.
    GrowingImageBuffer moved = std::move(buffer);
    EXPECT_EQ(moved.rows(), 2);
    EXPECT_EQ(buffer.rows(), 0);
}
