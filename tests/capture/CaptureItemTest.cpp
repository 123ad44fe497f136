// SPDX-License-Identifier: GPL-3.0-or-later
// Capture items: names, saving with collisions, formats, sharing, clipboard and write-back.
#include "CaptureItem.h"

#include "CaptureHistory.h"
#include "DesktopFakes.h"
#include "Fakes.h"
#include "MediaPreview.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class CaptureItems : public ::testing::Test, protected DesktopFakes
{
protected:
    static QImage pattern(int width = 80, int height = 40)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 3 % 256, y * 5 % 256, 90));
        return image;
    }
    static QByteArray head(const QString& path, int bytes = 8)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
    }
    QString makeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    std::vector<QString> toastTexts() const
    {
        std::vector<QString> texts;
        for (const ToastRequest& r : toasts.requests)
            texts.push_back(r.text);
        return texts;
    }
    static mode_t modeOf(const QString& path)
    {
        struct stat info
        { };
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 0777;
    }
};

const QByteArray pngMagic("\x89PNG\r\n\x1a\n", 8);
const QByteArray jpegMagic("\xff\xd8\xff", 3);

} // namespace

TEST_F(CaptureItems, SuggestedNamesCarryPrefixLabelTimeAndExtension)
{
    const QString stamp = QStringLiteral(R"(\d{4}-\d{2}-\d{2} at \d{2}\.\d{2}\.\d{2})");
    struct Case
    {
        QString prefix;
        ImageFormat format;
        std::optional<CaptureKind> fileKind; // a file item of this kind
        QString pattern;
    };
    const Case cases[] = {
        {QStringLiteral("Vantrel"), ImageFormat::png, std::nullopt, QStringLiteral("^Vantrel %1\\.png$")},
        {QStringLiteral("Vantrel"), ImageFormat::jpg, std::nullopt, QStringLiteral("^Vantrel %1\\.jpg$")},
        {QString(), ImageFormat::png, std::nullopt, QStringLiteral("^ %1\\.png$")},
        {QStringLiteral("Vantrel"), ImageFormat::jpg, CaptureKind::recording,
            QStringLiteral("^Vantrel Recording %1\\.mp4$")},
        {QStringLiteral("Shot"), ImageFormat::png, CaptureKind::gif, QStringLiteral("^Shot GIF %1\\.gif$")},
    };
    for (const Case& c : cases) {
        settings.setFilePrefix(c.prefix);
        settings.setImageFormat(c.format);
        auto item = c.fileKind
            ? CaptureItem::fromFile(
                QUrl::fromLocalFile(folder.filePath(*c.fileKind == CaptureKind::gif ? "a.gif" : "a.mp4")), *c.fileKind)
            : CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
        const QString name = item->suggestedFileName();
        EXPECT_TRUE(QRegularExpression(c.pattern.arg(stamp)).match(name).hasMatch()) << name.toStdString();
    }
}

TEST_F(CaptureItems, SavesInTheSameSecondGetCountersAndToasts)
{
    // Retried if the clock ticks between the saves.
    std::vector<QString> names;
    for (int attempt = 0; attempt < 5; ++attempt) {
        QDir(folder.path()).removeRecursively();
        toasts.requests.clear();
        names.clear();
        for (int i = 0; i < 3; ++i) {
            auto item = CaptureItem::fromImage(pattern(), 2.0, CaptureKind::screenshot);
            const std::optional<QUrl> url = item->save(false);
            ASSERT_TRUE(url);
            EXPECT_EQ(item->savedURL, url);
            names.push_back(QFileInfo(url->toLocalFile()).fileName());
        }
        if (names[0].left(names[0].size() - 4) == names[1].left(names[0].size() - 4))
            break;
    }
    const QString base = names[0].chopped(4);
    EXPECT_EQ(names[1], base + QStringLiteral(" (2).png"));
    EXPECT_EQ(names[2], base + QStringLiteral(" (3).png"));
    EXPECT_EQ(toastTexts(), std::vector<QString>(3, QStringLiteral("Saved to ") + QDir(folder.path()).dirName()));
    EXPECT_EQ(toasts.requests[0].symbol, QStringLiteral("arrow.down.circle.fill"));
    EXPECT_EQ(head(folder.filePath(names[0])), pngMagic);
    const QImage saved(folder.filePath(names[0]));
    EXPECT_EQ(saved.pixel(17, 9), pattern().pixel(17, 9)) << "lossless";
}

