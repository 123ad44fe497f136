// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelfTest.h"

#include "EditorDocument.h"
#include "Fakes.h"
#include "Service.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace vantrel;

TEST(SelfTest, SummaryCountsFailures)
{
    EXPECT_EQ(selfTestSummary(0), QStringLiteral("ALL PASSED"));
    EXPECT_EQ(selfTestSummary(1), QStringLiteral("1 FAILED"));
    EXPECT_EQ(selfTestSummary(2), QStringLiteral("2 FAILED"));
}

TEST(SelfTest, TestDocumentCoversEveryKind)
{
    const std::unique_ptr<EditorDocument> doc = makeSelfTestDocument();
    ASSERT_EQ(doc->annotations().size(), 19u);
    EXPECT_EQ(doc->nextCounterNumber(), 3);
    std::set<QString> kinds;
    std::set<qint64> arrowStyles, textStyles;
    for (const Annotation& a : doc->annotations()) {
        kinds.insert(a.kind.isImage() ? QStringLiteral("image") : rawValue(*a.kind.tool()));
        if (a.is(Tool::arrow))
            arrowStyles.insert(a.style);
        if (a.is(Tool::text))
            textStyles.insert(a.style);
    }
    EXPECT_EQ(kinds.size(), 13u); // 12 drawing tools and dropped images
    EXPECT_EQ(textStyles.size(), 4u);
    EXPECT_GE(arrowStyles.size(), 3u);
}

TEST(SelfTest, PrintsEveryCheckAndWritesTheRender)
{
    test::FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    QTemporaryDir dir;
    QStringList lines;
    const int status
        = runSelfTest(dir.filePath(QStringLiteral("made/on/demand")), [&](const QString& line) { lines.append(line); });
    EXPECT_EQ(status, 0);
    const QStringList expected = {
        QStringLiteral("✓ editor render 1528x1028"),
        QStringLiteral("✓ counter numbering"),
        QStringLiteral("✓ scroll stitch offset 137"),
        QStringLiteral("✓ no-scroll detection"),
        QStringLiteral("✓ window background"),
        QStringLiteral("✓ hotkey label: ⇧⌘S"),
        QStringLiteral("✓ shadow trim"),
        QStringLiteral("ALL PASSED"),
    };
    EXPECT_EQ(lines, expected);
    const QImage written(dir.filePath(QStringLiteral("made/on/demand/editor-render.png")));
    EXPECT_EQ(written.size(), QSize(1528, 1028));
}

TEST(SelfTest, AnUnwritableRenderIsAFailure)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList lines;
    const int status
        = runSelfTest(dir.filePath(QStringLiteral("file/sub")), [&](const QString& line) { lines.append(line); });
    EXPECT_EQ(status, 1);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("1 FAILED"));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("✗ saved render ") + dir.filePath(QStringLiteral("file/sub/editor-render.png"))));
}
