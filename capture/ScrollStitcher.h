// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GrowingImageBuffer.h"

#include <QImage>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantrel {

// Grey levels of a frame, one byte per pixel, row-major: (77 R + 150 G + 29 B) >> 8 of its
// premultiplied RGBA pixels.
std::vector<std::uint8_t> grayLevels(const QImage& frame);
// The same into `gray`, whose memory is reused from frame to frame.
void fillGrayLevels(const QImage& frame, std::vector<std::uint8_t>& gray);

// The best upward shift of `current` against `previous` (both width × height grey images) and
// its mean absolute difference over the sampled pixels.
struct FrameMatch
{
    int offset = 0;
    double score = 0;
};

// Searches shifts 1 … height − margin (margin 20 below 105 rows, else a fifth of the height) for
// the one where previous row y + offset best matches current row y, sampling about 160 columns
// and 120 rows. None when the frames are identical (no scroll), too short to search (20 rows or
// fewer) or the images are smaller than width × height.
std::optional<FrameMatch> bestFrameMatch(
    std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height);

// How many rows the content moved up between two frames: the best match's offset when its score
// is below 6, else 0 (no usable scroll).
int findOffset(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height);

// The largest shift the search tries for frames `height` rows tall (0 when there is none).
int maxScrollOffset(int height);

// Turns the frames of an area that the user scrolls into one tall picture, exactly.
//
// `findOffset` proposes how far the content moved. Its sampled comparison can settle a row or
// two off on banded content, and on periodic content (identical chat messages, table rows) it
// can settle a whole period short when the rows that tell the periods apart fall between its
// samples. So the proposal is only a starting point: every row of the two frames is compared,
// through hashes of each row's eight vertical strips, at every shift of the search range, and
// only a shift under which all rows agree counts as exact. One strip may disagree throughout (a
// scroll bar whose thumb moves, a blinking caret at the edge). When no shift is exact (an
// animation, smooth scaling) the proposal is refined on full-resolution differences around it.
//
// Rows at the top and at the bottom of the area that stay identical while the rest moves (a web
// page's sticky bar, a chat's title row and message field) are left out of the comparison. The
// picture keeps the first frame's header once at the top and the latest frame's footer once at
// the bottom; rows scrolled in are inserted above that footer.
class ScrollStitcher
{
public:
    // The picture is finished once it is taller than this many pixel rows.
    static constexpr int heightLimit = 30000;

    enum class Outcome {
        first, // the first frame: the picture so far
        appended, // the content moved up: its new rows were added
        still, // nothing moved
        unmatched, // no shift explains the change (scrolled up, too far, or not a scroll)
        restarted, // likewise, before anything was added: this frame is the picture now
        wrongSize, // another width or height than the first frame (another screen scale)
        unusable, // an empty frame, or no memory for the rows
    };

    struct Result
    {
        Outcome outcome = Outcome::unusable;
        int shift = 0; // rows the content moved up, when appended
    };

    Result addFrame(QImage frame);

    bool empty() const { return m_width == 0; }
    int width() const { return m_width; }
    // Pixel rows of the picture as it would be delivered now.
    int height() const;
    bool limitReached() const { return height() > heightLimit; }
    // Fixed rows found at the top and the bottom of the area by the last accepted frame.
    int header() const { return m_header; }
    int footer() const { return m_footer; }
    const std::vector<std::uint8_t>& lastGray() const { return m_lastGray; }

    // A frame no longer needed, for the next grab to write into (null when there is none).
    QImage takeSpare() { return std::move(m_spare); }
    // The finished picture; the stitcher is empty afterwards. Null when no frame was accepted or
    // memory ran out.
    QImage takePicture();

private:
    void hashRows(const QImage& frame, std::vector<std::uint64_t>& into) const;
    std::optional<int> chooseShift(int header, int band, int proposal) const;
    std::optional<int> refineInexact(int header, int band, int proposal) const;
    Result start(QImage frame);
    Result unmatched(QImage frame);

    int m_width = 0;
    int m_frameHeight = 0;
    QImage::Format m_format = QImage::Format_Invalid;
    GrowingImageBuffer m_content;
    // Rows of m_lastFrame from here down are not in m_content yet: its footer, delivered last.
    int m_tailStart = 0;
    QImage m_lastFrame;
    QImage m_spare;
    std::vector<std::uint8_t> m_lastGray, m_gray;
    std::vector<std::uint64_t> m_lastHashes, m_hashes; // strips per row, row-major
    int m_lastShift = 0;
    bool m_appended = false;
    int m_header = 0;
    int m_footer = 0;
};

} // namespace vantrel
