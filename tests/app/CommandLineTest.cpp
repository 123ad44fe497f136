// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ImageFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST(CommandLineParse, ExistingFilesBecomeUrlsAndEverythingElseIsIgnored)
{
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("a b.png"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("c.png"))).open(QIODevice::WriteOnly);
    const CommandLine parsed
        = parseCommandLine({QStringLiteral("a b.png"), QStringLiteral("missing.png"), QStringLiteral("--flag"),
                               QUrl::fromLocalFile(dir.filePath(QStringLiteral("c.png"))).toString(),
                               QStringLiteral("https://x/y.png"), QStringLiteral(".")},
            dir.path());
    ASSERT_EQ(parsed.files.size(), 2);
    EXPECT_EQ(parsed.files[0].toLocalFile(), dir.filePath(QStringLiteral("a b.png")));
    EXPECT_EQ(parsed.files[1].toLocalFile(), dir.filePath(QStringLiteral("c.png")));
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
    ASSERT_TRUE(opened.has_value());
    EXPECT_DOUBLE_EQ(opened->scale, 2.0);

    // What Qt itself writes by default: 96 dpi, one pixel per point on a Linux desktop.
    const QString qtDefault = dir.filePath(QStringLiteral("qt.png"));
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    ASSERT_TRUE(image.save(qtDefault));
    opened = loadImageFile(qtDefault);
    ASSERT_TRUE(opened.has_value());
    EXPECT_DOUBLE_EQ(opened->scale, 1.0);

    const QString jpeg = dir.filePath(QStringLiteral("plain.jpg"));
    image.setDotsPerMeterX(2835); // 72 dpi
    image.setDotsPerMeterY(2835);
    ASSERT_TRUE(image.save(jpeg));
    opened = loadImageFile(jpeg);
    ASSERT_TRUE(opened.has_value());
    EXPECT_DOUBLE_EQ(opened->scale, 1.0);

    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG\r\n\x1a\n garbage");
    f.close();
    EXPECT_FALSE(loadImageFile(broken).has_value());
    EXPECT_FALSE(loadImageFile(dir.filePath(QStringLiteral("none.png"))).has_value());
}
