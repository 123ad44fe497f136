// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GlobalHotKeys.h"
#include "KeyboardLayout.h"
#include "LoginItem.h"
#include "SystemLog.h"
#include "Toasts.h"

#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <vector>

namespace vantrel::test {

// Collects the system log lines written while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    const QStringList& lines() const { return m_lines; }

private:
    QStringList m_lines;
};

// Remembers every toast instead of showing it.
class RecordingToasts : public ToastPresenter
{
public:
    void show(const ToastRequest& request) override { requests.push_back(request); }
    std::vector<ToastRequest> requests;
};

// A desktop shortcut service that refuses chosen combinations and can press the others.
class FakeGlobalHotKeys : public GlobalHotKeys
{
public:
    struct Registration
    {
        quint32 keyCode;
        quint32 modifiers;
        quint32 identifier;
    };

    std::optional<Reference> registerHotKey(quint32 keyCode, quint32 modifiers, quint32 identifier) override;
    void unregisterHotKey(Reference reference) override;
    void setPressHandler(PressHandler handler) override { m_handler = std::move(handler); }
    void setKeymapChangedHandler(std::function<void()> handler) override { m_keymapHandler = std::move(handler); }
    void changeKeymap() { m_keymapHandler(); }

    // Presses a registered combination; false when nothing is registered for it.
    bool press(quint32 keyCode, quint32 modifiers);
    void pressIdentifier(quint32 identifier) { m_handler(identifier); }

    std::set<std::pair<quint32, quint32>> refused;
    std::map<Reference, Registration> active;
    int handlerInstalls() const { return m_handler ? 1 : 0; }

private:
    PressHandler m_handler;
    std::function<void()> m_keymapHandler;
    Reference m_next = 0;
};

// A US-like layout for letters and digits, or no layout at all.
class FakeKeyboardLayout : public KeyboardLayout
{
public:
    std::optional<QString> character(quint32 virtualKeyCode) override;
    bool available = true;
    std::map<quint32, QString> overrides;
};

class FakeLoginItem : public LoginItem
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool value) override;
    bool enabled = false;
    std::optional<QString> failure;
};

} // namespace vantrel::test
