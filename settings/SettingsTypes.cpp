// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTypes.h"

#include <QCoreApplication>

namespace vantrel {

namespace {

struct ActionNames
{
    const char* raw;
    const char* title;
};

constexpr std::array<ActionNames, 11> actionNames = {{
    {"allInOne", QT_TRANSLATE_NOOP("HotKeyAction", "All-In-One")},
    {"captureArea", QT_TRANSLATE_NOOP("HotKeyAction", "Capture Area")},
    {"capturePreviousArea", QT_TRANSLATE_NOOP("HotKeyAction", "Capture Previous Area")},
    {"captureFullscreen", QT_TRANSLATE_NOOP("HotKeyAction", "Capture Fullscreen")},
    {"captureWindow", QT_TRANSLATE_NOOP("HotKeyAction", "Capture Window")},
    {"selfTimer", QT_TRANSLATE_NOOP("HotKeyAction", "Self-Timer")},
    {"scrollingCapture", QT_TRANSLATE_NOOP("HotKeyAction", "Scrolling Capture")},
    {"captureText", QT_TRANSLATE_NOOP("HotKeyAction", "Capture Text (OCR)")},
    {"recordScreen", QT_TRANSLATE_NOOP("HotKeyAction", "Record Screen")},
    {"openHistory", QT_TRANSLATE_NOOP("HotKeyAction", "Open Capture History")},
    {"pinFromClipboard", QT_TRANSLATE_NOOP("HotKeyAction", "Pin Image from Clipboard")},
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
    return QCoreApplication::translate("HotKeyAction", actionNames.at(position(action)).title);
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
