// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"
#include "CaptureItem.h"
#include "DesktopIconHider.h"
#include "EditorDocument.h"
#include "EditorWindowController.h"
#include "Fakes.h"
#include "FirstRunWindow.h"
#include "FocusHandOff.h"
#include "PinWindow.h"
#include "PreferenceStore.h"
#include "PrivateFiles.h"
#include "QuickAccessManager.h"
#include "QuickAccessPanel.h"
#include "Service.h"
#include "Settings.h"
#include "SettingsWindow.h"
#include "TrayHost.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

class ShellTest : public ::testing::Test
{
protected:
    MemoryPreferenceStore store;
    ScopedService<PreferenceStore> storeSlot {&store};
    Settings settings {store};
    ScopedService<Settings> settingsSlot {&settings};
    test::FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    AppDelegate delegate;
    std::vector<HotKeyAction> performed;

    void SetUp() override
    {
        delegate.setPerform([this](HotKeyAction a) { performed.push_back(a); });
    }

    QStringList titles()
    {
        QStringList result;
        for (QAction* a : delegate.menu()->actions())
            result.append(a->isSeparator() ? QStringLiteral("---") : a->text());
        return result;
    }

    QAction* item(const QString& prefix)
    {
        for (QAction* a : delegate.menu()->actions()) {
            if (a->text().startsWith(prefix))
                return a;
        }
        return nullptr;
    }
};

} // namespace

TEST_F(ShellTest, MenuListsEveryItemInOrderWithStoredShortcuts)
{
    settings.setHotKeys({{QStringLiteral("captureArea"), KeyCombo {1, 768}},
        {QStringLiteral("captureFullscreen"), KeyCombo {96, 4096 | 2048}}});
    delegate.rebuildMenu();
    const QStringList expected = {
        QStringLiteral("All-In-One"),
        QStringLiteral("---"),
        QStringLiteral("Capture Area\tShift+Super+S"),
        QStringLiteral("Capture Previous Area"),
        QStringLiteral("Capture Fullscreen\tCtrl+Alt+F5"),
        QStringLiteral("Capture Window"),
        QStringLiteral("Self-Timer"),
        QStringLiteral("Scrolling Capture"),
        QStringLiteral("Capture Text (OCR)"),
        QStringLiteral("---"),
        QStringLiteral("Record Screen"),
        QStringLiteral("---"),
        QStringLiteral("Open Image in Editor…"),
        QStringLiteral("Pin Image from Clipboard"),
        QStringLiteral("Open Capture History"),
        QStringLiteral("Restore Recently Closed"),
        QStringLiteral("---"),
        QStringLiteral("Hide Desktop Icons"),
        QStringLiteral("---"),
        QStringLiteral("Settings…"),
        QStringLiteral("Quit Vantrel"),
    };
    EXPECT_EQ(titles(), expected);
    EXPECT_EQ(item(QStringLiteral("Capture Area"))->data().toString(), QStringLiteral("captureArea"));
    EXPECT_EQ(item(QStringLiteral("Pin Image"))->data().toString(), QStringLiteral("pinFromClipboard"));
    // Nothing to restore and no pins: restore is there but disabled; the pin items are absent.
    EXPECT_FALSE(item(QStringLiteral("Restore Recently Closed"))->isEnabled());
}

TEST_F(ShellTest, PinItemsAppearWithPinsAndUnlockOnlyWithALockedOne)
{
    test::RecordingToasts toasts;
    ScopedService<ToastPresenter> toastSlot(&toasts);
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    PinWindow* first = PinWindow::pin(picture, 1);
    PinWindow* second = PinWindow::pin(picture, 1);
    delegate.rebuildMenu();
    QStringList shown = titles();
    EXPECT_EQ(shown.mid(shown.indexOf(QStringLiteral("Restore Recently Closed")), 3),
        (QStringList {
            QStringLiteral("Restore Recently Closed"), QStringLiteral("Close All Pins"), QStringLiteral("---")}));

    second->lockAction();
    delegate.rebuildMenu();
    shown = titles();
    EXPECT_EQ(shown.mid(shown.indexOf(QStringLiteral("Restore Recently Closed")), 4),
        (QStringList {QStringLiteral("Restore Recently Closed"), QStringLiteral("Unlock Pinned Screenshots"),
            QStringLiteral("Close All Pins"), QStringLiteral("---")}));
    item(QStringLiteral("Unlock Pinned Screenshots"))->trigger();
    EXPECT_FALSE(second->locked());
    EXPECT_FALSE(first->locked());

    item(QStringLiteral("Close All Pins"))->trigger();
    EXPECT_EQ(PinWindow::pinCount(), 0);
    delegate.rebuildMenu();
    EXPECT_EQ(item(QStringLiteral("Close All Pins")), nullptr);
    EXPECT_EQ(item(QStringLiteral("Unlock Pinned Screenshots")), nullptr);
}

