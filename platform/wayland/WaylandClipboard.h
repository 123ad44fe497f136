// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clipboard.h"

namespace vantrel {

// A Wayland compositor takes the clipboard only from a client one of whose surfaces has the
// keyboard focus. A copy made while Vantrel has a focused window (the overlay, the editor)
// goes straight through Qt; otherwise a one-pixel window of Vantrel's takes the focus for the
// moment of the copy.
class WaylandClipboard : public QtClipboard
{
public:
    void write(const ClipboardContents& contents) override;
};

} // namespace vantrel
