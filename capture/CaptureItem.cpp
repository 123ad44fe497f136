// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureItem.h"

#include "CaptureHistory.h"
#include "Clipboard.h"
#include "ImageFiles.h"
#include "MediaPreview.h"
#include "PngEncoder.h"
#include "PrivateFiles.h"
#include "SaveDialog.h"
#include "Service.h"
#include "Settings.h"
#include "SystemLog.h"
#include "Toasts.h"
#include "Workspace.h"
#include "XdgPaths.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

namespace vantrel {

namespace {

void toastSaveFailed()
{
    showToast({.text = QCoreApplication::translate("vantrel::CaptureItem", "Save failed"),
        .symbol = QStringLiteral("exclamationmark.triangle.fill"),
        .duration = 1.6});
}

bool existsAt(const std::optional<QUrl>& url)
{
    return url && url->isLocalFile() && QFileInfo::exists(url->toLocalFile());
}

QString extensionOf(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

// JPEG for names whose extension starts with "jp" (jpg, jpeg, JPG…), PNG for anything else.
ImageFormat formatForFile(const QString& path)
{
    return QFileInfo(path).suffix().toLower().startsWith(QLatin1String("jp")) ? ImageFormat::jpg : ImageFormat::png;
}

bool isGifFile(const QString& path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("gif");
}

QString withoutExtension(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

} // namespace

std::optional<QByteArray> encodeImage(const QImage& image, ImageFormat format)
{
    if (image.isNull())
        return std::nullopt;
    if (format == ImageFormat::png)
        return encodePng(image, PngSpeed::compact);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

QString expandedSaveDirectory()
{
    QString folder = Settings::shared().saveDirectory();
    if (folder == QLatin1String("~"))
        folder = QDir::homePath();
    else if (folder.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + folder.mid(1);
    if (folder.isEmpty())
        folder = xdg::desktopDir();
    return QDir::cleanPath(folder);
}

std::shared_ptr<CaptureItem> CaptureItem::fromImage(QImage image, double scale, CaptureKind kind)
{
    auto item = std::make_shared<CaptureItem>();
    item->image = std::move(image);
    item->scale = scale;
    item->kind = kind;
    return item;
}

std::shared_ptr<CaptureItem> CaptureItem::fromFile(QUrl fileURL, CaptureKind kind)
{
    auto item = std::make_shared<CaptureItem>();
    item->fileURL = std::move(fileURL);
    item->kind = kind;
    return item;
}

std::shared_ptr<CaptureItem> CaptureItem::fromHistory(const HistoryItem& record)
{
    auto item = std::make_shared<CaptureItem>();
    item->history = record;
    item->kind = record.kind;
    const QString path = CaptureHistory::shared().filePath(record);
    if (record.isVideo()) {
        item->fileURL = QUrl::fromLocalFile(path);
    } else {
        // A missing or damaged file leaves the item without a picture; nothing here may block.
        if (Expected<OpenedImage> opened = loadImageFile(path))
            item->image = std::move(opened->image);
    }
    return item;
}

QSizeF CaptureItem::pointSize() const
{
    if (!image)
        return {};
    const double s = scale > 0 ? scale : 1.0;
    return QSizeF(image->width() / s, image->height() / s);
}

QString CaptureItem::suggestedFileName() const
{
    const Settings& settings = Settings::shared();
    if (fileURL) {
        const QString extension = QFileInfo(fileURL->toLocalFile()).suffix();
        return settings.fileName(
            extension, kind == CaptureKind::gif ? QStringLiteral("GIF") : QStringLiteral("Recording"));
    }
    return settings.fileName(rawValue(settings.imageFormat()), QString());
}

void CaptureItem::copyToClipboard(bool quiet)
{
    Clipboard* clipboard = Service<Clipboard>::find();
    if (!clipboard)
        return;
    ClipboardContents contents;
    if (image) {
        QImage picture = *image;
        picture.setDevicePixelRatio(scale > 0 ? scale : 1.0);
        contents.image = std::move(picture);
    } else if (fileURL && !existsAt(fileURL)) {
        // A recording whose file was deleted behind our back: the user's clipboard keeps what it
        // held rather than a link to nothing, and the copy is not reported as done.
        systemLog(QStringLiteral("Vantrel: copy failed: %1 is gone").arg(fileURL->toLocalFile()));
        if (!quiet)
            showToast({.text = QCoreApplication::translate("vantrel::CaptureItem", "Could not read this capture"),
                .symbol = QStringLiteral("exclamationmark.triangle.fill"),
                .duration = 1.6});
        return;
    } else if (std::optional<QUrl> url = fileURL ? shareableFileURL() : std::nullopt) {
        contents.fileURLs = {*url};
    } else {
        // An item whose picture could not be read leaves the clipboard alone, and says nothing.
        return;
    }
    clipboard->clear();
    clipboard->write(contents);
    if (!quiet)
        showToast({.text = QCoreApplication::translate("vantrel::CaptureItem", "Copied to clipboard"),
            .symbol = QStringLiteral("checkmark.circle.fill"),
            .duration = 1.6});
}

std::optional<QUrl> CaptureItem::save(bool quiet)
{
    const QString folder = expandedSaveDirectory();
    QDir().mkpath(folder); // a failure shows as the write failing below

    files::Contents contents;
    if (fileURL) {
        contents.sourcePath = fileURL->toLocalFile();
    } else if (image) {
        std::optional<QByteArray> bytes = encodeImage(*image, Settings::shared().imageFormat());
        if (!bytes)
            return std::nullopt;
        contents.bytes = std::move(*bytes);
    } else {
        return std::nullopt;
    }
    // The first free name wins; a name taken between the choice and the write is never
    // overwritten: the write moves on to the next counter.
    const QString name = suggestedFileName();
    const QString base = withoutExtension(name);
    const QString extension = extensionOf(name);
    const auto nameFor
        = [&](int attempt) { return attempt == 1 ? name : base + QStringLiteral(" (%1).").arg(attempt) + extension; };
    const Expected<QString> written
        = files::writeNewFile(folder, nameFor, contents, {.access = files::Access::userDefault});
    if (!written) {
        systemLog(QStringLiteral("Vantrel: save failed: ") + written.error().description);
        toastSaveFailed();
        return std::nullopt;
    }
    savedURL = QUrl::fromLocalFile(*written);
    if (!quiet)
        showToast(
            {.text = QCoreApplication::translate("vantrel::CaptureItem", "Saved to %1").arg(QDir(folder).dirName()),
                .symbol = QStringLiteral("arrow.down.circle.fill"),
                .duration = 1.6});
    return savedURL;
}

void CaptureItem::saveAs()
{
    SaveDialog* dialog = Service<SaveDialog>::find();
    if (!dialog)
        return;
    const std::optional<QString> chosen = dialog->run(
        {.directory = expandedSaveDirectory(), .fileName = suggestedFileName(), .imageTypes = bool(image)});
    if (!chosen || chosen->isEmpty())
        return;
    const QString target = *chosen;
    // Every write replaces the chosen file atomically: until the new one is complete on disk,
    // the old one stays as it was.
    std::optional<Error> failure;
    if (image) {
        if (const std::optional<QByteArray> bytes = encodeImage(*image, formatForFile(target)))
            failure = files::writeFile(target, *bytes, {.access = files::Access::userDefault});
        else
            failure = Error {.description = QStringLiteral("the picture could not be encoded")};
    } else if (fileURL) {
        const QString source = fileURL->toLocalFile();
        // Saving a recording over itself leaves it as it is.
        if (QFileInfo(source).canonicalFilePath() != QFileInfo(target).canonicalFilePath())
            failure = files::copyFile(source, target, {.access = files::Access::userDefault});
    } else {
        failure = Error {.description = QStringLiteral("there is nothing to save")};
    }
    if (failure) {
        systemLog(QStringLiteral("Vantrel: save failed: ") + failure->description);
        toastSaveFailed();
        return;
    }
    savedURL = QUrl::fromLocalFile(target);
}

std::optional<QUrl> CaptureItem::shareableFileURL()
{
    if (existsAt(savedURL))
        return savedURL;
    if (fileURL)
        return fileURL;
    if (existsAt(tempURL))
        return tempURL;
    if (!image)
        return std::nullopt;
    const std::optional<QByteArray> bytes = encodeImage(*image, Settings::shared().imageFormat());
    if (!bytes)
        return std::nullopt;
    // A folder only the user can enter, under the shared temporary folder.
    const std::optional<QString> folder = files::makePrivateTemporaryDirectory();
    if (!folder)
        return std::nullopt;
    const QString target = QDir(*folder).filePath(suggestedFileName());
    if (files::writeFile(target, *bytes, {.access = files::Access::privateToUser}))
        return std::nullopt;
    tempURL = QUrl::fromLocalFile(target);
    return tempURL;
}

void CaptureItem::openExternally()
{
    Workspace* workspace = Service<Workspace>::find();
    if (!workspace)
        return;
    if (const std::optional<QUrl> url = shareableFileURL())
        workspace->open(*url);
}

QImage CaptureItem::displayImage() const
{
    if (image) {
        QImage picture = *image;
        picture.setDevicePixelRatio(scale > 0 ? scale : 1.0);
        return picture;
    }
    if (fileURL) {
        const QString path = fileURL->toLocalFile();
        if (std::optional<QImage> frame = firstFrame())
            return *frame;
        if (isGifFile(path))
            return {};
        return fileIcon(path);
    }
    return {};
}

std::optional<QImage> CaptureItem::firstFrame() const
{
    if (!fileURL)
        return std::nullopt;
    const QString path = fileURL->toLocalFile();
    if (isGifFile(path)) {
        QImage frame = QImageReader(path).read();
        return frame.isNull() ? std::nullopt : std::optional<QImage>(std::move(frame));
    }
    return firstVideoFrame(path);
}

void CaptureItem::replaceImage(const QImage& newImage)
{
    image = newImage;
    tempURL.reset(); // the old temporary file shows the old picture
    if (history) {
        CaptureHistory::shared().replaceImage(*history, newImage);
        history->width = newImage.width();
        history->height = newImage.height();
    }
    if (savedURL && savedURL->isLocalFile()) {
        // The saved file keeps its own format: a .jpg saved with "Save As…" stays JPEG.
        const QString path = savedURL->toLocalFile();
        const std::optional<QByteArray> bytes = encodeImage(newImage, formatForFile(path));
        const std::optional<Error> failure = bytes
            ? files::writeFile(path, *bytes, {.access = files::Access::userDefault})
            : std::optional<Error>(Error {.description = QStringLiteral("the picture could not be encoded")});
        if (failure) {
            systemLog(QStringLiteral("Vantrel: could not update %1: %2").arg(path, failure->description));
            toastSaveFailed();
        }
    }
}

} // namespace vantrel
