// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"

namespace vantrel::test {

LogCapture::LogCapture()
{
    setSystemLogSink([this](const QString& line) { m_lines.append(line); });
}

LogCapture::~LogCapture()
{
    setSystemLogSink({});
}

std::optional<GlobalHotKeys::Reference> FakeGlobalHotKeys::registerHotKey(
    quint32 keyCode, quint32 modifiers, quint32 identifier)
{
    if (refused.count({keyCode, modifiers}))
        return std::nullopt;
    const Reference ref = ++m_next;
    active[ref] = Registration {keyCode, modifiers, identifier};
    return ref;
}

void FakeGlobalHotKeys::unregisterHotKey(Reference reference)
{
    active.erase(reference);
}

bool FakeGlobalHotKeys::press(quint32 keyCode, quint32 modifiers)
{
    for (const auto& [ref, registration] : active) {
        if (registration.keyCode == keyCode && registration.modifiers == modifiers) {
            m_handler(registration.identifier);
            return true;
        }
    }
    return false;
}

std::optional<QString> FakeKeyboardLayout::character(quint32 virtualKeyCode)
{
    if (!available)
        return std::nullopt;
    if (auto it = overrides.find(virtualKeyCode); it != overrides.end())
        return it->second;
    static const std::map<quint32, char> us = {{0, 'a'}, {1, 's'}, {2, 'd'}, {3, 'f'}, {4, 'h'}, {5, 'g'}, {6, 'z'},
        {7, 'x'}, {8, 'c'}, {9, 'v'}, {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'}, {16, 'y'}, {17, 't'},
        {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'}, {23, '5'}, {25, '9'}, {26, '7'}, {28, '8'}, {29, '0'},
        {31, 'o'}, {32, 'u'}, {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {40, 'k'}, {45, 'n'}, {46, 'm'}};
    if (auto it = us.find(virtualKeyCode); it != us.end())
        return QString(QChar::fromLatin1(it->second));
    return QString();
}

std::optional<QString> FakeLoginItem::setEnabled(bool value)
{
    if (failure)
        return failure;
    enabled = value;
    return std::nullopt;
}

} // namespace vantrel::test
