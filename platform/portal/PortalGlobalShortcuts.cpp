// SPDX-License-Identifier: GPL-3.0-or-later
#include "portal/PortalGlobalShortcuts.h"

#include "KeyCodes.h"
#include "KeyboardLayout.h"
#include "SystemLog.h"
#include "portal/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QTimer>

#include <xkbcommon/xkbcommon.h>

namespace vantrel {

namespace {

const QString interfaceName = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
// Making a session shows nothing; binding may show the user a dialog that waits for an answer.
constexpr int sessionTimeoutMs = 10000;
constexpr int bindTimeoutMs = 180000;

// One entry of BindShortcuts' a(sa{sv}): the shortcut's name and its properties.
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

// Keys whose keysym name does not follow from a printed character, by stored key code.
constexpr std::pair<quint32, const char*> namedKeys[] = {
    {36, "Return"},
    {48, "Tab"},
    {49, "space"},
    {51, "BackSpace"},
    {53, "Escape"},
    {114, "Insert"},
    {115, "Home"},
    {116, "Page_Up"},
    {117, "Delete"},
    {119, "End"},
    {121, "Page_Down"},
    {123, "Left"},
    {124, "Right"},
    {125, "Down"},
    {126, "Up"},
    {122, "F1"},
    {120, "F2"},
    {99, "F3"},
    {118, "F4"},
    {96, "F5"},
    {97, "F6"},
    {98, "F7"},
    {100, "F8"},
    {101, "F9"},
    {109, "F10"},
    {103, "F11"},
    {111, "F12"},
    {105, "F13"},
    {107, "F14"},
    {113, "F15"},
    {76, "KP_Enter"},
    {71, "Clear"},
    {keycodes::evdevFlag + 99, "Print"},
    {keycodes::evdevFlag + 119, "Pause"},
    {keycodes::evdevFlag + 70, "Scroll_Lock"},
};

QString keysymName(quint32 keyCode, KeyboardLayout* layout)
{
    for (const auto& [code, name] : namedKeys) {
        if (code == keyCode)
            return QString::fromLatin1(name);
    }
    if (!layout)
        return {};
    const std::optional<QString> character = layout->character(keyCode);
    if (!character || character->isEmpty())
        return {};
    // Unshifted, as the key is written in a trigger: "s", "1", "minus", "eacute".
    const QList<uint> points = character->toLower().toUcs4();
    if (points.size() != 1)
        return {};
    const xkb_keysym_t sym = xkb_utf32_to_keysym(points.first());
    if (sym == XKB_KEY_NoSymbol)
        return {};
    char name[64];
    if (xkb_keysym_get_name(sym, name, sizeof name) <= 0)
        return {};
    return QString::fromLatin1(name);
}

// Shortcut name → the desktop's words for its keys, from an a(sa{sv}) as a response or signal
// carries it.
std::map<QString, QString> triggerDescriptions(const QVariant& list)
{
    QList<PortalShortcut> shortcuts;
    if (list.canConvert<QDBusArgument>())
        list.value<QDBusArgument>() >> shortcuts;
    else
        shortcuts = list.value<QList<PortalShortcut>>();
    std::map<QString, QString> triggers;
    for (const PortalShortcut& shortcut : shortcuts)
        triggers[shortcut.id] = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
    return triggers;
}

QString describe(const Expected<portal::Response>& answer)
{
    if (!answer)
        return answer.error().description;
    return answer->code == 1 ? QStringLiteral("cancelled") : QStringLiteral("response %1").arg(answer->code);
}

} // namespace

} // namespace vantrel

Q_DECLARE_METATYPE(vantrel::PortalShortcut)

