// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vantrel {

enum class PngSpeed {
    // zlib level 1 with run-length matching and the Sub filter: screenshots (large flat areas)
    // compress about three times faster than with the default settings, a little larger.
    fast,
    // zlib's default level with adaptive filters, for files the user keeps.
    compact,
};

// Lossless PNG bytes of an image with no metadata chunks; none when the image is empty or the
// encoder fails. Safe to call from any thread.
std::optional<QByteArray> encodePng(const QImage& image, PngSpeed speed);

} // namespace vantrel
