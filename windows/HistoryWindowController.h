// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

class QWidget;

namespace vantrel {

class HistoryView;

// The capture history window: one for the process, made on the first show and kept (hidden)
// when closed, so it comes back with the filter and scroll position it had.
class HistoryWindowController
{
public:
    static constexpr QSize contentSize {820, 560}; // points

    // Prunes the history (captures past `historyDays` go), makes the window the first time
    // ("Capture History", 820 × 560 points, centred), and brings it to the front with the
    // keyboard.
    static void show();

    // The window and its content, once made.
    static QWidget* window();
    static HistoryView* view();
};

} // namespace vantrel
