// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/GifWriter.h"

#include "media/GifPlan.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRect>

#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <unistd.h>

namespace vantrel::media {

namespace {

// The smallest rectangle around what was marked, row by row, top to bottom.
class RowBounds
{
public:
    // A row with nothing marked has right < left.
    void addRow(int y, int left, int right)
    {
        if (right < left)
            return;
        m_top = std::min(m_top, y);
        m_bottom = y;
        m_left = std::min(m_left, left);
        m_right = std::max(m_right, right);
    }
    QRect rect() const { return m_bottom < 0 ? QRect() : QRect(QPoint(m_left, m_top), QPoint(m_right, m_bottom)); }

private:
    int m_top = INT_MAX, m_bottom = -1, m_left = INT_MAX, m_right = -1;
};

// 255 colours and one entry for "transparent".
constexpr int maxColours = 255;
// Whether a pixel moved since it was last drawn. The video codec re-encodes still areas with a
// little noise (a few levels, now and then up to eight on smooth gradients) that must not make
// still pixels flip: a pixel counts as moved when a channel moved by more than `bigChange`, or
// by more than `smallChange` together with at least two of its eight neighbours, since what
// changes on a screen comes in strokes and areas while the noise comes in stray pixels.
constexpr int smallChange = 6;
constexpr int bigChange = 10;
constexpr int neighboursAlong = 2;
// Squared RGB distance to the nearest palette colour under which a colour is drawn with that
// colour, undithered: text, icons and flat areas stay crisp.
constexpr int closeEnough = 3 * 3 * 3;
// A palette whose rendering of a frame's changes errs by less than this (mean squared RGB
// distance per pixel) serves that frame.
constexpr double goodEnough = 3 * 4.0 * 4.0;
// Quantiser effort: 1 is the slowest and best, 10 the fastest.
constexpr int firstFrameSpeed = 3;
constexpr int laterFrameSpeed = 6;

// Thresholds of an 8 × 8 ordered dither (0 … 63), as a pixel's position picks them.
constexpr std::array<uint8_t, 64> bayer = {0, 32, 8, 40, 2, 34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26, 12, 44, 4, 36,
    14, 46, 6, 38, 60, 28, 52, 20, 62, 30, 54, 22, 3, 35, 11, 43, 1, 33, 9, 41, 51, 19, 59, 27, 49, 17, 57, 25, 15, 47,
    7, 39, 13, 45, 5, 37, 63, 31, 55, 23, 61, 29, 53, 21};

Error writeError(const QString& what)
{
    return Error {.domain = QStringLiteral("GIF"), .description = what};
}

Error fileError(int code, const QString& path)
{
    return Error {.domain = QStringLiteral("GIF"),
        .code = code,
        .description = QCoreApplication::translate("Recording", "Could not write %1: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(code)))};
}

inline uint32_t packRgb(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

inline int distance(uint32_t a, uint32_t b)
{
    const int dr = int(a & 0xff) - int(b & 0xff);
    const int dg = int(a >> 8 & 0xff) - int(b >> 8 & 0xff);
    const int db = int(a >> 16 & 0xff) - int(b >> 16 & 0xff);
    return dr * dr + dg * dg + db * db;
}

inline uint8_t channelChange(const uint8_t* a, const uint8_t* b)
{
    return uint8_t(std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])}));
}

// The colours of one GIF colour table and the nearest-colour search over them.
class Palette
{
public:
    explicit Palette(const liq_palette& source)
        : m_cacheKeys(size_t(1) << cacheBits, 0)
        , m_cacheIndices(size_t(1) << cacheBits, 0)
    {
        m_colours = int(std::min<unsigned>(source.count, maxColours));
        for (int i = 0; i < m_colours; ++i) {
            const liq_color& c = source.entries[i];
            m_rgb[i] = uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16;
        }
        // Searched by green, the channel that tells colours apart best: sorted, a search walks
        // out from the colour's green value and stops where green alone is too far off.
        m_order.resize(m_colours);
        std::iota(m_order.begin(), m_order.end(), 0);
        std::sort(m_order.begin(), m_order.end(), [&](int a, int b) { return green(m_rgb[a]) < green(m_rgb[b]); });
        for (int i : m_order)
            m_sortedGreen.push_back(green(m_rgb[i]));
    }

