// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

namespace vantrel {

// Turns every capture command into a capture: one road from menu items and shortcuts alike.
class CaptureCoordinator
{
public:
    static CaptureCoordinator& shared();

    void perform(HotKeyAction action);
};

} // namespace vantrel
