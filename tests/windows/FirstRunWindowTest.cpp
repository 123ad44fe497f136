// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirstRunWindow.h"

#include "PlatformCapabilities.h"
#include "SettingsWindow.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using test::findByText;

namespace {

class FirstRunTest : public ::testing::Test, public test::WindowFakes
{
protected:
    void TearDown() override
    {
        delete FirstRunWindow::current();
        delete SettingsWindow::current();
    }

    FirstRunWindow* open()
    {
        FirstRunWindow::showWindow();
        FirstRunWindow* window = FirstRunWindow::current();
        EXPECT_NE(window, nullptr);
        return window;
    }

    static int firstRunWindows()
    {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += qobject_cast<FirstRunWindow*>(widget) && widget->isVisible() ? 1 : 0;
        return count;
    }

    // How many opaque pixels of the permission symbol have each colour.
    static std::pair<int, int> symbolColours(const FirstRunWindow* window)
    {
        const QImage symbol = window->permissionSymbol()->pixmap().toImage();
        int granted = 0, required = 0;
        for (int y = 0; y < symbol.height(); ++y) {
            for (int x = 0; x < symbol.width(); ++x) {
                const QColor c = symbol.pixelColor(x, y);
                if (c.alpha() < 255)
                    continue;
                granted += c.rgb() == FirstRunWindow::grantedColor().rgb() ? 1 : 0;
                required += c.rgb() == FirstRunWindow::requiredColor().rgb() ? 1 : 0;
            }
        }
        return {granted, required};
    }
};

} // namespace

TEST_F(FirstRunTest, GreetsAndListsTheMainShortcutsAsTheyAreNow)
{
    // A shortcut cleared before the window opens reads "—".
    HotKeyMap keys = settings.hotKeys();
    keys.erase(QStringLiteral("captureText"));
    settings.setHotKeys(keys);

    FirstRunWindow* window = open();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(520, 520));
    EXPECT_NE(findByText<QLabel>(window, "Welcome to Vantrel"), nullptr);
    EXPECT_NE(findByText<QLabel>(window, "Screenshots, recordings, annotations and OCR — right from your system tray."),
        nullptr);
    EXPECT_NE(findByText<QLabel>(window, "Default shortcuts"), nullptr);
    EXPECT_NE(findByText<QLabel>(window, "Screen Recording permission"), nullptr);
    EXPECT_TRUE(window->permissionDetail()->isVisible()) << "a desktop that can refuse shows the row";

    const std::vector<std::pair<HotKeyAction, QString>> expected = {
        {HotKeyAction::allInOne, "Shift+Super+1"},
        {HotKeyAction::captureArea, "Shift+Super+S"},
        {HotKeyAction::captureFullscreen, "Shift+Super+F"},
        {HotKeyAction::captureWindow, "Shift+Super+6"},
        {HotKeyAction::recordScreen, "Shift+Super+D"},
        {HotKeyAction::captureText, "—"},
    };
    ASSERT_EQ(FirstRunWindow::listedActions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [action, label] = expected[i];
        EXPECT_EQ(FirstRunWindow::listedActions[i], action);
        EXPECT_NE(findByText<QLabel>(window, title(action)), nullptr);
        EXPECT_EQ(window->shortcutLabel(action)->text(), label) << title(action).toStdString();
    }

    // A shortcut recorded meanwhile shows at once.
    keys[QStringLiteral("captureText")] = KeyCombo {96, KeyCombo::control | KeyCombo::option};
    settings.setHotKeys(keys);
    EXPECT_EQ(window->shortcutLabel(HotKeyAction::captureText)->text(), QStringLiteral("Ctrl+Alt+F5"));
}

TEST_F(FirstRunTest, NoPermissionRowWhereReadingTheScreenIsNeverRefused)
{
    GrantedCaptureAccess x11;
    ScopedService<CaptureAccess> x11Slot {&x11};
    FirstRunWindow* window = open();
    EXPECT_TRUE(window->permissionRow()->isHidden());
    EXPECT_FALSE(window->permissionDetail()->isVisible());
    EXPECT_FALSE(window->timer().isActive()) << "nothing to poll for";
    EXPECT_TRUE(window->getStartedButton()->isVisible());
}

