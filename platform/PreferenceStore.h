// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <map>
#include <optional>
#include <variant>

namespace vantrel {

// One stored preference. The type is part of the value: a Bool stays a Bool across restarts,
// an Int never comes back as a Double, binary data is not confused with a string.
using PreferenceValue = std::variant<bool, qint64, double, QString, QByteArray>;

// The per-user key-value store behind the settings.
class PreferenceStore
{
public:
    virtual ~PreferenceStore() = default;

    virtual std::optional<PreferenceValue> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const PreferenceValue& value) = 0;
    virtual void remove(const QString& key) = 0;

    // The value only when it is present and of type T.
    template <typename T> std::optional<T> typed(const QString& key) const
    {
        const auto stored = value(key);
        if (stored && std::holds_alternative<T>(*stored))
            return std::get<T>(*stored);
        return std::nullopt;
    }
};

// A store that lives in memory only: the fallback when no file can be used, and the store of tests.
class MemoryPreferenceStore : public PreferenceStore
{
public:
    std::optional<PreferenceValue> value(const QString& key) const override;
    void setValue(const QString& key, const PreferenceValue& value) override;
    void remove(const QString& key) override;

    int writeCount() const { return m_writes; }

private:
    std::map<QString, PreferenceValue> m_values;
    int m_writes = 0;
};

} // namespace vantrel
