// SPDX-License-Identifier: GPL-3.0-or-later
// Movies into GIFs with the real decoder and writer. Movies are written by the recorder's own
// encoder; the GIFs are read back twice, independently of the writer: giflib for the file's
// structure (frames, delays, loop, stored rectangles) and Qt's GIF reader for the pictures a
// viewer shows, which are compared with the movie's frames as FFmpeg decodes them.
#include "GifEncoding.h"

#include "MovieReader.h"
#include "media/FrameConversion.h"
#include "media/GifPlan.h"
#include "media/GifWriter.h"
#include "media/Mp4Writer.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <functional>
#include <sys/resource.h>

using namespace vantrel;

namespace {

using Draw = std::function<void(int frame, QImage& picture)>;

// A movie of `ticks` frames at `fps` through the recorder's encoder; none when it failed.
QString writeMovie(const QString& path, QSize size, int fps, int ticks, const Draw& draw)
{
    auto opened = media::Mp4Writer::open(path, {size, fps}, std::nullopt);
    if (!opened)
        return {};
    media::FrameConverter converter(size);
    QImage picture(size, QImage::Format_RGB32);
    for (int i = 0; i < ticks; ++i) {
        draw(i, picture);
        converter.convert(picture.constBits(), int(picture.bytesPerLine()), 0, size.height(), (*opened)->canvas());
        if ((*opened)->writeVideo(i))
            return {};
    }
    if ((*opened)->finish(ticks))
        return {};
    return path;
}

// Each frame its own colour and a white bar at its own place, so a frame shown at the wrong
// time cannot pass for the right one.
void numberedFrame(int frame, QImage& picture)
{
    picture.fill(QColor::fromHsv((frame * 47) % 360, 200, 220));
    QPainter painter(&picture);
    const int x = (frame * 5) % std::max(1, picture.width() - picture.width() / 6);
    painter.fillRect(QRect(x, 0, std::max(1, picture.width() / 6), picture.height()), Qt::white);
}

struct GifFile
{
    QString error;
    QSize size;
    int loopCount = -1; // -1: no NETSCAPE2.0 block
    struct Frame
    {
        QRect rect;
        int delay = 0; // hundredths of a second
        int transparent = -1;
        bool localPalette = false;
    };
    std::vector<Frame> frames;
};

// The file's structure as giflib reads it.
GifFile readGifStructure(const QString& path)
{
    GifFile gif;
    int error = 0;
    GifFileType* file = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!file) {
        gif.error = QString::fromLatin1(GifErrorString(error));
        return gif;
    }
    if (DGifSlurp(file) != GIF_OK) {
        gif.error = QString::fromLatin1(GifErrorString(file->Error));
        DGifCloseFile(file, &error);
        return gif;
    }
    gif.size = QSize(file->SWidth, file->SHeight);
    auto readLoop = [&](int count, const ExtensionBlock* blocks) {
        for (int i = 0; i + 1 < count; ++i) {
            if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11
                && std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[i + 1].ByteCount >= 3)
                gif.loopCount = blocks[i + 1].Bytes[1] | blocks[i + 1].Bytes[2] << 8;
        }
    };
    readLoop(file->ExtensionBlockCount, file->ExtensionBlocks);
    for (int i = 0; i < file->ImageCount; ++i) {
        const SavedImage& image = file->SavedImages[i];
        readLoop(image.ExtensionBlockCount, image.ExtensionBlocks);
        GifFile::Frame frame;
        frame.rect = QRect(image.ImageDesc.Left, image.ImageDesc.Top, image.ImageDesc.Width, image.ImageDesc.Height);
        frame.localPalette = image.ImageDesc.ColorMap != nullptr;
        GraphicsControlBlock control {};
        if (DGifSavedExtensionToGCB(file, i, &control) == GIF_OK) {
            frame.delay = control.DelayTime;
            frame.transparent = control.TransparentColor;
        }
        gif.frames.push_back(frame);
    }
    DGifCloseFile(file, &error);
    return gif;
}

// The pictures a viewer shows, frame by frame, as Qt's GIF reader composes them.
std::vector<QImage> readGifPictures(const QString& path)
{
    std::vector<QImage> pictures;
    QImageReader reader(path);
    for (QImage picture = reader.read(); !picture.isNull(); picture = reader.read())
        pictures.push_back(picture.convertToFormat(QImage::Format_RGB32));
    return pictures;
}

