// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollStitcher.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vantrel {

namespace {

// Each row is hashed in this many vertical strips, so that a rule that one strip may disagree
// can let a scroll bar's moving thumb through without letting content through.
constexpr int strips = 8;
constexpr unsigned allStrips = (1u << strips) - 1;
// The strips between the edges: content lives here, and here every row must agree.
constexpr unsigned middleStrips = allStrips & ~1u & ~(1u << (strips - 1));

// Whether a comparison's agreeing strips are close enough: all of them, or all but one edge
// strip (a scroll bar, or the caret of a field at the edge, changes only there).
bool agrees(unsigned mask)
{
    return (mask & middleStrips) == middleStrips && std::popcount(mask) >= strips - 1;
}

constexpr double acceptedScore = 6.0;

int marginFor(int height)
{
    return height < 105 ? 20 : height / 5;
}

// The sampled search's row step for an overlap (how far apart the rows it compares lie).
int sampledRowStep(int overlap)
{
    return overlap >= 240 ? overlap / 120 : 2;
}

// The pixel's grey level; `argbWord` is a 32-bit QImage pixel (0xAARRGGBB, premultiplied).
inline std::uint8_t grayOf(quint32 argbWord)
{
    const quint32 r = (argbWord >> 16) & 0xff;
    const quint32 g = (argbWord >> 8) & 0xff;
    const quint32 b = argbWord & 0xff;
    return static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b) >> 8);
}

inline std::uint64_t rotl(std::uint64_t value, int bits)
{
    return (value << bits) | (value >> (64 - bits));
}

inline std::uint64_t finalMix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

// A 64-bit hash of `count` pixels. Two independent lanes keep the multiplier busy.
std::uint64_t hashPixels(const quint32* pixels, int count)
{
    std::uint64_t a = 0x9E3779B97F4A7C15ULL ^ std::uint64_t(count);
    std::uint64_t b = 0xC2B2AE3D27D4EB4FULL;
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        std::uint64_t first, second;
        std::memcpy(&first, pixels + x, 8);
        std::memcpy(&second, pixels + x + 2, 8);
        a = rotl((a ^ first) * 0x87c37b91114253d5ULL, 31);
        b = rotl((b ^ second) * 0x4cf5ad432745937fULL, 33);
    }
    for (; x < count; ++x)
        a = rotl((a ^ pixels[x]) * 0x87c37b91114253d5ULL, 31);
    return finalMix(a ^ rotl(b, 17));
}

bool isThirtyTwoBit(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

void fillGrayLevels(const QImage& frame, std::vector<std::uint8_t>& gray)
{
    // Grabs arrive as 32-bit words 0xAARRGGBB, read here without a conversion; anything else is
    // brought to premultiplied words first.
    const QImage words
        = isThirtyTwoBit(frame.format()) ? frame : frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = words.width();
    const int h = words.height();
    gray.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* p = reinterpret_cast<const quint32*>(words.constScanLine(y));
        std::uint8_t* out = gray.data() + std::size_t(y) * w;
        for (int x = 0; x < w; ++x)
            out[x] = grayOf(p[x]);
    }
}

std::vector<std::uint8_t> grayLevels(const QImage& frame)
{
    std::vector<std::uint8_t> gray;
    fillGrayLevels(frame, gray);
    return gray;
}

int maxScrollOffset(int height)
{
    return std::max(0, height - marginFor(height));
}