TEST_F(CaptureItems, JpegSettingWritesJpegButHistoryStaysPng)
{
    settings.setImageFormat(ImageFormat::jpg);
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    const std::optional<QUrl> url = item->save(true);
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->toLocalFile().endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(head(url->toLocalFile(), 3), jpegMagic);
    EXPECT_TRUE(toasts.requests.empty()) << "quiet";

    const std::optional<QByteArray> quality90 = encodeImage(pattern(), ImageFormat::jpg);
    ASSERT_TRUE(quality90);
    EXPECT_EQ(head(url->toLocalFile(), 4096), quality90->left(4096)) << "quality 0.9";

    const std::optional<HistoryItem> record = CaptureHistory::shared().add(pattern(), CaptureKind::screenshot);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->fileName.endsWith(QStringLiteral(".png")));
    EXPECT_EQ(head(CaptureHistory::shared().filePath(*record)), pngMagic);

    const std::optional<QUrl> temporary = item->shareableFileURL();
    ASSERT_TRUE(temporary);
    EXPECT_EQ(temporary, url) << "a saved file is shared as is";
}

TEST_F(CaptureItems, ATildeFolderIsExpandedAndCreated)
{
    settings.setSaveDirectory(QStringLiteral("~/Pictures/Shots"));
    const QString expected = QDir::homePath() + QStringLiteral("/Pictures/Shots");
    QDir(expected).removeRecursively();
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    const std::optional<QUrl> url = item->save(false);
    ASSERT_TRUE(url);
    EXPECT_EQ(QFileInfo(url->toLocalFile()).absolutePath(), expected);
    EXPECT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Saved to Shots")});
}

TEST_F(CaptureItems, AFailedSaveSaysSoEvenWhenQuiet)
{
    const QString blocker = makeFile(QStringLiteral("not-a-folder"), "x");
    settings.setSaveDirectory(blocker + QStringLiteral("/inside"));
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    EXPECT_FALSE(item->save(true));
    EXPECT_FALSE(item->savedURL);
    ASSERT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Save failed")});
    EXPECT_EQ(toasts.requests[0].symbol, QStringLiteral("exclamationmark.triangle.fill"));

    auto empty = CaptureItem::fromHistory(HistoryItem {QUuid::createUuid(), QDateTime::currentDateTimeUtc(),
        CaptureKind::screenshot, QStringLiteral("missing.png"), 1, 1});
    EXPECT_FALSE(empty->image);
    EXPECT_FALSE(empty->fileURL);
    EXPECT_FALSE(empty->save(false)) << "nothing to write";
    EXPECT_FALSE(empty->shareableFileURL());
}

TEST_F(CaptureItems, SavingARecordingCopiesIt)
{
    const QString video = makeFile(QStringLiteral("Vantrel-1.mp4"), "frames");
    settings.setSaveDirectory(folder.filePath(QStringLiteral("out")));
    auto item = CaptureItem::fromFile(QUrl::fromLocalFile(video), CaptureKind::recording);
    const std::optional<QUrl> url = item->save(true);
    ASSERT_TRUE(url);
    EXPECT_TRUE(QFileInfo::exists(video));
    QFile copy(url->toLocalFile());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("frames"));
}