// The movie's decoded frames with their times in seconds.
struct MovieFrame
{
    double seconds;
    QImage picture;
};
std::vector<MovieFrame> movieFrames(const QString& path)
{
    std::vector<MovieFrame> frames;
    test::readMovie(path, [&](double seconds, const QImage& picture) { frames.push_back({seconds, picture}); });
    std::sort(frames.begin(), frames.end(), [](const auto& a, const auto& b) { return a.seconds < b.seconds; });
    return frames;
}

// Mean absolute difference per channel (0 … 255) of two pictures, the second scaled to the first.
double difference(const QImage& a, const QImage& b)
{
    const QImage scaled = b.size() == a.size()
        ? b
        : b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(p[x]) - qRed(q[x])) + std::abs(qGreen(p[x]) - qGreen(q[x]))
                + std::abs(qBlue(p[x]) - qBlue(q[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

// Which movie frame a GIF picture shows: the index of the closest one.
int closestFrame(const QImage& picture, const std::vector<MovieFrame>& frames)
{
    int best = -1;
    double bestDifference = 1e9;
    for (size_t i = 0; i < frames.size(); ++i) {
        const double d = difference(picture, frames[i].picture);
        if (d < bestDifference) {
            bestDifference = d;
            best = int(i);
        }
    }
    return best;
}

// The movie frame on screen at `seconds`: the last one that starts at or before it.
int frameAt(const std::vector<MovieFrame>& frames, double seconds)
{
    int index = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].seconds <= seconds + 1e-9)
            index = int(i);
    }
    return index;
}

Expected<GifResult> convert(const QString& movie, const QString& gif, int fps, int maxWidth)
{
    std::atomic<bool> cancelled {false};
    return convertMovieToGif(
        {.moviePath = movie, .gifPath = gif, .framesPerSecond = fps, .maxWidth = maxWidth}, cancelled);
}

// Files a conversion left in `folder` besides `keep`.
QStringList leftovers(const QString& folder, const QStringList& keep)
{
    QStringList found = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : keep)
        found.removeAll(name);
    return found;
}

class GifEncodingTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }
    QString path(const QString& name) const { return m_folder.filePath(name); }
    QTemporaryDir m_folder;
};

} // namespace

TEST(GifPlan, FrameCountsDelaysAndSizes)
{
    struct Count
    {
        int64_t microseconds;
        int fps;
        int frames;
    };
    // Below two frames it is one; in whole numbers, so 0.3 s at 10 fps is three, not 2.999….
    for (const Count c : {Count {150000, 10, 1}, Count {250000, 10, 2}, Count {10000000, 15, 150},
             Count {300000, 10, 3}, Count {99999, 10, 1}, Count {1, 50, 1}, Count {0, 15, 1}, Count {-5, 15, 1},
             Count {3600000000, 50, 180000}})
        EXPECT_EQ(media::gifFrameCount(c.microseconds, c.fps), c.frames) << c.microseconds << " µs at " << c.fps;

    for (const int fps : {1, 7, 10, 15, 24, 30, 50}) {
        int elapsed = 0;
        for (int i = 0; i < 300; ++i) {
            const int delay = media::gifDelay(i, fps);
            // Each frame within a hundredth of 1 ÷ fps, and the frames together never drift.
            EXPECT_LE(std::abs(delay * fps - 100), fps) << "frame " << i << " at " << fps << " fps";
            elapsed += delay;
            EXPECT_LE(std::abs(elapsed * fps - 100 * (i + 1)), fps / 2 + 1) << "after " << i + 1 << " at " << fps;
        }
    }

    struct Size
    {
        QSize movie;
        int maxWidth;
        QSize gif;
    };
    for (const Size s : {Size {{3000, 200}, 800, {800, 53}}, Size {{640, 480}, 2000, {640, 480}},
             Size {{100, 1000}, 50, {20, 200}}, Size {{1920, 1080}, 960, {960, 540}}, Size {{34, 18}, 960, {34, 18}},
             Size {{5000, 2}, 16, {16, 1}}, Size {{0, 10}, 100, {}}})
        EXPECT_EQ(media::gifFrameSize(s.movie, s.maxWidth), s.gif) << s.movie.width() << "×" << s.movie.height();
}

