// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryItem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
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

// The form the list file is written in, "2026-03-12T14:05:09Z", read without a regular
// expression: a list of 100,000 records is mostly dates.
std::optional<QDateTime> parseWrittenDate(const QString& text)
{
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':' || text[19] != u'Z')
        return std::nullopt;
    const auto number = [&](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int fields[] = {number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
    // A field that is not all digits is -1, which QDate would take for the year 1 BC.
    if (std::any_of(std::begin(fields), std::end(fields), [](int field) { return field < 0; }))
        return std::nullopt;
    const QDate day(fields[0], fields[1], fields[2]);
    const QTime time(fields[3], fields[4], fields[5]);
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

std::optional<QDateTime> parseDate(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    if (std::optional<QDateTime> written = parseWrittenDate(text))
        return written;
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

bool isHistoryFileName(const QString& fileName, const QUuid& id)
{
    constexpr int idLength = 36;
    constexpr int longestExtension = 16;
    if (fileName.size() < idLength + 2 || fileName.size() > idLength + 1 + longestExtension
        || fileName[idLength] != u'.')
        return false;
    if (QStringView(fileName).left(idLength).compare(uuidText(id), Qt::CaseInsensitive) != 0)
        return false;
    for (const QChar c : QStringView(fileName).mid(idLength + 1)) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')))
            return false;
    }
    return true;
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
    const QJsonArray array = document.array();
    result.items.reserve(std::size_t(array.size()));
    QSet<QUuid> seen;
    seen.reserve(array.size());
    for (const QJsonValue& element : array) {
        std::optional<HistoryItem> item = parseItem(element);
        if (!item)
            ++result.rejected;
        else if (!isHistoryFileName(item->fileName, item->id))
            ++result.unsafeNames;
        else if (seen.contains(item->id))
            ++result.duplicates;
        else {
            seen.insert(item->id);
            result.items.push_back(std::move(*item));
        }
    }
    return result;
}

} // namespace vantrel
