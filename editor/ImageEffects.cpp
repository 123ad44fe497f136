// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageEffects.h"

#include "ImageBuffers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vantrel::effects {

namespace {

// Both effects work on 4 bytes per pixel; RGB32 keeps its opaque alpha byte, anything else is
// premultiplied first so that averaging never bleeds colour out of transparent pixels.
QImage workingCopy(const QImage& image)
{
    if (image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32)
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

std::vector<float> gaussianKernel(double sigma, int& radius)
{
    radius = std::max(1, static_cast<int>(std::ceil(3.5 * sigma)));
    std::vector<float> kernel(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        const double w = std::exp(-(i * i) / (2.0 * sigma * sigma));
        kernel[i + radius] = static_cast<float>(w);
        sum += w;
    }
    for (float& w : kernel)
        w = static_cast<float>(w / sum);
    return kernel;
}

// Large working buffers are kept per thread between calls: fresh memory costs a page fault per
// 4 KiB, which on a 1080p blur is more than the arithmetic.
std::vector<float>& scratch(int which)
{
    thread_local std::vector<float> buffers[2];
    return buffers[which];
}

inline std::uint32_t packPixel(const float* v)
{
    std::uint32_t out = 0;
    for (int c = 3; c >= 0; --c) {
        const int value = std::clamp(static_cast<int>(std::lround(v[c])), 0, 255);
        out = (out << 8) | static_cast<std::uint32_t>(value);
    }
    return out;
}

} // namespace

double blurSigma(int longestSide)
{
    return std::max(longestSide / 90.0, 12.0);
}

double pixelCell(int longestSide)
{
    return std::max(longestSide / 70.0, 10.0);
}

void parallelFor(int count, const std::function<void(int begin, int end)>& body)
{
    if (count <= 0)
        return;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int bands = std::min(count, cores);
    if (bands == 1) {
        body(0, count);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(bands - 1);
    for (int b = 1; b < bands; ++b)
        workers.emplace_back([&body, b, bands, count] { body(count * b / bands, count * (b + 1) / bands); });
    body(0, count / bands);
    for (std::thread& worker : workers)
        worker.join();
}

void blurPlane(float* data, int width, int height, int channels, double sigma)
{
    if (width <= 0 || height <= 0 || sigma <= 0)
        return;
    int radius = 0;
    const std::vector<float> kernel = gaussianKernel(sigma, radius);
    const int taps = 2 * radius + 1;
    const std::size_t rowLength = static_cast<std::size_t>(width) * channels;

    // Horizontal: each row padded with its clamped edge values, then one multiply-add sweep per
    // tap over the whole row (contiguous, so the compiler vectorises it).
    parallelFor(height, [&](int begin, int end) {
        std::vector<float> padded((width + 2 * radius) * channels);
        std::vector<float> out(rowLength);
        for (int y = begin; y < end; ++y) {
            float* row = data + y * rowLength;
            for (int x = -radius; x < width + radius; ++x) {
                const int sx = std::clamp(x, 0, width - 1);
                std::memcpy(&padded[(x + radius) * channels], row + sx * channels, channels * sizeof(float));
            }
            std::fill(out.begin(), out.end(), 0.0f);
            for (int k = 0; k < taps; ++k) {
                const float w = kernel[k];
                const float* in = padded.data() + k * channels;
                for (std::size_t i = 0; i < rowLength; ++i)
                    out[i] += w * in[i];
            }
            std::memcpy(row, out.data(), rowLength * sizeof(float));
        }
    });

    // Vertical: rows are read from an untouched copy, clamped at the top and bottom.
    std::vector<float>& source = scratch(0);
    source.assign(data, data + rowLength * height);
    parallelFor(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            float* out = data + y * rowLength;
            std::fill(out, out + rowLength, 0.0f);
            for (int k = 0; k < taps; ++k) {
                const float w = kernel[k];
                const float* in = source.data() + std::clamp(y + k - radius, 0, height - 1) * rowLength;
                for (std::size_t i = 0; i < rowLength; ++i)
                    out[i] += w * in[i];
            }
        }
    });
}

