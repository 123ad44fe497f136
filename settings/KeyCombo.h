// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace vantrel {

// One shortcut: a virtual key code and modifier bits.
struct KeyCombo
{
    static constexpr quint32 command = 256;
    static constexpr quint32 shift = 512;
    static constexpr quint32 option = 2048;
    static constexpr quint32 control = 4096;

    quint32 keyCode = 0;
    quint32 modifiers = 0;

    friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

// Shortcuts by action raw value. Keyed by the raw string, not the enumeration, so that entries
// written by another version survive a round trip.
using HotKeyMap = std::map<QString, KeyCombo>;

// Shift + command with each action's default key.
HotKeyMap defaultHotKeys();

// The stored form: {"captureArea":{"keyCode":1,"modifiers":768}, …}.
QByteArray encodeHotKeys(const HotKeyMap& map);
// None when the bytes are not such an object (a member of the wrong shape spoils the whole map).
std::optional<HotKeyMap> decodeHotKeys(const QByteArray& bytes);

} // namespace vantrel
