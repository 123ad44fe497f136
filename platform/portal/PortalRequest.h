// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace vantrel::portal {

inline constexpr char desktopService[] = "org.freedesktop.portal.Desktop";
inline constexpr char desktopPath[] = "/org/freedesktop/portal/desktop";

// What a portal request answered: 0 success, 1 cancelled by the user, 2 anything else.
struct Response
{
    uint code = 2;
    QVariantMap results;
};

// A unique token for handle_token and session_handle_token options.
QString newToken(const char* prefix);

// Calls a portal method whose answer arrives later as the Response signal of a Request object.
// The signal is subscribed to on the request path that the handle token predicts before the
// call is sent, so a fast portal cannot answer into the void. `arguments` end with the options
// map, into which the handle token is put. The completion runs once on the main thread: with
// the response, or with an error when the call failed, the portal went away or `timeoutMs`
// passed (the user may be looking at a dialog: callers pass a generous time).
void call(const QDBusConnection& bus, const QString& interface, const QString& method, QVariantList arguments,
    int timeoutMs, std::function<void(Expected<Response>)> completion);
// The same, tied to `context`: when it is destroyed first, the request is forgotten (its timer,
// its signal subscription) and the completion never runs.
void call(QObject* context, const QDBusConnection& bus, const QString& interface, const QString& method,
    QVariantList arguments, int timeoutMs, std::function<void(Expected<Response>)> completion);

// The same, waiting in a local event loop for the answer.
Expected<Response> callAndWait(
    const QDBusConnection& bus, const QString& interface, const QString& method, QVariantList arguments, int timeoutMs);

// The version property of a portal interface; none when the desktop has no portal or the
// portal lacks that interface.
std::optional<uint> interfaceVersion(const QDBusConnection& bus, const QString& interface);

// The same without waiting: `completion` runs later on the main thread, unless `context` is
// destroyed first.
void readInterfaceVersion(QObject* context, const QDBusConnection& bus, const QString& interface,
    std::function<void(std::optional<uint>)> completion);

// Any property of a portal interface; none when it cannot be read.
std::optional<QVariant> property(const QDBusConnection& bus, const QString& interface, const QString& name);

// Turns what a response or signal carries (a plain value or an unread D-Bus argument) into a
// map of plain values, for the nested a{sv} of stream and shortcut descriptions.
QVariantMap plainMap(const QVariant& value);

// Receives one Response signal (for QtDBus' string-based connection).
class ResponseReceiver : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(uint, const QVariantMap&)>;
    explicit ResponseReceiver(Handler handler, QObject* parent = nullptr);
public Q_SLOTS:
    void handleResponse(uint code, const QVariantMap& results);

private:
    Handler m_handler;
};

} // namespace vantrel::portal