// The pictures at 0, 1 ÷ fps, 2 ÷ fps … exactly: the frame on screen at each time, never a
// neighbour, each shown for 1 ÷ fps, looping for ever.
TEST_F(GifEncodingTest, FramesAreTheMoviesPicturesAtExactTimes)
{
    struct Case
    {
        const char* name;
        int movieFps;
        int ticks;
        int gifFps;
        int frames;
    };
    const Case cases[] = {
        {"0.15 s at 10 fps: the picture at 0", 60, 9, 10, 1},
        {"0.25 s at 10 fps", 60, 15, 10, 2},
        {"0.3 s at 10 fps", 60, 18, 10, 3},
        {"10 s at 15 fps", 60, 600, 15, 150},
        {"a 24 fps movie at 7 fps", 24, 48, 7, 14},
        {"a movie slower than the GIF", 5, 10, 15, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString movie
            = writeMovie(path(QStringLiteral("movie.mp4")), QSize(64, 48), c.movieFps, c.ticks, numberedFrame);
        ASSERT_FALSE(movie.isEmpty());
        const QString gif = path(QStringLiteral("movie.gif"));
        const Expected<GifResult> result = convert(movie, gif, c.gifFps, 960);
        ASSERT_TRUE(result.ok()) << result.error().description.toStdString();
        EXPECT_EQ(result->frames, c.frames);
        EXPECT_EQ(result->skippedFrames, 0);

        const GifFile structure = readGifStructure(gif);
        ASSERT_TRUE(structure.error.isEmpty()) << structure.error.toStdString();
        EXPECT_EQ(structure.size, QSize(64, 48));
        EXPECT_EQ(structure.loopCount, 0) << "loops for ever";
        ASSERT_EQ(int(structure.frames.size()), c.frames);
        int elapsed = 0;
        for (const GifFile::Frame& frame : structure.frames) {
            EXPECT_TRUE(frame.delay == 100 / c.gifFps || frame.delay == (100 + c.gifFps - 1) / c.gifFps)
                << frame.delay << " hundredths at " << c.gifFps << " fps";
            elapsed += frame.delay;
        }
        EXPECT_NEAR(elapsed / 100.0, double(c.frames) / c.gifFps, 0.006);

        const std::vector<MovieFrame> frames = movieFrames(movie);
        ASSERT_EQ(int(frames.size()), c.ticks);
        const std::vector<QImage> pictures = readGifPictures(gif);
        ASSERT_EQ(int(pictures.size()), c.frames);
        for (int i = 0; i < c.frames; ++i) {
            const int expected = frameAt(frames, double(i) / c.gifFps);
            EXPECT_EQ(closestFrame(pictures[i], frames), expected) << "GIF frame " << i;
            EXPECT_LT(difference(pictures[i], frames[expected].picture), 6.0) << "GIF frame " << i;
        }
        EXPECT_EQ(
            leftovers(m_folder.path(), {QStringLiteral("movie.mp4"), QStringLiteral("movie.gif")}), QStringList());
        QFile::remove(gif);
    }
}

// Wide movies shrink to the maximum width keeping their proportions; small ones keep their
// size, and every column of an odd-sized one is drawn (the unscaled conversion used to leave
// the columns past the last 16-pixel block blank).
TEST_F(GifEncodingTest, FramesAreScaledToTheMaximumWidthNeverEnlarged)
{
    struct Case
    {
        QSize movie;
        int maxWidth;
        QSize gif;
    };
    for (const Case c : {Case {{3000, 200}, 800, {800, 53}}, Case {{34, 18}, 960, {34, 18}},
             Case {{160, 120}, 7680, {160, 120}}, Case {{100, 1000}, 50, {20, 200}}}) {
        SCOPED_TRACE(QStringLiteral("%1×%2 at most %3 wide")
                         .arg(c.movie.width())
                         .arg(c.movie.height())
                         .arg(c.maxWidth)
                         .toStdString());
        const QString movie = writeMovie(path(QStringLiteral("wide.mp4")), c.movie, 30, 10, numberedFrame);
        ASSERT_FALSE(movie.isEmpty());
        const QString gif = path(QStringLiteral("wide.gif"));
        const Expected<GifResult> result = convert(movie, gif, 10, c.maxWidth);
        ASSERT_TRUE(result.ok()) << result.error().description.toStdString();
        EXPECT_EQ(result->size, c.gif);
        EXPECT_EQ(readGifStructure(gif).size, c.gif);
        const std::vector<QImage> pictures = readGifPictures(gif);
        const std::vector<MovieFrame> frames = movieFrames(movie);
        ASSERT_EQ(pictures.size(), 3u);
        for (size_t i = 0; i < pictures.size(); ++i) {
            ASSERT_EQ(pictures[i].size(), c.gif);
            EXPECT_LT(difference(pictures[i], frames[frameAt(frames, i / 10.0)].picture), 8.0) << "frame " << i;
            // The last column is the movie's, not blank.
            const QImage expected = frames[frameAt(frames, i / 10.0)].picture.scaled(
                c.gif, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QRgb got = pictures[i].pixel(c.gif.width() - 1, c.gif.height() / 2);
            const QRgb want = expected.pixel(c.gif.width() - 1, c.gif.height() / 2);
            EXPECT_LT(std::abs(qRed(got) - qRed(want)) + std::abs(qGreen(got) - qGreen(want))
                    + std::abs(qBlue(got) - qBlue(want)),
                60)
                << "frame " << i;
        }
        QFile::remove(gif);
    }
}

// The writer fed exact pictures, so what it stores is its own choice and not the codec's.
// `draw` paints picture `frame`; the file is written at 15 frames a second.
Expected<media::GifWriter::Statistics> writeGif(const QString& path, QSize size, int frames, const Draw& draw)
{
    auto opened = media::GifWriter::open(path, size, 15);
    if (!opened)
        return opened.error();
    QImage picture(size, QImage::Format_RGBA8888);
    media::RgbaFrame frame;
    frame.size = size;
    for (int i = 0; i < frames; ++i) {
        draw(i, picture);
        picture = picture.convertToFormat(QImage::Format_RGBA8888);
        frame.pixels.assign(picture.constBits(), picture.constBits() + picture.sizeInBytes());
        if (auto error = (*opened)->add(i, frame))
            return *error;
    }
    if (auto error = (*opened)->finish())
        return *error;
    return (*opened)->statistics();
}

// A smooth gradient, which no palette holds and the dither has to render.
QImage gradient(QSize size)
{
    QImage background(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            background.setPixel(x, y, qRgb(40 + x * 180 / size.width(), 60 + y * 150 / size.height(), 200 - x / 4));
    }
    return background;
}

// A still screen costs one picture, also when a video codec's noise (stray pixels a few levels
// off, different in every frame) lies on it; a moving square costs its rectangle; everything
// else stays the same in every frame, to the bit: the dither never crawls.
TEST_F(GifEncodingTest, OnlyWhatChangesIsStoredAndStillAreasNeverCrawl)
{
    const QSize size(320, 240);
    const QImage background = gradient(size);
    auto noisy = [&](int frame, QImage& picture) {
        picture = background.copy();
        if (frame == 0)
            return;
        // One pixel in 100 off by up to 8 levels, and every eighth of them with a neighbour off
        // by 6 (measured on the recorder's movies of a still gradient).
        QRandomGenerator random {quint32(frame)};
        auto offsetPixel = [&](int x, int y, int offset) {
            const QRgb p = background.pixel(x, y);
            picture.setPixel(
                x, y, qRgb(std::clamp(qRed(p) + offset, 0, 255), std::clamp(qGreen(p) + offset, 0, 255), qBlue(p)));
        };
        for (int i = 0; i < size.width() * size.height() / 100; ++i) {
            const int x = random.bounded(size.width() - 1), y = random.bounded(size.height());
            offsetPixel(x, y, random.bounded(-8, 9));
            if (i % 8 == 0)
                offsetPixel(x + 1, y, 6);
        }
    };
    const QString stillGif = path(QStringLiteral("still.gif"));
    const auto still = writeGif(stillGif, size, 30, noisy);
    ASSERT_TRUE(still.ok()) << still.error().description.toStdString();
    EXPECT_EQ(still->frames, 30);
    EXPECT_EQ(still->emptyFrames, 29);
    const GifFile stillStructure = readGifStructure(stillGif);
    ASSERT_EQ(stillStructure.frames.size(), 30u);
    for (size_t i = 1; i < stillStructure.frames.size(); ++i)
        EXPECT_EQ(stillStructure.frames[i].rect.size(), QSize(1, 1)) << "frame " << i;

    const QRect square(0, 100, 24, 24);
    auto squareAt = [&](int frame) { return square.translated(frame * 9, 0); };
    const QString movingGif = path(QStringLiteral("moving.gif"));
    const auto moving = writeGif(movingGif, size, 30, [&](int frame, QImage& picture) {
        noisy(frame, picture);
        QPainter(&picture).fillRect(squareAt(frame), QColor(250, 250, 250));
    });
    ASSERT_TRUE(moving.ok()) << moving.error().description.toStdString();
    const GifFile structure = readGifStructure(movingGif);
    const std::vector<QImage> pictures = readGifPictures(movingGif);
    ASSERT_EQ(structure.frames.size(), 30u);
    ASSERT_EQ(pictures.size(), 30u);
    EXPECT_EQ(structure.frames[0].rect, QRect(QPoint(0, 0), size));
    QRect path = squareAt(0).adjusted(-1, -1, 1, 1);
    for (int i = 1; i < 30; ++i) {
        // Where the square has been: nothing else may be stored or change. (Noise right on its
        // edge goes with the change beside it, and where it passed the background was redrawn
        // with that frame's noise, which the next noise may double.)
        path |= squareAt(i).adjusted(-1, -1, 1, 1);
        const GifFile::Frame& frame = structure.frames[i];
        EXPECT_TRUE(path.contains(frame.rect)) << "frame " << i << " stores " << frame.rect.x() << "," << frame.rect.y()
                                               << " " << frame.rect.width() << "×" << frame.rect.height();
        EXPECT_NE(frame.transparent, -1) << "frame " << i;
        int crawled = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (!path.contains(x, y) && pictures[i].pixel(x, y) != pictures[i - 1].pixel(x, y))
                    ++crawled;
            }
        }
        EXPECT_EQ(crawled, 0) << "frame " << i;
        // The square is where it should be, in its own colour.
        const QRgb inside = pictures[i].pixel(squareAt(i).center());
        EXPECT_GT(qGray(inside), 235) << "frame " << i;
    }
    // The stored rectangles are a small part of the pictures.
    EXPECT_LT(moving->bytes, QFileInfo(stillGif).size() + 30 * 3000);
}