TEST_F(ShellTest, RestoreIsEnabledWhileAThumbnailWasClosedAndRestoresItOnce)
{
    QuickAccessManager& thumbnails = QuickAccessManager::shared();
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const auto capture = CaptureItem::fromImage(picture, 1, CaptureKind::screenshot);
    thumbnails.show(capture);
    ASSERT_EQ(thumbnails.panels().size(), 1);
    thumbnails.panels()[0]->closeAction();

    delegate.rebuildMenu();
    QAction* restore = item(QStringLiteral("Restore Recently Closed"));
    ASSERT_NE(restore, nullptr);
    EXPECT_TRUE(restore->isEnabled());
    restore->trigger();
    restore->trigger(); // the same menu chosen twice: nothing is left to restore
    ASSERT_EQ(thumbnails.panels().size(), 1);
    EXPECT_EQ(thumbnails.panels()[0]->item(), capture);
    delegate.rebuildMenu();
    EXPECT_FALSE(item(QStringLiteral("Restore Recently Closed"))->isEnabled());
    delete thumbnails.panels()[0];
}

TEST_F(ShellTest, MenuShowsANewShortcutAtTheNextOpening)
{
    delegate.rebuildMenu();
    EXPECT_EQ(item(QStringLiteral("Capture Window"))->text(), QStringLiteral("Capture Window\tShift+Super+6"));
    HotKeyMap moved = settings.hotKeys();
    moved.erase(QStringLiteral("captureArea"));
    moved[QStringLiteral("captureWindow")] = KeyCombo {1, 768};
    settings.setHotKeys(moved);
    delegate.rebuildMenu();
    EXPECT_EQ(item(QStringLiteral("Capture Window"))->text(), QStringLiteral("Capture Window\tShift+Super+S"));
    EXPECT_EQ(item(QStringLiteral("Capture Area"))->text(), QStringLiteral("Capture Area"));
}

TEST_F(ShellTest, HideDesktopIconsCarriesACheckMarkAndToggles)
{
    delegate.rebuildMenu();
    QAction* icons = item(QStringLiteral("Hide Desktop Icons"));
    EXPECT_FALSE(icons->isChecked());
    icons->trigger();
    EXPECT_TRUE(settings.hideDesktopIcons());
    delegate.rebuildMenu();
    EXPECT_TRUE(item(QStringLiteral("Hide Desktop Icons"))->isChecked());
}

TEST_F(ShellTest, CaptureItemsPerformTheirActionAfterTheMenuCloses)
{
    delegate.rebuildMenu();
    QElapsedTimer clock;
    clock.start();
    item(QStringLiteral("Capture Fullscreen"))->trigger();
    EXPECT_TRUE(performed.empty());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !performed.empty(); }, 2000));
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_EQ(performed, std::vector<HotKeyAction> {HotKeyAction::captureFullscreen});
}

TEST_F(ShellTest, UnknownMenuDataDoNothing)
{
    delegate.menuAction(QVariant(QStringLiteral("captureEverything")));
    delegate.menuAction(QVariant(42));
    delegate.menuAction(QVariant());
    // A known action sent after them runs after anything they could have scheduled.
    delegate.menuAction(QVariant(QStringLiteral("captureArea")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !performed.empty(); }, 3000));
    EXPECT_EQ(performed, std::vector<HotKeyAction> {HotKeyAction::captureArea});
}

TEST_F(ShellTest, RecordingTitleCountsWholeMinutesAndSeconds)
{
    const std::vector<std::pair<double, QString>> cases
        = {{7, QStringLiteral(" 0:07")}, {59.9, QStringLiteral(" 0:59")}, {750, QStringLiteral(" 12:30")},
            {3600, QStringLiteral(" 60:00")}, {4500, QStringLiteral(" 75:00")}, {0, QStringLiteral(" 0:00")}};
    for (const auto& [seconds, title] : cases)
        EXPECT_EQ(AppDelegate::recordingTitle(seconds), title) << seconds;
}