TEST_F(FirstRunTest, ThePermissionRowTurnsGreenWithinASecondOfAccessBeingGranted)
{
    access.granted = false;
    FirstRunWindow* window = open();
    EXPECT_FALSE(window->hasPermission());
    EXPECT_EQ(window->permissionDetail()->text(),
        QStringLiteral("Required to capture your screen. Relaunch Vantrel after granting."));
    EXPECT_FALSE(window->grantButton()->isHidden());
    EXPECT_EQ(window->grantButton()->text(), QStringLiteral("Grant…"));
    auto [green, orange] = symbolColours(window);
    EXPECT_EQ(green, 0);
    EXPECT_GT(orange, 50);

    window->grantButton()->click();
    EXPECT_EQ(access.requests, 1);
    EXPECT_FALSE(window->hasPermission());

    EXPECT_TRUE(window->timer().isActive());
    EXPECT_EQ(window->timer().interval(), 1000);
    access.granted = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasPermission(); }, 1500));
    EXPECT_EQ(window->permissionDetail()->text(), QStringLiteral("Granted"));
    EXPECT_TRUE(window->grantButton()->isHidden());
    std::tie(green, orange) = symbolColours(window);
    EXPECT_GT(green, 50);
    EXPECT_EQ(orange, 0);

    // The timer runs only while the window is shown.
    window->hide();
    EXPECT_FALSE(window->timer().isActive());
}

TEST_F(FirstRunTest, OpenSettingsKeepsTheWelcomeAndReturnGetsStarted)
{
    FirstRunWindow* window = open();
    findByText<QPushButton>(window, "Open Settings")->click();
    ASSERT_NE(SettingsWindow::current(), nullptr);
    EXPECT_TRUE(SettingsWindow::current()->isVisible());
    EXPECT_TRUE(window->isVisible());

    // "Get Started" is the default button: Return closes the window, whichever button has focus.
    EXPECT_TRUE(window->getStartedButton()->isDefault());
    EXPECT_EQ(window->getStartedButton()->text(), QStringLiteral("Get Started"));
    window->openSettingsButton()->setFocus();
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(FirstRunWindow::current(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(firstRunWindows(), 0);
    // The settings window it opened stays.
    EXPECT_TRUE(SettingsWindow::current()->isVisible());
}

TEST_F(FirstRunTest, ShowingAgainReplacesTheEarlierWindow)
{
    FirstRunWindow* first = open();
    FirstRunWindow* second = open();
    EXPECT_NE(first, second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(firstRunWindows(), 1);
    EXPECT_EQ(FirstRunWindow::current(), second);
}

// A Wayland desktop's shortcut portal answers after the window opened: the rows change from the
// commands to bind to the keys Vantrel proposed, and back when the desktop refuses them.
TEST_F(FirstRunTest, TheShortcutRowsFollowWhoBindsTheKeys)
{
    const PlatformCapabilities saved = platformCapabilities();
    setShortcutBinding(ShortcutBinding::desktop);
    FirstRunWindow* window = open();
    const auto hinted = [&](const char* start) {
        const auto labels = window->findChildren<QLabel*>();
        return std::any_of(labels.begin(), labels.end(), [&](QLabel* label) {
            return label->isVisibleTo(window) && label->text().startsWith(QString::fromUtf8(start));
        });
    };
    EXPECT_EQ(window->shortcutLabel(HotKeyAction::captureArea)->text(), QStringLiteral("vantrel --action captureArea"));
    EXPECT_TRUE(hinted("This desktop lets only its own settings bind"));

    setShortcutBinding(ShortcutBinding::portal);
    EXPECT_EQ(window->shortcutLabel(HotKeyAction::captureArea)->text(), QStringLiteral("Shift+Super+S"));
    EXPECT_TRUE(hinted("The desktop binds these shortcuts"));
    EXPECT_FALSE(hinted("This desktop lets only its own settings bind"));

    setShortcutBinding(ShortcutBinding::desktop);
    EXPECT_EQ(
        window->shortcutLabel(HotKeyAction::recordScreen)->text(), QStringLiteral("vantrel --action recordScreen"));
    EXPECT_TRUE(hinted("This desktop lets only its own settings bind"));
    setPlatformCapabilities(saved);
}