namespace vantrel {

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus, KeyboardLayout* layout, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_layout(layout)
    , m_watcher(QString::fromLatin1(portal::desktopService), m_bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    // QtDBus finds the slot's parameter types by name, which only registered types have.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // The user changed the keys in the desktop's own settings.
    m_bus.connect(QString::fromLatin1(portal::desktopService), QString::fromLatin1(portal::desktopPath), interfaceName,
        QStringLiteral("ShortcutsChanged"), this, SLOT(handleShortcutsChanged(QDBusMessage)));
    const bool following = m_bus.connect(QString::fromLatin1(portal::desktopService),
        QString::fromLatin1(portal::desktopPath), interfaceName, QStringLiteral("Activated"), this,
        SLOT(handleActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    if (m_bus.isConnected() && !following)
        systemLog(QStringLiteral("Vantrel: cannot follow the shortcut portal's presses"));
    connect(
        &m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &PortalGlobalShortcuts::handlePortalOwnerChanged);
    lookForPortal();
}

PortalGlobalShortcuts::~PortalGlobalShortcuts()
{
    // Whoever listens may be going too: the session ends without telling anyone.
    m_triggersChanged = nullptr;
    m_pressHandler = nullptr;
    closeSession();
}

QString PortalGlobalShortcuts::triggerText(quint32 keyCode, quint32 modifiers, KeyboardLayout* layout)
{
    const QString key = keysymName(keyCode, layout);
    if (key.isEmpty())
        return {};
    QString text;
    if (modifiers & 4096)
        text += QStringLiteral("CTRL+");
    if (modifiers & 2048)
        text += QStringLiteral("ALT+");
    if (modifiers & 512)
        text += QStringLiteral("SHIFT+");
    if (modifiers & 256)
        text += QStringLiteral("LOGO+");
    return text + key;
}

void PortalGlobalShortcuts::describeHotKey(quint32 identifier, const QString& name, const QString& description)
{
    m_names[identifier] = {name, description};
}

std::optional<GlobalHotKeys::Reference> PortalGlobalShortcuts::registerHotKey(
    quint32 keyCode, quint32 modifiers, quint32 identifier)
{
    // Accepted at once: whether the desktop binds it is known later, for all of them together.
    m_triggers[identifier] = triggerText(keyCode, modifiers, m_layout);
    scheduleBind();
    return Reference(identifier);
}

void PortalGlobalShortcuts::unregisterHotKey(Reference reference)
{
    if (m_triggers.erase(quint32(reference)))
        scheduleBind();
}

void PortalGlobalShortcuts::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void PortalGlobalShortcuts::lookForPortal()
{
    const quint64 generation = m_generation;
    portal::readInterfaceVersion(this, m_bus, interfaceName, [this, generation](std::optional<uint> version) {
        if (generation != m_generation)
            return; // a newer portal is being asked
        m_portalPresent = version.has_value();
        if (!m_portalPresent) {
            systemLog(QStringLiteral("Vantrel: the desktop has no global shortcut portal; bind \"vantrel --action "
                                     "NAME\" in its keyboard settings"));
            setState(State::absent);
            return;
        }
        bind();
        // Nothing to bind yet (no stored shortcut): the portal is there for the next one.
        if (m_state == State::looking)
            setState(State::bound);
    });
}

void PortalGlobalShortcuts::scheduleBind()
{
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        bind();
    });
}

void PortalGlobalShortcuts::closeSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(QString::fromLatin1(portal::desktopService), m_session, sessionInterface, QStringLiteral("Closed"),
        this, SLOT(handleSessionClosed(QVariantMap)));
    // Nobody waits for the answer: a portal that is gone has closed it anyway.
    m_bus.send(QDBusMessage::createMethodCall(
        QString::fromLatin1(portal::desktopService), m_session, sessionInterface, QStringLiteral("Close")));
    m_session.clear();
    setBoundTriggers({});
}

void PortalGlobalShortcuts::bind()
{
    // One bind at a time; the one under way looks again when it is done.
    if (!m_portalPresent || m_binding)
        return;
    std::map<quint32, Wanted> wanted;
    for (const auto& [identifier, trigger] : m_triggers) {
        const auto names = m_names.find(identifier);
        if (names != m_names.end())
            wanted[identifier] = {names->second.first, names->second.second, trigger};
    }
    // Released while the user records a new shortcut: the session stays, presses stop (see
    // handleActivated). The same set again (or one the user refused) is not proposed again.
    if (wanted.empty() || wanted == m_proposed)
        return;

    closeSession();
    m_proposed = std::move(wanted);
    m_binding = true;
    const quint64 generation = ++m_generation;
    setState(State::binding);
    const QVariantMap options {{QStringLiteral("session_handle_token"), portal::newToken("shortcuts")}};
    portal::call(this, m_bus, interfaceName, QStringLiteral("CreateSession"), {options}, sessionTimeoutMs,
        [this, generation](Expected<portal::Response> created) {
            if (generation != m_generation)
                return;
            // Portals before version 2 of the interface answer the handle as a string.
            const QVariant handle = created ? created->results.value(QStringLiteral("session_handle")) : QVariant();
            const QString session
                = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
            if (!created || created->code != 0 || session.isEmpty()) {
                systemLog(QStringLiteral("Vantrel: the desktop's shortcut portal made no session (%1)")
                              .arg(created && created->code == 0 ? QStringLiteral("no handle") : describe(created)));
                finishBind(generation, State::refused);
                return;
            }
            m_session = session;
            m_bus.connect(QString::fromLatin1(portal::desktopService), m_session, sessionInterface,
                QStringLiteral("Closed"), this, SLOT(handleSessionClosed(QVariantMap)));
            bindInSession(session, generation);
        });
}