TEST_F(ShellTest, RecordingStatusSwapsTheMenuForAStopButtonAndBack)
{
    delegate.start(CommandLine {});
    ASSERT_NE(delegate.trayIcon(), nullptr);
    EXPECT_EQ(delegate.trayIcon()->contextMenu(), delegate.menu());
    delegate.showRecordingStatus(7.4);
    EXPECT_TRUE(delegate.isRecordingStatus());
    EXPECT_EQ(delegate.statusTitle(), QStringLiteral(" 0:07"));
    EXPECT_EQ(delegate.trayIcon()->contextMenu(), nullptr);
    delegate.showIdleStatus();
    EXPECT_FALSE(delegate.isRecordingStatus());
    EXPECT_EQ(delegate.trayIcon()->contextMenu(), delegate.menu());
}

// A desktop whose tray has not started yet (Vantrel started at login ahead of the panel).
class LateTray : public TrayHost
{
public:
    bool availableOrWhenItAppears(std::function<void()> appeared) override
    {
        ++asked;
        m_appeared = std::move(appeared);
        return false;
    }
    void start() { std::exchange(m_appeared, nullptr)(); }
    int asked = 0;

private:
    std::function<void()> m_appeared;
};

TEST_F(ShellTest, ATrayThatStartsLateGetsTheIconInTheStatusOfTheMomentAndShortcutsWorkMeanwhile)
{
    LateTray tray;
    ScopedService<TrayHost> traySlot {&tray};
    test::LogCapture log;
    delegate.start(CommandLine {});
    EXPECT_EQ(tray.asked, 1);
    EXPECT_EQ(delegate.trayIcon(), nullptr) << "an icon made now would stay hidden for the whole run";
    EXPECT_TRUE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("the desktop's tray has not started")));

    delegate.performAction(HotKeyAction::captureFullscreen);
    EXPECT_EQ(performed, std::vector<HotKeyAction> {HotKeyAction::captureFullscreen});
    delegate.showRecordingStatus(75.2);

    tray.start();
    ASSERT_NE(delegate.trayIcon(), nullptr);
    EXPECT_EQ(delegate.trayIcon()->contextMenu(), nullptr) << "a recording is running: the icon is its stop button";
    EXPECT_TRUE(delegate.trayIcon()->toolTip().endsWith(QStringLiteral(" 1:15")));
    delegate.showIdleStatus();
    EXPECT_EQ(delegate.trayIcon()->contextMenu(), delegate.menu());
}

TEST_F(ShellTest, FirstStartMarksOnboardingBeforeTheWindowAndOnlyOnce)
{
    QElapsedTimer clock;
    clock.start();
    delegate.start(CommandLine {});
    EXPECT_EQ(store.typed<bool>(QStringLiteral("didOnboard")), true);
    EXPECT_EQ(FirstRunWindow::current(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return FirstRunWindow::current() != nullptr; }, 2000));
    EXPECT_GE(clock.elapsed(), 490);
    FirstRunWindow* welcome = FirstRunWindow::current();
    EXPECT_TRUE(welcome->isVisible());

    // A second start never offers it again, even while the first one is still open.
    AppDelegate second;
    second.start(CommandLine {});
    // Timers of equal delay fire in the order they were set: once this one has, a welcome the
    // second start scheduled would be up too.
    bool waited = false;
    QTimer::singleShot(AppDelegate::firstRunDelayMs, [&] { waited = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return waited; }, 3000));
    EXPECT_EQ(FirstRunWindow::current(), welcome);
    int shown = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        shown += qobject_cast<FirstRunWindow*>(widget) ? 1 : 0;
    EXPECT_EQ(shown, 1);
    delete welcome;
}

TEST(ReopenGate, SuppressedWhileFocusMovesAndAfterwardsNot)
{
    qint64 now = 10'000;
    FocusHandOff& handOff = FocusHandOff::shared();
    handOff.setClock([&now] { return now; });
    AppDelegate delegate;

    EXPECT_TRUE(delegate.handleReopen());
    SettingsWindow* window = SettingsWindow::current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    window->close();

    handOff.takeFocus();
    now += 1999;
    EXPECT_FALSE(delegate.handleReopen());
    EXPECT_FALSE(window->isVisible());
    now += 1;
    EXPECT_TRUE(delegate.handleReopen());
    // The same window, brought back.
    EXPECT_EQ(SettingsWindow::current(), window);
    EXPECT_TRUE(window->isVisible());
    window->close();

    handOff.takeFocus();
    now += 300;
    handOff.giveFocusBack();
    now += 499;
    EXPECT_FALSE(delegate.handleReopen());
    EXPECT_FALSE(window->isVisible());
    now += 1;
    EXPECT_TRUE(delegate.handleReopen());
    EXPECT_EQ(SettingsWindow::current(), window);
    EXPECT_TRUE(window->isVisible());
    handOff.setClock({});
    delete window;
}

