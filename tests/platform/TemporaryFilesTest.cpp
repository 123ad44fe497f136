// SPDX-License-Identifier: GPL-3.0-or-later
// Private temporary folders (sharing and dragging captures) are taken away when Vantrel quits.
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vantrel;

TEST(TemporaryFiles, EveryFolderMadeIsRemovedWithItsFiles)
{
    std::vector<QString> folders;
    for (int i = 0; i < 3; ++i) {
        const std::optional<QString> folder = files::makePrivateTemporaryDirectory();
        ASSERT_TRUE(folder);
        ASSERT_FALSE(files::writeFile(*folder + QStringLiteral("/Vantrel capture.png"), "png"));
        ASSERT_TRUE(QDir(*folder).mkpath(QStringLiteral("nested")));
        folders.push_back(*folder);
    }
    files::removeTemporaryDirectories();
    for (const QString& folder : folders)
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();

    // Folders made afterwards are remembered afresh; the removed ones are not tried again.
    const std::optional<QString> later = files::makePrivateTemporaryDirectory();
    ASSERT_TRUE(later);
    files::removeTemporaryDirectories();
    EXPECT_FALSE(QFileInfo::exists(*later));
}
