// SPDX-License-Identifier: GPL-3.0-or-later
// Decoded video frames turned into images: odd frames give no image, and a frame too large for
// the memory at hand gives no image instead of a write through a null pointer.
#include "media/VideoFrameImage.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using vantrel::media::imageFromVideoFrame;

namespace {

struct FrameFreer
{
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

Frame makeFrame(int width, int height, AVPixelFormat format, bool withPixels)
{
    Frame frame(av_frame_alloc());
    frame->width = width;
    frame->height = height;
    frame->format = format;
    if (withPixels && av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    return frame;
}

// A grey frame: every luma sample `level`, chroma neutral.
Frame greyFrame(int width, int height, int level)
{
    Frame frame = makeFrame(width, height, AV_PIX_FMT_YUV420P, true);
    for (int y = 0; y < height; ++y)
        memset(frame->data[0] + y * frame->linesize[0], level, width);
    for (int plane = 1; plane < 3; ++plane) {
        for (int y = 0; y < (height + 1) / 2; ++y)
            memset(frame->data[plane] + y * frame->linesize[plane], 128, (width + 1) / 2);
    }
    return frame;
}

bool builtWithAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// In a child process: 0 when the huge frame gives no image, else a code that says what failed.
int convertUnderAddressSpaceCap()
{
    Frame frame = makeFrame(16000, 16000, AV_PIX_FMT_GRAY8, true);
    if (!frame)
        return 3;
    long pages = 0;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly))
        pages = statm.readAll().split(' ').value(0).toLong();
    const rlim_t cap = rlim_t(pages) * sysconf(_SC_PAGESIZE) + (rlim_t(256) << 20);
    const rlimit limit {cap, cap};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        return 4;
    return imageFromVideoFrame(frame.get()).isNull() ? 0 : 1;
}

} // namespace

TEST(VideoFrameImage, FramesWithoutUsablePixelsGiveNoImage)
{
    struct Case
    {
        const char* name;
        int width;
        int height;
        AVPixelFormat format;
    };
    const Case cases[] = {
        {"no width", 0, 16, AV_PIX_FMT_YUV420P},
        {"no height", 16, 0, AV_PIX_FMT_YUV420P},
        {"negative size", -4, -4, AV_PIX_FMT_YUV420P},
        {"no pixel format", 16, 16, AV_PIX_FMT_NONE},
    };
    for (const Case& c : cases) {
        Frame frame = makeFrame(c.width, c.height, c.format, false);
        EXPECT_TRUE(imageFromVideoFrame(frame.get()).isNull()) << c.name;
    }
    EXPECT_TRUE(imageFromVideoFrame(nullptr).isNull());
}

TEST(VideoFrameImage, AGreyFrameBecomesAnOpaqueGreyImageOfItsSize)
{
    Frame frame = greyFrame(32, 16, 180);
    ASSERT_TRUE(frame);
    const QImage image = imageFromVideoFrame(frame.get());
    ASSERT_EQ(image.size(), QSize(32, 16));
    for (const QPoint p : {QPoint(0, 0), QPoint(31, 15), QPoint(16, 8)}) {
        const QRgb pixel = image.pixel(p);
        EXPECT_EQ(qAlpha(pixel), 255);
        // Limited-range luma 180 is about 190 in full range; the three channels agree.
        EXPECT_NEAR(qRed(pixel), 190, 4);
        EXPECT_NEAR(qGreen(pixel), qRed(pixel), 2);
        EXPECT_NEAR(qBlue(pixel), qRed(pixel), 2);
    }
}

// The converted image of a 16000 × 16000 frame needs 1 GiB. With the address space capped just
// above what the frame itself takes, the image cannot be allocated: no image, no crash.
TEST(VideoFrameImageDeathTest, AFrameTooLargeForMemoryGivesNoImage)
{
    if (builtWithAddressSanitizer())
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space cap";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit(convertUnderAddressSpaceCap()), ::testing::ExitedWithCode(0), "");
}
