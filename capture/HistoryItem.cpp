// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryItem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

namespace vantrel {

namespace {

// JSON string literal, escaped as JSON requires and nothing more.
void appendString(QByteArray& out, const QString& text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += QByteArrayLiteral("\\u00")
                    + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

QString isoDate(const QDateTime& date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> parseDate(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    // A date and a time of day with an explicit zone: "Z" or an offset.
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d+)?(Z|[+-]\d{2}:?\d{2})$)"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

std::optional<int> parseInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

std::optional<HistoryItem> parseItem(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QLatin1String("id"));
    const QJsonValue kind = object.value(QLatin1String("kind"));
    const QJsonValue fileName = object.value(QLatin1String("fileName"));
    if (!id.isString() || !kind.isString() || !fileName.isString())
        return std::nullopt;
    const QString idText = id.toString();
    const QUuid uuid = QUuid::fromString(idText);
    if (idText.size() != 36 || uuid.isNull())
        return std::nullopt;
    const std::optional<CaptureKind> captureKind = captureKindFromRaw(kind.toString());
    const std::optional<QDateTime> date = parseDate(object.value(QLatin1String("date")));
    const std::optional<int> width = parseInteger(object.value(QLatin1String("width")));
    const std::optional<int> height = parseInteger(object.value(QLatin1String("height")));
    if (!captureKind || !date || !width || !height)
        return std::nullopt;
    return HistoryItem {uuid, *date, *captureKind, fileName.toString(), *width, *height};
}

} // namespace

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QByteArray encodeHistory(const std::vector<HistoryItem>& items)
{
    QByteArray out;
    out.reserve(qsizetype(items.size()) * 160 + 2);
    out += '[';
    bool first = true;
    for (const HistoryItem& item : items) {
        if (!first)
            out += ',';
        first = false;
        out += "{\"id\":";
        appendString(out, uuidText(item.id));
        out += ",\"date\":";
        appendString(out, isoDate(item.date));
        out += ",\"kind\":";
        appendString(out, rawValue(item.kind));
        out += ",\"fileName\":";
        appendString(out, item.fileName);
        out += ",\"width\":" + QByteArray::number(item.width);
        out += ",\"height\":" + QByteArray::number(item.height);
        out += '}';
    }
    out += ']';
    return out;
}

DecodedHistory decodeHistory(const QByteArray& bytes)
{
    DecodedHistory result;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return result;
    result.wellFormed = true;
    for (const QJsonValue& element : document.array()) {
        if (std::optional<HistoryItem> item = parseItem(element))
            result.items.push_back(std::move(*item));
        else
            ++result.rejected;
    }
    return result;
}

} // namespace vantrel
