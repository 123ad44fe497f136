// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantrel {

// Every user-visible capture command. The order is the listing order and fixes the number of
// each global shortcut; the raw value is what settings and menus store.
enum class HotKeyAction {
    allInOne,
    captureArea,
    capturePreviousArea,
    captureFullscreen,
    captureWindow,
    selfTimer,
    scrollingCapture,
    captureText,
    recordScreen,
    openHistory,
    pinFromClipboard,
};

inline constexpr std::array<HotKeyAction, 11> allHotKeyActions = {
    HotKeyAction::allInOne,
    HotKeyAction::captureArea,
    HotKeyAction::capturePreviousArea,
    HotKeyAction::captureFullscreen,
    HotKeyAction::captureWindow,
    HotKeyAction::selfTimer,
    HotKeyAction::scrollingCapture,
    HotKeyAction::captureText,
    HotKeyAction::recordScreen,
    HotKeyAction::openHistory,
    HotKeyAction::pinFromClipboard,
};

QString rawValue(HotKeyAction action);
QString title(HotKeyAction action);
std::optional<HotKeyAction> hotKeyActionFromRaw(const QString& raw);
// Position in the listing order (0 for allInOne … 10 for pinFromClipboard).
int position(HotKeyAction action);

// Format of saved screenshots; the raw value is also the file extension.
enum class ImageFormat {
    png,
    jpg,
};

QString rawValue(ImageFormat format);
// "jpg" gives jpg; anything else, capitals included, gives png.
ImageFormat imageFormatFromRaw(const QString& raw);

// Screen corner of the quick access thumbnails.
enum class OverlayCorner {
    left,
    right,
};

QString rawValue(OverlayCorner corner);
// "right" gives right; anything else gives left.
OverlayCorner overlayCornerFromRaw(const QString& raw);

} // namespace vantrel
