// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemLog.h"

#include <cstdio>

namespace vantrel {

namespace {
SystemLogSink& sink()
{
    static SystemLogSink current;
    return current;
}
} // namespace

void systemLog(const QString& line)
{
    if (sink()) {
        sink()(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
    std::fflush(stderr);
}

void setSystemLogSink(SystemLogSink newSink)
{
    sink() = std::move(newSink);
}

} // namespace vantrel