TEST_F(CaptureItems, SaveAsWritesTheChosenFormatAndReportsFailure)
{
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    saveDialog.answer = std::nullopt;
    item->saveAs();
    EXPECT_FALSE(item->savedURL) << "cancelled";
    ASSERT_EQ(saveDialog.requests.size(), 1u);
    EXPECT_TRUE(saveDialog.requests[0].imageTypes);
    EXPECT_EQ(saveDialog.requests[0].directory, folder.path());

    saveDialog.answer = folder.filePath(QStringLiteral("shot.JPEG"));
    item->saveAs();
    EXPECT_EQ(item->savedURL, QUrl::fromLocalFile(*saveDialog.answer));
    EXPECT_EQ(head(*saveDialog.answer, 3), jpegMagic) << "capital JPEG extension";

    saveDialog.answer = folder.filePath(QStringLiteral("shot.png"));
    item->saveAs();
    EXPECT_EQ(head(*saveDialog.answer), pngMagic);
    EXPECT_TRUE(toasts.requests.empty());

    const std::optional<QUrl> before = item->savedURL;
    saveDialog.answer = folder.filePath(QStringLiteral("no/such/folder/shot.png"));
    item->saveAs();
    EXPECT_EQ(item->savedURL, before) << "a failed write is not a save";
    EXPECT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Save failed")});

    // A recording saved over itself survives.
    const QString video = makeFile(QStringLiteral("take.mp4"), "frames");
    auto recording = CaptureItem::fromFile(QUrl::fromLocalFile(video), CaptureKind::recording);
    saveDialog.answer = video;
    recording->saveAs();
    EXPECT_EQ(head(video, 6), QByteArray("frames"));
    EXPECT_FALSE(saveDialog.requests.back().imageTypes);
}

TEST_F(CaptureItems, TheSharedFileIsStableUntilThePictureChanges)
{
    auto item = CaptureItem::fromImage(pattern(), 2.0, CaptureKind::screenshot);
    const std::optional<QUrl> first = item->shareableFileURL();
    ASSERT_TRUE(first);
    EXPECT_EQ(item->shareableFileURL(), first);
    const QString path = first->toLocalFile();
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()), 0700u) << "a private temporary folder";
    EXPECT_EQ(head(path), pngMagic);

    item->replaceImage(pattern(10, 10));
    const std::optional<QUrl> second = item->shareableFileURL();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(QImage(second->toLocalFile()).size(), QSize(10, 10));

    item->openExternally();
    EXPECT_EQ(workspace.opened, std::vector<QUrl> {*second});
}

TEST_F(CaptureItems, CopyPutsTheRightThingOnTheClipboard)
{
    auto item = CaptureItem::fromImage(pattern(), 2.0, CaptureKind::screenshot);
    item->copyToClipboard(false);
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(clipboard.current->image->size(), QSize(80, 40));
    EXPECT_EQ(clipboard.current->image->deviceIndependentSize(), QSizeF(40, 20)) << "its point size";
    EXPECT_TRUE(clipboard.current->fileURLs.isEmpty());
    EXPECT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Copied to clipboard")});
    EXPECT_EQ(toasts.requests[0].symbol, QStringLiteral("checkmark.circle.fill"));

    const QString video = makeFile(QStringLiteral("take.mp4"), "frames");
    auto recording = CaptureItem::fromFile(QUrl::fromLocalFile(video), CaptureKind::recording);
    recording->copyToClipboard(true);
    ASSERT_TRUE(clipboard.current);
    EXPECT_FALSE(clipboard.current->image);
    EXPECT_EQ(clipboard.current->fileURLs, QList<QUrl> {QUrl::fromLocalFile(video)});
    EXPECT_EQ(toasts.requests.size(), 1u) << "quiet";
}

