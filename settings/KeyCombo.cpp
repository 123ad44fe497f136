// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyCombo.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace vantrel {

namespace {

// Default key of each action, in listing order (virtual key codes of an ANSI keyboard).
constexpr std::array<quint32, 11> defaultKeyCodes = {18, 1, 28, 3, 22, 25, 26, 19, 2, 4, 35};

std::optional<quint32> unsignedMember(const QJsonObject& object, const char* name)
{
    const QJsonValue value = object.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (d < 0 || d > 4294967295.0 || std::trunc(d) != d)
        return std::nullopt;
    return static_cast<quint32>(d);
}

} // namespace

HotKeyMap defaultHotKeys()
{
    HotKeyMap map;
    for (HotKeyAction action : allHotKeyActions)
        map[rawValue(action)] = KeyCombo {defaultKeyCodes.at(position(action)), KeyCombo::shift | KeyCombo::command};
    return map;
}

QByteArray encodeHotKeys(const HotKeyMap& map)
{
    QJsonObject root;
    for (const auto& [raw, combo] : map) {
        root.insert(raw,
            QJsonObject {
                {QStringLiteral("keyCode"), static_cast<qint64>(combo.keyCode)},
                {QStringLiteral("modifiers"), static_cast<qint64>(combo.modifiers)},
            });
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<HotKeyMap> decodeHotKeys(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    HotKeyMap map;
    const QJsonObject root = document.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        const QJsonObject entry = it.value().toObject();
        const auto keyCode = unsignedMember(entry, "keyCode");
        const auto modifiers = unsignedMember(entry, "modifiers");
        if (!keyCode || !modifiers)
            return std::nullopt;
        map[it.key()] = KeyCombo {*keyCode, *modifiers};
    }
    return map;
}

} // namespace vantrel
