// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenTextImage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace vantrel {

namespace {

// A pixel whose 5 × 5 neighbourhood varies by at most this much in every channel is flat: a
// background, never part of a glyph stroke of ordinary text (strokes are thinner than 5 px).
constexpr int flatRadius = 2;
constexpr int flatTolerance = 24;
// Flat islands smaller than this (pixels at scale 1) lie inside the thick strokes of large bold
// text or inside letters; only larger flat regions are background.
constexpr int backgroundMinArea = 120;
// Colour distance (0–255, root mean square over the channels) times this is the darkness of a
// prepared pixel: text half as far from its background as black is from white becomes black.
constexpr int contrastGain = 2;
// A prepared pixel darker than this is ink.
constexpr int inkLevel = 160;
// Fewer ink pixels than this cannot spell anything.
constexpr int minInkPixels = 12;

QImage opaqueRgb(const QImage& source)
{
    if (!source.hasAlphaChannel())
        return source.convertToFormat(QImage::Format_RGB32);
    // Transparent parts (a window shadow, an empty canvas) read as white paper.
    QImage canvas(source.size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, source);
    return canvas;
}

bool isUniform(const QImage& rgb)
{
    const QRgb first = rgb.pixel(0, 0) | 0xff000000u;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if ((line[x] | 0xff000000u) != first)
                return false;
        }
    }
    return true;
}

// Per pixel, the largest max − min of one channel over the (2r+1)² window around it.
std::vector<std::uint8_t> localColourRange(const QImage& rgb, int radius)
{
    const int w = rgb.width(), h = rgb.height();
    const size_t n = size_t(w) * h;
    // Separable: the extremes along rows first, then along columns. Channels packed as QRgb.
    std::vector<QRgb> rowMin(n), rowMax(n);
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            int rMin = 255, gMin = 255, bMin = 255, rMax = 0, gMax = 0, bMax = 0;
            for (int dx = std::max(0, x - radius); dx <= std::min(w - 1, x + radius); ++dx) {
                const QRgb p = line[dx];
                rMin = std::min(rMin, qRed(p)), rMax = std::max(rMax, qRed(p));
                gMin = std::min(gMin, qGreen(p)), gMax = std::max(gMax, qGreen(p));
                bMin = std::min(bMin, qBlue(p)), bMax = std::max(bMax, qBlue(p));
            }
            rowMin[size_t(y) * w + x] = qRgb(rMin, gMin, bMin);
            rowMax[size_t(y) * w + x] = qRgb(rMax, gMax, bMax);
        }
    }
    std::vector<std::uint8_t> range(n);
    for (int y = 0; y < h; ++y) {
        const int top = std::max(0, y - radius), bottom = std::min(h - 1, y + radius);
        for (int x = 0; x < w; ++x) {
            int rMin = 255, gMin = 255, bMin = 255, rMax = 0, gMax = 0, bMax = 0;
            for (int dy = top; dy <= bottom; ++dy) {
                const QRgb lo = rowMin[size_t(dy) * w + x], hi = rowMax[size_t(dy) * w + x];
                rMin = std::min(rMin, qRed(lo)), rMax = std::max(rMax, qRed(hi));
                gMin = std::min(gMin, qGreen(lo)), gMax = std::max(gMax, qGreen(hi));
                bMin = std::min(bMin, qBlue(lo)), bMax = std::max(bMax, qBlue(hi));
            }
            range[size_t(y) * w + x] = std::uint8_t(std::max({rMax - rMin, gMax - gMin, bMax - bMin}));
        }
    }
    return range;
}

