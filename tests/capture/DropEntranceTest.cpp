// SPDX-License-Identifier: GPL-3.0-or-later
#include "DropEntrance.h"

#include "DesktopAppearance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantrel;

TEST(DropEntranceFrames, DipsToItsDeepestAt130msAndSettlesSquareAt750ms)
{
    const DropFrame start = dropEntranceFrame(0);
    EXPECT_TRUE(start.isRest());
    EXPECT_FALSE(start.finished);

    const DropFrame deepest = dropEntranceFrame(0.13);
    EXPECT_NEAR(deepest.scale, 0.955, 1e-12);
    EXPECT_NEAR(deepest.cornerRadius, 46.0, 1e-12);
    EXPECT_NEAR(deepest.rimOpacity, 1.0, 1e-12);

    // Halfway into the dip the curve is an ease-out: more than half of the way down.
    const DropFrame half = dropEntranceFrame(0.065);
    EXPECT_GT(1.0 - half.scale, 0.045 / 2);
    EXPECT_LT(1.0 - half.scale, 0.045);

    // The spring overshoots past full size somewhere on its way back.
    bool overshoots = false;
    for (double t = 0.13; t < 0.75; t += 0.005)
        overshoots = overshoots || dropEntranceFrame(t).scale > 1.0;
    EXPECT_TRUE(overshoots);
    EXPECT_NEAR(dropEntranceFrame(0.13 + 0.465).rimOpacity, 0.0, 1e-9);
    EXPECT_EQ(dropEntranceFrame(0.13 + 0.5).rimOpacity, 0.0);

    const DropFrame end = dropEntranceFrame(0.75);
    EXPECT_TRUE(end.finished);
    EXPECT_TRUE(end.isRest());
}

TEST(DropEntranceFrames, SlowMotionOnlyEverSlowsDown)
{
    const std::vector<std::pair<QByteArray, double>> cases
        = {{"4", 4.0}, {"0.5", 1.0}, {"abc", 1.0}, {"", 1.0}, {" 2.5 ", 2.5}, {"-3", 1.0}, {"inf", 1.0}};
    for (const auto& [value, slowdown] : cases)
        EXPECT_DOUBLE_EQ(dropEntranceSlowdown(value), slowdown) << value.toStdString();
    // Slowed four times, the 0.75-second entrance lasts 3 seconds.
    EXPECT_DOUBLE_EQ(0.75 * dropEntranceSlowdown("4"), 3.0);
}

TEST(ReduceMotion, KdeAndGtkSettingsFilesSwitchTheEntranceOff)
{
    struct Case
    {
        const char* file;
        QByteArray contents;
        bool reduce;
    };
    const std::vector<Case> cases = {
        {"kdeglobals", "[KDE]\nAnimationDurationFactor=0\n", true},
        {"kdeglobals", "[KDE]\nAnimationDurationFactor=0.5\n", false},
        {"gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations = false\n", true},
        {"gtk-4.0/settings.ini", "[Settings]\ngtk-enable-animations=0\n", true},
        {"gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=true\n", false},
    };
    for (const Case& c : cases) {
        QTemporaryDir config;
        const QString path = config.filePath(QString::fromLatin1(c.file));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.contents);
        file.close();
        EXPECT_EQ(X11DesktopAppearance::reduceMotionFromConfigFiles(config.path()), c.reduce) << c.file;
    }
    QTemporaryDir empty;
    EXPECT_FALSE(X11DesktopAppearance::reduceMotionFromConfigFiles(empty.path()));
}