std::optional<FrameMatch> bestFrameMatch(
    std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height)
{
    if (width < 1 || height < 1)
        return std::nullopt;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (previous.size() < pixels || current.size() < pixels)
        return std::nullopt;
    const int columnStep = width >= 160 ? width / 160 : 1;

    // Only every columnStep-th column is ever compared. Gathering those columns into packed rows
    // once makes every comparison below a run of adjacent bytes, which the compiler turns into
    // sums of absolute differences 16 or 32 bytes at a time: the same samples, the same sums,
    // many times faster than striding through the frames for each of hundreds of shifts.
    const int columns = (width + columnStep - 1) / columnStep;
    std::vector<std::uint8_t> packed(std::size_t(columns) * height * 2);
    std::uint8_t* before = packed.data();
    std::uint8_t* after = packed.data() + std::size_t(columns) * height;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = previous.data() + std::size_t(y) * width;
        const std::uint8_t* c = current.data() + std::size_t(y) * width;
        std::uint8_t* pb = before + std::size_t(y) * columns;
        std::uint8_t* pa = after + std::size_t(y) * columns;
        for (int i = 0; i < columns; ++i) {
            pb[i] = p[std::size_t(i) * columnStep];
            pa[i] = c[std::size_t(i) * columnStep];
        }
    }

    // Identical frames: every 8th row, every other sampled column.
    bool identical = true;
    for (int y = 0; y < height && identical; y += 8) {
        const std::uint8_t* pb = before + std::size_t(y) * columns;
        const std::uint8_t* pa = after + std::size_t(y) * columns;
        for (int i = 0; i < columns; i += 2) {
            if (pb[i] != pa[i]) {
                identical = false;
                break;
            }
        }
    }
    if (identical)
        return std::nullopt;

    const int maxOffset = maxScrollOffset(height);
    if (maxOffset < 1)
        return std::nullopt;

    double best = std::numeric_limits<double>::max();
    int bestOffset = 0;
    for (int offset = 1; offset <= maxOffset; ++offset) {
        const int overlap = height - offset;
        const int rowStep = sampledRowStep(overlap);
        long long sum = 0;
        long long count = 0;
        for (int y = 0; y < overlap; y += rowStep) {
            const std::uint8_t* pb = before + std::size_t(y + offset) * columns;
            const std::uint8_t* pa = after + std::size_t(y) * columns;
            unsigned rowSum = 0;
            for (int i = 0; i < columns; ++i)
                rowSum += unsigned(std::abs(int(pb[i]) - int(pa[i])));
            sum += rowSum;
            count += columns;
        }
        const double mean = double(sum) / double(std::max(count, 1LL));
        if (mean < best) {
            best = mean;
            bestOffset = offset;
        }
        if (mean == 0)
            break;
    }
    return FrameMatch {bestOffset, best};
}

int findOffset(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height)
{
    const std::optional<FrameMatch> match = bestFrameMatch(previous, current, width, height);
    return match && match->score < acceptedScore ? match->offset : 0;
}

void ScrollStitcher::hashRows(const QImage& frame, std::vector<std::uint64_t>& into) const
{
    const int w = frame.width();
    const int h = frame.height();
    into.resize(std::size_t(h) * strips);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const quint32*>(frame.constScanLine(y));
        std::uint64_t* out = into.data() + std::size_t(y) * strips;
        for (int s = 0; s < strips; ++s) {
            const int from = s * w / strips;
            const int to = (s + 1) * w / strips;
            out[s] = hashPixels(row + from, to - from);
        }
    }
}

int ScrollStitcher::height() const
{
    if (empty())
        return 0;
    return m_content.rows() + (m_frameHeight - m_tailStart);
}

ScrollStitcher::Result ScrollStitcher::start(QImage frame)
{
    GrowingImageBuffer content(frame.width());
    if (!content.append(frame.constBits(), frame.bytesPerLine(), frame.height())) {
        m_spare = std::move(frame);
        return {Outcome::unusable};
    }
    m_width = frame.width();
    m_frameHeight = frame.height();
    m_format = frame.format();
    m_content = std::move(content);
    m_tailStart = m_frameHeight;
    fillGrayLevels(frame, m_lastGray);
    hashRows(frame, m_lastHashes);
    m_lastFrame = std::move(frame);
    return {Outcome::first};
}

ScrollStitcher::Result ScrollStitcher::unmatched(QImage frame)
{
    // Until something has been added the picture is one frame, and the newest frame is the
    // better start: the screen may still have been repainting under the selection when the
    // first was grabbed, or the user backs up before scrolling down. (Areas too short to search
    // keep their first frame: nothing could ever follow it.)
    if (!m_appended && maxScrollOffset(m_frameHeight) > 0) {
        *this = ScrollStitcher();
        const Result restarted = start(std::move(frame));
        return restarted.outcome == Outcome::first ? Result {Outcome::restarted} : restarted;
    }
    m_spare = std::move(frame);
    return {Outcome::unmatched};
}

