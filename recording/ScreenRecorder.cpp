// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenRecorder.h"

#include "SystemLog.h"

#include <QCoreApplication>
#include <QTimer>

namespace vantrel {

ScreenRecorder& ScreenRecorder::shared()
{
    static ScreenRecorder instance;
    return instance;
}

void ScreenRecorder::start(QScreen*, const QRectF&, bool)
{
    systemLog(QStringLiteral("Vantrel: the screen recorder is not built yet"));
}

void ScreenRecorder::stop()
{
    systemLog(QStringLiteral("Vantrel: the screen recorder is not built yet"));
}

void runRecordingBarPreview(QScreen*)
{
    systemLog(QStringLiteral("Vantrel: the recording control bar is not built yet; the preview quits in 4 s"));
    QTimer::singleShot(4000, qApp, &QCoreApplication::quit);
}

} // namespace vantrel
