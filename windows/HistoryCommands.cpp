// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryCommands.h"

#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "CaptureSurfaces.h"
#include "EditorWindowController.h"
#include "PinWindow.h"
#include "QuickAccessManager.h"
#include "Service.h"
#include "SystemLog.h"
#include "TextRecognition.h"
#include "Toasts.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

namespace vantrel {

namespace {

// Pixels per point of the main screen; 2 when there is no screen to ask.
double mainScreenScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 2.0;
}

// Every command but revealing and deleting needs what the capture holds: the picture, or for a
// recording or GIF its file, which the command hands on as it is.
bool needsContents(HistoryCommand command)
{
    return command != HistoryCommand::showInFileManager && command != HistoryCommand::remove;
}

// Whether the capture can be worked on; when it cannot, says so in a toast (and a log line)
// instead of silently dropping the command or, worse, reporting a copy of a file that is gone.
bool isReadable(const CaptureItem& capture, const HistoryItem& record, const QString& path)
{
    bool readable = false;
    if (record.isVideo()) {
        const QFileInfo file(path);
        readable = file.isFile() && file.isReadable();
    } else {
        readable = capture.image.has_value();
    }
    if (readable)
        return true;
    systemLog(QStringLiteral("Vantrel: the history capture %1 could not be read").arg(record.fileName));
    showToast({.text = QCoreApplication::translate("HistoryCommand", "Could not read this capture"),
        .symbol = QStringLiteral("exclamationmark.triangle.fill"),
        .duration = 1.6});
    return false;
}

} // namespace

std::vector<HistoryCommand> historyCommands(const HistoryItem& item)
{
    std::vector<HistoryCommand> commands {HistoryCommand::open, HistoryCommand::showQuickAccess, HistoryCommand::copy,
        HistoryCommand::saveToExportLocation};
    if (!item.isVideo()) {
        commands.push_back(HistoryCommand::pin);
        commands.push_back(HistoryCommand::copyText);
    }
    commands.push_back(HistoryCommand::showInFileManager);
    commands.push_back(HistoryCommand::remove);
    return commands;
}

QString historyCommandTitle(HistoryCommand command)
{
    switch (command) {
    case HistoryCommand::open: return QCoreApplication::translate("HistoryCommand", "Open");
    case HistoryCommand::showQuickAccess:
        return QCoreApplication::translate("HistoryCommand", "Show Quick Access Overlay");
    case HistoryCommand::copy: return QCoreApplication::translate("HistoryCommand", "Copy");
    case HistoryCommand::saveToExportLocation:
        return QCoreApplication::translate("HistoryCommand", "Save to Export Location");
    case HistoryCommand::pin: return QCoreApplication::translate("HistoryCommand", "Pin to Screen");
    case HistoryCommand::copyText: return QCoreApplication::translate("HistoryCommand", "Copy Text (OCR)");
    case HistoryCommand::showInFileManager:
        return QCoreApplication::translate("HistoryCommand", "Show in File Manager");
    case HistoryCommand::remove: return QCoreApplication::translate("HistoryCommand", "Delete");
    }
    return {};
}

QString historyCommandSymbol(HistoryCommand command)
{
    switch (command) {
    case HistoryCommand::open: return QStringLiteral("pencil");
    case HistoryCommand::showQuickAccess: return QStringLiteral("rectangle.on.rectangle");
    case HistoryCommand::copy: return QStringLiteral("doc.on.doc");
    case HistoryCommand::saveToExportLocation: return QStringLiteral("square.and.arrow.down");
    case HistoryCommand::pin: return QStringLiteral("pin");
    case HistoryCommand::copyText: return QStringLiteral("text.viewfinder");
    case HistoryCommand::showInFileManager: return QStringLiteral("folder");
    case HistoryCommand::remove: return QStringLiteral("trash");
    }
    return {};
}

void performHistoryCommand(HistoryCommand command, const HistoryItem& record, CaptureHistory& history)
{
    if (command == HistoryCommand::showInFileManager) {
        if (Workspace* workspace = Service<Workspace>::find())
            workspace->reveal(QUrl::fromLocalFile(history.filePath(record)));
        return;
    }
    if (command == HistoryCommand::remove) {
        history.remove(record);
        return;
    }

    const std::shared_ptr<CaptureItem> capture = CaptureItem::fromHistory(record);
    if (needsContents(command) && !isReadable(*capture, record, history.filePath(record)))
        return;
    CaptureSurfaces* surfaces = Service<CaptureSurfaces>::find();
    switch (command) {
    case HistoryCommand::open:
        if (record.isVideo()) {
            capture->openExternally();
            return;
        }
        capture->scale = mainScreenScale();
        if (surfaces)
            surfaces->openEditor(capture);
        else
            EditorWindowController::open(capture);
        return;
    case HistoryCommand::showQuickAccess:
        if (surfaces)
            surfaces->showQuickAccess(capture);
        else
            QuickAccessManager::shared().show(capture);
        return;
    case HistoryCommand::copy: capture->copyToClipboard(false); return;
    case HistoryCommand::saveToExportLocation: capture->save(false); return;
    case HistoryCommand::pin:
        if (surfaces)
            surfaces->pin(*capture->image, mainScreenScale());
        else
            PinWindow::pin(*capture->image, mainScreenScale());
        return;
    case HistoryCommand::copyText:
        if (surfaces)
            surfaces->recognizeText(*capture->image, capture->scale);
        else
            recognizeText(*capture->image, capture->scale);
        return;
    case HistoryCommand::showInFileManager:
    case HistoryCommand::remove: return;
    }
}

} // namespace vantrel