ScrollStitcher::Result ScrollStitcher::addFrame(QImage frame)
{
    if (frame.isNull() || frame.width() < 1 || frame.height() < 1) {
        m_spare = std::move(frame);
        return {Outcome::unusable};
    }
    if (!isThirtyTwoBit(frame.format()))
        frame = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (empty())
        return start(std::move(frame));
    if (frame.width() != m_width || frame.height() != m_frameHeight) {
        m_spare = std::move(frame);
        return {Outcome::wrongSize};
    }
    if (frame.format() != m_format)
        frame = frame.convertToFormat(m_format);

    const int w = m_width;
    const int h = m_frameHeight;
    fillGrayLevels(frame, m_gray);
    hashRows(frame, m_hashes);
    auto rowAgreement = [&](int previousRow, int currentRow) {
        const std::uint64_t* a = m_lastHashes.data() + std::size_t(previousRow) * strips;
        const std::uint64_t* b = m_hashes.data() + std::size_t(currentRow) * strips;
        unsigned mask = 0;
        for (int s = 0; s < strips; ++s)
            mask |= unsigned(a[s] == b[s]) << s;
        return mask;
    };

    // Fixed rows: from the top and from the bottom, as long as they agree where they stand.
    int header = 0;
    for (unsigned mask = allStrips; header < h && agrees(mask &= rowAgreement(header, header));)
        ++header;
    if (header == h) {
        m_spare = std::move(frame);
        return {Outcome::still};
    }
    int footer = 0;
    for (unsigned mask = allStrips;
         header + footer < h && agrees(mask &= rowAgreement(h - 1 - footer, h - 1 - footer));)
        ++footer;
    // When most of the area stands still, what changed is not content scrolling between fixed
    // bars (a tooltip, an animation): compare whole frames, which then finds no shift.
    if (h - header - footer < std::max(h / 3, 1)) {
        header = 0;
        footer = 0;
    }
    const int band = h - header - footer;

    const std::size_t bandStart = std::size_t(header) * w;
    const std::size_t bandPixels = std::size_t(band) * w;
    const int proposal = findOffset(std::span(m_lastGray).subspan(bandStart, bandPixels),
        std::span(m_gray).subspan(bandStart, bandPixels), w, band);

    // Rows that stand still at the edges are not always bars: a blank margin taller than the
    // step agrees with itself too. Whole frames that agree under a shift settle it, with the
    // search's full reach; only when they cannot are the still rows left out.
    std::optional<int> shift;
    if (header + footer > 0) {
        shift = chooseShift(0, h, proposal);
        if (shift) {
            header = 0;
            footer = 0;
        }
    }
    if (!shift)
        shift = chooseShift(header, band, proposal);
    if (!shift && proposal > 0)
        shift = refineInexact(header, band, proposal);
    if (!shift)
        return unmatched(std::move(frame));
    const int k = *shift;

    // The picture holds the previous frame's rows down to m_tailStart. Its rows from h − footer
    // down were the fixed footer, not page content; the new frame shows what lay behind them,
    // k rows higher up.
    const int contentEnd = std::min(m_tailStart, h - footer);
    const int firstNewRow = contentEnd - k; // in the new frame
    if (firstNewRow < header) {
        // The rows in between were never visible in either frame: a gap, not a stitch.
        return unmatched(std::move(frame));
    }
    const int keptRows = m_content.rows() - (m_tailStart - contentEnd);
    const int newRows = h - footer - firstNewRow;
    const int rowsBefore = m_content.rows();
    m_content.truncate(keptRows);
    if (!m_content.append(frame.constScanLine(firstNewRow), frame.bytesPerLine(), newRows)) {
        // Out of memory: keep the picture as it was; the rows just dropped were still whole.
        m_content.appendRows(rowsBefore - keptRows);
        m_spare = std::move(frame);
        return {Outcome::unusable};
    }
    m_tailStart = h - footer;
    m_appended = true;
    m_header = header;
    m_footer = footer;
    m_lastShift = k;
    std::swap(m_lastGray, m_gray);
    std::swap(m_lastHashes, m_hashes);
    m_spare = std::exchange(m_lastFrame, std::move(frame));
    return {Outcome::appended, k};
}