    int colours() const { return m_colours; }
    int transparent() const { return m_colours; }
    uint32_t colour(int index) const { return m_rgb[index]; }
    double createdError = 0;

    // The entry nearest to `rgb` (packed r, g, b).
    int nearest(uint32_t rgb)
    {
        const uint32_t slot = (rgb * 2654435761u) >> (32 - cacheBits);
        const uint32_t key = rgb | 0x1000000;
        if (m_cacheKeys[slot] == key)
            return m_cacheIndices[slot];
        const int found = search(rgb);
        m_cacheKeys[slot] = key;
        m_cacheIndices[slot] = uint8_t(found);
        return found;
    }

    // The entry that draws `rgb` at pixel (x, y): the nearest one for colours the palette holds
    // closely, otherwise the nearest to the colour nudged by the ordered dither, nudged further
    // the farther the colour lies from the palette.
    int render(uint32_t rgb, int x, int y)
    {
        const int index = nearest(rgb);
        const int error = distance(rgb, m_rgb[index]);
        if (error <= closeEnough)
            return index;
        const int amplitude = std::min(48, int(2.0f * std::sqrt(float(error))));
        const int offset = (int(bayer[(y & 7) * 8 + (x & 7)]) * 2 - 63) * amplitude / 128;
        auto nudged = [offset](uint32_t channel) { return uint32_t(std::clamp(int(channel) + offset, 0, 255)); };
        return nearest(nudged(rgb & 0xff) | nudged(rgb >> 8 & 0xff) << 8 | nudged(rgb >> 16 & 0xff) << 16);
    }

    // A GIF colour table: the colours, then the transparent entry, padded to a power of two.
    ColorMapObject* makeMap() const
    {
        int size = 2;
        while (size < m_colours + 1)
            size *= 2;
        std::array<GifColorType, 256> entries {};
        for (int i = 0; i < m_colours; ++i)
            entries[i] = GifColorType {
                GifByteType(m_rgb[i] & 0xff), GifByteType(m_rgb[i] >> 8 & 0xff), GifByteType(m_rgb[i] >> 16 & 0xff)};
        return GifMakeMapObject(size, entries.data());
    }

private:
    static constexpr int cacheBits = 16;
    static int green(uint32_t rgb) { return int(rgb >> 8 & 0xff); }

    int search(uint32_t rgb) const
    {
        if (m_colours <= 1)
            return 0;
        const int g = green(rgb);
        int best = m_order[0];
        int bestDistance = INT_MAX;
        const int start = int(std::lower_bound(m_sortedGreen.begin(), m_sortedGreen.end(), g) - m_sortedGreen.begin());
        int up = start, down = start - 1;
        while (up < m_colours || down >= 0) {
            if (up < m_colours) {
                const int dg = m_sortedGreen[up] - g;
                if (dg * dg >= bestDistance) {
                    up = m_colours;
                } else {
                    const int d = distance(rgb, m_rgb[m_order[up]]);
                    if (d < bestDistance) {
                        bestDistance = d;
                        best = m_order[up];
                    }
                    ++up;
                }
            }
            if (down >= 0) {
                const int dg = g - m_sortedGreen[down];
                if (dg * dg >= bestDistance) {
                    down = -1;
                } else {
                    const int d = distance(rgb, m_rgb[m_order[down]]);
                    if (d < bestDistance) {
                        bestDistance = d;
                        best = m_order[down];
                    }
                    --down;
                }
            }
        }
        return best;
    }

