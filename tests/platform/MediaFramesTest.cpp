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

#include <cstdlib>
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

// Every pixel of the image comes from the frame, whatever the width. FFmpeg 5.1's fast
// unscaled YUV → RGB path converts whole blocks of 16 pixels only and leaves the columns past
// the last block unwritten (a 34-pixel-wide frame lost its last two columns, a 20-pixel-wide
// one its last four), so frames of recordings and thumbnails came out with blank edges.
TEST(VideoFrameImage, EveryPixelOfAGreyRampMatchesItsLumaAtAnyWidth)
{
    // The narrow ones also catch writes past the image's end (swscale's vector code runs on
    // past the last pixel): glibc or the address sanitizer stops the test.
    const QSize sizes[] = {{32, 16}, {34, 18}, {20, 6}, {33, 17}, {250, 4}, {17, 31}, {2, 2}, {1, 1}, {6, 6}, {3, 5}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(QStringLiteral("%1×%2").arg(size.width()).arg(size.height()).toStdString());
        Frame frame = greyFrame(size.width(), size.height(), 0);
        ASSERT_TRUE(frame);
        // A ramp across and down, so a column left out or shifted cannot match by chance.
        auto luma = [](int x, int y) { return 16 + (x * 13 + y * 5) % 220; };
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x)
                frame->data[0][y * frame->linesize[0] + x] = uint8_t(luma(x, y));
        }
        const QImage image = imageFromVideoFrame(frame.get());
        ASSERT_EQ(image.size(), size);
        int wrong = 0;
        QString first;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                // Limited range: luma 16 is black, 235 white; chroma is neutral, so R = G = B.
                const int expected = qRound((luma(x, y) - 16) * 255.0 / 219.0);
                const bool right = qAlpha(pixel) == 255 && std::abs(qRed(pixel) - expected) <= 3
                    && std::abs(qGreen(pixel) - expected) <= 3 && std::abs(qBlue(pixel) - expected) <= 3;
                if (!right && wrong++ == 0)
                    first = QStringLiteral("(%1, %2) is #%3, not grey %4")
                                .arg(x)
                                .arg(y)
                                .arg(pixel, 8, 16, QLatin1Char('0'))
                                .arg(expected);
            }
        }
        EXPECT_EQ(wrong, 0) << first.toStdString();
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
