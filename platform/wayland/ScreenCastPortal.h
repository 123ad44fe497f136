// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>

namespace vantrel::wayland {

// How the desktop shows the pointer in a screen-cast stream (the portal's bit values).
enum class CastCursor : uint {
    hidden = 1,
    embedded = 2, // drawn into the picture
    metadata = 4, // sent beside the picture, for the reader to draw
};

// The pointer mode to ask for, from the modes the desktop offers (a bit set of CastCursor):
// the pointer drawn in by the desktop where it can, else sent beside the picture; none when
// it is not to be shown.
CastCursor chooseCursorMode(uint available, bool showCursor);

// What the portal shared: a stream of one monitor and a connection to PipeWire to read it.
struct ScreenCastGrant
{
    QString session; // the portal session's object path; closing it ends the sharing
    QDBusUnixFileDescriptor pipewire; // the connection to PipeWire
    uint32_t node = 0;
    std::optional<QPoint> position; // the monitor's place in the desktop's layout, logical pixels
    std::optional<QSize> size; // the monitor's logical size
    CastCursor cursor = CastCursor::hidden;
};

// Asks org.freedesktop.portal.ScreenCast, on the main thread and without blocking it, to
// share the monitor of `screenGeometry` (logical pixels), with the pointer as `showCursor`
// says. The permission is asked to persist: the token the desktop gives back is kept in the
// preference store and sent with the next request, so the desktop asks once.
class ScreenCastPortal
{
public:
    using Completion = std::function<void(Expected<ScreenCastGrant>)>;

    explicit ScreenCastPortal(QDBusConnection bus);

    void request(const QRect& screenGeometry, bool showCursor, Completion completion);
    // Ends a shared session (the desktop stops its stream).
    static void close(const QDBusConnection& bus, const QString& session);

    // The preference key that keeps the desktop's restore token.
    static const char* restoreTokenKey();

private:
    QDBusConnection m_bus;
};

// Follows the Closed signal of a portal session, which a desktop sends when the user stops the
// sharing from its own controls.
class PortalSessionWatch : public QObject
{
    Q_OBJECT
public:
    PortalSessionWatch(const QDBusConnection& bus, const QString& session, std::function<void()> closed);
    ~PortalSessionWatch() override;

public Q_SLOTS:
    void handleClosed();

private:
    QDBusConnection m_bus;
    QString m_session;
    std::function<void()> m_closed;
};

} // namespace vantrel::wayland
