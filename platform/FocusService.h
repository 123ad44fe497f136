// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

namespace vantrel {

// Lets the selection overlay take keyboard focus and hand it back afterwards to the
// application that had it. Windows are opaque handles of the windowing system.
class FocusService
{
public:
    virtual ~FocusService() = default;
    // The window in front, unless there is none or it belongs to Vantrel.
    virtual std::optional<quint64> frontmostOtherWindow() = 0;
    // Brings the window back to the front; does nothing when it has gone away meanwhile.
    virtual void activate(quint64 window) = 0;
    // Prepares Vantrel to take focus with its next window.
    virtual void activateSelf() = 0;
};

// Whether the windowing system lets Vantrel read the screen.
class CaptureAccess
{
public:
    virtual ~CaptureAccess() = default;
    virtual bool preflight() = 0;
    virtual bool request() = 0;
    // Whether the user can be asked at all: where reading the screen is never refused, no
    // window should show a permission the user has no way to give or take away.
    virtual bool canRefuse() const = 0;
};

// X11 lets every client read the screen: both questions answer yes.
class GrantedCaptureAccess : public CaptureAccess
{
public:
    bool preflight() override { return true; }
    bool request() override { return true; }
    bool canRefuse() const override { return false; }
};

} // namespace vantrel
