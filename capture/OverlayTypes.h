// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"
#include "ScreenGrabber.h"

#include <QRectF>
#include <QString>

#include <optional>
#include <variant>

class QScreen;

namespace vantrel {

// What the selection overlay was opened for.
enum class OverlayPurpose {
    screenshot,
    ocr,
    selfTimer,
    allInOne,
    record,
    scrolling,
    window,
};

// What the user chose to do with the selection.
enum class OverlayAction {
    screenshot,
    ocr,
    selfTimer,
    recordVideo,
    recordGIF,
    scrolling,
};

// The purposes whose selection stays editable behind a toolbar after the mouse is released.
bool hasBar(OverlayPurpose purpose);
// The purposes that may switch to window mode with Space, and so fetch the window list; none
// where the platform lists no windows.
bool offersWindowMode(OverlayPurpose purpose);
// The purposes that show a still picture of the screen while selecting (when the setting is on).
bool freezesScreen(OverlayPurpose purpose);
bool startsInWindowMode(OverlayPurpose purpose);
// The action of Return, a double click, and of releasing the mouse without a toolbar.
OverlayAction defaultAction(OverlayPurpose purpose);
// The hint shown in area mode before anything is selected; empty when there is none.
QString areaHint(OverlayPurpose purpose);
QString windowModeHint();

// What the overlay hands back: an area of one screen, or a window.
struct SelectionResult
{
    struct Area
    {
        QScreen* screen = nullptr;
        QRectF rect; // points, relative to the screen's top-left corner, integral and inside the screen
    };

    std::variant<Area, WindowInfo> target;
    OverlayAction action = OverlayAction::screenshot;
    std::optional<Capture> frozen; // the still picture of the selection's screen, when it was frozen
};

} // namespace vantrel