    int m_colours = 0;
    std::array<uint32_t, 256> m_rgb {};
    std::vector<int> m_order;
    std::vector<int> m_sortedGreen;
    std::vector<uint32_t> m_cacheKeys;
    std::vector<uint8_t> m_cacheIndices;
};

struct LiqAttr
{
    liq_attr* p = liq_attr_create();
    ~LiqAttr()
    {
        if (p)
            liq_attr_destroy(p);
    }
};
struct LiqImage
{
    liq_image* p = nullptr;
    ~LiqImage()
    {
        if (p)
            liq_image_destroy(p);
    }
};
struct LiqResult
{
    liq_result* p = nullptr;
    ~LiqResult()
    {
        if (p)
            liq_result_destroy(p);
    }
};

// A palette for the pixels of `area` in `frame`; `importance` (one byte a pixel of the area,
// or none) says which pixels matter.
std::unique_ptr<Palette> quantise(
    const RgbaFrame& frame, const QRect& area, const std::vector<uint8_t>* importance, int speed)
{
    LiqAttr attr;
    if (!attr.p)
        return nullptr;
    liq_set_max_colors(attr.p, maxColours);
    liq_set_speed(attr.p, speed);
    std::vector<void*> rows(area.height());
    for (int y = 0; y < area.height(); ++y)
        rows[y] = const_cast<uint8_t*>(frame.row(area.top() + y)) + size_t(area.left()) * 4;
    LiqImage image {liq_image_create_rgba_rows(attr.p, rows.data(), area.width(), area.height(), 0)};
    if (!image.p)
        return nullptr;
    if (importance)
        liq_image_set_importance_map(
            image.p, const_cast<unsigned char*>(importance->data()), importance->size(), LIQ_COPY_PIXELS);
    LiqResult result;
    if (liq_image_quantize(image.p, attr.p, &result.p) != LIQ_OK || !result.p)
        return nullptr;
    const liq_palette* palette = liq_get_palette(result.p);
    if (!palette || palette->count == 0)
        return nullptr;
    return std::make_unique<Palette>(*palette);
}

int writeToFile(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* file = static_cast<std::FILE*>(gif->UserData);
    return int(std::fwrite(bytes, 1, size_t(length), file));
}

} // namespace

struct GifWriter::State
{
    QString path;
    QByteArray temporaryPath;
    std::FILE* file = nullptr;
    GifFileType* gif = nullptr;
    QSize size;
    int framesPerSecond = 15;
    bool started = false;
    bool finished = false;

    std::unique_ptr<Palette> global;
    std::unique_ptr<Palette> local; // the last frame's own palette, offered to the next ones
    // What each pixel shows now, and the frame colour it was drawn for (packed RGB).
    std::vector<uint32_t> shown;
    RgbaFrame drawnFrom;
    std::vector<uint8_t> changed; // per pixel of the frame: 1 where it moved
    std::vector<uint8_t> changeLevels; // per pixel: the largest channel change since drawn
    std::vector<uint8_t> rowChanged; // per row: whether any pixel changed by more than a little
    std::vector<uint8_t> indices; // the rectangle being written
    std::vector<uint8_t> importance;

    ~State()
    {
        if (gif) {
            int error = 0;
            EGifCloseFile(gif, &error);
        }
        if (file)
            std::fclose(file);
        if (!finished && !temporaryPath.isEmpty())
            ::unlink(temporaryPath.constData());
    }

    std::optional<Error> gifError(const char* what) const
    {
        const int code = gif ? gif->Error : 0;
        if (file && std::ferror(file))
            return fileError(errno ? errno : EIO, path);
        return writeError(QCoreApplication::translate("Recording", what) + QStringLiteral(": ")
            + QString::fromLatin1(GifErrorString(code) ? GifErrorString(code) : "unknown error"));
    }

