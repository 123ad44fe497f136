// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChromeWindow.h"

#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

namespace vantrel {

void markAsChrome(QWidget* window)
{
    window->setProperty(chromeIdentifier, true);
    window->setWindowRole(QString::fromLatin1(chromeIdentifier));
}

bool isChrome(const QWidget* window)
{
    return window && window->property(chromeIdentifier).toBool();
}

QList<QWidget*> chromeWindows()
{
    QList<QWidget*> result;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && isChrome(widget))
            result.append(widget);
    }
    return result;
}

bool desktopIsCompositing()
{
    xcb_connection_t* c = x11::connection();
    if (!c)
        return true; // offscreen: nothing to shape
    const xcb_atom_t selection = x11::atom("_NET_WM_CM_S0");
    const auto reply = x11::reply(xcb_get_selection_owner_reply, c, xcb_get_selection_owner(c, selection));
    return reply && reply->owner != XCB_WINDOW_NONE;
}

bool fullScreenTranslucencyShowsDesktop()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return false;
    return desktopIsCompositing();
}

} // namespace vantrel
