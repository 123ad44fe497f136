// SPDX-License-Identifier: GPL-3.0-or-later
// The sound player coming and going with sounds still queued: its worker never touches what
// the player freed, and its own sound files do not stay behind. Without a sound server (as
// here) every play fails quietly, which is the path a desktop without audio takes.
#include "Sounds.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

QStringList leftoverSoundFiles()
{
    const QDir runtime(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    return runtime.entryList({QStringLiteral("vantrel-*.wav")}, QDir::Files);
}

} // namespace

TEST(Sounds, APlayerDestroyedWithSoundsQueuedLeavesNothingBehind)
{
    for (int round = 0; round < 20; ++round) {
        CanberraSounds sounds;
        for (int i = 0; i < 8; ++i) {
            sounds.playCapture();
            sounds.playTick();
        }
        // Gone at once, while its worker is busy with the first sound and the rest are queued.
    }
    EXPECT_EQ(leftoverSoundFiles(), QStringList());
}

TEST(Sounds, ThePlayersFilesGoWithIt)
{
    {
        CanberraSounds sounds;
        sounds.playTick();
        // The worker writes Vantrel's own sounds before it plays the first one.
        ASSERT_TRUE(QTest::qWaitFor([] { return leftoverSoundFiles().size() == 2; }, 5000));
    }
    EXPECT_EQ(leftoverSoundFiles(), QStringList());
}
