// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowPlacement.h"

#include "FocusService.h"
#include "Service.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vantrel {

void centreOnScreenUnderPointer(QWidget* window)
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

void bringToFront(QWidget* window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    // Window managers may refuse a request from a process the user did not just click (a reopen
    // arrives from another launch of Vantrel); a pager's request is honoured.
    if (FocusService* focus = Service<FocusService>::find())
        focus->activate(window->winId());
}

} // namespace vantrel