// The blur runs in three steps: box-average f × f blocks of the edge-extended image into a
// small float image, blur that exactly with a reduced sigma, and interpolate it back linearly.
// Box averaging and linear interpolation each add their own spread, so the small blur makes up
// only the rest of the requested variance. With f ≈ sigma / 4 the result stays within a few
// grey levels of the exact blur while touching every full-size pixel just twice.
QImage gaussianBlur(const QImage& input, double sigma)
{
    const QImage src = workingCopy(input);
    if (src.isNull())
        return {};
    const int width = src.width();
    const int height = src.height();
    QImage result = imagebuffers::allocate(width, height, src.format());
    if (result.isNull())
        return {};
    if (!(sigma > 0.3)) {
        for (int y = 0; y < height; ++y)
            std::memcpy(result.scanLine(y), src.constScanLine(y), width * 4);
        return result;
    }

    const int f = std::max(1, static_cast<int>(sigma / 4.0));
    const double boxVariance = (double(f) * f - 1) / 12.0;
    const double lerpVariance = f > 1 ? double(f) * f / 12.0 : 0.0;
    const double smallSigma = std::sqrt(std::max(sigma * sigma - boxVariance - lerpVariance, 0.25 * f * f)) / f;
    // Padding in small pixels: past it the kernel has no weight, so the small image can be
    // clamped at its own edges without changing the result.
    const int pad = static_cast<int>(std::ceil(3.5 * smallSigma)) + 1;
    const int innerW = (width + f - 1) / f;
    const int innerH = (height + f - 1) / f;
    const int smallW = innerW + 2 * pad;
    const int smallH = innerH + 2 * pad;
    std::vector<float>& small = scratch(1);
    small.resize(static_cast<std::size_t>(smallW) * smallH * 4);
    const float norm = 1.0f / float(f * f);

    // Sums of each f-wide block of one source row (edge-clamped), in small columns.
    auto blockSums = [&](int y, std::uint32_t* sums) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(src.constScanLine(y));
        const std::uint8_t* first = row;
        const std::uint8_t* last = row + (width - 1) * 4;
        for (int i = 0; i < pad; ++i) {
            for (int c = 0; c < 4; ++c)
                sums[i * 4 + c] = f * first[c];
        }
        for (int b = 0; b < innerW; ++b) {
            std::uint32_t s[4] = {0, 0, 0, 0};
            const int x0 = b * f;
            const int x1 = std::min(x0 + f, width);
            for (const std::uint8_t* p = row + x0 * 4; p < row + x1 * 4; p += 4) {
                s[0] += p[0];
                s[1] += p[1];
                s[2] += p[2];
                s[3] += p[3];
            }
            const int missing = x0 + f - x1;
            for (int c = 0; c < 4; ++c)
                sums[(pad + b) * 4 + c] = s[c] + missing * last[c];
        }
        for (int i = pad + innerW; i < smallW; ++i) {
            for (int c = 0; c < 4; ++c)
                sums[i * 4 + c] = f * last[c];
        }
    };

    parallelFor(innerH, [&](int begin, int end) {
        std::vector<std::uint32_t> sums(smallW * 4);
        std::vector<std::uint32_t> acc(smallW * 4);
        for (int b = begin; b < end; ++b) {
            std::fill(acc.begin(), acc.end(), 0u);
            const int y0 = b * f;
            for (int k = 0; k < f; ++k) {
                blockSums(std::min(y0 + k, height - 1), sums.data());
                for (int i = 0; i < smallW * 4; ++i)
                    acc[i] += sums[i];
            }
            float* out = small.data() + static_cast<std::size_t>(pad + b) * smallW * 4;
            for (int i = 0; i < smallW * 4; ++i)
                out[i] = acc[i] * norm;
        }
    });
    {
        // Rows above and below the image repeat its first and last rows.
        std::vector<std::uint32_t> sums(smallW * 4);
        const std::size_t rowLength = static_cast<std::size_t>(smallW) * 4;
        blockSums(0, sums.data());
        for (int j = 0; j < pad; ++j) {
            for (std::size_t i = 0; i < rowLength; ++i)
                small[j * rowLength + i] = sums[i] / float(f);
        }
        blockSums(height - 1, sums.data());
        for (int j = pad + innerH; j < smallH; ++j) {
            for (std::size_t i = 0; i < rowLength; ++i)
                small[j * rowLength + i] = sums[i] / float(f);
        }
    }

    blurPlane(small.data(), smallW, smallH, 4, smallSigma);

    // Small pixel i is centred on full-size x = (i - pad + 0.5) * f; xStart[i] is the first
    // output column at or right of that centre.
    std::vector<int> xStart(smallW + 1);
    for (int i = 0; i <= smallW; ++i) {
        const double centre = (i - pad + 0.5) * f - 0.5;
        xStart[i] = std::clamp(static_cast<int>(std::ceil(centre)), 0, width);
    }
    const int firstInterval = std::max(0, static_cast<int>(std::floor(0.5 / f + pad - 0.5)));

    parallelFor(height, [&](int begin, int end) {
        std::vector<float> row(static_cast<std::size_t>(smallW) * 4);
        for (int y = begin; y < end; ++y) {
            const double v = (y + 0.5) / f + pad - 0.5;
            const int j0 = static_cast<int>(std::floor(v));
            const float tv = static_cast<float>(v - j0);
            const float* upper = small.data() + static_cast<std::size_t>(j0) * smallW * 4;
            const float* lower = upper + smallW * 4;
            for (int i = 0; i < smallW * 4; ++i)
                row[i] = upper[i] + (lower[i] - upper[i]) * tv;

            auto* out = reinterpret_cast<std::uint32_t*>(result.scanLine(y));
            for (int i = firstInterval; i + 1 < smallW; ++i) {
                const int xa = xStart[i];
                const int xb = xStart[i + 1];
                if (xa >= width)
                    break;
                if (xb <= xa)
                    continue;
                const float* a = row.data() + i * 4;
                const float* b = a + 4;
                const float t0 = static_cast<float>((xa + 0.5) / f + pad - 0.5 - i);
#ifdef __SSE2__
                const __m128 va = _mm_loadu_ps(a);
                const __m128 delta = _mm_sub_ps(_mm_loadu_ps(b), va);
                const __m128 step = _mm_mul_ps(delta, _mm_set1_ps(1.0f / f));
                __m128 value = _mm_add_ps(va, _mm_mul_ps(delta, _mm_set1_ps(t0)));
                for (int x = xa; x < xb; ++x) {
                    const __m128i words = _mm_cvtps_epi32(value);
                    const __m128i shorts = _mm_packs_epi32(words, words);
                    out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(shorts, shorts)));
                    value = _mm_add_ps(value, step);
                }
#else
                for (int x = xa; x < xb; ++x) {
                    const float t = t0 + float(x - xa) / f;
                    float px[4];
                    for (int c = 0; c < 4; ++c)
                        px[c] = a[c] + (b[c] - a[c]) * t;
                    out[x] = packPixel(px);
                }
#endif
            }
        }
    });
    return result;
}

