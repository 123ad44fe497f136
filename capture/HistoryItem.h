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

// Whether `fileName` is a name the history itself gives a record with this id: the id's text
// (any case), a dot and a short extension of letters and digits. Anything else ("../x", "/",
// "..", a leading dot, a NUL, 4,000 characters) could reach a file outside the history folder.
bool isHistoryFileName(const QString& fileName, const QUuid& id);

struct DecodedHistory
{
    std::vector<HistoryItem> items; // every valid element, in file order
    int rejected = 0; // elements that were not valid records
    int unsafeNames = 0; // records whose file name is not one the history gives
    int duplicates = 0; // records whose id an earlier record has (the first is kept)
    bool wellFormed = false; // the bytes were a JSON array

    int dropped() const { return rejected + unsafeNames + duplicates; }
};

// Reads a list file; touches no file. An element that lacks a key, has a value of the wrong
// type, a kind that names none or a date that is not ISO 8601 with a zone is rejected on its
// own; so is a record with an unsafe file name, or one whose id was listed before.
DecodedHistory decodeHistory(const QByteArray& bytes);

} // namespace vantrel