    std::optional<Error> writeHeader()
    {
        ColorMapObject* map = global->makeMap();
        if (!map)
            return writeError(QCoreApplication::translate("Recording", "Out of memory"));
        EGifSetGifVersion(gif, true);
        const int written = EGifPutScreenDesc(gif, size.width(), size.height(), 8, 0, map);
        GifFreeMapObject(map);
        if (written != GIF_OK)
            return gifError(QT_TRANSLATE_NOOP("Recording", "Could not write the GIF header"));
        // NETSCAPE2.0 application block: loop count 0, for ever.
        static constexpr GifByteType loop[3] = {1, 0, 0};
        if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK
            || EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_OK || EGifPutExtensionBlock(gif, 3, loop) != GIF_OK
            || EGifPutExtensionTrailer(gif) != GIF_OK)
            return gifError(QT_TRANSLATE_NOOP("Recording", "Could not write the GIF header"));
        return std::nullopt;
    }

    // One image of the file: `area` of the picture, `indices` row by row, over what is shown.
    std::optional<Error> writeImage(
        int index, const QRect& area, const uint8_t* rows, int stride, const Palette* localPalette, int transparent)
    {
        GraphicsControlBlock control {};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = gifDelay(index, framesPerSecond);
        control.TransparentColor = transparent;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_OK)
            return gifError(QT_TRANSLATE_NOOP("Recording", "Could not write a GIF frame"));
        ColorMapObject* map = localPalette ? localPalette->makeMap() : nullptr;
        if (localPalette && !map)
            return writeError(QCoreApplication::translate("Recording", "Out of memory"));
        const int described = EGifPutImageDesc(gif, area.left(), area.top(), area.width(), area.height(), false, map);
        if (map)
            GifFreeMapObject(map);
        if (described != GIF_OK)
            return gifError(QT_TRANSLATE_NOOP("Recording", "Could not write a GIF frame"));
        for (int y = 0; y < area.height(); ++y) {
            if (EGifPutLine(gif, const_cast<GifPixelType*>(rows + size_t(y) * stride), area.width()) != GIF_OK)
                return gifError(QT_TRANSLATE_NOOP("Recording", "Could not write a GIF frame"));
        }
        // giflib keeps its copy of a frame's own palette until the next frame brings one, and
        // drops it unfreed when the next frame has none: the lines are written, let it go now.
        if (gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        return std::nullopt;
    }

    // Mean squared error with which `palette` draws the changed pixels of `area` (every other
    // row is enough to judge).
    double renderingError(Palette& palette, const RgbaFrame& frame, const QRect& area) const
    {
        int64_t sum = 0;
        int64_t count = 0;
        const int width = size.width();
        for (int y = area.top(); y <= area.bottom(); y += 2) {
            const uint8_t* source = frame.row(y);
            const uint8_t* moved = changed.data() + size_t(y) * width;
            for (int x = area.left(); x <= area.right(); ++x) {
                if (!moved[x])
                    continue;
                const uint32_t rgb = packRgb(source + size_t(x) * 4);
                sum += distance(rgb, palette.colour(palette.nearest(rgb)));
                ++count;
            }
        }
        return count ? double(sum) / double(count) : 0.0;
    }

    std::optional<Error> addFirst(int index, const RgbaFrame& frame)
    {
        global = quantise(frame, QRect(QPoint(0, 0), size), nullptr, firstFrameSpeed);
        if (!global)
            return writeError(QCoreApplication::translate("Recording", "Could not find the GIF's colours"));
        global->createdError = 0;
        if (auto error = writeHeader())
            return error;
        const int width = size.width(), height = size.height();
        shown.resize(size_t(width) * height);
        indices.resize(size_t(width) * height);
        for (int y = 0; y < height; ++y) {
            const uint8_t* source = frame.row(y);
            uint8_t* out = indices.data() + size_t(y) * width;
            uint32_t* display = shown.data() + size_t(y) * width;
            for (int x = 0; x < width; ++x) {
                const int entry = global->render(packRgb(source + size_t(x) * 4), x, y);
                out[x] = uint8_t(entry);
                display[x] = global->colour(entry);
            }
        }
        drawnFrom = frame;
        changed.assign(size_t(width) * height, 0);
        started = true;
        return writeImage(index, QRect(QPoint(0, 0), size), indices.data(), width, nullptr, NO_TRANSPARENT_COLOR);
    }

    // Marks the pixels that moved since they were drawn; the rectangle around them.
    QRect findChanges(const RgbaFrame& frame)
    {
        const int width = size.width(), height = size.height();
        // First the change of every pixel (0 in rows that are the same to the byte).
        std::vector<uint8_t>& change = changeLevels;
        change.resize(size_t(width) * height);
        rowChanged.assign(size_t(height), 0);
        for (int y = 0; y < height; ++y) {
            const uint8_t* now = frame.row(y);
            const uint8_t* before = drawnFrom.row(y);
            uint8_t* level = change.data() + size_t(y) * width;
            if (std::memcmp(now, before, size_t(width) * 4) == 0) {
                std::memset(level, 0, size_t(width));
                continue;
            }
            uint8_t most = 0;
            for (int x = 0; x < width; ++x) {
                level[x] = channelChange(now + size_t(x) * 4, before + size_t(x) * 4);
                most = std::max(most, level[x]);
            }
            rowChanged[y] = most > smallChange;
        }
        // Then which of them count.
        RowBounds bounds;
        for (int y = 0; y < height; ++y) {
            uint8_t* moved = changed.data() + size_t(y) * width;
            std::memset(moved, 0, size_t(width));
            if (!rowChanged[y])
                continue;
            const uint8_t* level = change.data() + size_t(y) * width;
            const uint8_t* above = y > 0 ? level - width : nullptr;
            const uint8_t* below = y + 1 < height ? level + width : nullptr;
            int rowLeft = INT_MAX, rowRight = -1;
            for (int x = 0; x < width; ++x) {
                if (level[x] <= smallChange)
                    continue;
                bool counts = level[x] > bigChange;
                if (!counts) {
                    int along = 0;
                    for (const uint8_t* row : {above, level, below}) {
                        if (!row)
                            continue;
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int nx = x + dx;
                            if (nx >= 0 && nx < width && !(row == level && dx == 0) && row[nx] > smallChange)
                                ++along;
                        }
                    }
                    counts = along >= neighboursAlong;
                }
                if (!counts)
                    continue;
                moved[x] = 1;
                rowLeft = std::min(rowLeft, x);
                rowRight = x;
            }
            bounds.addRow(y, rowLeft, rowRight);
        }
        return bounds.rect();
    }

    struct Choice
    {
        Palette* palette = nullptr;
        bool local = false; // carried in the frame, not the file's own
    };

    // The palette for this frame's changes: the file's own, else the last frame's, else new.
    Choice choosePalette(const RgbaFrame& frame, const QRect& area, Statistics& statistics)
    {
        const double globalError = renderingError(*global, frame, area);
        if (globalError <= goodEnough)
            return {global.get(), false};
        double localError = INFINITY;
        if (local) {
            localError = renderingError(*local, frame, area);
            if (localError <= std::max(goodEnough, 1.5 * local->createdError))
                return {local.get(), true};
        }
        const int width = size.width();
        importance.resize(size_t(area.width()) * area.height());
        for (int y = 0; y < area.height(); ++y) {
            const uint8_t* moved = changed.data() + size_t(area.top() + y) * width + area.left();
            uint8_t* weight = importance.data() + size_t(y) * area.width();
            for (int x = 0; x < area.width(); ++x)
                weight[x] = moved[x] ? 255 : 0;
        }
        std::unique_ptr<Palette> fresh = quantise(frame, area, &importance, laterFrameSpeed);
        if (fresh) {
            const double freshError = renderingError(*fresh, frame, area);
            if (freshError < std::min(globalError, localError)) {
                fresh->createdError = freshError;
                local = std::move(fresh);
                return {local.get(), true};
            }
        }
        if (localError < globalError)
            return {local.get(), true};
        return {global.get(), false};
    }

    std::optional<Error> addLater(int index, const RgbaFrame& frame, Statistics& statistics)
    {
        const QRect area = findChanges(frame);
        if (area.isEmpty())
            return addEmpty(index, statistics);
        const Choice choice = choosePalette(frame, area, statistics);
        Palette* palette = choice.palette;
        if (choice.local)
            ++statistics.localPalettes;
        const int width = size.width();
        const uint8_t transparent = uint8_t(palette->transparent());
        indices.resize(size_t(area.width()) * area.height());
        RowBounds bounds;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const uint8_t* source = frame.row(y);
            uint8_t* drawn = drawnFrom.row(y);
            const uint8_t* moved = changed.data() + size_t(y) * width;
            uint32_t* display = shown.data() + size_t(y) * width;
            uint8_t* out = indices.data() + size_t(y - area.top()) * area.width() - area.left();
            int rowLeft = INT_MAX, rowRight = -1;
            for (int x = area.left(); x <= area.right(); ++x) {
                out[x] = transparent;
                if (!moved[x])
                    continue;
                const uint8_t* pixel = source + size_t(x) * 4;
                std::memcpy(drawn + size_t(x) * 4, pixel, 4);
                const int entry = palette->render(packRgb(pixel), x, y);
                const uint32_t colour = palette->colour(entry);
                // Drawn as it already shows: left transparent.
                if (colour == display[x])
                    continue;
                display[x] = colour;
                out[x] = uint8_t(entry);
                rowLeft = std::min(rowLeft, x);
                rowRight = x;
            }
            bounds.addRow(y, rowLeft, rowRight);
        }
        const QRect drawnArea = bounds.rect();
        if (drawnArea.isEmpty())
            return addEmpty(index, statistics);
        const uint8_t* first
            = indices.data() + size_t(drawnArea.top() - area.top()) * area.width() + (drawnArea.left() - area.left());
        return writeImage(index, drawnArea, first, area.width(), choice.local ? palette : nullptr, transparent);
    }

    // Nothing changed: one transparent pixel keeps the frame's place and time.
    std::optional<Error> addEmpty(int index, Statistics& statistics)
    {
        ++statistics.emptyFrames;
        const uint8_t transparent = uint8_t(global->transparent());
        return writeImage(index, QRect(0, 0, 1, 1), &transparent, 1, nullptr, transparent);
    }
};

