// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace vantrel {

// A short message that tells the user how an action went without taking focus.
struct ToastRequest
{
    QString text;
    QString symbol; // symbol name, e.g. "checkmark.circle.fill"; unknown names give an empty slot
    bool large = false; // a big centred word or number instead of the capsule
    bool spinner = false; // a spinning progress indicator instead of the symbol
    double duration = 1.6; // seconds on screen before the fade-out
};

// Whatever shows toasts: the panel of the running application, or a recorder in tests.
class ToastPresenter
{
public:
    virtual ~ToastPresenter() = default;
    virtual void show(const ToastRequest& request) = 0;
    // Removes the toast on screen at once, with any hide still pending for it.
    virtual void dismiss() { }
};

// Shows a toast through the installed presenter (main thread only). Without a presenter the
// text goes to the debug log, so command-line modes never fail on a toast.
void showToast(const ToastRequest& request);
void dismissToast();

} // namespace vantrel
