// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayGeometry.h"

#include "HotKeys.h"
#include "KeyMonitor.h"

#include <algorithm>

namespace vantrel::overlaygeometry {

QRectF keystrokePanelRect(const QRectF& screen, const QRectF& area)
{
    const double x = screen.x() + area.center().x() - keystrokeWidth / 2;
    const double bottom = screen.y() + area.bottom() - keystrokeLift;
    return QRectF(x, bottom - keystrokeHeight, keystrokeWidth, keystrokeHeight);
}

double keystrokeOpacity(double seconds)
{
    if (seconds < keystrokeHold)
        return 1.0;
    return std::clamp(1.0 - (seconds - keystrokeHold) / keystrokeFade, 0.0, 1.0);
}

QString keystrokeText(const KeyPress& press)
{
    // The key as the shortcut labels name it, or by its keyboard-map name when it prints nothing
    // and has no name of its own there.
    const QString label = shortcutText(KeyCombo {.keyCode = press.keyCode});
    const bool unnamed = label.isEmpty() || label == QLatin1String("?");
    const QString name = unnamed && !press.symbolName.isEmpty() ? press.symbolName
        : unnamed                                               ? QStringLiteral("?")
                                                                : label;
    const QString withModifiers = shortcutText(KeyCombo {.keyCode = press.keyCode, .modifiers = press.modifiers});
    return withModifiers.chopped(label.size()) + name;
}

QRectF bubbleRect(const QRectF& screen, const QRectF& area)
{
    return QRectF(screen.x() + area.right() - bubbleSize - bubbleMargin,
        screen.y() + area.bottom() - bubbleSize - bubbleMargin, bubbleSize, bubbleSize);
}

QRectF resizedBubble(const QRectF& bubble, double delta)
{
    const double size = std::clamp(bubble.width() + delta, bubbleMinimum, bubbleMaximum);
    QRectF resized(0, 0, size, size);
    resized.moveCenter(bubble.center());
    return resized;
}

} // namespace vantrel::overlaygeometry
