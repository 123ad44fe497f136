// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace vantrel {

// Centres a window on the available area of the screen under the pointer (else the primary
// screen), at its current size.
void centreOnScreenUnderPointer(QWidget* window);

// Shows a window (restoring it when minimised), raises it and asks for keyboard focus, also when
// another application is in front.
void bringToFront(QWidget* window);

} // namespace vantrel
