// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChromeWindow.h"
#include "ToastService.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;

TEST(Toasts, ASecondToastReplacesTheFirstAndTheFirstNeverHidesIt)
{
    ToastService toasts;
    toasts.show({.text = QStringLiteral("Copied to clipboard"),
        .symbol = QStringLiteral("checkmark.circle.fill"),
        .duration = 0.3});
    QPointer<ToastPanel> first = toasts.currentPanel();
    ASSERT_TRUE(first);
    QTest::qWait(100);
    toasts.show({.text = QStringLiteral("Saved to Desktop"),
        .symbol = QStringLiteral("arrow.down.circle.fill"),
        .duration = 1.0});
    ToastPanel* second = toasts.currentPanel();
    ASSERT_NE(second, first.data());
    EXPECT_TRUE(!first || !first->isVisible());

    // Well past the first toast's own time: the second one is still up.
    QTest::qWait(500);
    EXPECT_EQ(toasts.currentPanel(), second);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->text(), QStringLiteral("Saved to Desktop"));

    // And it goes by itself after its duration and the fade.
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.currentPanel() == nullptr; }, 2000));
}

TEST(Toasts, CapsuleSitsAboveTheBottomOfTheScreenAndNeverTakesInput)
{
    ToastService toasts;
    toasts.show({.text = QStringLiteral("Copied to clipboard"), .symbol = QStringLiteral("checkmark.circle.fill")});
    ToastPanel* panel = toasts.currentPanel();
    ASSERT_NE(panel, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(panel->geometry().bottom() + 1, screen.bottom() + 1 - ToastService::bottomOffset);
    EXPECT_LE(std::abs(panel->geometry().center().x() - screen.center().x()), 1);
    EXPECT_DOUBLE_EQ(panel->cornerRadius(), panel->height() / 2.0);
    EXPECT_TRUE(isChrome(panel));
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_FALSE(panel->isActiveWindow());
}

TEST(Toasts, LongTextIsCappedAt520AndCutAtItsEnd)
{
    ToastService toasts;
    const QString text = QStringLiteral("Recording stopped: ") + QString(400, QLatin1Char('x'));
    toasts.show({.text = text, .symbol = QStringLiteral("exclamationmark.triangle.fill"), .duration = 3.0});
    ToastPanel* panel = toasts.currentPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->width(), 520);
    EXPECT_TRUE(panel->displayedText().startsWith(QStringLiteral("Recording stopped: ")));
    EXPECT_TRUE(panel->displayedText().endsWith(QChar(0x2026)));
    EXPECT_LT(panel->displayedText().size(), text.size());

    toasts.show({.text = QStringLiteral("OK"), .symbol = QStringLiteral("checkmark.circle.fill")});
    EXPECT_LT(toasts.currentPanel()->width(), 120);
    EXPECT_EQ(toasts.currentPanel()->displayedText(), QStringLiteral("OK"));
}

TEST(Toasts, UnknownSymbolLeavesAnEmptySlotBeforeTheText)
{
    ToastService toasts;
    toasts.show({.text = QStringLiteral("Hello"), .symbol = QStringLiteral("no.such.symbol")});
    ToastPanel* withUnknown = toasts.currentPanel();
    ASSERT_NE(withUnknown, nullptr);
    const int width = withUnknown->width();
    toasts.show({.text = QStringLiteral("Hello"), .symbol = QStringLiteral("checkmark.circle.fill")});
    EXPECT_EQ(toasts.currentPanel()->width(), width); // same slot, just empty
}

TEST(Toasts, LargeStyleIsCentredWithTheBigRadius)
{
    ToastService toasts;
    toasts.show({.text = QStringLiteral("3"),
        .symbol = QStringLiteral("checkmark.circle.fill"),
        .large = true,
        .duration = 0.9});
    ToastPanel* panel = toasts.currentPanel();
    ASSERT_NE(panel, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(panel->geometry().center().y() - screen.center().y()), 1);
    EXPECT_LE(std::abs(panel->geometry().center().x() - screen.center().x()), 1);
    EXPECT_DOUBLE_EQ(panel->cornerRadius(), 24.0);
    EXPECT_GT(panel->height(), 64); // a 64-point label inside 20-point insets
}
