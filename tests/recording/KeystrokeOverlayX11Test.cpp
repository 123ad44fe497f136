// SPDX-License-Identifier: GPL-3.0-or-later
// The keystroke overlay against a real X server: keys typed into another program's window
// (through XTest, as a keyboard would) reach it as XInput 2 raw events and show with their
// modifiers, in the fixed order, until they fade.
#include "DesktopFakes.h"
#include "KeyMonitor.h"
#include "KeyboardLayout.h"
#include "KeystrokeOverlay.h"
#include "OverlayGeometry.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class KeystrokeOverlayX11 : public ::testing::Test, public DesktopFakes
{
protected:
    void SetUp() override
    {
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
        // Another program with the keyboard focus: the keys are typed into it, not into us.
        m_other.start(QStringLiteral("xmessage"),
            {QStringLiteral("-geometry"), QStringLiteral("+600+300"), QStringLiteral("-title"),
                QStringLiteral("typing here"), QStringLiteral("Keys go to this window")});
        ASSERT_TRUE(m_other.waitForStarted(5000));
        const std::optional<quint32> window = waitForWindow(QStringLiteral("typing here"));
        ASSERT_TRUE(window);
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(*window)});
    }
    void TearDown() override
    {
        overlay.stop();
        m_other.kill();
        m_other.waitForFinished(5000);
    }

    XkbKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    X11KeyMonitor monitor;
    ScopedService<KeyMonitor> monitorSlot {&monitor};
    KeystrokeOverlay& overlay = KeystrokeOverlay::shared();
    QScreen* m_screen = nullptr;
    QProcess m_other;
    const QRectF area {100, 100, 800, 500};
};

} // namespace

TEST_F(KeystrokeOverlayX11, KeysTypedIntoAnotherProgramShowWithTheirModifiersInTheFixedOrder)
{
    overlay.start(m_screen, area);
    ASSERT_TRUE(overlay.isRunning());
    ASSERT_NE(overlay.window(), nullptr);
    EXPECT_TRUE(toasts.requests.empty()) << "X11 lets Vantrel read the keys";
    QSignalSpy shown(&overlay, &KeystrokeOverlay::keyShown);

    struct Case
    {
        const char* typed; // as xdotool names the keys, in the order they go down
        const char* text;
    };
    const Case cases[] = {
        {"ctrl+shift+4", "Ctrl+Shift+4"},
        {"shift+ctrl+4", "Ctrl+Shift+4"},
        {"super+alt+shift+ctrl+a", "Ctrl+Alt+Shift+Super+A"},
        {"shift+super+s", "Shift+Super+S"},
        {"Left", "Left"},
        {"Home", "Home"},
        {"F5", "F5"},
    };
    for (const Case& c : cases) {
        const int before = shown.count();
        xdotool({QStringLiteral("key"), QString::fromLatin1(c.typed)});
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown.count() > before; }, 3000)) << c.typed;
        EXPECT_EQ(shown.count(), before + 1) << c.typed << ": one key, its modifiers are not keys of their own";
        EXPECT_EQ(overlay.text(), QString::fromUtf8(c.text)) << c.typed;
        EXPECT_TRUE(overlay.window()->isVisible());
    }
    EXPECT_EQ(
        QRectF(overlay.window()->geometry()), overlaygeometry::keystrokePanelRect(QRectF(m_screen->geometry()), area));

    // Modifiers alone are no keystroke: the next key shows by itself, unmodified.
    const int before = shown.count();
    xdotool({QStringLiteral("key"), QStringLiteral("shift"), QStringLiteral("ctrl"), QStringLiteral("b")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.count() > before; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay.text() == QStringLiteral("B"); }, 3000));
    EXPECT_EQ(shown.count(), before + 1);

    overlay.stop();
    EXPECT_EQ(overlay.window(), nullptr);
    // Stopped: keys go unseen.
    xdotool({QStringLiteral("key"), QStringLiteral("c")});
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.count(), before + 1);
}

TEST_F(KeystrokeOverlayX11, TypingSteadilyKeepsTheLabelUpAndItFadesAfterTheLastKey)
{
    overlay.start(m_screen, area);
    ASSERT_NE(overlay.window(), nullptr);
    QSignalSpy shown(&overlay, &KeystrokeOverlay::keyShown);
    QSignalSpy faded(&overlay, &KeystrokeOverlay::faded);
    // Four keys 0.4 s apart, xdotool keeping the time: well within 1.2 s of each other.
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("400"), QStringLiteral("abcd")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.count() == 4; }, 5000));
    EXPECT_EQ(faded.count(), 0) << "the label stayed up while typing";
    EXPECT_EQ(overlay.text(), QStringLiteral("D"));
    ASSERT_TRUE(faded.wait(5000));
    EXPECT_FALSE(overlay.window()->isVisible());
    EXPECT_EQ(shown.count(), 4);
}
