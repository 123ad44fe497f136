// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreferenceStore.h"

#include <QJsonObject>

#include <optional>

namespace vantrel {

// The settings file: one JSON object whose members are the keys, each holding a one-member
// object that names the type ({"bool": true}, {"int": 60}, {"double": 220}, {"string": "…"},
// {"data": "<base64>"}). Every change rewrites the file atomically, so a crash or a full disk
// leaves either the old or the new file, never half of one.
//
// A file that cannot be parsed is moved aside to "<name>.unreadable-<UTC time>" before anything
// is written over it; members this version does not understand are written back untouched.
// The settings file's bytes as its JSON object; none when they are not one. Touches no file, so
// tests and fuzzing can feed it anything.
std::optional<QJsonObject> parsePreferenceFile(const QByteArray& bytes);
// One member of that object as a typed value; none for a shape this version does not know.
std::optional<PreferenceValue> decodePreferenceValue(const QJsonValue& stored);

class JsonPreferenceStore : public PreferenceStore
{
public:
    explicit JsonPreferenceStore(QString path);

    std::optional<PreferenceValue> value(const QString& key) const override;
    void setValue(const QString& key, const PreferenceValue& value) override;
    void remove(const QString& key) override;

    QString path() const { return m_path; }
    // Where an unreadable file was moved at load; empty when the file was fine or absent.
    QString backupPath() const { return m_backupPath; }

private:
    void load();
    void save();

    QString m_path;
    QString m_backupPath;
    QJsonObject m_root;
    bool m_writeFailureLogged = false;
};

} // namespace vantrel