std::optional<int> ScrollStitcher::chooseShift(int header, int band, int proposal) const
{
    const int maxOffset = maxScrollOffset(band);
    if (maxOffset < 1)
        return std::nullopt;
    const std::uint64_t* before = m_lastHashes.data() + std::size_t(header) * strips;
    const std::uint64_t* after = m_hashes.data() + std::size_t(header) * strips;

    // Rows of the new frame that differ from the row above them: an overlap made only of
    // repeats of one row (a blank margin) agrees under any shift and proves nothing.
    std::vector<int> detail(std::size_t(band) + 1, 0);
    for (int y = 1; y < band; ++y) {
        const bool differs = std::memcmp(after + std::size_t(y) * strips, after + std::size_t(y - 1) * strips,
                                 sizeof(std::uint64_t) * strips)
            != 0;
        detail[std::size_t(y) + 1] = detail[std::size_t(y)] + int(differs);
    }

    struct Candidate
    {
        int shift;
    };
    std::vector<Candidate> found;
    for (int k = 1; k <= maxOffset; ++k) {
        const int overlap = band - k;
        if (detail[std::size_t(overlap)] < 1)
            continue;
        unsigned mask = allStrips;
        int y = 0;
        for (; y < overlap; ++y) {
            const std::uint64_t* a = before + std::size_t(y + k) * strips;
            const std::uint64_t* b = after + std::size_t(y) * strips;
            for (int s = 0; s < strips; ++s) {
                if (a[s] != b[s])
                    mask &= ~(1u << s);
            }
            if (!agrees(mask))
                break;
        }
        // A strip that disagrees throughout does not count against a shift: a thumb moving
        // out of the compared rows would otherwise make a wrong shift look better than the true.
        if (y == overlap)
            found.push_back({k});
    }
    if (found.empty())
        return std::nullopt;
    if (found.size() == 1)
        return found.front().shift;

    // Periodic content (identical rows, identical messages) agrees under every multiple of its
    // period. People scroll at a steady pace, so the shift nearest the previous one is the
    // likeliest; before there is one, the proposal (the smallest such shift) as the sampled
    // search would have it.
    if (m_lastShift > 0) {
        const auto nearest
            = std::min_element(found.begin(), found.end(), [this](const Candidate& a, const Candidate& b) {
                  return std::abs(a.shift - m_lastShift) < std::abs(b.shift - m_lastShift);
              });
        return nearest->shift;
    }
    for (const Candidate& c : found) {
        if (c.shift == proposal)
            return proposal;
    }
    return found.front().shift;
}

std::optional<int> ScrollStitcher::refineInexact(int header, int band, int proposal) const
{
    // Nothing agrees exactly: content animates or was resampled. The sampled search looked at
    // every few rows only; look at every row near its answer and take the closest fit, if it
    // fits clearly better than standing still does.
    //
    // Rows that agree exactly and merely repeat the row above (blank margins meeting blank
    // margins) say nothing about a shift and are left out of the mean: on a sparse page they
    // would water down the mismatch of the rows that do carry content.
    const int w = m_width;
    const std::uint8_t* before = m_lastGray.data() + std::size_t(header) * w;
    const std::uint8_t* after = m_gray.data() + std::size_t(header) * w;
    const std::uint64_t* beforeHashes = m_lastHashes.data() + std::size_t(header) * strips;
    const std::uint64_t* afterHashes = m_hashes.data() + std::size_t(header) * strips;
    const std::size_t rowHashBytes = sizeof(std::uint64_t) * strips;
    auto meanDifference = [&](int k, double giveUpAbove) {
        const int overlap = band - k;
        long long sum = 0;
        long long counted = 0;
        for (int y = 0; y < overlap; ++y) {
            const std::uint64_t* hashAfter = afterHashes + std::size_t(y) * strips;
            const bool agrees = std::memcmp(beforeHashes + std::size_t(y + k) * strips, hashAfter, rowHashBytes) == 0;
            if (agrees && y > 0 && std::memcmp(hashAfter - strips, hashAfter, rowHashBytes) == 0)
                continue;
            ++counted;
            if (agrees)
                continue;
            const std::uint8_t* a = before + std::size_t(y + k) * w;
            const std::uint8_t* b = after + std::size_t(y) * w;
            int rowSum = 0;
            for (int x = 0; x < w; ++x)
                rowSum += std::abs(int(a[x]) - int(b[x]));
            sum += rowSum;
            // At most every row of the overlap is counted: past this, the mean cannot come back.
            if (double(sum) > giveUpAbove * double(overlap) * w)
                return std::numeric_limits<double>::max();
        }
        // Too little content in the overlap to tell anything.
        if (counted < std::max(4, overlap / 20))
            return std::numeric_limits<double>::max();
        return double(sum) / (double(counted) * w);
    };

    const int maxOffset = maxScrollOffset(band);
    const int reach = sampledRowStep(band - proposal) + 1;
    double best = acceptedScore;
    int bestShift = 0;
    for (int k = std::max(1, proposal - reach); k <= std::min(maxOffset, proposal + reach); ++k) {
        const double mean = meanDifference(k, best);
        if (mean < best) {
            best = mean;
            bestShift = k;
        }
    }
    if (bestShift == 0)
        return std::nullopt;
    const double standingStill = meanDifference(0, std::numeric_limits<double>::max());
    if (best * 2 >= standingStill)
        return std::nullopt;
    return bestShift;
}

QImage ScrollStitcher::takePicture()
{
    if (empty())
        return {};
    const int tailRows = m_frameHeight - m_tailStart;
    if (tailRows > 0 && !m_content.append(m_lastFrame.constScanLine(m_tailStart), m_lastFrame.bytesPerLine(), tailRows))
        return {};
    QImage picture = m_content.takeImage(m_format);
    *this = ScrollStitcher();
    return picture;
}

} // namespace vantrel