QImage pixellate(const QImage& input, double cell)
{
    const QImage src = workingCopy(input);
    if (src.isNull())
        return {};
    const int width = src.width();
    const int height = src.height();
    QImage result = imagebuffers::allocate(width, height, src.format());
    if (result.isNull())
        return {};
    cell = std::max(cell, 1.0);

    // Pixel x belongs to cell floor((x + 0.5) / cell): cells are anchored at the origin and
    // their edges fall on the pixel nearest to each multiple of the cell size.
    auto boundaries = [cell](int extent) {
        std::vector<int> edges {0};
        for (int k = 1;; ++k) {
            const int edge = std::min(extent, static_cast<int>(std::ceil(k * cell - 0.5)));
            if (edge > edges.back())
                edges.push_back(edge);
            if (edge >= extent)
                break;
        }
        return edges;
    };
    const std::vector<int> xs = boundaries(width);
    const std::vector<int> ys = boundaries(height);
    const int cellsX = static_cast<int>(xs.size()) - 1;
    const int cellsY = static_cast<int>(ys.size()) - 1;

    parallelFor(cellsY, [&](int begin, int end) {
        std::vector<std::uint64_t> sums(cellsX * 4);
        std::vector<std::uint32_t> values(cellsX);
        for (int r = begin; r < end; ++r) {
            std::fill(sums.begin(), sums.end(), 0u);
            for (int y = ys[r]; y < ys[r + 1]; ++y) {
                const auto* row = reinterpret_cast<const std::uint8_t*>(src.constScanLine(y));
                for (int k = 0; k < cellsX; ++k) {
                    std::uint32_t s[4] = {0, 0, 0, 0};
                    for (const std::uint8_t* p = row + xs[k] * 4; p < row + xs[k + 1] * 4; p += 4) {
                        s[0] += p[0];
                        s[1] += p[1];
                        s[2] += p[2];
                        s[3] += p[3];
                    }
                    for (int c = 0; c < 4; ++c)
                        sums[k * 4 + c] += s[c];
                }
            }
            const std::uint64_t rows = ys[r + 1] - ys[r];
            for (int k = 0; k < cellsX; ++k) {
                const std::uint64_t count = rows * (xs[k + 1] - xs[k]);
                std::uint32_t packed = 0;
                for (int c = 3; c >= 0; --c)
                    packed = (packed << 8) | static_cast<std::uint32_t>((sums[k * 4 + c] + count / 2) / count);
                values[k] = packed;
            }
            for (int y = ys[r]; y < ys[r + 1]; ++y) {
                auto* out = reinterpret_cast<std::uint32_t*>(result.scanLine(y));
                for (int k = 0; k < cellsX; ++k)
                    std::fill(out + xs[k], out + xs[k + 1], values[k]);
            }
        }
    });
    return result;
}

EffectLayers makeEffectLayers(const QImage& base)
{
    EffectLayers layers;
    if (base.isNull())
        return layers;
    const int longest = std::max(base.width(), base.height());
    QImage blurred = gaussianBlur(base, blurSigma(longest));
    if (!blurred.isNull())
        layers.blurred = std::move(blurred);
    QImage pixelated = pixellate(base, pixelCell(longest));
    if (!pixelated.isNull())
        layers.pixelated = std::move(pixelated);
    return layers;
}

} // namespace vantrel::effects
