// SPDX-License-Identifier: GPL-3.0-or-later
#include "wayland/WaylandClipboard.h"

#include "ChromeWindow.h"
#include "SystemLog.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace vantrel {

namespace {
constexpr int focusWaitMs = 1000;
}

void WaylandClipboard::write(const ClipboardContents& contents)
{
    if (QGuiApplication::focusWindow()) {
        QtClipboard::write(contents);
        return;
    }
    QWindow holder;
    holder.setFlags(Qt::FramelessWindowHint);
    holder.setTitle(QStringLiteral("Vantrel Clipboard"));
    holder.resize(1, 1);
    QEventLoop loop;
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &loop, [&](QWindow* window) {
        if (window == &holder)
            loop.quit();
    });
    QTimer::singleShot(focusWaitMs, &loop, &QEventLoop::quit);
    holder.show();
    if (QGuiApplication::focusWindow() != &holder)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (QGuiApplication::focusWindow() != &holder)
        systemLog(
            QStringLiteral("Vantrel: the desktop gave no focus for the copy; the clipboard may keep its old content"));
    QtClipboard::write(contents);
    // The compositor reads the request before the focus goes.
    QGuiApplication::sync();
}

} // namespace vantrel
