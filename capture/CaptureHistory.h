// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// Every capture kept for the chosen number of days, as files with a list file.
class CaptureHistory
{
public:
    // Made on first use; making it loads the list file.
    static CaptureHistory& shared();

private:
    CaptureHistory();
};

} // namespace vantrel