TEST_F(CaptureItems, CopyingARecordingWhoseFileIsGoneLeavesTheClipboardAlone)
{
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    item->copyToClipboard(true);
    ASSERT_TRUE(clipboard.current && clipboard.current->image);

    const QString video = makeFile(QStringLiteral("gone.mp4"), "frames");
    auto recording = CaptureItem::fromFile(QUrl::fromLocalFile(video), CaptureKind::recording);
    ASSERT_TRUE(QFile::remove(video));
    LogCapture log;
    recording->copyToClipboard(false);
    ASSERT_TRUE(clipboard.current && clipboard.current->image) << "what the user had copied before stays";
    EXPECT_TRUE(clipboard.current->fileURLs.isEmpty());
    EXPECT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Could not read this capture")});
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Vantrel: copy failed: "))) << log.lines()[0].toStdString();
}

TEST_F(CaptureItems, ReplacingThePictureUpdatesHistoryAndSavedFile)
{
    CaptureHistory& history = CaptureHistory::shared();
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    item->history = history.add(*item->image, CaptureKind::screenshot);
    ASSERT_TRUE(item->history);
    ASSERT_TRUE(item->save(true));

    QImage edited = pattern(120, 60);
    edited.setPixel(5, 5, qRgb(1, 2, 3));
    item->replaceImage(edited);
    EXPECT_EQ(QSize(item->history->width, item->history->height), QSize(120, 60));
    const auto listed = std::find_if(history.items().begin(), history.items().end(),
        [&](const HistoryItem& h) { return h.id == item->history->id; });
    ASSERT_NE(listed, history.items().end());
    EXPECT_EQ(QSize(listed->width, listed->height), QSize(120, 60));
    const QImage inHistory(history.filePath(*listed));
    EXPECT_EQ(inHistory.pixel(5, 5), qRgb(1, 2, 3));
    const QImage onDisk(item->savedURL->toLocalFile());
    EXPECT_EQ(onDisk.size(), QSize(120, 60));
    EXPECT_EQ(onDisk.pixel(5, 5), qRgb(1, 2, 3));

    // Reopened from the history, the capture is the edited picture at scale 1.
    auto reopened = CaptureItem::fromHistory(*listed);
    ASSERT_TRUE(reopened->image);
    EXPECT_EQ(reopened->image->pixel(5, 5), qRgb(1, 2, 3));
    EXPECT_EQ(reopened->scale, 1.0);
    EXPECT_EQ(reopened->history, *listed);
}

TEST_F(CaptureItems, DisplayImagesForPicturesGifsVideosAndOtherFiles)
{
    auto picture = CaptureItem::fromImage(pattern(), 2.0, CaptureKind::screenshot);
    EXPECT_EQ(picture->displayImage().deviceIndependentSize(), QSizeF(40, 20));
    EXPECT_EQ(picture->pointSize(), QSizeF(40, 20));

    const QString data = QStringLiteral(TEST_DATA_DIR);
    auto gif = CaptureItem::fromFile(QUrl::fromLocalFile(data + QStringLiteral("/two-frames.gif")), CaptureKind::gif);
    const QImage gifFrame = gif->displayImage();
    ASSERT_EQ(gifFrame.size(), QSize(16, 8));
    EXPECT_GT(qRed(gifFrame.pixel(8, 4)), 200) << "the first (red) frame";

    auto video
        = CaptureItem::fromFile(QUrl::fromLocalFile(data + QStringLiteral("/first-frame.mp4")), CaptureKind::recording);
    const QImage frame = video->displayImage();
    ASSERT_EQ(frame.size(), QSize(64, 32));
    EXPECT_GT(qRed(frame.pixel(10, 16)), 200) << "left half red in frame 0";
    EXPECT_GT(qBlue(frame.pixel(54, 16)), 200) << "right half blue";
    EXPECT_LT(qGreen(frame.pixel(10, 16)), 60) << "not the green second frame";

    // The stream says "turn 90°": the upright picture is 32 × 64 with the red half at the bottom.
    auto rotated
        = CaptureItem::fromFile(QUrl::fromLocalFile(data + QStringLiteral("/rotated.mp4")), CaptureKind::recording);
    const QImage upright = rotated->displayImage();
    ASSERT_EQ(upright.size(), QSize(32, 64));
    EXPECT_GT(qBlue(upright.pixel(16, 5)), 200);
    EXPECT_GT(qRed(upright.pixel(16, 58)), 200);

    const QString broken = makeFile(QStringLiteral("broken.mp4"), "not a video");
    auto notAVideo = CaptureItem::fromFile(QUrl::fromLocalFile(broken), CaptureKind::recording);
    EXPECT_FALSE(firstVideoFrame(broken));
    EXPECT_FALSE(notAVideo->displayImage().isNull()) << "the file's icon instead";
    const QString brokenGif = makeFile(QStringLiteral("broken.gif"), "GIF89a");
    EXPECT_TRUE(CaptureItem::fromFile(QUrl::fromLocalFile(brokenGif), CaptureKind::gif)->displayImage().isNull());
    EXPECT_TRUE(CaptureItem().displayImage().isNull());
}