// Union-find over pixel indices, for connected regions in one pass.
class Regions
{
public:
    explicit Regions(size_t n)
        : m_parent(n)
    {
        std::iota(m_parent.begin(), m_parent.end(), std::uint32_t(0));
    }
    std::uint32_t find(std::uint32_t i)
    {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    void join(std::uint32_t a, std::uint32_t b)
    {
        a = find(a), b = find(b);
        if (a != b)
            m_parent[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::uint32_t> m_parent;
};

// Flat pixels that belong to a region large enough to be background.
std::vector<bool> backgroundMask(const std::vector<std::uint8_t>& range, int w, int h, int minArea)
{
    const size_t n = size_t(w) * h;
    Regions regions(n);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (range[i] > flatTolerance)
                continue;
            if (x > 0 && range[i - 1] <= flatTolerance)
                regions.join(std::uint32_t(i), std::uint32_t(i - 1));
            if (y > 0 && range[i - w] <= flatTolerance)
                regions.join(std::uint32_t(i), std::uint32_t(i - w));
        }
    }
    std::vector<std::uint32_t> area(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (range[i] <= flatTolerance)
            ++area[regions.find(std::uint32_t(i))];
    }
    std::vector<bool> mask(n, false);
    for (size_t i = 0; i < n; ++i)
        mask[i] = range[i] <= flatTolerance && area[regions.find(std::uint32_t(i))] >= std::uint32_t(minArea);
    return mask;
}

// The most common colour, quantised to 5 bits a channel: the background of last resort.
QRgb dominantColour(const QImage& rgb)
{
    std::vector<std::uint32_t> counts(1 << 15, 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = line[x];
            ++counts[((qRed(p) >> 3) << 10) | ((qGreen(p) >> 3) << 5) | (qBlue(p) >> 3)];
        }
    }
    const size_t best = size_t(std::max_element(counts.begin(), counts.end()) - counts.begin());
    return qRgb(int((best >> 10) << 3) | 4, int(((best >> 5) & 31) << 3) | 4, int((best & 31) << 3) | 4);
}

// Every pixel gets the colour of its nearest background pixel (chamfer distance 3-4, two passes).
std::vector<QRgb> nearestBackground(const QImage& rgb, const std::vector<bool>& background)
{
    const int w = rgb.width(), h = rgb.height();
    const size_t n = size_t(w) * h;
    constexpr std::uint32_t far = 0xffffffffu;
    std::vector<std::uint32_t> distance(n, far);
    std::vector<QRgb> colour(n, 0);
    bool any = false;
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (background[i]) {
                distance[i] = 0;
                colour[i] = line[x];
                any = true;
            }
        }
    }
    if (!any) {
        std::fill(colour.begin(), colour.end(), dominantColour(rgb));
        return colour;
    }
    auto relax = [&](size_t i, size_t from, std::uint32_t step) {
        if (distance[from] != far && distance[from] + step < distance[i]) {
            distance[i] = distance[from] + step;
            colour[i] = colour[from];
        }
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (x > 0)
                relax(i, i - 1, 3);
            if (y > 0) {
                relax(i, i - w, 3);
                if (x > 0)
                    relax(i, i - w - 1, 4);
                if (x < w - 1)
                    relax(i, i - w + 1, 4);
            }
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = w - 1; x >= 0; --x) {
            const size_t i = size_t(y) * w + x;
            if (x < w - 1)
                relax(i, i + 1, 3);
            if (y < h - 1) {
                relax(i, i + w, 3);
                if (x < w - 1)
                    relax(i, i + w + 1, 4);
                if (x > 0)
                    relax(i, i + w - 1, 4);
            }
        }
    }
    return colour;
}

// The 8-connected shapes of ink of a prepared picture: each ink pixel's shape, and each
// shape's extent.
struct InkShapes
{
    struct Extent
    {
        int top = INT32_MAX, bottom = -1, left = INT32_MAX, right = -1, area = 0;
        int width() const { return right - left + 1; }
        int height() const { return bottom - top + 1; }
    };
    std::vector<std::int32_t> shapeOf; // per pixel, row by row: an index into extents, −1 for paper
    std::vector<Extent> extents;
};