GifWriter::GifWriter()
    : m_state(std::make_unique<State>())
{ }

GifWriter::~GifWriter() = default;

Expected<std::unique_ptr<GifWriter>> GifWriter::open(const QString& path, QSize size, int framesPerSecond)
{
    if (size.width() < 1 || size.height() < 1 || size.width() > 65535 || size.height() > 65535)
        return writeError(QCoreApplication::translate("Recording", "A GIF cannot be %1 × %2 pixels")
                              .arg(size.width())
                              .arg(size.height()));
    if (framesPerSecond < 1)
        return writeError(QCoreApplication::translate("Recording", "A GIF needs at least one frame a second"));
    std::unique_ptr<GifWriter> writer(new GifWriter);
    State& s = *writer->m_state;
    s.path = path;
    s.size = size;
    s.framesPerSecond = framesPerSecond;

    // A hidden name beside the target, private to the user, renamed into place when complete.
    const QFileInfo target(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const QByteArray stem = "." + QFile::encodeName(target.fileName()).left(200) + ".vantrel-";
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        QByteArray candidate = folder + '/' + stem;
        for (int i = 0; i < 8; ++i)
            candidate += char('a' + QRandomGenerator::global()->bounded(26));
        fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            s.temporaryPath = candidate;
        else if (errno != EEXIST)
            return fileError(errno, path);
    }
    if (fd < 0)
        return fileError(EEXIST, path);
    s.file = ::fdopen(fd, "wb");
    if (!s.file) {
        const int code = errno;
        ::close(fd);
        return fileError(code, path);
    }
    int error = 0;
    s.gif = EGifOpen(s.file, writeToFile, &error);
    if (!s.gif)
        return writeError(QCoreApplication::translate("Recording", "Could not start the GIF: %1")
                              .arg(QString::fromLatin1(GifErrorString(error))));
    return writer;
}