// The same through the whole conversion: a still movie, whatever noise its codec adds, gives a
// GIF whose later frames store next to nothing.
TEST_F(GifEncodingTest, AStillMovieGivesAFileOfAboutOnePicture)
{
    const QSize size(320, 240);
    const QImage background = gradient(size);
    const QString movie = writeMovie(
        path(QStringLiteral("still.mp4")), size, 30, 60, [&](int, QImage& picture) { picture = background.copy(); });
    ASSERT_FALSE(movie.isEmpty());
    const QString gif = path(QStringLiteral("still.gif"));
    const Expected<GifResult> result = convert(movie, gif, 15, 960);
    ASSERT_TRUE(result.ok()) << result.error().description.toStdString();
    EXPECT_EQ(result->frames, 30);
    const GifFile structure = readGifStructure(gif);
    ASSERT_EQ(structure.frames.size(), 30u);
    qint64 laterPixels = 0;
    for (size_t i = 1; i < structure.frames.size(); ++i)
        laterPixels += qint64(structure.frames[i].rect.width()) * structure.frames[i].rect.height();
    // All later frames together store less than a twentieth of one picture.
    EXPECT_LT(laterPixels, size.width() * size.height() / 20);
}

TEST_F(GifEncodingTest, MoviesThatCannotBeReadGiveAnErrorAndNoFile)
{
    const QString good = writeMovie(path(QStringLiteral("good.mp4")), QSize(64, 48), 30, 30, numberedFrame);
    ASSERT_FALSE(good.isEmpty());
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();

    // A WAV file: a well-formed container with sound and no picture.
    QByteArray wave("RIFF");
    const int samples = 8000;
    auto le32 = [](int v) { return QByteArray::fromRawData(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [](short v) { return QByteArray::fromRawData(reinterpret_cast<const char*>(&v), 2); };
    wave += le32(36 + samples * 2) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2)
        + le16(16) + "data" + le32(samples * 2) + QByteArray(samples * 2, '\0');

    struct Case
    {
        const char* name;
        QByteArray bytes;
        bool exists;
    };
    const Case cases[] = {
        {"an empty file", QByteArray(), true},
        {"not a movie", QByteArray(5000, 'x'), true},
        {"sound only", wave, true},
        {"cut short inside its header", goodBytes.left(200), true},
        {"no file at all", QByteArray(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString movie = path(QStringLiteral("bad.mp4"));
        QFile::remove(movie);
        if (c.exists) {
            QFile file(movie);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.bytes);
        }
        const Expected<GifResult> result = convert(movie, path(QStringLiteral("bad.gif")), 15, 960);
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.error().description.isEmpty());
        EXPECT_EQ(leftovers(m_folder.path(), {QStringLiteral("good.mp4"), QStringLiteral("bad.mp4")}), QStringList());
    }
}

// A file cut short keeps what it holds: the frames before the cut, the rest left out, never a
// GIF without frames.
TEST_F(GifEncodingTest, ACutShortMovieGivesTheFramesItHolds)
{
    const QString movie = writeMovie(path(QStringLiteral("cut.mp4")), QSize(64, 48), 30, 60, numberedFrame);
    ASSERT_FALSE(movie.isEmpty());
    QFile file(movie);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() * 6 / 10));
    file.close();

    const QString gif = path(QStringLiteral("cut.gif"));
    const Expected<GifResult> result = convert(movie, gif, 15, 960);
    ASSERT_TRUE(result.ok()) << result.error().description.toStdString();
    EXPECT_GT(result->frames, 0);
    EXPECT_LT(result->frames, 30);
    EXPECT_EQ(result->frames + result->skippedFrames, 30);

    const std::vector<MovieFrame> frames = movieFrames(movie);
    const std::vector<QImage> pictures = readGifPictures(gif);
    ASSERT_EQ(int(pictures.size()), result->frames);
    ASSERT_FALSE(frames.empty());
    // The frames before the cut are the movie's at their times.
    for (int i = 0; i + 1 < result->frames; ++i)
        EXPECT_EQ(closestFrame(pictures[i], frames), frameAt(frames, i / 15.0)) << "GIF frame " << i;
}

