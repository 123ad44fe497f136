// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "Fakes.h"
#include "ImageFiles.h"
#include "PngEncoder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace vantrel;

TEST(CommandLineParse, SelfTestWinsAndTakesTheNextArgumentAsItsFolder)
{
    struct Case
    {
        QStringList args;
        CommandLine::Mode mode;
        QString directory;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--selftest"), QStringLiteral("/tmp/out")}, CommandLine::Mode::selfTest,
            QStringLiteral("/tmp/out")},
        {{QStringLiteral("--selftest")}, CommandLine::Mode::selfTest, QDir::tempPath()},
        {{QStringLiteral("--selftest"), QStringLiteral("--preview-recording-bar")}, CommandLine::Mode::selfTest,
            QStringLiteral("--preview-recording-bar")},
        {{QStringLiteral("--preview-recording-bar"), QStringLiteral("--selftest")}, CommandLine::Mode::selfTest,
            QDir::tempPath()},
        {{QStringLiteral("x"), QStringLiteral("--preview-recording-bar")}, CommandLine::Mode::previewRecordingBar,
            QString()},
        {{QStringLiteral("--verbose")}, CommandLine::Mode::normal, QString()},
        {{}, CommandLine::Mode::normal, QString()},
    };
    for (const Case& c : cases) {
        const CommandLine parsed = parseCommandLine(c.args, QDir::currentPath());
        EXPECT_EQ(parsed.mode, c.mode) << c.args.join(' ').toStdString();
        EXPECT_EQ(parsed.selfTestDirectory, c.directory) << c.args.join(' ').toStdString();
    }
}

TEST(CommandLineParse, HelpAndVersionComeAfterTheSelfTestAndBeforeEverythingElse)
{
    struct Case
    {
        QStringList args;
        CommandLine::Mode mode;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--help")}, CommandLine::Mode::help},
        {{QStringLiteral("-h"), QStringLiteral("shot.png")}, CommandLine::Mode::help},
        {{QStringLiteral("--version"), QStringLiteral("--help")}, CommandLine::Mode::help},
        {{QStringLiteral("--help"), QStringLiteral("--selftest")}, CommandLine::Mode::selfTest},
        {{QStringLiteral("--version")}, CommandLine::Mode::version},
        {{QStringLiteral("--action"), QStringLiteral("--version")}, CommandLine::Mode::version},
        {{QStringLiteral("--action"), QStringLiteral("nonsense"), QStringLiteral("--help")}, CommandLine::Mode::help},
        {{QStringLiteral("--action"), QStringLiteral("captureArea"), QStringLiteral("--selftest")},
            CommandLine::Mode::selfTest},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseCommandLine(c.args, QDir::currentPath()).mode, c.mode) << c.args.join(' ').toStdString();
}

TEST(CommandLineParse, EveryActionIsReachableByItsRawName)
{
    for (HotKeyAction action : allHotKeyActions) {
        for (const QStringList& args : {QStringList {QStringLiteral("--action"), rawValue(action)},
                 QStringList {QStringLiteral("--action=") + rawValue(action)},
                 QStringList {QStringLiteral("--unknown-option"), QStringLiteral("--action"), rawValue(action)}}) {
            const CommandLine parsed = parseCommandLine(args, QDir::currentPath());
            EXPECT_EQ(parsed.mode, CommandLine::Mode::action) << args.join(' ').toStdString();
            EXPECT_EQ(parsed.action, action) << args.join(' ').toStdString();
            EXPECT_TRUE(parsed.files.isEmpty()) << "the name is no file to open";
        }
    }
}