TEST_F(ShellTest, OpenedFilesEachGetAnEditorAndUnreadableOnesAreNamed)
{
    test::RecordingToasts toasts;
    ScopedService<ToastPresenter> toastSlot(&toasts);
    test::LogCapture log;
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("one.png"));
    const QString second = dir.filePath(QStringLiteral("two.png"));
    QImage(64, 48, QImage::Format_RGB32).save(first);
    QImage(32, 24, QImage::Format_RGB32).save(second);
    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG but not really");
    file.close();

    delegate.openFiles({QUrl::fromLocalFile(first), QUrl::fromLocalFile(broken), QUrl::fromLocalFile(second),
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.png")))});
    const QList<EditorWindowController*> editors = EditorWindowController::openEditors();
    ASSERT_EQ(editors.size(), 2);
    EXPECT_EQ(editors[0]->doc().base().size(), QSize(64, 48));
    EXPECT_EQ(editors[1]->doc().base().size(), QSize(32, 24));
    EXPECT_EQ(editors[0]->window()->windowTitle(), QStringLiteral("Vantrel Editor"));
    EXPECT_TRUE(editors[0]->window()->isVisible());
    for (EditorWindowController* editor : editors)
        editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(EditorWindowController::openEditors().isEmpty());

    // Each unreadable file is named in the log; the toast counts them.
    EXPECT_EQ(log.lines(),
        (QStringList {QStringLiteral("Vantrel: could not open %1: it is not an image Vantrel can read").arg(broken),
            QStringLiteral("Vantrel: could not open %1: there is no such file")
                .arg(dir.filePath(QStringLiteral("missing.png")))}));
    ASSERT_EQ(toasts.requests.size(), 1u);
    EXPECT_EQ(toasts.requests[0].text, QStringLiteral("Could not open 2 files"));

    // One file alone is named in the toast, and never opens the settings instead.
    delegate.openFiles({QUrl::fromLocalFile(dir.path())});
    ASSERT_EQ(toasts.requests.size(), 2u);
    EXPECT_EQ(
        toasts.requests[1].text, QStringLiteral("Could not open %1: it is a folder").arg(dir.path().section('/', -1)));
    EXPECT_TRUE(!SettingsWindow::current() || !SettingsWindow::current()->isVisible());
    EXPECT_TRUE(EditorWindowController::openEditors().isEmpty());
}

// The session manager's save request before a logout keeps edits without closing anything; the
// orderly end (any quit) also takes the temporary folders and the desktop covers away.
TEST_F(ShellTest, TheSessionSaveKeepsEditsAndTheOrderlyEndLeavesNothingBehind)
{
    QImage white(40, 30, QImage::Format_RGB32);
    white.fill(Qt::white);
    const auto item = CaptureItem::fromImage(white, 1.0, CaptureKind::screenshot);
    EditorWindowController* editor = EditorWindowController::open(item);
    ASSERT_TRUE(editor);
    editor->doc().setCrop(QRectF(0, 0, 20, 10));
    editor->doc().setDirty(true);
    const std::optional<QString> temporary = files::makePrivateTemporaryDirectory();
    ASSERT_TRUE(temporary);
    settings.setHideDesktopIcons(true);
    DesktopIconHider::shared().apply();
    ASSERT_FALSE(DesktopIconHider::shared().windows().empty());

    delegate.commitData();
    EXPECT_EQ(item->image->size(), QSize(20, 10));
    EXPECT_FALSE(editor->doc().dirty());
    EXPECT_TRUE(editor->window()->isVisible());
    EXPECT_TRUE(QFileInfo::exists(*temporary));

    editor->doc().setCrop(QRectF(0, 0, 10, 10));
    editor->doc().setDirty(true);
    delegate.shutDown();
    EXPECT_EQ(item->image->size(), QSize(10, 10));
    EXPECT_FALSE(QFileInfo::exists(*temporary));
    EXPECT_TRUE(DesktopIconHider::shared().windows().empty());
    editor->close();
    settings.setHideDesktopIcons(false);
}
