// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantrel {

void lowerCurrentThreadPriority()
{
    // On Linux a nice value belongs to a thread, named by its thread id. Failure only means the
    // work competes at normal priority, so it is not reported.
    static_cast<void>(::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10));
}

} // namespace vantrel
