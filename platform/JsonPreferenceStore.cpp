// SPDX-License-Identifier: GPL-3.0-or-later
#include "JsonPreferenceStore.h"

#include "SystemLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include <cmath>

namespace vantrel {

namespace {

QJsonObject encode(const PreferenceValue& value)
{
    return std::visit(
        [](const auto& v) -> QJsonObject {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>)
                return {{QStringLiteral("bool"), v}};
            else if constexpr (std::is_same_v<T, qint64>)
                return {{QStringLiteral("int"), v}};
            else if constexpr (std::is_same_v<T, double>)
                return {{QStringLiteral("double"), v}};
            else if constexpr (std::is_same_v<T, QString>)
                return {{QStringLiteral("string"), v}};
            else
                return {{QStringLiteral("data"), QString::fromLatin1(v.toBase64())}};
        },
        value);
}

} // namespace

std::optional<PreferenceValue> decodePreferenceValue(const QJsonValue& stored)
{
    if (!stored.isObject())
        return std::nullopt;
    const QJsonObject object = stored.toObject();
    if (object.size() != 1)
        return std::nullopt;
    const QString type = object.begin().key();
    const QJsonValue v = object.begin().value();
    if (type == QLatin1String("bool") && v.isBool())
        return v.toBool();
    if (type == QLatin1String("int") && v.isDouble()) {
        const double d = v.toDouble();
        // JSON numbers are doubles; an Int must have come back as a whole number in range.
        if (std::trunc(d) != d || std::abs(d) > 9007199254740992.0)
            return std::nullopt;
        return static_cast<qint64>(d);
    }
    if (type == QLatin1String("double") && v.isDouble())
        return v.toDouble();
    if (type == QLatin1String("string") && v.isString())
        return v.toString();
    if (type == QLatin1String("data") && v.isString()) {
        auto result = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return std::nullopt;
        return *result;
    }
    return std::nullopt;
}

std::optional<QJsonObject> parsePreferenceFile(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

JsonPreferenceStore::JsonPreferenceStore(QString path)
    : m_path(std::move(path))
{
    load();
}

void JsonPreferenceStore::load()
{
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        systemLog(QStringLiteral("Vantrel: could not read settings file %1: %2").arg(m_path, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    if (std::optional<QJsonObject> root = parsePreferenceFile(bytes)) {
        m_root = std::move(*root);
        return;
    }

    // Never write over settings we could not read: the user may want them back.
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    m_backupPath = m_path + QStringLiteral(".unreadable-") + stamp;
    if (QFile::rename(m_path, m_backupPath)) {
        systemLog(QStringLiteral("Vantrel: settings file %1 could not be read; kept it as %2 and started from defaults")
                      .arg(m_path, m_backupPath));
    } else {
        systemLog(QStringLiteral("Vantrel: settings file %1 could not be read and could not be set aside; "
                                 "settings will not be saved")
                      .arg(m_path));
        m_backupPath.clear();
        m_writeFailureLogged = true;
        m_path.clear();
    }
}

std::optional<PreferenceValue> JsonPreferenceStore::value(const QString& key) const
{
    const auto it = m_root.constFind(key);
    if (it == m_root.constEnd())
        return std::nullopt;
    return decodePreferenceValue(*it);
}

void JsonPreferenceStore::setValue(const QString& key, const PreferenceValue& value)
{
    if (const double* d = std::get_if<double>(&value); d && !std::isfinite(*d))
        return; // JSON has no spelling for NaN or infinity; keep the previous value.
    m_root.insert(key, encode(value));
    save();
}

void JsonPreferenceStore::remove(const QString& key)
{
    m_root.remove(key);
    save();
}

void JsonPreferenceStore::save()
{
    if (m_path.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        file.write(QJsonDocument(m_root).toJson(QJsonDocument::Indented));
        ok = file.commit();
    }
    if (ok) {
        m_writeFailureLogged = false;
    } else if (!m_writeFailureLogged) {
        // One line per run of failures, not one per change.
        systemLog(QStringLiteral("Vantrel: could not write settings to %1: %2").arg(m_path, file.errorString()));
        m_writeFailureLogged = true;
    }
}

} // namespace vantrel
