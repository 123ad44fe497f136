// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <functional>
#include <optional>

namespace vantrel {

// The blurred and pixelated copies of a document's base that blur and pixelate annotations
// show through. Each has the base's pixel size, or is none when it could not be made.
struct EffectLayers
{
    std::optional<QImage> blurred;
    std::optional<QImage> pixelated;
};

namespace effects {

// Blur sigma and pixel cell of a base whose longer side is `longestSide` pixels.
double blurSigma(int longestSide);
double pixelCell(int longestSide);

// Gaussian blur with `sigma` in pixels; the image is treated as extended infinitely by its edge
// pixels, so borders do not fade. Large sigmas are computed on a decimated copy and
// interpolated back, which stays within 3 grey levels of the exact convolution. The result is
// ARGB32_Premultiplied (RGB32 stays RGB32); a null image when memory runs out.
QImage gaussianBlur(const QImage& image, double sigma);

// Square cells of `cell` pixels anchored at the top-left corner (0, 0); each cell takes the mean
// of its pixels inside the image. Same formats as gaussianBlur.
QImage pixellate(const QImage& image, double cell);

// Both layers of a base, with the sigma and cell its size calls for.
EffectLayers makeEffectLayers(const QImage& base);

// In-place separable Gaussian of an interleaved float plane (`channels` values per pixel),
// edges clamped. Exact (sampled kernel out to 3.5 sigma); meant for small planes.
void blurPlane(float* data, int width, int height, int channels, double sigma);

// Runs body(begin, end) over [0, count) split into bands, one per core, and waits.
void parallelFor(int count, const std::function<void(int begin, int end)>& body);

} // namespace effects

} // namespace vantrel
