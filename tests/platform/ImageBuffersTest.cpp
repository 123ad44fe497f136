// SPDX-License-Identifier: GPL-3.0-or-later
// Large image buffers are recycled while images come and go, stay within the pool's bound, and
// go back to the system once nothing has used the pool for a while.
#include "ImageBuffers.h"

#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using namespace vantrel;

namespace {

// A full-HD capture's pixels: 8.3 MB, above the size the pool looks after.
QImage capturePicture()
{
    return imagebuffers::allocate(1920, 1080, QImage::Format_RGB32);
}

class ImageBuffers : public ::testing::Test
{
protected:
    void SetUp() override { imagebuffers::trimPool(); }
    void TearDown() override
    {
        imagebuffers::setIdleTrimDelay(imagebuffers::defaultIdleTrimDelayMs);
        imagebuffers::trimPool();
    }
};

} // namespace

TEST_F(ImageBuffers, ABurstOfPicturesIsGivenBackOnceThePoolIsIdle)
{
    imagebuffers::setIdleTrimDelay(200);
    {
        std::vector<QImage> burst;
        for (int i = 0; i < 6; ++i) {
            burst.push_back(capturePicture());
            ASSERT_FALSE(burst.back().isNull());
            burst.back().fill(Qt::red);
        }
    }
    // Parked for the next picture right after the burst…
    EXPECT_GE(imagebuffers::pooledBytes(), 6 * 1920 * 1080 * 4);
    const QImage reused = capturePicture();
    EXPECT_GE(imagebuffers::pooledBytes(), 5 * 1920 * 1080 * 4);
    // …and freed once the pool has been quiet for the delay, though one picture lives on.
    EXPECT_TRUE(QTest::qWaitFor([] { return imagebuffers::pooledBytes() == 0; }, 5000));
    EXPECT_FALSE(reused.isNull());
}

TEST_F(ImageBuffers, ThePoolStaysWithinItsBound)
{
    imagebuffers::setIdleTrimDelay(60 * 1000);
    {
        // Forty pictures freed at once: far more than the pool keeps.
        std::vector<QImage> many;
        for (int i = 0; i < 40; ++i)
            many.push_back(capturePicture());
    }
    EXPECT_GT(imagebuffers::pooledBytes(), 0);
    EXPECT_LE(imagebuffers::pooledBytes(), qsizetype(112) << 20);
}