InkShapes inkShapes(const QImage& grey)
{
    const int w = grey.width(), h = grey.height();
    const size_t n = size_t(w) * h;
    std::vector<bool> ink(n);
    for (int y = 0; y < h; ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ink[size_t(y) * w + x] = line[x] < inkLevel;
    }
    Regions regions(n);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (!ink[i])
                continue;
            if (x > 0 && ink[i - 1])
                regions.join(std::uint32_t(i), std::uint32_t(i - 1));
            if (y > 0 && ink[i - w])
                regions.join(std::uint32_t(i), std::uint32_t(i - w));
            if (y > 0 && x > 0 && ink[i - w - 1])
                regions.join(std::uint32_t(i), std::uint32_t(i - w - 1));
            if (y > 0 && x < w - 1 && ink[i - w + 1])
                regions.join(std::uint32_t(i), std::uint32_t(i - w + 1));
        }
    }
    InkShapes shapes;
    shapes.shapeOf.assign(n, -1);
    std::vector<std::int32_t> slot(n, -1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (!ink[i])
                continue;
            const std::uint32_t root = regions.find(std::uint32_t(i));
            if (slot[root] < 0) {
                slot[root] = std::int32_t(shapes.extents.size());
                shapes.extents.emplace_back();
            }
            shapes.shapeOf[i] = slot[root];
            InkShapes::Extent& e = shapes.extents[size_t(slot[root])];
            e.top = std::min(e.top, y), e.bottom = std::max(e.bottom, y);
            e.left = std::min(e.left, x), e.right = std::max(e.right, x);
            ++e.area;
        }
    }
    return shapes;
}

std::optional<double> typicalGlyphHeight(const std::vector<InkShapes::Extent>& extents)
{
    // Letter-sized: taller than a speck, shorter than a panel border, not a rule or a box.
    std::vector<int> heights;
    for (const InkShapes::Extent& e : extents) {
        const int height = e.height(), width = e.width();
        if (height >= 3 && height <= 64 && e.area >= 3 && width <= 8 * height && width * height <= 40 * e.area)
            heights.push_back(height);
    }
    if (heights.empty())
        return std::nullopt;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return double(heights[heights.size() / 2]);
}

// Widgets draw thin straight lines around and between their text: the frames of fields, buttons
// and group boxes, table rules, progress bars, underlines. The engine reads such a line beside a
// word as "|", "[" or "l" glued to it. Shapes far larger than a letter lose their thin straight
// runs longer than two letters are high; letters themselves (a tall "l", the stem of a large
// heading) are shapes of their own and stay, and so does a letter touching a frame, whose
// strokes are wider across than the line.
void eraseRules(QImage& grey, const InkShapes& shapes, double glyphHeight, double scale)
{
    const int w = grey.width(), h = grey.height();
    const int minRun = std::max(8, int(std::lround(2.0 * glyphHeight)));
    const int minShape = int(std::lround(3.5 * glyphHeight));
    // A line is one device pixel wide, two where it falls between pixels.
    const int maxThickness = std::max(2, int(std::ceil(1.5 * scale)));
    // Far larger than a letter, or a line of its own: a table rule cut into pieces by the stripes
    // of its rows, a field's edge apart from the rest of its frame. Even a tall "l" of a heading
    // is shorter, or its stem wider.
    const int minLine = int(std::lround(2.5 * glyphHeight));
    std::vector<bool> large(shapes.extents.size());
    for (size_t s = 0; s < shapes.extents.size(); ++s) {
        const InkShapes::Extent& e = shapes.extents[s];
        large[s] = std::max(e.width(), e.height()) >= minShape
            || (std::min(e.width(), e.height()) <= maxThickness && std::max(e.width(), e.height()) >= minLine);
    }
    auto inLargeShape = [&](int x, int y) {
        const std::int32_t shape = shapes.shapeOf[size_t(y) * w + x];
        return shape >= 0 && large[size_t(shape)];
    };
    std::vector<bool> erase(size_t(w) * h, false);
    // `vertical`: runs down the columns, thickness measured along the row; else the other way.
    auto findRuns = [&](bool vertical) {
        const int lines = vertical ? w : h, length = vertical ? h : w;
        auto at = [vertical](int line, int along) { return vertical ? QPoint(line, along) : QPoint(along, line); };
        for (int line = 0; line < lines; ++line) {
            int along = 0;
            while (along < length) {
                if (!inLargeShape(at(line, along).x(), at(line, along).y())) {
                    ++along;
                    continue;
                }
                const int start = along;
                while (along < length && inLargeShape(at(line, along).x(), at(line, along).y()))
                    ++along;
                if (along - start < minRun)
                    continue;
                for (int k = start; k < along; ++k) {
                    // Across the run at this point: the ink's thickness.
                    int before = line, after = line;
                    auto ink = [&](int across) {
                        const QPoint p = at(across, k);
                        return across >= 0 && across < lines && shapes.shapeOf[size_t(p.y()) * w + p.x()] >= 0;
                    };
                    while (ink(before - 1) && line - before < maxThickness)
                        --before;
                    while (ink(after + 1) && after - line < maxThickness)
                        ++after;
                    if (after - before + 1 > maxThickness)
                        continue;
                    // With the faint anti-aliased edge on either side.
                    for (int across = std::max(0, before - 1); across <= std::min(lines - 1, after + 1); ++across) {
                        const QPoint p = at(across, k);
                        erase[size_t(p.y()) * w + p.x()] = true;
                    }
                }
            }
        }
    };
    findRuns(true);
    findRuns(false);
    for (int y = 0; y < h; ++y) {
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < w; ++x) {
            if (erase[size_t(y) * w + x])
                line[x] = 255;
        }
    }
}

} // namespace

