// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QString>
#include <QtGlobal>

namespace vantrel {

struct KeyPress;

// Where the recording overlays go and how they behave over time. Rectangles are in points, y
// down: `screen` in global coordinates, `area` relative to the screen's top-left corner.
namespace overlaygeometry {

inline constexpr double keystrokeWidth = 360.0;
inline constexpr double keystrokeHeight = 56.0;
inline constexpr double keystrokeLift = 40.0; // the panel's bottom above the area's bottom
inline constexpr double keystrokeHold = 1.2; // seconds a key stays fully shown
inline constexpr double keystrokeFade = 0.3; // seconds it then takes to fade out

inline constexpr double bubbleSize = 180.0;
inline constexpr double bubbleMargin = 24.0; // from the area's right and bottom edges
inline constexpr double bubbleMinimum = 100.0;
inline constexpr double bubbleMaximum = 420.0;
inline constexpr double bubbleBorder = 3.0;

// The keystroke panel: centred on the area, its bottom 40 points above the area's bottom.
QRectF keystrokePanelRect(const QRectF& screen, const QRectF& area);
// The label's opacity `seconds` after the last key: 1 for 1.2 s, then down to 0 over 0.3 s.
double keystrokeOpacity(double seconds);
// What the panel shows for a key, written the way Linux desktops write shortcuts: the modifiers
// in the fixed order Ctrl, Alt, Shift, Super, then the key as shortcut labels name it, or by its
// keyboard-map name when it prints nothing ("Ctrl+Shift+4", "Super+Page Up").
QString keystrokeText(const KeyPress& press);

// The webcam bubble: 180 points square inside the area's bottom-right corner.
QRectF bubbleRect(const QRectF& screen, const QRectF& area);
// The bubble after a scroll of `delta` points: grown or shrunk by it, kept between 100 and 420
// points, square and centred where it was.
QRectF resizedBubble(const QRectF& bubble, double delta);

} // namespace overlaygeometry

} // namespace vantrel
