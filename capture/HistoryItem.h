// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <vector>

namespace vantrel {

// One remembered capture: a file in the history folder named after its id.
struct HistoryItem
{
    QUuid id;
    QDateTime date; // UTC, whole seconds
    CaptureKind kind = CaptureKind::screenshot;
    QString fileName; // inside the history folder
    int width = 0; // pixels
    int height = 0; // pixels

    bool isVideo() const { return isVideoKind(kind); }
    bool operator==(const HistoryItem& other) const = default;
};

// The id as the list file and the file names write it: upper case, hyphenated, no braces.
QString uuidText(const QUuid& id);

// The list file: one compact JSON array, newest first, each object with the keys "id", "date",
// "kind", "fileName", "width", "height" in that order; dates in ISO 8601 UTC, whole seconds.
QByteArray encodeHistory(const std::vector<HistoryItem>& items);

struct DecodedHistory
{
    std::vector<HistoryItem> items; // every valid element, in file order
    int rejected = 0; // elements that were not valid records
    bool wellFormed = false; // the bytes were a JSON array
};

// Reads a list file. An element that lacks a key, has a value of the wrong type, a kind that
// names none or a date that is not ISO 8601 with a zone is rejected on its own.
DecodedHistory decodeHistory(const QByteArray& bytes);

} // namespace vantrel
