// SPDX-License-Identifier: GPL-3.0-or-later
// Screens of real Qt widgets (a menu, a form dialog, a table, a settings page, a main window, a
// tree) drawn by Qt's Fusion style offscreen, with the lines a reader should get back. Unlike
// ScreenTextSamples, nobody here drew their frames, check boxes, arrows and spacing. Needs a
// QApplication.
#pragma once

#include "ScreenTextSamples.h"

namespace vantrel::samples {

// One screen of each kind in `font` at `pointSize` (at 96 dpi: 8 pt is 11 px, 10 pt about
// 13 px), in Fusion's light palette or a dark one. Family "widgets".
std::vector<ScreenTextSample> widgetScreens(const QString& font, double pointSize, bool dark);

} // namespace vantrel::samples
