// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// Lowers the calling thread's scheduling priority (nice 10 for it alone), for background work
// that should give way to what the user is waiting for on a busy machine, yet still get a fair
// share (nice 19 would starve it for many seconds behind a build). It cannot be undone without
// privileges: call it only on a thread that does background work from then on.
void lowerCurrentThreadPriority();

} // namespace vantrel
