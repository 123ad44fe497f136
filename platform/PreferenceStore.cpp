// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreferenceStore.h"

namespace vantrel {

std::optional<PreferenceValue> MemoryPreferenceStore::value(const QString& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void MemoryPreferenceStore::setValue(const QString& key, const PreferenceValue& value)
{
    m_values[key] = value;
    ++m_writes;
}

void MemoryPreferenceStore::remove(const QString& key)
{
    m_values.erase(key);
    ++m_writes;
}

} // namespace vantrel
