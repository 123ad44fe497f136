// SPDX-License-Identifier: GPL-3.0-or-later
#include "HotKeys.h"

#include "KeyboardLayout.h"
#include "Service.h"
#include "Settings.h"
#include "SystemLog.h"

#include <QMetaObject>
#include <QPointer>

#include <array>
#include <utility>

namespace vantrel {

namespace {

constexpr std::array<std::pair<quint32, const char16_t*>, 21> fixedNames = {{
    {36, u"↩"},
    {48, u"⇥"},
    {49, u"Space"},
    {51, u"⌫"},
    {53, u"⎋"},
    {123, u"←"},
    {124, u"→"},
    {125, u"↓"},
    {126, u"↑"},
    {122, u"F1"},
    {120, u"F2"},
    {99, u"F3"},
    {118, u"F4"},
    {96, u"F5"},
    {97, u"F6"},
    {98, u"F7"},
    {100, u"F8"},
    {101, u"F9"},
    {109, u"F10"},
    {103, u"F11"},
    {111, u"F12"},
}};

QString fixedName(quint32 keyCode)
{
    for (const auto& [code, name] : fixedNames) {
        if (code == keyCode)
            return QString::fromUtf16(name);
    }
    return {};
}

// The keys that comboLabel shows as glyphs, and the keys without a virtual code (stored as
// 0x10000 + their evdev code), as Linux desktops name them.
constexpr std::array<std::pair<quint32, const char16_t*>, 12> linuxNames = {{
    {36, u"Enter"},
    {48, u"Tab"},
    {51, u"Backspace"},
    {53, u"Esc"},
    {117, u"Delete"},
    {123, u"Left"},
    {124, u"Right"},
    {125, u"Down"},
    {126, u"Up"},
    {0x10000 + 99, u"Print"},
    {0x10000 + 119, u"Pause"},
    {0x10000 + 70, u"Scroll Lock"},
}};

} // namespace

QString keyName(quint32 keyCode)
{
    const QString fixed = fixedName(keyCode);
    if (!fixed.isEmpty())
        return fixed;
    KeyboardLayout* layout = Service<KeyboardLayout>::find();
    const std::optional<QString> character = layout ? layout->character(keyCode) : std::nullopt;
    if (!character)
        return QStringLiteral("?");
    return character->toUpper();
}

QString comboLabel(const KeyCombo& combo)
{
    QString label;
    if (combo.modifiers & KeyCombo::control)
        label += QStringLiteral("⌃");
    if (combo.modifiers & KeyCombo::option)
        label += QStringLiteral("⌥");
    if (combo.modifiers & KeyCombo::shift)
        label += QStringLiteral("⇧");
    if (combo.modifiers & KeyCombo::command)
        label += QStringLiteral("⌘");
    return label + keyName(combo.keyCode);
}

QString shortcutText(const KeyCombo& combo)
{
    QString text;
    if (combo.modifiers & KeyCombo::control)
        text += QStringLiteral("Ctrl+");
    if (combo.modifiers & KeyCombo::option)
        text += QStringLiteral("Alt+");
    if (combo.modifiers & KeyCombo::shift)
        text += QStringLiteral("Shift+");
    if (combo.modifiers & KeyCombo::command)
        text += QStringLiteral("Super+");
    for (const auto& [code, name] : linuxNames) {
        if (code == combo.keyCode)
            return text + QString::fromUtf16(name);
    }
    return text + keyName(combo.keyCode);
}

HotKeyManager& HotKeyManager::shared()
{
    // Tests put their own manager, bound to their own settings, in the slot.
    if (HotKeyManager* installed = Service<HotKeyManager>::find())
        return *installed;
    static HotKeyManager* instance = new HotKeyManager;
    return *instance;
}

HotKeyManager::HotKeyManager(QObject* parent)
    : QObject(parent)
{
    connect(&Settings::shared(), &Settings::hotKeysWritten, this, &HotKeyManager::registerAll);
}

HotKeyManager::~HotKeyManager()
{
    if (GlobalHotKeys* service = Service<GlobalHotKeys>::find()) {
        for (GlobalHotKeys::Reference ref : m_refs)
            service->unregisterHotKey(ref);
    }
}

void HotKeyManager::registerAll()
{
    GlobalHotKeys* service = Service<GlobalHotKeys>::find();
    if (!service)
        return;
    if (!m_installed) {
        QPointer<HotKeyManager> self(this);
        service->setPressHandler([self](quint32 identifier) {
            if (self)
                self->handlePress(identifier);
        });
        // A new keyboard mapping may move modifiers: grab everything afresh.
        service->setKeymapChangedHandler([self] {
            if (self)
                self->registerAll();
        });
        service->setBoundTriggersChangedHandler([self] {
            if (self)
                Q_EMIT self->desktopTriggersChanged();
        });
        m_installed = true;
    }
    for (GlobalHotKeys::Reference ref : m_refs)
        service->unregisterHotKey(ref);
    m_refs.clear();
    m_idToAction.clear();
    if (m_suspended)
        return;

    const HotKeyMap& hotKeys = Settings::shared().hotKeys();
    for (HotKeyAction action : allHotKeyActions) {
        const auto entry = hotKeys.find(rawValue(action));
        if (entry == hotKeys.end())
            continue;
        const quint32 number = static_cast<quint32>(position(action)) + 1;
        service->describeHotKey(number, rawValue(action), title(action));
        const auto ref = service->registerHotKey(entry->second.keyCode, entry->second.modifiers, number);
        if (ref) {
            m_refs.push_back(*ref);
            m_idToAction[number] = action;
        } else {
            systemLog(QStringLiteral("Vantrel: could not register hotkey ") + comboLabel(entry->second)
                + QStringLiteral(" for ") + title(action));
        }
    }
}

QString HotKeyManager::desktopTrigger(HotKeyAction action) const
{
    const GlobalHotKeys* service = Service<GlobalHotKeys>::find();
    const quint32 number = static_cast<quint32>(position(action)) + 1;
    return service && m_idToAction.count(number) ? service->boundTrigger(number) : QString();
}

void HotKeyManager::handlePress(quint32 identifier)
{
    const auto it = m_idToAction.find(identifier);
    if (it == m_idToAction.end())
        return;
    const HotKeyAction action = it->second;
    // Deferred to the next turn of the event loop, so the action never runs inside the
    // desktop's event dispatch.
    QMetaObject::invokeMethod(
        this,
        [this, action] {
            if (m_handler)
                m_handler(action);
        },
        Qt::QueuedConnection);
}

} // namespace vantrel
