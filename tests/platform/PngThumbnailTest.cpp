// SPDX-License-Identifier: GPL-3.0-or-later
// PNG files streamed into thumbnails: every kind of PNG Qt writes, true averages (transparent
// pixels weighted by their alpha), refusals from the header, damaged files and cancellation,
// none of which may print anything on the terminal.
#include "PngThumbnail.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using namespace vantrel;

namespace {

// The CRC-32 of PNG chunks.
quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QSize half(QSize size)
{
    return size / 2;
}

// Whatever is written on the standard error stream while it lives.
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        m_file = std::tmpfile();
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~StandardErrorCapture()
    {
        restore();
        std::fclose(m_file);
    }
    QByteArray text()
    {
        restore();
        std::rewind(m_file);
        QByteArray bytes;
        char buffer[512];
        while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, m_file))
            bytes.append(buffer, qsizetype(read));
        return bytes;
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    int m_saved = -1;
    std::FILE* m_file = nullptr;
};

class PngThumbnailTest : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    std::atomic<bool> cancelled = false;

    QString write(const QImage& image, const char* name = "picture.png")
    {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QImageWriter writer(path, "png");
        EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
        return path;
    }
    QString writeBytes(const QByteArray& bytes, const char* name = "bytes.png")
    {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    Expected<QImage> decode(
        const QString& path, const std::function<QSize(QSize)>& sizeFor = half, qint64 maxPixels = qint64(1) << 30)
    {
        return decodePngThumbnail(path, sizeFor, maxPixels, cancelled);
    }
};

// Two colours side by side, as many PNG kinds as Qt writes.
QImage halves(QImage::Format format, QSize size = QSize(960, 480))
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = x < size.width() / 2 ? qRgba(200, 40, 90, 255) : qRgba(20, 180, 240, 120);
    }
    return image.convertToFormat(format);
}

} // namespace

TEST_F(PngThumbnailTest, EveryKindOfPngComesOutAsTheColoursQtReads)
{
    struct Case
    {
        const char* what;
        QImage::Format format;
    };
    const Case cases[] = {
        {"RGB", QImage::Format_RGB32},
        {"RGBA", QImage::Format_ARGB32},
        {"16-bit RGBA", QImage::Format_RGBA64},
        {"grey", QImage::Format_Grayscale8},
        {"16-bit grey", QImage::Format_Grayscale16},
        {"palette with transparency", QImage::Format_Indexed8},
        {"one bit, dithered", QImage::Format_Mono},
    };
    for (const Case& c : cases) {
        const QString path = write(halves(c.format));
        // Qt's own reading of the file, averaged over each 2 × 2 block, is what the half-size
        // thumbnail must show.
        const QImage whole = QImageReader(path).read();
        ASSERT_FALSE(whole.isNull()) << c.what;
        const QImage reference = whole.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const Expected<QImage> thumbnail = decode(path);
        ASSERT_TRUE(thumbnail) << c.what << ": " << thumbnail.error().description.toStdString();
        EXPECT_EQ(thumbnail->size(), QSize(480, 240)) << c.what;
        EXPECT_EQ(
            thumbnail->format(), whole.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32)
            << c.what;
        const QImage shown = thumbnail->convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (const QPoint at : {QPoint(0, 0), QPoint(100, 100), QPoint(239, 7), QPoint(380, 100), QPoint(479, 239)}) {
            int expected[4] = {};
            for (const QPoint offset : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                const QRgb pixel = reference.pixel(at * 2 + offset);
                expected[0] += qRed(pixel);
                expected[1] += qGreen(pixel);
                expected[2] += qBlue(pixel);
                expected[3] += qAlpha(pixel);
            }
            const QRgb actual = shown.pixel(at);
            const int channels[4] = {qRed(actual), qGreen(actual), qBlue(actual), qAlpha(actual)};
            for (int channel = 0; channel < 4; ++channel)
                EXPECT_NEAR(channels[channel], expected[channel] / 4.0, 2.0)
                    << c.what << " at " << at.x() << "," << at.y() << " channel " << channel;
        }
    }
}

