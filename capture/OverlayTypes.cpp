// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayTypes.h"

#include <QCoreApplication>

namespace vantrel {

bool hasBar(OverlayPurpose purpose)
{
    return purpose == OverlayPurpose::allInOne || purpose == OverlayPurpose::record
        || purpose == OverlayPurpose::scrolling;
}

bool offersWindowMode(OverlayPurpose purpose)
{
    return purpose == OverlayPurpose::screenshot || purpose == OverlayPurpose::allInOne
        || purpose == OverlayPurpose::record || purpose == OverlayPurpose::window;
}

bool freezesScreen(OverlayPurpose purpose)
{
    return purpose == OverlayPurpose::screenshot || purpose == OverlayPurpose::ocr
        || purpose == OverlayPurpose::allInOne || purpose == OverlayPurpose::window;
}

bool startsInWindowMode(OverlayPurpose purpose)
{
    return purpose == OverlayPurpose::window;
}

OverlayAction defaultAction(OverlayPurpose purpose)
{
    switch (purpose) {
    case OverlayPurpose::screenshot: return OverlayAction::screenshot;
    case OverlayPurpose::ocr: return OverlayAction::ocr;
    case OverlayPurpose::selfTimer: return OverlayAction::selfTimer;
    case OverlayPurpose::allInOne: return OverlayAction::screenshot;
    case OverlayPurpose::record: return OverlayAction::recordVideo;
    case OverlayPurpose::scrolling: return OverlayAction::scrolling;
    case OverlayPurpose::window: return OverlayAction::screenshot;
    }
    return OverlayAction::screenshot;
}

QString areaHint(OverlayPurpose purpose)
{
    switch (purpose) {
    case OverlayPurpose::ocr:
        return QCoreApplication::translate("vantrel::OverlayView", "Select an area to recognize text");
    case OverlayPurpose::selfTimer:
        return QCoreApplication::translate(
            "vantrel::OverlayView", "Select an area — the timer starts after you release");
    case OverlayPurpose::allInOne:
        return QCoreApplication::translate(
            "vantrel::OverlayView", "Drag to select an area  ·  Space: window mode  ·  Esc: cancel");
    case OverlayPurpose::record:
        return QCoreApplication::translate(
            "vantrel::OverlayView", "Drag to select an area to record  ·  Space: window  ·  Esc: cancel");
    case OverlayPurpose::scrolling:
        return QCoreApplication::translate("vantrel::OverlayView", "Select the scrollable area");
    case OverlayPurpose::screenshot:
    case OverlayPurpose::window: return QString();
    }
    return QString();
}

QString windowModeHint()
{
    return QCoreApplication::translate(
        "vantrel::OverlayView", "Click a window to capture it  ·  Space: area mode  ·  Esc: cancel");
}

} // namespace vantrel
