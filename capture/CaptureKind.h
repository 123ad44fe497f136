// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <optional>

namespace vantrel {

// What produced a capture; stored in history records by its raw string.
enum class CaptureKind {
    screenshot,
    window,
    scrolling,
    recording,
    gif,
};

inline constexpr std::array<CaptureKind, 5> allCaptureKinds
    = {CaptureKind::screenshot, CaptureKind::window, CaptureKind::scrolling, CaptureKind::recording, CaptureKind::gif};

QString rawValue(CaptureKind kind);
// None for a string that names no kind.
std::optional<CaptureKind> captureKindFromRaw(const QString& raw);
// Recordings and GIFs are files; the other kinds are pictures.
inline bool isVideoKind(CaptureKind kind)
{
    return kind == CaptureKind::recording || kind == CaptureKind::gif;
}

// One captured picture with its scale in pixels per point (2 on a HiDPI screen).
struct Capture
{
    QImage image;
    double scale = 1.0;
    CaptureKind kind = CaptureKind::screenshot;
};

} // namespace vantrel
