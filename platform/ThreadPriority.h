// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// Gives the calling thread the lowest ordinary scheduling priority (nice 19 for it alone), for
// background work that must not slow what the user is waiting for on a busy machine. It cannot
// be undone without privileges: call it only on a thread that does background work from then on.
void lowerCurrentThreadPriority();

} // namespace vantrel