ScreenTextImage prepareScreenText(const QImage& source, double scale)
{
    ScreenTextImage result;
    // Below 3 × 3 pixels nothing is legible.
    if (source.isNull() || source.width() < 3 || source.height() < 3)
        return result;
    const QImage rgb = opaqueRgb(source);
    if (rgb.isNull() || isUniform(rgb))
        return result;

    const int w = rgb.width(), h = rgb.height();
    const int minArea = int(backgroundMinArea * std::max(1.0, scale * scale));
    const std::vector<QRgb> background
        = nearestBackground(rgb, backgroundMask(localColourRange(rgb, flatRadius), w, h, minArea));

    QImage grey(w, h, QImage::Format_Grayscale8);
    int ink = 0;
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        const QRgb* behind = background.data() + size_t(y) * w;
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int dr = qRed(line[x]) - qRed(behind[x]);
            const int dg = qGreen(line[x]) - qGreen(behind[x]);
            const int db = qBlue(line[x]) - qBlue(behind[x]);
            const int distance = int(std::sqrt(double(dr * dr + dg * dg + db * db) / 3.0));
            out[x] = uchar(255 - std::min(255, distance * contrastGain));
            if (out[x] < inkLevel)
                ++ink;
        }
    }
    if (ink < minInkPixels)
        return result;

    result.blank = false;
    result.magnification = 1.0;
    const InkShapes shapes = inkShapes(grey);
    if (const std::optional<double> glyph = typicalGlyphHeight(shapes.extents)) {
        eraseRules(grey, shapes, *glyph, scale);
        if (scale < 2.0)
            result.magnification = magnificationFor(*glyph);
    }
    if (result.magnification > 1.0) {
        result.grey = grey.scaled(int(std::lround(w * result.magnification)),
            int(std::lround(h * result.magnification)), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        result.grey = grey;
    }
    return result;
}

std::optional<double> typicalGlyphHeight(const QImage& grey)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8)
        return std::nullopt;
    return typicalGlyphHeight(inkShapes(grey).extents);
}

double magnificationFor(double glyphHeight)
{
    // The engine reads best when lower-case letters stand about 13 px high.
    constexpr double target = 13.0;
    const double wanted = target / std::max(1.0, glyphHeight);
    return std::clamp(std::round(wanted * 2.0) / 2.0, 1.0, 3.0);
}

std::vector<TextTile> textTiles(QSize size, int maxSide, int margin)
{
    std::vector<TextTile> tiles;
    if (size.isEmpty() || maxSide <= 0)
        return tiles;
    const int columns = (size.width() + maxSide - 1) / maxSide;
    const int rows = (size.height() + maxSide - 1) / maxSide;
    const QRect whole(QPoint(0, 0), size);
    for (int row = 0; row < rows; ++row) {
        const int top = size.height() * row / rows, bottom = size.height() * (row + 1) / rows;
        for (int column = 0; column < columns; ++column) {
            const int left = size.width() * column / columns, right = size.width() * (column + 1) / columns;
            const QRect owned(left, top, right - left, bottom - top);
            tiles.push_back({owned, owned.adjusted(-margin, -margin, margin, margin).intersected(whole)});
        }
    }
    return tiles;
}

} // namespace vantrel