TEST(CommandLineParse, AMistakenActionIsExplainedAndListsTheActionsWhereANameIsWrong)
{
    const QString longName(100000, QLatin1Char('x'));
    struct Case
    {
        QStringList args;
        const char* problem; // the first line
        bool listsActions;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--action"), QStringLiteral("captureEverything")},
            "vantrel: unknown action \"captureEverything\"", true},
        {{QStringLiteral("--action"), QStringLiteral("capturearea")}, "vantrel: unknown action \"capturearea\"", true},
        {{QStringLiteral("--action"), QStringLiteral("Capture Area")}, "vantrel: unknown action \"Capture Area\"",
            true},
        {{QStringLiteral("--action"), QString()}, "vantrel: --action needs the name of an action", true},
        {{QStringLiteral("--action=")}, "vantrel: --action needs the name of an action", true},
        {{QStringLiteral("--action")}, "vantrel: --action needs the name of an action", true},
        {{QStringLiteral("--action"), longName},
            "vantrel: unknown action \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\"", true},
        {{QStringLiteral("--action"), QStringLiteral("captureArea"), QStringLiteral("--action"),
             QStringLiteral("captureWindow")},
            "vantrel: give one --action at a time", false},
        {{QStringLiteral("--action"), QStringLiteral("captureArea"), QStringLiteral("--action=captureArea")},
            "vantrel: give one --action at a time", false},
        {{QStringLiteral("--action"), QStringLiteral("captureArea"), QStringLiteral("shot.png")},
            "vantrel: --action opens no files", false},
        {{QStringLiteral("--preview-recording-bar"), QStringLiteral("--action"), QStringLiteral("captureArea")},
            "vantrel: --action and --preview-recording-bar exclude each other", false},
    };
    for (const Case& c : cases) {
        const std::string label = c.args.join(' ').left(80).toStdString();
        const CommandLine parsed = parseCommandLine(c.args, QDir::currentPath());
        ASSERT_EQ(parsed.mode, CommandLine::Mode::invalid) << label;
        EXPECT_FALSE(parsed.action) << label;
        const QStringList lines = parsed.problem.split(QLatin1Char('\n'));
        EXPECT_EQ(lines.first(), QString::fromUtf8(c.problem)) << label;
        EXPECT_LT(parsed.problem.size(), 2000) << label << ": a long name is not echoed whole";
        for (HotKeyAction action : allHotKeyActions) {
            const bool listed = lines.contains(
                QStringLiteral("  %1").arg(rawValue(action), -20) + QStringLiteral("  ") + title(action));
            EXPECT_EQ(listed, c.listsActions) << label << " " << rawValue(action).toStdString();
        }
    }
}

TEST(CommandLineParse, HelpNamesEveryOptionAndAction)
{
    const QString help = helpText();
    for (const char* option :
        {"--action NAME", "--selftest [FOLDER]", "--preview-recording-bar", "--help", "--version"})
        EXPECT_TRUE(help.contains(QString::fromUtf8(option))) << option;
    for (HotKeyAction action : allHotKeyActions)
        EXPECT_TRUE(help.contains(rawValue(action))) << rawValue(action).toStdString();
}

TEST(CommandLineParse, EveryNamedFileIsKeptSoThatItsFailureCanBeReported)
{
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("a b.png"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("c.png"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("shot:1.png"))).open(QIODevice::WriteOnly);
    const CommandLine parsed = parseCommandLine(
        {QStringLiteral("a b.png"), QStringLiteral("missing.png"), QStringLiteral("--flag"),
            QUrl::fromLocalFile(dir.filePath(QStringLiteral("c.png"))).toString(), QStringLiteral("https://x/y.png"),
            QStringLiteral("."), QStringLiteral("shot:1.png"), QStringLiteral("sub/../d.png")},
        dir.path());
    const QList<QUrl> expected = {QUrl::fromLocalFile(dir.filePath(QStringLiteral("a b.png"))),
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.png"))),
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("c.png"))), QUrl(QStringLiteral("https://x/y.png")),
        QUrl::fromLocalFile(dir.path()), QUrl::fromLocalFile(dir.filePath(QStringLiteral("shot:1.png"))),
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("d.png")))};
    EXPECT_EQ(parsed.files, expected);
}

namespace {

// Runs `work` on another thread and waits at most five seconds for it; a FIFO that makes it
// block is then opened for writing, so the thread can end and the test can report the hang.
template <typename Work> bool finishesPromptly(Work work, const QString& fifo)
{
    std::atomic<bool> done = false;
    std::thread thread([&] {
        work();
        done = true;
    });
    const bool prompt = QTest::qWaitFor([&] { return done.load(); }, 5000);
    if (!prompt) {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        thread.join();
        if (writer >= 0)
            ::close(writer);
    } else {
        thread.join();
    }
    return prompt;
}

} // namespace

TEST(OpenedImages, FilesThatAreNoPicturesSayWhy)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.png"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QString text = dir.filePath(QStringLiteral("notes.png"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("shopping list: milk, eggs\n");
    notes.close();
    const QString truncated = dir.filePath(QStringLiteral("cut.png"));
    {
        QImage picture(300, 300, QImage::Format_RGB32);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                picture.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        QFile cut(truncated);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(png.left(png.size() / 2));
    }
    const QString folder = dir.filePath(QStringLiteral("folder.png"));
    QDir().mkpath(folder);
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    struct Case
    {
        QString path;
        const char* why;
    };
    const Case cases[] = {
        {empty, "the file is empty"},
        {text, "it is not an image Vantrel can read"},
        {truncated, "the picture is damaged or incomplete"},
        {folder, "it is a folder"},
        {fifo, "it is not a regular file"},
        {dir.filePath(QStringLiteral("missing.png")), "there is no such file"},
    };
    for (const Case& c : cases) {
        std::optional<Expected<OpenedImage>> opened;
        ASSERT_TRUE(finishesPromptly([&] { opened = loadImageFile(c.path); }, fifo)) << c.why;
        ASSERT_FALSE(opened->ok()) << c.why;
        EXPECT_EQ(opened->error().description, QString::fromUtf8(c.why));
        if (c.path != truncated) {
            const std::optional<Error> checked = checkImageFile(c.path);
            ASSERT_TRUE(checked) << c.why;
            EXPECT_EQ(checked->description, QString::fromUtf8(c.why));
        }
    }

    // A launch names each file it cannot open and keeps the others.
    const QString good = dir.filePath(QStringLiteral("good.png"));
    ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(good));
    test::LogCapture log;
    const QList<QUrl> openable = openableFiles({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(good),
        QUrl::fromLocalFile(fifo), QUrl(QStringLiteral("https://x/y.png"))});
    EXPECT_EQ(openable, QList<QUrl> {QUrl::fromLocalFile(good)});
    EXPECT_EQ(log.lines(),
        (QStringList {QStringLiteral("Vantrel: could not open %1: it is a folder").arg(folder),
            QStringLiteral("Vantrel: could not open %1: it is not a regular file").arg(fifo),
            QStringLiteral("Vantrel: could not open https://x/y.png: only local files can be opened")}));
}

