// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureKind.h"

namespace vantrel {

QString rawValue(CaptureKind kind)
{
    switch (kind) {
    case CaptureKind::screenshot: return QStringLiteral("screenshot");
    case CaptureKind::window: return QStringLiteral("window");
    case CaptureKind::scrolling: return QStringLiteral("scrolling");
    case CaptureKind::recording: return QStringLiteral("recording");
    case CaptureKind::gif: return QStringLiteral("gif");
    }
    return {};
}

std::optional<CaptureKind> captureKindFromRaw(const QString& raw)
{
    for (CaptureKind kind : allCaptureKinds) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

} // namespace vantrel
