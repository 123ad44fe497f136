// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTypes.h"

namespace vantrel {

namespace {

struct ActionNames
{
    const char* raw;
    const char* title;
};

constexpr std::array<ActionNames, 11> actionNames = {{
    {"allInOne", "All-In-One"},
    {"captureArea", "Capture Area"},
    {"capturePreviousArea", "Capture Previous Area"},
    {"captureFullscreen", "Capture Fullscreen"},
    {"captureWindow", "Capture Window"},
    {"selfTimer", "Self-Timer"},
    {"scrollingCapture", "Scrolling Capture"},
    {"captureText", "Capture Text (OCR)"},
    {"recordScreen", "Record Screen"},
    {"openHistory", "Open Capture History"},
    {"pinFromClipboard", "Pin Image from Clipboard"},
}};

} // namespace

int position(HotKeyAction action)
{
    return static_cast<int>(action);
}

QString rawValue(HotKeyAction action)
{
    return QString::fromLatin1(actionNames.at(position(action)).raw);
}

QString title(HotKeyAction action)
{
    return QString::fromLatin1(actionNames.at(position(action)).title);
}

std::optional<HotKeyAction> hotKeyActionFromRaw(const QString& raw)
{
    for (HotKeyAction action : allHotKeyActions) {
        if (raw == QLatin1String(actionNames.at(position(action)).raw))
            return action;
    }
    return std::nullopt;
}

QString rawValue(ImageFormat format)
{
    return format == ImageFormat::jpg ? QStringLiteral("jpg") : QStringLiteral("png");
}

ImageFormat imageFormatFromRaw(const QString& raw)
{
    return raw == QLatin1String("jpg") ? ImageFormat::jpg : ImageFormat::png;
}

QString rawValue(OverlayCorner corner)
{
    return corner == OverlayCorner::right ? QStringLiteral("right") : QStringLiteral("left");
}

OverlayCorner overlayCornerFromRaw(const QString& raw)
{
    return raw == QLatin1String("right") ? OverlayCorner::right : OverlayCorner::left;
}

} // namespace vantrel