TEST_F(CaptureItems, AnEditedJpegIsWrittenBackAsJpegAndAFailedWriteBackIsReported)
{
    // The settings say PNG; the file chosen with "Save As…" is a JPEG, and stays one.
    settings.setImageFormat(ImageFormat::png);
    auto item = CaptureItem::fromImage(pattern(), 1.0, CaptureKind::screenshot);
    saveDialog.answer = folder.filePath(QStringLiteral("holiday.jpg"));
    item->saveAs();
    ASSERT_EQ(item->savedURL, QUrl::fromLocalFile(*saveDialog.answer));

    QImage edited(200, 100, QImage::Format_RGB32);
    edited.fill(QColor(250, 30, 30));
    item->replaceImage(edited);
    EXPECT_EQ(head(*saveDialog.answer, 3), jpegMagic);
    const QImage written(*saveDialog.answer);
    EXPECT_EQ(written.size(), QSize(200, 100));
    EXPECT_NEAR(QColor(written.pixel(100, 50)).red(), 250, 8);
    EXPECT_TRUE(toasts.requests.empty());

    // A saved file that can no longer be written (its folder is gone) says so.
    const QString gone = folder.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(gone));
    saveDialog.answer = gone + QStringLiteral("/shot.png");
    item->saveAs();
    ASSERT_TRUE(QDir(gone).removeRecursively());
    LogCapture log;
    item->replaceImage(pattern(30, 30));
    EXPECT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Save failed")});
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Vantrel: could not update %1: ").arg(*saveDialog.answer)));
}

TEST_F(CaptureItems, SaveAsOverAFileKeepsTheOldOneWhenTheCopyFails)
{
    // The recording to copy cannot be read (it was removed), so the copy fails: the file the
    // user chose to replace must survive, whole.
    const QString kept = makeFile(QStringLiteral("important.mp4"), "the user's own video");
    ASSERT_EQ(::chmod(QFile::encodeName(kept).constData(), 0640), 0);
    auto recording = CaptureItem::fromFile(
        QUrl::fromLocalFile(folder.filePath(QStringLiteral("Vantrel-gone.mp4"))), CaptureKind::recording);
    saveDialog.answer = kept;
    LogCapture log;
    recording->saveAs();
    EXPECT_EQ(head(kept, 100), QByteArray("the user's own video"));
    EXPECT_EQ(toastTexts(), std::vector<QString> {QStringLiteral("Save failed")});
    EXPECT_FALSE(recording->savedURL);
    EXPECT_EQ(log.lines().size(), 1);

    // A copy that works replaces it and keeps the permissions the user gave the file.
    const QString video = makeFile(QStringLiteral("Vantrel-1.mp4"), "frames");
    auto good = CaptureItem::fromFile(QUrl::fromLocalFile(video), CaptureKind::recording);
    good->saveAs();
    EXPECT_EQ(head(kept, 100), QByteArray("frames"));
    EXPECT_EQ(modeOf(kept), 0640u);
    // Nothing half-written is left beside it.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