// The desktop service: the work is off the main thread, the answer on it; a service that goes
// away mid-conversion answers nothing and leaves nothing behind.
TEST_F(GifEncodingTest, TheServiceAnswersOnTheMainThreadAndStopsWhenItGoes)
{
    const QString movie = writeMovie(path(QStringLiteral("long.mp4")), QSize(320, 240), 60, 360, numberedFrame);
    ASSERT_FALSE(movie.isEmpty());
    const QString gif = path(QStringLiteral("long.gif"));

    {
        FfmpegGifEncoding service;
        std::optional<Expected<GifResult>> answer;
        QThread* answeredOn = nullptr;
        service.convert({.moviePath = movie, .gifPath = gif, .framesPerSecond = 15, .maxWidth = 960},
            [&](Expected<GifResult> result) {
                answer = std::move(result);
                answeredOn = QThread::currentThread();
            });
        EXPECT_FALSE(answer) << "the answer comes later";
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 60000));
        ASSERT_TRUE(answer->ok()) << answer->error().description.toStdString();
        EXPECT_EQ((*answer)->frames, 90);
        EXPECT_EQ(answeredOn, QThread::currentThread());
        EXPECT_TRUE(QFileInfo(gif).isFile());
        QFile::remove(gif);
    }

    bool answered = false;
    {
        FfmpegGifEncoding service;
        service.convert({.moviePath = movie, .gifPath = gif, .framesPerSecond = 15, .maxWidth = 960},
            [&](Expected<GifResult>) { answered = true; });
    }
    // Whatever the conversion posted before it was stopped is in the queue by now.
    QCoreApplication::processEvents();
    EXPECT_FALSE(answered);
    EXPECT_EQ(leftovers(m_folder.path(), {QStringLiteral("long.mp4")}), QStringList());
}

// A disk that fills up mid-way (here a file-size limit, which fails writes the same way): an
// error that says why, no file left behind, the movie untouched.
TEST_F(GifEncodingTest, AFullDiskGivesAnErrorAndKeepsTheMovie)
{
    const QString movie = writeMovie(path(QStringLiteral("full.mp4")), QSize(320, 240), 30, 60, numberedFrame);
    ASSERT_FALSE(movie.isEmpty());
    const QByteArray before = [&] {
        QFile file(movie);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());

    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 16 * 1024; // bytes: the GIF needs several times more
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Expected<GifResult> result = convert(movie, path(QStringLiteral("full.gif")), 15, 960);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().description.contains(QStringLiteral("full.gif")))
        << result.error().description.toStdString();
    EXPECT_EQ(result.error().code, EFBIG);
    EXPECT_EQ(leftovers(m_folder.path(), {QStringLiteral("full.mp4")}), QStringList());
    QFile file(movie);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}
