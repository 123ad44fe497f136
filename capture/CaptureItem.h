// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"
#include "HistoryItem.h"
#include "SettingsTypes.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QUrl>

#include <memory>
#include <optional>

namespace vantrel {

// One finished capture as every surface sees it: a picture, or a file (a recording or GIF).
// Shared by the thumbnail, the editor and pins; it lives as long as the last of them. Main
// thread only.
class CaptureItem
{
public:
    // A picture in pixels with its scale in pixels per point.
    static std::shared_ptr<CaptureItem> fromImage(QImage image, double scale, CaptureKind kind);
    // A recording or GIF on disk.
    static std::shared_ptr<CaptureItem> fromFile(QUrl fileURL, CaptureKind kind);
    // A capture reopened from the history: its file for recordings and GIFs, else its picture
    // (none when the file cannot be read). Scale 1.
    static std::shared_ptr<CaptureItem> fromHistory(const HistoryItem& record);

    std::optional<QImage> image;
    std::optional<QUrl> fileURL;
    double scale = 1.0;
    CaptureKind kind = CaptureKind::screenshot;
    std::optional<HistoryItem> history;
    std::optional<QUrl> savedURL;
    std::optional<QUrl> tempURL;

    // Pixels ÷ scale; empty for file items.
    QSizeF pointSize() const;

    // Pictures go on the clipboard as an image and as PNG, files as file URLs. Toast unless quiet.
    void copyToClipboard(bool quiet);
    // Into the save folder under a fresh name; "Save failed" shows even when quiet.
    std::optional<QUrl> save(bool quiet);
    // Asks where to save, then writes there; "Save failed" when the write fails.
    void saveAs();
    // Opens the capture with the desktop's default application.
    void openExternally();
    // A file on disk holding the capture (saved file, recording, or a private temporary file).
    std::optional<QUrl> shareableFileURL();
    // What thumbnails and previews show; never fails (an empty image at worst).
    QImage displayImage() const;
    // A recording's or GIF's first frame at its pixel size; none for pictures and for files that
    // cannot be decoded. Touches nothing of the window system, so any thread may call it on an
    // item that no other thread uses.
    std::optional<QImage> firstFrame() const;
    // The editor's result: the new picture replaces the old one here, in the history and in
    // the saved file.
    void replaceImage(const QImage& newImage);
    // "Vantrel 2026-03-12 at 14.05.09.png", "Vantrel Recording … .mp4", with the time of the call.
    QString suggestedFileName() const;
};

// PNG (lossless, no metadata) or JPEG at quality 0.9; none when encoding fails.
std::optional<QByteArray> encodeImage(const QImage& image, ImageFormat format);

// The save folder setting with a leading "~" turned into the home folder.
QString expandedSaveDirectory();

} // namespace vantrel