TEST(OpenedImages, PicturesAsLargeAsVantrelMakesOpen)
{
    // A scrolling capture stops after 30,000 rows plus the frame that crossed them, at most a
    // 4K screen's height; every such picture must fit the allocation limit.
    allowLargeImages();
    EXPECT_GE(qint64(QImageReader::allocationLimit()) << 20, qint64(3840) * (30001 + 2160) * 4);

    QImage large(8000, 8000, QImage::Format_RGB32);
    large.fill(QColor(20, 120, 220));
    const std::optional<QByteArray> png = encodePng(large, PngSpeed::fast);
    ASSERT_TRUE(png);
    large = QImage();
    const Expected<OpenedImage> opened = decodeImageFile(*png);
    ASSERT_TRUE(opened.ok()) << opened.error().description.toStdString();
    EXPECT_EQ(opened->image.size(), QSize(8000, 8000));
    EXPECT_EQ(opened->image.pixelColor(7999, 7999), QColor(20, 120, 220));
}

TEST(OpenedImages, ScaleIsPixelsPerDeclaredPoint)
{
    EXPECT_DOUBLE_EQ(imageScale(2880, 1440), 2.0);
    EXPECT_DOUBLE_EQ(imageScale(1000, 0), 1000.0); // a point width of 0 counts as 1
    EXPECT_DOUBLE_EQ(imageScale(1000, 1), 1000.0);
    EXPECT_DOUBLE_EQ(imageScale(1000, 1000), 1.0);
}

TEST(OpenedImages, DeclaredResolutionsOfBothConventionsMapToScreenScales)
{
    const std::vector<std::pair<std::optional<double>, double>> cases
        = {{std::nullopt, 1}, {72, 1}, {144, 2}, {216, 3}, {96, 1}, {192, 2}, {143.99, 2}, {300, 1}, {0, 1}, {-5, 1}};
    for (const auto& [dpi, scale] : cases)
        EXPECT_DOUBLE_EQ(pixelsPerPointForResolution(dpi), scale) << dpi.value_or(-1);
}

TEST(OpenedImages, ResolutionComesFromTheFile)
{
    QTemporaryDir dir;
    QImage image(2880, 20, QImage::Format_RGB32);
    image.fill(Qt::white);

    const QString retina = dir.filePath(QStringLiteral("retina.png"));
    image.setDotsPerMeterX(5669); // 144 dpi, as a HiDPI screenshot declares
    image.setDotsPerMeterY(5669);
    ASSERT_TRUE(image.save(retina));
    auto opened = loadImageFile(retina);
    ASSERT_TRUE(opened.ok());
    EXPECT_DOUBLE_EQ(opened->scale, 2.0);

    // What Qt itself writes by default: 96 dpi, one pixel per point on a Linux desktop.
    const QString qtDefault = dir.filePath(QStringLiteral("qt.png"));
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    ASSERT_TRUE(image.save(qtDefault));
    opened = loadImageFile(qtDefault);
    ASSERT_TRUE(opened.ok());
    EXPECT_DOUBLE_EQ(opened->scale, 1.0);

    const QString jpeg = dir.filePath(QStringLiteral("plain.jpg"));
    image.setDotsPerMeterX(2835); // 72 dpi
    image.setDotsPerMeterY(2835);
    ASSERT_TRUE(image.save(jpeg));
    opened = loadImageFile(jpeg);
    ASSERT_TRUE(opened.ok());
    EXPECT_DOUBLE_EQ(opened->scale, 1.0);

    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG\r\n\x1a\n garbage");
    f.close();
    EXPECT_FALSE(loadImageFile(broken).ok());
    EXPECT_FALSE(loadImageFile(dir.filePath(QStringLiteral("none.png"))).ok());
}