TEST_F(PngThumbnailTest, EachPixelIsTheAverageOfWhatItCoversWeightedByAlpha)
{
    // Black and white squares of one pixel: every 2 × 2 block averages to mid grey.
    QImage checks(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < checks.height(); ++y)
        for (int x = 0; x < checks.width(); ++x)
            checks.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const Expected<QImage> grey = decode(write(checks, "checks.png"));
    ASSERT_TRUE(grey);
    for (const QPoint at : {QPoint(0, 0), QPoint(57, 99), QPoint(199, 149)}) {
        EXPECT_NEAR(qRed(grey->pixel(at)), 128, 1);
        EXPECT_NEAR(qBlue(grey->pixel(at)), 128, 1);
    }

    // Opaque red beside fully transparent green: the green, being invisible, adds no colour.
    QImage stripes(400, 300, QImage::Format_ARGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, x % 2 ? qRgba(255, 0, 0, 255) : qRgba(0, 255, 0, 0));
    const Expected<QImage> red = decode(write(stripes, "stripes.png"));
    ASSERT_TRUE(red);
    const QRgb premultiplied = red->pixel(120, 80);
    EXPECT_NEAR(qAlpha(premultiplied), 128, 1);
    EXPECT_NEAR(qRed(premultiplied), 128, 1);
    EXPECT_EQ(qGreen(premultiplied), 0);

    // Sizes that do not divide: every pixel still comes from whole source pixels of one colour.
    struct Case
    {
        QSize source;
        QSize target;
    };
    const Case cases[] = {{{1000, 10}, {333, 3}}, {{7, 5000}, {1, 480}}, {{5000, 1}, {480, 1}}, {{64, 48}, {64, 48}}};
    for (const Case& c : cases) {
        QImage plain(c.source, QImage::Format_RGB32);
        plain.fill(qRgb(30, 140, 90));
        const Expected<QImage> thumbnail = decode(write(plain, "plain.png"), [&](QSize) { return c.target; });
        ASSERT_TRUE(thumbnail) << thumbnail.error().description.toStdString();
        EXPECT_EQ(thumbnail->size(), c.target);
        EXPECT_EQ(thumbnail->pixel(0, 0), qRgb(30, 140, 90));
        EXPECT_EQ(thumbnail->pixel(c.target.width() - 1, c.target.height() - 1), qRgb(30, 140, 90));
    }
}

TEST_F(PngThumbnailTest, BadFilesFailInWordsAndPrintNothing)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(halves(QImage::Format_RGB32).save(&buffer, "PNG", 0));
    }
    // A PNG declaring 60000 × 60000 pixels, with nothing behind its header.
    QByteArray huge = png.left(33);
    for (int at : {16, 20})
        for (int shift : {24, 16, 8, 0})
            huge[at + (24 - shift) / 8] = char((60000 >> shift) & 0xff);
    const quint32 crc = crc32(huge.mid(12, 17));
    for (int shift : {24, 16, 8, 0})
        huge[29 + (24 - shift) / 8] = char((crc >> shift) & 0xff);

    struct Case
    {
        const char* what;
        std::optional<QByteArray> bytes; // none: no file
        int code; // -1: any but ENOTSUP
        const char* words = "";
    };
    const Case cases[] = {
        {"missing", std::nullopt, ENOENT},
        {"text", QByteArray("not a picture at all"), ENOTSUP, "not a PNG"},
        {"empty", QByteArray(), ENOTSUP},
        {"header only", png.left(40), -1},
        {"cut off halfway", png.left(png.size() / 2), -1, "ends early"},
        {"60000 × 60000", huge, EFBIG, "too large"},
    };
    StandardErrorCapture terminal;
    for (const Case& c : cases) {
        const QString path = folder.filePath(QStringLiteral("bad.png"));
        QFile::remove(path);
        if (c.bytes)
            writeBytes(*c.bytes, "bad.png");
        const Expected<QImage> thumbnail = decode(path);
        ASSERT_FALSE(thumbnail) << c.what;
        if (c.code >= 0)
            EXPECT_EQ(thumbnail.error().code, c.code) << c.what;
        else
            EXPECT_NE(thumbnail.error().code, ENOTSUP) << c.what << ": no other reader should try again";
        EXPECT_FALSE(thumbnail.error().description.isEmpty()) << c.what;
        EXPECT_TRUE(thumbnail.error().description.contains(QLatin1String(c.words)))
            << c.what << ": " << thumbnail.error().description.toStdString();
    }
    EXPECT_EQ(terminal.text(), QByteArray());

    // Cut off after its last row, before the end marker: every pixel is there.
    EXPECT_TRUE(decode(writeBytes(png.left(png.size() - 12), "no-end.png")));
}

TEST_F(PngThumbnailTest, ACancelledDecodeStopsQuietly)
{
    const QString path = write(halves(QImage::Format_RGB32));
    StandardErrorCapture terminal;
    cancelled = true;
    Expected<QImage> before = decode(path);
    ASSERT_FALSE(before);
    EXPECT_EQ(before.error().description, QStringLiteral("cancelled"));

    // Cancelled once the header is read, in the middle of the decode.
    cancelled = false;
    const Expected<QImage> midway = decode(path, [this](QSize size) {
        cancelled = true;
        return size / 2;
    });
    ASSERT_FALSE(midway);
    EXPECT_EQ(midway.error().description, QStringLiteral("cancelled"));
    EXPECT_EQ(terminal.text(), QByteArray());
}