std::optional<Error> GifWriter::add(int index, const RgbaFrame& frame)
{
    State& s = *m_state;
    if (s.finished || !s.gif)
        return writeError(QCoreApplication::translate("Recording", "The GIF is already finished"));
    if (frame.size != s.size || frame.pixels.size() < size_t(s.size.width()) * s.size.height() * 4)
        return writeError(QCoreApplication::translate("Recording", "A frame of the wrong size"));
    std::optional<Error> error = s.started ? s.addLater(index, frame, m_statistics) : s.addFirst(index, frame);
    if (!error)
        ++m_statistics.frames;
    return error;
}

std::optional<Error> GifWriter::finish()
{
    State& s = *m_state;
    if (s.finished || !s.gif)
        return writeError(QCoreApplication::translate("Recording", "The GIF is already finished"));
    if (!s.started)
        return writeError(QCoreApplication::translate("Recording", "The GIF has no frames"));
    int error = 0;
    const int closed = EGifCloseFile(s.gif, &error);
    s.gif = nullptr;
    if (closed != GIF_OK)
        return writeError(QCoreApplication::translate("Recording", "Could not finish the GIF: %1")
                              .arg(QString::fromLatin1(GifErrorString(error))));
    if (std::fflush(s.file) != 0 || std::ferror(s.file) || ::fsync(fileno(s.file)) != 0) {
        const int code = errno ? errno : EIO;
        return fileError(code, s.path);
    }
    m_statistics.bytes = std::ftell(s.file);
    const int closedFile = std::fclose(s.file);
    s.file = nullptr;
    if (closedFile != 0)
        return fileError(errno, s.path);
    if (::rename(s.temporaryPath.constData(), QFile::encodeName(s.path).constData()) != 0)
        return fileError(errno, s.path);
    s.finished = true;
    return std::nullopt;
}

} // namespace vantrel::media
