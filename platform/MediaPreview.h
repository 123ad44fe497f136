// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace vantrel {

// The first frame of a video file at its pixel size, turned upright by the stream's rotation;
// none when the file cannot be decoded.
std::optional<QImage> firstVideoFrame(const QString& path);

// The desktop's icon for a file's type (the icon theme), `size` pixels square; a plain drawn
// document shape when the theme has none.
QImage fileIcon(const QString& path, int size = 128);

} // namespace vantrel
