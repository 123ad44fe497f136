// SPDX-License-Identifier: GPL-3.0-or-later
// Where the recording overlays go, how the keystroke label fades, what it says, and how the
// webcam bubble resizes: plain geometry and text, no display.
#include "OverlayGeometry.h"

#include "Fakes.h"
#include "KeyCombo.h"
#include "KeyMonitor.h"
#include "Service.h"

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::overlaygeometry;

TEST(OverlayGeometry, TheKeystrokePanelIsCentredFortyPointsAboveTheAreasBottom)
{
    struct Case
    {
        QRectF screen, area, panel;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {100, 80, 600, 400}, {220, 384, 360, 56}},
        // A second screen to the right and below: the area is relative to it.
        {{1920, 200, 1280, 1024}, {0, 0, 1280, 1024}, {1920 + 460, 200 + 928, 360, 56}},
        // An area narrower than the panel: still centred on it, overhanging both sides.
        {{0, 0, 1920, 1080}, {500, 500, 100, 100}, {370, 504, 360, 56}},
    };
    for (const Case& c : cases) {
        const QRectF panel = keystrokePanelRect(c.screen, c.area);
        EXPECT_EQ(panel, c.panel) << panel.x() << "," << panel.y();
        EXPECT_DOUBLE_EQ(panel.center().x(), c.screen.x() + c.area.center().x());
        EXPECT_DOUBLE_EQ(c.screen.y() + c.area.bottom() - panel.bottom(), 40.0);
    }
}

TEST(OverlayGeometry, TheKeyStaysForOnePointTwoSecondsThenFadesOverPointThree)
{
    const std::pair<double, double> timeline[] = {
        {0.0, 1.0}, {0.5, 1.0}, {1.199, 1.0}, // held
        {1.2, 1.0}, {1.275, 0.75}, {1.35, 0.5}, {1.425, 0.25}, // fading, evenly
        {1.5, 0.0}, {3.0, 0.0}, // gone
        {-0.1, 1.0}, // a clock that steps back never hides a fresh key
    };
    for (const auto& [seconds, opacity] : timeline)
        EXPECT_NEAR(keystrokeOpacity(seconds), opacity, 1e-9) << seconds << " s";
}

class KeystrokeText : public ::testing::Test
{
protected:
    test::FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
};

TEST_F(KeystrokeText, ModifiersInTheFixedOrderThenTheKeyTheLinuxWay)
{
    constexpr quint32 ctrl = KeyCombo::control, alt = KeyCombo::option, shift = KeyCombo::shift,
                      super = KeyCombo::command;
    struct Case
    {
        quint32 keyCode, modifiers;
        const char* symbolName;
        const char* text;
    };
    const Case cases[] = {
        {21, ctrl | shift, "4", "Ctrl+Shift+4"}, // digit 4
        {21, shift | ctrl, "4", "Ctrl+Shift+4"}, // the order is fixed, not the order pressed
        {1, shift | super, "s", "Shift+Super+S"}, {0, ctrl | alt | shift | super, "a", "Ctrl+Alt+Shift+Super+A"},
        {0, 0, "a", "A"}, {36, 0, "Return", "Enter"}, // named keys as the shortcut labels name them, no glyphs
        {51, ctrl, "BackSpace", "Ctrl+Backspace"}, {53, 0, "Escape", "Esc"}, {123, alt, "Left", "Alt+Left"},
        {122, super, "F1", "Super+F1"}, {49, 0, "space", "Space"}, {0x10000 + 99, 0, "Print", "Print"},
        {115, 0, "Home", "Home"}, // nothing printed: the keyboard map's name
        {0x10000 + 115, super, "Volume Up", "Super+Volume Up"}, {0x10000 + 240, 0, "", "?"}, // no name anywhere
    };
    for (const Case& c : cases) {
        const KeyPress press {
            .keyCode = c.keyCode, .modifiers = c.modifiers, .symbolName = QString::fromUtf8(c.symbolName)};
        const QString text = keystrokeText(press);
        EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.keyCode;
        for (const char* macWord : {"⌘", "⌥", "⌃", "⇧", "Command", "Option", "Cmd"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(macWord))) << text.toStdString();
    }
}

TEST_F(KeystrokeText, AKeyOfTheUsersLayoutShowsItsCharacter)
{
    layout.overrides[12] = QStringLiteral("a"); // Q key on an AZERTY layout
    EXPECT_EQ(keystrokeText({.keyCode = 12, .modifiers = KeyCombo::control}), QStringLiteral("Ctrl+A"));
    layout.available = false; // no keyboard map: the name the press brought along
    EXPECT_EQ(keystrokeText({.keyCode = 12, .modifiers = 0, .symbolName = QStringLiteral("q")}), QStringLiteral("q"));
}

TEST(OverlayGeometry, TheBubbleSitsInTheAreasBottomRightCornerWithMargins)
{
    const QRectF bubble = bubbleRect({1920, 100, 1280, 1024}, {40, 30, 800, 600});
    EXPECT_EQ(bubble, QRectF(1920 + 840 - 24 - 180, 100 + 630 - 24 - 180, 180, 180));
}

TEST(OverlayGeometry, ScrollingResizesTheBubbleBetweenItsLimitsKeepingItRoundAndCentred)
{
    const QRectF start(500, 300, 180, 180);
    struct Case
    {
        double delta, size;
    };
    const Case cases[] = {{0, 180}, {20, 200}, {-30, 150}, {-80, 100}, {-500, 100}, {240, 420}, {5000, 420}};
    for (const Case& c : cases) {
        const QRectF resized = resizedBubble(start, c.delta);
        EXPECT_DOUBLE_EQ(resized.width(), c.size) << c.delta;
        EXPECT_DOUBLE_EQ(resized.height(), resized.width()) << "round";
        EXPECT_EQ(resized.center(), start.center()) << c.delta;
    }
    // Many small turns never escape the limits either.
    QRectF bubble = start;
    for (int i = 0; i < 100; ++i)
        bubble = resizedBubble(bubble, 7);
    EXPECT_DOUBLE_EQ(bubble.width(), 420);
    for (int i = 0; i < 100; ++i)
        bubble = resizedBubble(bubble, -7);
    EXPECT_DOUBLE_EQ(bubble.width(), 100);
    EXPECT_EQ(bubble.center(), start.center());
}
