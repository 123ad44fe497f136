// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryItem.h"

#include <QString>

#include <vector>

namespace vantrel {

class CaptureHistory;

// What the history window's context menu offers for a capture, in menu order.
enum class HistoryCommand {
    open,
    showQuickAccess,
    copy,
    saveToExportLocation,
    pin, // pictures only
    copyText, // pictures only
    showInFileManager,
    remove, // destructive
};

// The commands of a capture's menu, in order: videos (recordings and GIFs) have no Pin or Copy
// Text.
std::vector<HistoryCommand> historyCommands(const HistoryItem& item);
// The menu item's text ("Open", "Show Quick Access Overlay", …).
QString historyCommandTitle(HistoryCommand command);
// The symbol name shown beside it.
QString historyCommandSymbol(HistoryCommand command);

// Carries out a command on a capture of `history`. Every command but "Show in File Manager" and
// "Delete" works on the capture reopened from its record; a picture, or a recording's or GIF's
// file, that cannot be read is said so in a toast (and a log line) instead. Editor, thumbnails, pins and text
// recognition are reached through the installed capture surfaces.
void performHistoryCommand(HistoryCommand command, const HistoryItem& item, CaptureHistory& history);

} // namespace vantrel
