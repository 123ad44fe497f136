// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopIconHider.h"

#include "DesktopAppearance.h"
#include "FloatingWindow.h"
#include "Service.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace vantrel {

DesktopCover::DesktopCover(QScreen* screen)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput
            | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("Vantrel Desktop Cover"));
    setScreen(screen);
    setGeometry(screen->geometry());

    DesktopAppearance* appearance = Service<DesktopAppearance>::find();
    if (appearance) {
        m_wallpaper = appearance->wallpaper(screen);
        if (m_wallpaper && m_wallpaper->isNull())
            m_wallpaper.reset();
    }
    // Without a readable wallpaper: the desktop's colour, else the theme's window colour, which
    // only a desktop that hides both its picture and its colour from us ever sees.
    const std::optional<QColor> colour = appearance ? appearance->backgroundColor(screen) : std::nullopt;
    m_fill = m_wallpaper ? QColor(Qt::black) : colour.value_or(palette().color(QPalette::Window));
    keepBelowWindowsOnEveryWorkspace(this);
}

void DesktopCover::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_fill);
    if (!m_wallpaper)
        return;
    // Aspect fill: cover the whole screen, centred, cutting what overflows.
    const QSizeF target = rect().size();
    QSizeF scaled = QSizeF(m_wallpaper->size()).scaled(target, Qt::KeepAspectRatioByExpanding);
    const QRectF where((target.width() - scaled.width()) / 2, (target.height() - scaled.height()) / 2, scaled.width(),
        scaled.height());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(where, *m_wallpaper);
}

DesktopIconHider& DesktopIconHider::shared()
{
    static DesktopIconHider instance;
    return instance;
}

DesktopIconHider::~DesktopIconHider()
{
    // The single instance ends with the process, after the application object: widgets can no
    // longer be deleted then. The orderly quit has removed the covers already.
    if (QCoreApplication::instance())
        removeCovers();
}

std::vector<DesktopCover*> DesktopIconHider::windows() const
{
    std::vector<DesktopCover*> result;
    for (const QPointer<DesktopCover>& window : m_windows) {
        if (window)
            result.push_back(window.data());
    }
    return result;
}

void DesktopIconHider::removeCovers()
{
    for (const QPointer<DesktopCover>& window : m_windows)
        delete window.data();
    m_windows.clear();
}

void DesktopIconHider::apply()
{
    for (const QPointer<DesktopCover>& window : m_windows) {
        if (window) {
            window->hide();
            window->deleteLater();
        }
    }
    m_windows.clear();
    if (!Settings::shared().hideDesktopIcons())
        return;
    for (QScreen* screen : QGuiApplication::screens()) {
        auto* cover = new DesktopCover(screen);
        cover->show();
        m_windows.emplace_back(cover);
    }
}

} // namespace vantrel
