// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

namespace vantrel::test {

// The test video source's picture, a function of its position and of the time it was made:
// cells of 160 × 120 pixels, each a flat colour of its own, and in each cell, 16 pixels in from
// its top-left corner, the time (milliseconds of CLOCK_MONOTONIC, low 16 bits) as 16 squares of
// 8 × 8 pixels, white for a one, black for a zero, most significant first. Flat colours and
// large squares come through H.264 and 4:2:0 chroma nearly unchanged, so a decoded frame tells
// where it was cut from and when it was made.
struct TestVideoPattern
{
    static constexpr int cellWidth = 160;
    static constexpr int cellHeight = 120;
    static constexpr int codeInset = 16;
    static constexpr int codeBits = 16;
    static constexpr int codeSquare = 8;

    struct Rgb
    {
        int r = 0;
        int g = 0;
        int b = 0;
    };

    // The colour of the cell at pixel (x, y) of the stream; neighbours differ by 64 or more in
    // some channel.
    static Rgb cellColour(int x, int y)
    {
        const int cx = x / cellWidth;
        const int cy = y / cellHeight;
        return {48 + 64 * (cx % 4), 48 + 64 * (cy % 4), 48 + 64 * ((cx / 4 + cy / 4) % 3)};
    }

    // Whether (x, y) lies on the time code of its cell.
    static bool onCode(int x, int y)
    {
        const int ix = x % cellWidth - codeInset;
        const int iy = y % cellHeight - codeInset;
        return ix >= 0 && ix < codeBits * codeSquare && iy >= 0 && iy < codeSquare;
    }

    // 32-bit pixels, BGRX (or RGBX) bytes.
    static void draw(uint8_t* pixels, int stride, int width, int height, int64_t timeMs, bool rgbx)
    {
        const uint32_t code = uint32_t(timeMs) & 0xFFFF;
        auto put = [rgbx](uint8_t* p, Rgb c) {
            p[0] = uint8_t(rgbx ? c.r : c.b);
            p[1] = uint8_t(c.g);
            p[2] = uint8_t(rgbx ? c.b : c.r);
            p[3] = 0xFF;
        };
        for (int y = 0; y < height; ++y) {
            uint8_t* row = pixels + size_t(y) * size_t(stride);
            // Rows repeat within a band of cells except on the code: copy the band's first.
            const int inCell = y % cellHeight;
            if (inCell != 0 && !(inCell >= codeInset && inCell < codeInset + codeSquare)) {
                std::memcpy(row, pixels + size_t(y - inCell) * size_t(stride), size_t(width) * 4);
                continue;
            }
            for (int x = 0; x < width; ++x) {
                Rgb c = cellColour(x, y);
                if (onCode(x, y)) {
                    const int bit = (x % cellWidth - codeInset) / codeSquare;
                    const bool one = (code >> (codeBits - 1 - bit)) & 1;
                    c = one ? Rgb {255, 255, 255} : Rgb {0, 0, 0};
                }
                put(row + size_t(x) * 4, c);
            }
        }
    }

    // The time code of the cell whose top-left corner is at (left, top) of a decoded picture,
    // read through `grey` (the grey level 0–255 at a point); none when a square is unclear.
    static std::optional<uint32_t> readCode(int left, int top, const std::function<int(int, int)>& grey)
    {
        uint32_t code = 0;
        for (int bit = 0; bit < codeBits; ++bit) {
            const int level
                = grey(left + codeInset + bit * codeSquare + codeSquare / 2, top + codeInset + codeSquare / 2);
            if (level > 80 && level < 176)
                return std::nullopt;
            code = (code << 1) | (level >= 176 ? 1u : 0u);
        }
        return code;
    }

    // The pointer sent beside the picture: opaque magenta, premultiplied BGRA.
    static void fillCursor(uint8_t* pixels, int side)
    {
        for (int i = 0; i < side * side; ++i) {
            pixels[4 * i] = 255;
            pixels[4 * i + 1] = 0;
            pixels[4 * i + 2] = 255;
            pixels[4 * i + 3] = 255;
        }
    }
};

} // namespace vantrel::test