void PortalGlobalShortcuts::bindInSession(const QString& session, quint64 generation)
{
    QList<PortalShortcut> shortcuts;
    for (const auto& [identifier, wanted] : m_proposed) {
        QVariantMap properties {{QStringLiteral("description"), wanted.description}};
        if (!wanted.trigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), wanted.trigger);
        shortcuts.append({wanted.name, properties});
    }
    // No parent window: Vantrel binds at start-up and from the tray, without a window of its own.
    portal::call(this, m_bus, interfaceName, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(shortcuts), QString(), QVariantMap()},
        bindTimeoutMs, [this, generation](Expected<portal::Response> bound) {
            if (generation != m_generation)
                return;
            if (!bound || bound->code != 0) {
                systemLog(
                    QStringLiteral("Vantrel: the desktop did not bind the global shortcuts (%1)").arg(describe(bound)));
                closeSession();
                finishBind(generation, State::refused);
                return;
            }
            setBoundTriggers(triggerDescriptions(bound->results.value(QStringLiteral("shortcuts"))));
            systemLog(QStringLiteral("Vantrel: %1 global shortcuts bound through the desktop's portal")
                          .arg(m_proposed.size()));
            finishBind(generation, State::bound);
        });
}

void PortalGlobalShortcuts::finishBind(quint64 generation, State state)
{
    if (generation != m_generation)
        return;
    m_binding = false;
    setState(state);
    // Shortcuts changed while the desktop was asked: propose the new set.
    scheduleBind();
}

void PortalGlobalShortcuts::handleActivated(
    const QDBusObjectPath& session, const QString& shortcutId, qulonglong, const QVariantMap&)
{
    if (m_session.isEmpty() || session.path() != m_session || m_state != State::bound || !m_pressHandler)
        return;
    for (const auto& [identifier, wanted] : m_proposed) {
        // Only what is registered now: nothing runs while every shortcut is released.
        if (wanted.name == shortcutId && m_triggers.count(identifier)) {
            m_pressHandler(identifier);
            return;
        }
    }
}

void PortalGlobalShortcuts::setBoundTriggers(std::map<QString, QString> triggers)
{
    if (triggers == m_boundTriggers)
        return;
    m_boundTriggers = std::move(triggers);
    if (m_triggersChanged)
        m_triggersChanged();
}

QString PortalGlobalShortcuts::boundTrigger(quint32 identifier) const
{
    const auto proposed = m_proposed.find(identifier);
    if (proposed == m_proposed.end() || !m_triggers.count(identifier))
        return {};
    const auto trigger = m_boundTriggers.find(proposed->second.name);
    return trigger != m_boundTriggers.end() ? trigger->second : QString();
}

void PortalGlobalShortcuts::handleShortcutsChanged(const QDBusMessage& message)
{
    const QVariantList arguments = message.arguments();
    if (m_state != State::bound || arguments.size() < 2 || arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    setBoundTriggers(triggerDescriptions(arguments.at(1)));
}

void PortalGlobalShortcuts::handleSessionClosed(const QVariantMap&)
{
    // The desktop ended the session (the user revoked the shortcuts): they no longer work. A
    // changed shortcut proposes them again.
    systemLog(QStringLiteral("Vantrel: the desktop closed the global shortcut session"));
    m_bus.disconnect(QString::fromLatin1(portal::desktopService), m_session, sessionInterface, QStringLiteral("Closed"),
        this, SLOT(handleSessionClosed(QVariantMap)));
    m_session.clear();
    setBoundTriggers({});
    if (!m_binding)
        setState(State::refused);
}

void PortalGlobalShortcuts::handlePortalOwnerChanged(const QString&, const QString&, const QString& newOwner)
{
    // The portal's sessions died with it; whatever it was asked will never be answered.
    ++m_generation;
    m_binding = false;
    if (!m_session.isEmpty()) {
        m_bus.disconnect(QString::fromLatin1(portal::desktopService), m_session, sessionInterface,
            QStringLiteral("Closed"), this, SLOT(handleSessionClosed(QVariantMap)));
        m_session.clear();
    }
    setBoundTriggers({});
    m_proposed.clear();
    m_portalPresent = false;
    if (newOwner.isEmpty()) {
        systemLog(QStringLiteral("Vantrel: the desktop portal went away; global shortcuts are off until it returns"));
        setState(State::absent);
        return;
    }
    // A portal took the name: bind again there, if it offers global shortcuts.
    setState(State::looking);
    lookForPortal();
}

} // namespace vantrel
