// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GlobalHotKeys.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QVariantMap>

#include <map>

namespace vantrel {

class KeyboardLayout;

// Global shortcuts through the desktop's GlobalShortcuts portal. Vantrel proposes each shortcut
// with its name, description and stored keys as the preferred trigger; the desktop binds them
// (it may ask the user, or keep keys the user chose there before) and reports presses through
// the Activated signal. Nothing here waits for the bus: the portal is looked for, sessions are
// made and shortcuts bound in the background, and `stateChanged` tells the outcome.
//
// Registrations made in one turn of the event loop are bound together in one session; a
// changed set is bound in a new session. An empty set (every shortcut released while the user
// records a new one) keeps the session and only stops presses. When the portal restarts, its
// sessions are gone: the shortcuts are bound again with the one that took its place.
class PortalGlobalShortcuts : public QObject, public GlobalHotKeys
{
    Q_OBJECT
public:
    enum class State {
        looking, // asking the bus whether the desktop's portal has the interface
        absent, // no portal, or one without global shortcuts (or it went away)
        binding, // a session is being made and the shortcuts proposed
        bound, // the desktop holds the shortcuts; presses arrive
        refused, // the desktop or the user refused them, or the portal failed
    };

    PortalGlobalShortcuts(QDBusConnection bus, KeyboardLayout* layout, QObject* parent = nullptr);
    ~PortalGlobalShortcuts() override;

    // The portal's trigger notation for stored keys ("SHIFT+LOGO+s"): modifiers, then the
    // key's xkb keysym name in the user's layout. Empty when the key has no name there; the
    // desktop then picks keys itself.
    static QString triggerText(quint32 keyCode, quint32 modifiers, KeyboardLayout* layout);

    void describeHotKey(quint32 identifier, const QString& name, const QString& description) override;
    std::optional<Reference> registerHotKey(quint32 keyCode, quint32 modifiers, quint32 identifier) override;
    void unregisterHotKey(Reference reference) override;
    void setPressHandler(PressHandler handler) override { m_pressHandler = std::move(handler); }
    void setKeymapChangedHandler(std::function<void()>) override { }
    QString boundTrigger(quint32 identifier) const override;
    void setBoundTriggersChangedHandler(std::function<void()> handler) override
    {
        m_triggersChanged = std::move(handler);
    }

    State state() const { return m_state; }
    // How the desktop shows the keys it bound, by shortcut name (its own words, e.g.
    // "Shift+Meta+S"); empty until bound.
    const std::map<QString, QString>& boundTriggers() const { return m_boundTriggers; }

Q_SIGNALS:
    void stateChanged(vantrel::PortalGlobalShortcuts::State state);

private Q_SLOTS:
    void handleActivated(
        const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp, const QVariantMap& options);
    void handleSessionClosed(const QVariantMap& details);
    void handleShortcutsChanged(const QDBusMessage& message);
    void handlePortalOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    struct Wanted
    {
        QString name;
        QString description;
        QString trigger;
        bool operator==(const Wanted&) const = default;
    };

    void lookForPortal();
    void scheduleBind();
    void bind();
    void bindInSession(const QString& session, quint64 generation);
    void finishBind(quint64 generation, State state);
    void closeSession();
    void setState(State state);
    void setBoundTriggers(std::map<QString, QString> triggers);

    QDBusConnection m_bus;
    KeyboardLayout* m_layout;
    std::map<quint32, std::pair<QString, QString>> m_names; // identifier → name, description
    std::map<quint32, QString> m_triggers; // identifier → preferred trigger, while registered
    std::map<quint32, Wanted> m_proposed; // what the last bind proposed, bound or not
    std::map<QString, QString> m_boundTriggers;
    QString m_session;
    State m_state = State::looking;
    bool m_portalPresent = false;
    bool m_bindScheduled = false;
    bool m_binding = false;
    // Moves on with each bind and each new portal, so that late answers of an older one are
    // told apart and dropped.
    quint64 m_generation = 0;
    QDBusServiceWatcher m_watcher;
    PressHandler m_pressHandler;
    std::function<void()> m_triggersChanged;
};

} // namespace vantrel
