// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsWindow.h"

#include "BackgroundSettings.h"
#include "CaptureHistory.h"
#include "CaptureKind.h"
#include "PlatformCapabilities.h"
#include "PresetSwatchGrid.h"
#include "SettingsForm.h"
#include "ShortcutRecorder.h"
#include "WindowTestSupport.h"
#include "XdgPaths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <memory>

using namespace vantrel;
using test::fieldOf;
using test::findByText;

namespace {

// What a title shows once Qt has taken its mnemonic markers out: "&&" is a literal ampersand.
QString shownText(QString title)
{
    title.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    title.remove(QLatin1Char('&'));
    return title.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

class SettingsWindowTest : public ::testing::Test, public test::WindowFakes
{
protected:
    std::unique_ptr<SettingsWindow> window;

    void SetUp() override
    {
        window = std::make_unique<SettingsWindow>(settings);
        window->show();
    }

    QCheckBox* toggle(const QString& label) { return findByText<QCheckBox>(window.get(), label); }
    QPushButton* button(const QString& label) { return findByText<QPushButton>(window.get(), label); }
    QComboBox* picker(const QString& label) { return fieldOf<QComboBox>(window.get(), label); }

    QStringList sectionsOf(int tab)
    {
        QStringList titles;
        for (QGroupBox* box : window->tabs()->widget(tab)->findChildren<QGroupBox*>())
            titles.append(shownText(box->title()));
        return titles;
    }
    QStringList togglesOf(const QString& section)
    {
        QStringList labels;
        for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
            if (shownText(box->title()) == section) {
                for (QCheckBox* check : box->findChildren<QCheckBox*>())
                    labels.append(check->text());
            }
        }
        return labels;
    }
};

} // namespace

TEST_F(SettingsWindowTest, FiveTabsOfTitledSectionsInOrder)
{
    QStringList tabs;
    for (int i = 0; i < window->tabs()->count(); ++i) {
        tabs.append(window->tabs()->tabText(i));
        EXPECT_EQ(window->tabs()->widget(i)->width(), 620) << i;
        EXPECT_GE(window->tabs()->widget(i)->height(), 520) << i;
        EXPECT_EQ(window->tabs()->widget(i)->height(), window->tabs()->widget(0)->height()) << "tabs keep one size";
    }
    EXPECT_EQ(tabs, (QStringList {"General", "Screenshots", "Recording", "Quick Access", "Shortcuts"}));
    EXPECT_EQ(sectionsOf(0), (QStringList {"Startup", "After capture", "Export", "Capture history"}));
    EXPECT_EQ(sectionsOf(1), (QStringList {"Area selection", "Window capture", "Self-timer", "Desktop"}));
    EXPECT_EQ(sectionsOf(2), (QStringList {"Video", "Audio & camera", "GIF"}));
    EXPECT_EQ(sectionsOf(3), (QStringList {"Overlay", "Tips"}));
    EXPECT_TRUE(sectionsOf(4).isEmpty());

    // The switches of each section, in order.
    EXPECT_EQ(togglesOf("Startup"), (QStringList {"Launch at login", "Play capture sound"}));
    EXPECT_EQ(togglesOf("After capture"),
        (QStringList {"Show Quick Access Overlay", "Copy file to clipboard", "Save to export location",
            "Open annotation editor"}));
    EXPECT_EQ(togglesOf("Area selection"),
        (QStringList {"Freeze screen while selecting", "Show crosshair", "Show magnifier",
            "Water-drop animation when a capture starts"}));
    EXPECT_EQ(togglesOf("Window capture"), (QStringList {"Capture window shadow", "Add background behind windows"}));
    EXPECT_EQ(togglesOf("Desktop"), (QStringList {"Hide desktop icons"}));
    EXPECT_EQ(togglesOf("Video"),
        (QStringList {"Record at full HiDPI resolution", "Show cursor", "Highlight clicks", "Show keystrokes"}));
    EXPECT_EQ(togglesOf("Audio & camera"),
        (QStringList {"Record microphone", "Record computer audio", "Show webcam bubble"}));
    EXPECT_EQ(togglesOf("Overlay"), (QStringList {"Hide automatically"}));

    EXPECT_NE(findByText<QLabel>(window.get(), "Hovering a thumbnail keeps it open."), nullptr);
    EXPECT_NE(findByText<QLabel>(window.get(),
                  "Hover the thumbnail for Copy, Save, Annotate, Pin and Text actions. Drag it into any app. Swipe "
                  "sideways to dismiss. With the overlay focused: Ctrl+C copy, Ctrl+S save, Ctrl+E annotate, Ctrl+P "
                  "pin, Ctrl+W close."),
        nullptr);
}

TEST_F(SettingsWindowTest, EverySwitchShowsAndStoresItsOwnSetting)
{
    struct Case
    {
        const char* label;
        bool (Settings::*read)() const;
        void (Settings::*write)(bool);
    };
    const std::vector<Case> cases = {
        {"Play capture sound", &Settings::playSound, &Settings::setPlaySound},
        {"Show Quick Access Overlay", &Settings::afterShowOverlay, &Settings::setAfterShowOverlay},
        {"Copy file to clipboard", &Settings::afterCopy, &Settings::setAfterCopy},
        {"Save to export location", &Settings::afterSave, &Settings::setAfterSave},
        {"Open annotation editor", &Settings::afterOpenEditor, &Settings::setAfterOpenEditor},
        {"Freeze screen while selecting", &Settings::freezeScreen, &Settings::setFreezeScreen},
        {"Show crosshair", &Settings::showCrosshair, &Settings::setShowCrosshair},
        {"Show magnifier", &Settings::showMagnifier, &Settings::setShowMagnifier},
        {"Water-drop animation when a capture starts", &Settings::dropAnimation, &Settings::setDropAnimation},
        {"Capture window shadow", &Settings::windowShadow, &Settings::setWindowShadow},
        {"Add background behind windows", &Settings::windowBackground, &Settings::setWindowBackground},
        {"Hide desktop icons", &Settings::hideDesktopIcons, &Settings::setHideDesktopIcons},
        {"Record at full HiDPI resolution", &Settings::recordRetina, &Settings::setRecordRetina},
        {"Show cursor", &Settings::recordShowCursor, &Settings::setRecordShowCursor},
        {"Highlight clicks", &Settings::recordShowClicks, &Settings::setRecordShowClicks},
        {"Show keystrokes", &Settings::recordKeystrokes, &Settings::setRecordKeystrokes},
        {"Record microphone", &Settings::recordMicrophone, &Settings::setRecordMicrophone},
        {"Record computer audio", &Settings::recordSystemAudio, &Settings::setRecordSystemAudio},
        {"Show webcam bubble", &Settings::recordCamera, &Settings::setRecordCamera},
    };
    auto values = [&] {
        std::vector<bool> result;
        for (const Case& c : cases)
            result.push_back((settings.*c.read)());
        return result;
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.label);
        settings.setFreezeScreen(true); // the water-drop switch needs it
        QCheckBox* box = toggle(QString::fromUtf8(c.label));
        ASSERT_NE(box, nullptr);
        // A change made elsewhere (the status menu, another window) shows at once.
        (settings.*c.write)(true);
        EXPECT_TRUE(box->isChecked());
        (settings.*c.write)(false);
        EXPECT_FALSE(box->isChecked());
        // A click stores at once, and only this setting.
        std::vector<bool> expected = values();
        box->click();
        expected[i] = true;
        EXPECT_EQ(values(), expected);
        box->click();
        expected[i] = false;
        EXPECT_EQ(values(), expected);
    }
}

TEST_F(SettingsWindowTest, EveryPickerOffersItsExactChoicesAndStoresTheirValues)
{
    struct Case
    {
        const char* label;
        QStringList items;
        std::vector<int> values;
        std::function<int()> read;
        std::function<void(int)> write;
    };
    Settings* s = &settings;
    const std::vector<Case> cases = {
        {"Image format", {"PNG", "JPG"}, {int(ImageFormat::png), int(ImageFormat::jpg)},
            [s] { return int(s->imageFormat()); }, [s](int v) { s->setImageFormat(ImageFormat(v)); }},
        {"Keep captures for", {"1 day", "1 week", "1 month", "3 months"}, {1, 7, 30, 90},
            [s] { return s->historyDays(); }, [s](int v) { s->setHistoryDays(v); }},
        {"Frame rate", {"24 fps", "30 fps", "60 fps"}, {24, 30, 60}, [s] { return s->recordFPS(); },
            [s](int v) { s->setRecordFPS(v); }},
        {"GIF frame rate", {"10 fps", "15 fps", "20 fps", "30 fps"}, {10, 15, 20, 30}, [s] { return s->gifFPS(); },
            [s](int v) { s->setGifFPS(v); }},
        {"Max width", {"640 px", "960 px", "1280 px", "1920 px"}, {640, 960, 1280, 1920},
            [s] { return s->gifMaxWidth(); }, [s](int v) { s->setGifMaxWidth(v); }},
        {"Position", {"Bottom Left", "Bottom Right"}, {int(OverlayCorner::left), int(OverlayCorner::right)},
            [s] { return int(s->overlayCorner()); }, [s](int v) { s->setOverlayCorner(OverlayCorner(v)); }},
        {"Slide away after", {"3 seconds", "5 seconds", "10 seconds", "30 seconds", "1 minute"}, {3, 5, 10, 30, 60},
            [s] { return s->overlayAutoClose(); }, [s](int v) { s->setOverlayAutoClose(v); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QComboBox* combo = picker(QString::fromUtf8(c.label));
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(test::itemTexts(combo), c.items);
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            // Picked in the window: stored.
            combo->setCurrentIndex(int(i));
            EXPECT_EQ(c.read(), c.values[i]) << c.items[int(i)].toStdString();
        }
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            // Stored elsewhere: shown.
            c.write(c.values[i]);
            EXPECT_EQ(combo->currentIndex(), int(i)) << c.items[int(i)].toStdString();
        }
    }
}

TEST_F(SettingsWindowTest, AStoredValueThatIsNoChoiceShowsAsItIsUntilAnotherIsPicked)
{
    struct Case
    {
        const char* label;
        std::function<void()> store;
        std::function<int()> read;
        int stored;
        const char* shown;
    };
    Settings* s = &settings;
    const std::vector<Case> cases = {
        {"Slide away after", [s] { s->setOverlayAutoClose(7); }, [s] { return s->overlayAutoClose(); }, 7, "7 seconds"},
        {"Frame rate", [s] { s->setRecordFPS(45); }, [s] { return s->recordFPS(); }, 45, "45 fps"},
        {"Keep captures for", [s] { s->setHistoryDays(14); }, [s] { return s->historyDays(); }, 14, "14 days"},
        {"Max width", [s] { s->setGifMaxWidth(800); }, [s] { return s->gifMaxWidth(); }, 800, "800 px"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QComboBox* combo = picker(QString::fromUtf8(c.label));
        const int choices = combo->count();
        c.store();
        EXPECT_EQ(combo->currentText(), QString::fromUtf8(c.shown));
        EXPECT_EQ(combo->count(), choices + 1);
        // Showing it wrote nothing.
        EXPECT_EQ(c.read(), c.stored);
        combo->setCurrentIndex(1);
        EXPECT_NE(c.read(), c.stored);
        EXPECT_EQ(combo->count(), choices);
    }
}

TEST_F(SettingsWindowTest, HideAutomaticallySwitchesBetweenTenSecondsAndNever)
{
    QCheckBox* hide = toggle("Hide automatically");
    QComboBox* slideAway = picker("Slide away after");
    settings.setOverlayAutoClose(30);
    EXPECT_TRUE(hide->isChecked());
    EXPECT_FALSE(slideAway->isHidden());
    EXPECT_EQ(slideAway->currentText(), QStringLiteral("30 seconds"));

    hide->click();
    EXPECT_EQ(settings.overlayAutoClose(), 0);
    // With 0 there is no delay to choose.
    EXPECT_TRUE(slideAway->isHidden());
    EXPECT_TRUE(findByText<QLabel>(window.get(), "Slide away after")->isHidden());

    // On again: 10 seconds, whatever was chosen before.
    hide->click();
    EXPECT_EQ(settings.overlayAutoClose(), 10);
    EXPECT_FALSE(slideAway->isHidden());
    EXPECT_EQ(slideAway->currentText(), QStringLiteral("10 seconds"));

    settings.setOverlayAutoClose(-5);
    EXPECT_FALSE(hide->isChecked());
    EXPECT_TRUE(slideAway->isHidden());
}

TEST_F(SettingsWindowTest, EveryTabShowsAllItsControlsWithoutScrolling)
{
    for (int tab = 0; tab < window->tabs()->count(); ++tab) {
        window->tabs()->setCurrentIndex(tab);
        auto* pane = qobject_cast<QScrollArea*>(window->tabs()->widget(tab));
        ASSERT_NE(pane, nullptr);
        QCoreApplication::processEvents(); // let the scroll area lay its content out
        const QRect viewport = pane->viewport()->rect();
        for (QWidget* control : pane->widget()->findChildren<QAbstractButton*>()) {
            if (control->isHidden())
                continue;
            const QRect shown(control->mapTo(pane->viewport(), QPoint(0, 0)), control->size());
            EXPECT_TRUE(viewport.contains(shown))
                << window->tabs()->tabText(tab).toStdString() << ": " << control->accessibleName().toStdString()
                << qobject_cast<QAbstractButton*>(control)->text().toStdString() << " is cut off";
        }
    }
}

TEST_F(SettingsWindowTest, TheWaterDropNeedsAFrozenScreenAndKeepsItsValueWithout)
{
    QCheckBox* drop = toggle("Water-drop animation when a capture starts");
    EXPECT_EQ(drop->toolTip(),
        QStringLiteral(
            "Needs “Freeze screen while selecting”. Also skipped when the desktop’s animations are turned off."));
    window->tabs()->setCurrentIndex(1); // clicks reach only the tab on show
    ASSERT_TRUE(drop->isVisible());
    settings.setDropAnimation(true);
    toggle("Freeze screen while selecting")->click();
    ASSERT_FALSE(settings.freezeScreen());
    EXPECT_FALSE(drop->isEnabled());
    test::clickCheckBox(drop);
    EXPECT_TRUE(settings.dropAnimation());
    EXPECT_TRUE(drop->isChecked());

    settings.setFreezeScreen(true);
    EXPECT_TRUE(drop->isEnabled());
    test::clickCheckBox(drop);
    EXPECT_FALSE(settings.dropAnimation());
}

TEST_F(SettingsWindowTest, SwatchesShowOnlyWithABackgroundAndStoreThePresetClicked)
{
    PresetSwatchGrid* grid = window->swatchGrid();
    settings.setWindowBackgroundPreset(5);
    ASSERT_FALSE(settings.windowBackground());
    EXPECT_TRUE(grid->isHidden());

    toggle("Add background behind windows")->click();
    EXPECT_FALSE(grid->isHidden());
    ASSERT_EQ(grid->swatches().size(), presets().size());
    for (std::size_t i = 0; i < presets().size(); ++i) {
        EXPECT_EQ(grid->swatches()[i]->size(), QSize(36, 36)) << i;
        EXPECT_EQ(grid->swatches()[i]->toolTip(), presets()[i].name) << i;
    }
    EXPECT_EQ(grid->markedIndex(), 5);

    grid->swatches()[12]->click();
    EXPECT_EQ(settings.windowBackgroundPreset(), 12);
    EXPECT_EQ(grid->markedIndex(), 12);
    // Clicking the marked swatch keeps it.
    grid->swatches()[12]->click();
    EXPECT_EQ(grid->markedIndex(), 12);

    // An identifier outside the table marks none.
    settings.setWindowBackgroundPreset(99);
    EXPECT_EQ(grid->markedIndex(), -1);
}

TEST_F(SettingsWindowTest, ASwatchPaintsItsPresetAsWindowCapturesGetIt)
{
    settings.setWindowBackground(true);
    const auto& grid = window->swatchGrid()->swatches();
    // "White" is one colour.
    const QImage white = grid[16]->grab().toImage();
    EXPECT_EQ(white.pixelColor(white.width() / 2, white.height() / 2), presets()[16].colors.first());
    // "Ocean" runs from its first colour (dark blue) at the bottom right to cyan at the top left,
    // as the background behind window captures does.
    const QImage ocean = grid[1]->grab().toImage();
    const double dpr = ocean.devicePixelRatio();
    const QColor topLeft = ocean.pixelColor(int(9 * dpr), int(9 * dpr));
    const QColor bottomRight = ocean.pixelColor(int(27 * dpr), int(27 * dpr));
    EXPECT_GT(topLeft.green(), 150);
    EXPECT_LT(bottomRight.green(), 130);
}

TEST_F(SettingsWindowTest, TheCountdownStepsFromOneToThirtySeconds)
{
    auto* countdown = window->findChild<QSpinBox*>();
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(countdown->text(), QStringLiteral("Countdown: 5 s"));
    countdown->stepUp();
    EXPECT_EQ(settings.selfTimerSeconds(), 6);
    EXPECT_EQ(countdown->text(), QStringLiteral("Countdown: 6 s"));

    settings.setSelfTimerSeconds(30);
    countdown->stepUp();
    EXPECT_EQ(settings.selfTimerSeconds(), 30);
    settings.setSelfTimerSeconds(1);
    countdown->stepDown();
    EXPECT_EQ(settings.selfTimerSeconds(), 1);

    // A stored value outside the steps is shown as it is and kept until the user steps.
    settings.setSelfTimerSeconds(0);
    EXPECT_EQ(countdown->text(), QStringLiteral("Countdown: 0 s"));
    EXPECT_EQ(settings.selfTimerSeconds(), 0);
    countdown->stepUp();
    EXPECT_EQ(settings.selfTimerSeconds(), 1);
    countdown->stepDown();
    EXPECT_EQ(settings.selfTimerSeconds(), 1);
}

TEST_F(SettingsWindowTest, TheSizeSliderMovesInTensOfPointsAndItsLabelTruncates)
{
    QLabel* label = findByText<QLabel>(window.get(), "Size: 220 pt");
    ASSERT_NE(label, nullptr);
    auto* slider = qobject_cast<QSlider*>(label->buddy());
    ASSERT_NE(slider, nullptr);
    slider->setValue(slider->minimum());
    EXPECT_EQ(settings.overlaySize(), 160.0);
    slider->setValue(slider->maximum());
    EXPECT_EQ(settings.overlaySize(), 360.0);
    slider->setValue(slider->value() - slider->singleStep());
    EXPECT_EQ(settings.overlaySize(), 350.0);
    EXPECT_EQ(label->text(), QStringLiteral("Size: 350 pt"));

    settings.setOverlaySize(225.7);
    EXPECT_EQ(label->text(), QStringLiteral("Size: 225 pt"));
    EXPECT_EQ(settings.overlaySize(), 225.7);
}

TEST_F(SettingsWindowTest, ThePrefixFieldStoresEveryEditEvenEmpty)
{
    auto* prefix = fieldOf<QLineEdit>(window.get(), "File name prefix");
    ASSERT_NE(prefix, nullptr);
    EXPECT_EQ(prefix->text(), QStringLiteral("Vantrel"));
    prefix->setFocus();
    prefix->selectAll();
    QTest::keyClick(prefix, Qt::Key_Backspace);
    EXPECT_EQ(settings.filePrefix(), QString());
    EXPECT_EQ(preferences.typed<QString>(QStringLiteral("filePrefix")), QString());
    QTest::keyClicks(prefix, QStringLiteral("Sh"));
    EXPECT_EQ(settings.filePrefix(), QStringLiteral("Sh"));
    QTest::keyClicks(prefix, QStringLiteral("ot"));
    EXPECT_EQ(settings.filePrefix(), QStringLiteral("Shot"));

    settings.setFilePrefix(QStringLiteral("Elsewhere"));
    EXPECT_EQ(prefix->text(), QStringLiteral("Elsewhere"));
}

TEST_F(SettingsWindowTest, TheLocationWritesHomeAsTildeAndTheChooserStoresTheFolder)
{
    const QString home = QDir::homePath();
    settings.setSaveDirectory(home + QStringLiteral("/Pictures/Shots"));
    EXPECT_EQ(window->saveLocationLabel()->text(), QStringLiteral("~/Pictures/Shots"));

    folders.answer = QStringLiteral("/srv/captures");
    button("Choose…")->click();
    EXPECT_EQ(settings.saveDirectory(), QStringLiteral("/srv/captures"));
    ASSERT_EQ(folders.starts.size(), 1u);
    EXPECT_EQ(folders.starts[0], home + QStringLiteral("/Pictures/Shots"));
    EXPECT_EQ(folders.parents[0], window.get());
    EXPECT_EQ(window->saveLocationLabel()->text(), QStringLiteral("/srv/captures"));

    // Cancelled: nothing changes.
    folders.answer.reset();
    button("Choose…")->click();
    EXPECT_EQ(settings.saveDirectory(), QStringLiteral("/srv/captures"));
}

TEST(SettingsWindowPaths, OnlyTheHomeFolderAndItsFoldersBecomeTilde)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"/home/ann", "~"},
        {"/home/ann/", "~"},
        {"/home/ann/Desktop", "~/Desktop"},
        {"/home/ann/a/b", "~/a/b"},
        {"/home/anna/Desktop", "/home/anna/Desktop"},
        {"/home", "/home"},
        {"/tmp/shots", "/tmp/shots"},
        {"", ""},
    };
    for (const auto& [path, shown] : cases)
        EXPECT_EQ(SettingsWindow::abbreviatedPath(path, QStringLiteral("/home/ann")), shown) << path.toStdString();
    // A home of "/" would make every path "~…".
    EXPECT_EQ(SettingsWindow::abbreviatedPath(QStringLiteral("/tmp"), QStringLiteral("/")), QStringLiteral("/tmp"));
}

TEST_F(SettingsWindowTest, LaunchAtLoginShowsTheDesktopsStateAlsoAfterARefusal)
{
    QCheckBox* launch = toggle("Launch at login");
    EXPECT_FALSE(launch->isChecked());
    launch->click();
    EXPECT_TRUE(login.enabled);
    EXPECT_TRUE(launch->isChecked());

    // Removed outside Vantrel: the window shows it when it is shown again.
    login.enabled = false;
    window->hide();
    window->show();
    EXPECT_FALSE(launch->isChecked());

    test::LogCapture log;
    login.failure = QStringLiteral("Read-only file system");
    launch->click();
    EXPECT_FALSE(login.enabled);
    EXPECT_FALSE(launch->isChecked());
    EXPECT_EQ(log.lines(), QStringList {QStringLiteral("Launch at login failed: Read-only file system")});
}

TEST_F(SettingsWindowTest, OpenHistoryShowsTheHistoryWindow)
{
    button("Open History")->click();
    EXPECT_EQ(surfaces.historyWindows, 1);
}

TEST_F(SettingsWindowTest, ClearHistoryDeletesEveryCaptureAtOnce)
{
    CaptureHistory& history = CaptureHistory::shared();
    // The test runner's private data folder, never the user's.
    ASSERT_TRUE(history.folder().startsWith(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"))));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const auto first = history.add(picture, CaptureKind::screenshot);
    const auto second = history.add(picture, CaptureKind::window);
    ASSERT_TRUE(first && second);
    const QString firstFile = history.filePath(*first);
    const QString secondFile = history.filePath(*second);
    ASSERT_TRUE(QFile::exists(firstFile) && QFile::exists(secondFile));

    button("Clear History")->click();
    EXPECT_TRUE(history.items().empty());
    // Files and the list go on the history's worker; wait until they are on disk.
    history.waitForPendingWrites();
    EXPECT_FALSE(QFile::exists(firstFile));
    EXPECT_FALSE(QFile::exists(secondFile));
    QFile list(QDir(history.folder()).filePath(QStringLiteral("history.json")));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll().trimmed(), QByteArray("[]"));
}

TEST_F(SettingsWindowTest, OneShortcutRowPerActionAndRestoreDefaultsBringsBackAllEleven)
{
    QStringList titles;
    for (HotKeyAction action : allHotKeyActions) {
        ShortcutRecorder* recorder = window->recorder(action);
        EXPECT_EQ(recorder->button()->action(), action);
        EXPECT_EQ(recorder->width(), 150);
        titles.append(title(action));
        EXPECT_NE(findByText<QLabel>(window.get(), title(action)), nullptr);
    }
    EXPECT_NE(findByText<QLabel>(window.get(),
                  "Click a shortcut, then press the new keys. Esc cancels, Backspace clears. Super is the Windows "
                  "key. To use the Print key, first turn off your desktop’s own screenshot shortcuts in its keyboard "
                  "settings."),
        nullptr);

    // Every shortcut cleared, and one moved to another action beforehand.
    settings.setHotKeys({{QStringLiteral("captureWindow"), KeyCombo {1, 768}}});
    settings.setHotKeys({});
    EXPECT_TRUE(desktop.active.empty());
    EXPECT_EQ(window->recorder(HotKeyAction::captureArea)->button()->text(), QStringLiteral("Record Shortcut"));

    button("Restore Defaults")->click();
    EXPECT_EQ(settings.hotKeys(), defaultHotKeys());
    EXPECT_EQ(settings.hotKeys().size(), 11u);
    EXPECT_EQ(desktop.active.size(), 11u);
    EXPECT_EQ(window->recorder(HotKeyAction::captureArea)->button()->text(), QStringLiteral("Shift+Super+S"));
    EXPECT_EQ(window->recorder(HotKeyAction::captureWindow)->button()->text(), QStringLiteral("Shift+Super+6"));
}

TEST_F(SettingsWindowTest, ARecordedShortcutMovesFromTheActionThatHadIt)
{
    RecorderButton* windowButton = window->recorder(HotKeyAction::captureWindow)->button();
    QTest::mouseClick(windowButton, Qt::LeftButton);
    ASSERT_TRUE(windowButton->recording());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ShiftModifier | Qt::MetaModifier, 31 + 8, 0, 0);
    QApplication::sendEvent(window.get(), &press);
    EXPECT_FALSE(windowButton->recording());
    EXPECT_EQ(windowButton->text(), QStringLiteral("Shift+Super+S"));
    EXPECT_EQ(window->recorder(HotKeyAction::captureArea)->button()->text(), QStringLiteral("Record Shortcut"));
    EXPECT_EQ(settings.hotKeys().count(QStringLiteral("captureArea")), 0u);
}

TEST_F(SettingsWindowTest, EscAndCtrlWCloseTheWindowButEscFirstCancelsARecording)
{
    struct Case
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool closes;
    };
    const std::vector<Case> cases = {
        {Qt::Key_Escape, Qt::NoModifier, true},
        {Qt::Key_W, Qt::ControlModifier, true},
        {Qt::Key_W, Qt::NoModifier, false},
        {Qt::Key_Escape, Qt::ShiftModifier, false},
    };
    for (const Case& c : cases) {
        window->show();
        window->tabs()->setCurrentIndex(0);
        // From a control deep inside a pane, as the user would press it.
        QWidget* focus = toggle("Play capture sound");
        focus->setFocus();
        QTest::keyClick(focus, c.key, c.modifiers);
        EXPECT_EQ(window->isVisible(), !c.closes) << QKeySequence(c.key | c.modifiers).toString().toStdString();
    }

    window->show();
    RecorderButton* recorder = window->recorder(HotKeyAction::captureArea)->button();
    recorder->click();
    ASSERT_TRUE(recorder->recording());
    QTest::keyClick(recorder, Qt::Key_Escape);
    EXPECT_FALSE(recorder->recording());
    EXPECT_TRUE(window->isVisible()) << "Esc only cancelled the recording";
    EXPECT_EQ(settings.hotKeys(), defaultHotKeys());
    QTest::keyClick(recorder, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SettingsWindowTest, ClosingTheWindowWhileAShortcutIsRecordedGivesTheShortcutsBack)
{
    RecorderButton* recorder = window->recorder(HotKeyAction::recordScreen)->button();
    recorder->click();
    ASSERT_TRUE(recorder->recording());
    EXPECT_TRUE(desktop.active.empty());
    window->close();
    EXPECT_FALSE(recorder->recording());
    EXPECT_EQ(desktop.active.size(), 11u);
    EXPECT_EQ(settings.hotKeys(), defaultHotKeys());
}

namespace {

class SharedSettingsWindow : public ::testing::Test, public test::WindowFakes
{
protected:
    void TearDown() override { delete SettingsWindow::current(); }

    static int settingsWindows()
    {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += qobject_cast<SettingsWindow*>(widget) ? 1 : 0;
        return count;
    }
};

} // namespace

TEST_F(SharedSettingsWindow, ShowingTwiceShowsOneWindowKeptAfterClosing)
{
    EXPECT_EQ(SettingsWindow::current(), nullptr);
    SettingsWindow::showWindow();
    SettingsWindow* window = SettingsWindow::current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantrel Settings"));
    // Centred on the screen.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - area.center()).manhattanLength(), 2);

    SettingsWindow::showWindow();
    EXPECT_EQ(SettingsWindow::current(), window);
    EXPECT_EQ(settingsWindows(), 1);

    // Closing hides it; the next show brings the same one back where the user left it.
    window->move(window->pos() + QPoint(30, 20));
    const QPoint moved = window->pos();
    window->close();
    EXPECT_FALSE(window->isVisible());
    SettingsWindow::showWindow();
    EXPECT_EQ(SettingsWindow::current(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), moved);
    EXPECT_EQ(settingsWindows(), 1);
}

TEST_F(SharedSettingsWindow, AMinimisedWindowComesBack)
{
    SettingsWindow::showWindow();
    SettingsWindow* window = SettingsWindow::current();
    window->showMinimized();
    SettingsWindow::showWindow();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

// Where only the desktop binds keys, no row offers to record any: each names the command to
// bind and says who sets it; where a portal binds them, the rows still record and say so.
TEST(SettingsWindowShortcutsTest, TheShortcutsTabFollowsWhoBindsTheKeys)
{
    test::WindowFakes fakes;
    const PlatformCapabilities saved = platformCapabilities();
    struct Case
    {
        ShortcutBinding binding;
        bool recorders;
        const char* hint; // the start of the explanation; empty: none beyond the usual
    };
    const std::vector<Case> cases = {
        {ShortcutBinding::vantrel, true, ""},
        {ShortcutBinding::portal, true, "The desktop binds these shortcuts"},
        {ShortcutBinding::desktop, false, "This desktop lets only its own settings bind"},
    };
    for (const Case& c : cases) {
        PlatformCapabilities capabilities;
        capabilities.shortcuts = c.binding;
        setPlatformCapabilities(capabilities);
        SettingsWindow window(fakes.settings);
        const int label = int(c.binding);
        const auto recorders = window.findChildren<RecorderButton*>();
        EXPECT_EQ(recorders.size(), c.recorders ? qsizetype(allHotKeyActions.size()) : 0) << label;
        QStringList texts;
        for (QLabel* text : window.findChildren<QLabel*>())
            texts.append(text->text());
        for (HotKeyAction action : allHotKeyActions)
            EXPECT_EQ(texts.contains(desktopShortcutCommand(action)), !c.recorders) << label;
        EXPECT_EQ(
            texts.count(QStringLiteral("Set by the desktop")), c.recorders ? 0 : qsizetype(allHotKeyActions.size()))
            << label;
        const bool hinted = std::any_of(texts.begin(), texts.end(),
            [&](const QString& text) { return *c.hint && text.startsWith(QString::fromUtf8(c.hint)); });
        EXPECT_EQ(hinted, *c.hint != 0) << label;
    }
    setPlatformCapabilities(saved);
    EXPECT_EQ(desktopShortcutCommand(HotKeyAction::captureArea), QStringLiteral("vantrel --action captureArea"));
}

// The desktop's shortcut portal binds, refuses or goes away while the window is open: the tab
// follows at once, and a recorder that was waiting for keys lets the shortcuts go back.
TEST(SettingsWindowShortcutsTest, TheShortcutsTabFollowsTheDesktopWhileOpen)
{
    test::WindowFakes fakes;
    const PlatformCapabilities saved = platformCapabilities();
    setShortcutBinding(ShortcutBinding::desktop);
    SettingsWindow window(fakes.settings);
    window.tabs()->setCurrentIndex(window.tabs()->count() - 1);
    const auto shown = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QStringList texts;
        for (QLabel* text : window.tabs()->currentWidget()->findChildren<QLabel*>())
            texts.append(text->text());
        return texts;
    };
    EXPECT_TRUE(window.findChildren<RecorderButton*>().isEmpty());

    setShortcutBinding(ShortcutBinding::portal);
    EXPECT_EQ(window.findChildren<RecorderButton*>().size(), qsizetype(allHotKeyActions.size()));
    EXPECT_EQ(window.tabs()->tabText(window.tabs()->currentIndex()), QStringLiteral("Shortcuts"));
    QStringList texts = shown();
    EXPECT_FALSE(texts.contains(QStringLiteral("Set by the desktop")));
    EXPECT_FALSE(texts.contains(desktopShortcutCommand(HotKeyAction::captureArea)));
    EXPECT_TRUE(texts.contains(shortcutBindingHint()));

    window.recorder(HotKeyAction::captureArea)->button()->toggle();
    ASSERT_TRUE(fakes.manager.suspended());
    setShortcutBinding(ShortcutBinding::desktop);
    EXPECT_FALSE(fakes.manager.suspended());
    EXPECT_EQ(fakes.manager.registeredCount(), int(allHotKeyActions.size()));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.findChildren<RecorderButton*>().isEmpty());
    texts = shown();
    EXPECT_EQ(texts.count(QStringLiteral("Set by the desktop")), qsizetype(allHotKeyActions.size()));
    EXPECT_TRUE(texts.contains(desktopShortcutCommand(HotKeyAction::captureArea)));
    EXPECT_EQ(window.tabs()->tabText(window.tabs()->currentIndex()), QStringLiteral("Shortcuts"));

    // Restore Defaults still reaches the settings after the tab was made again.
    setShortcutBinding(ShortcutBinding::portal);
    fakes.settings.setHotKeys({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto* restore = test::findByText<QPushButton>(&window, QStringLiteral("Restore Defaults"));
    ASSERT_NE(restore, nullptr);
    restore->click();
    EXPECT_EQ(fakes.settings.hotKeys(), defaultHotKeys());
    setPlatformCapabilities(saved);
}

// Where a portal binds the keys, each row says which keys the desktop actually uses, as soon as
// it says so, so a recorded shortcut the desktop kept otherwise is no mystery.
TEST(SettingsWindowShortcutsTest, PortalRowsShowTheKeysTheDesktopUses)
{
    test::WindowFakes fakes;
    const PlatformCapabilities saved = platformCapabilities();
    setShortcutBinding(ShortcutBinding::portal);
    const quint32 area = quint32(position(HotKeyAction::captureArea)) + 1;
    fakes.desktop.triggers[area] = QStringLiteral("Meta+Shift+S");
    SettingsWindow window(fakes.settings);
    window.tabs()->setCurrentIndex(window.tabs()->count() - 1);
    const auto shown = [&](const QString& text) {
        const auto labels = window.findChildren<QLabel*>();
        return std::count_if(labels.begin(), labels.end(),
            [&](QLabel* label) { return label->isVisibleTo(&window) && label->text() == text; });
    };
    EXPECT_EQ(shown(QStringLiteral("The desktop uses Meta+Shift+S")), 1);

    fakes.desktop.changeTriggers({{area, QStringLiteral("Ctrl+Alt+A")}});
    EXPECT_EQ(shown(QStringLiteral("The desktop uses Meta+Shift+S")), 0);
    EXPECT_EQ(shown(QStringLiteral("The desktop uses Ctrl+Alt+A")), 1);

    // Where Vantrel grabs the keys itself, or only the desktop binds them, no row says so.
    for (ShortcutBinding binding : {ShortcutBinding::vantrel, ShortcutBinding::desktop}) {
        setShortcutBinding(binding);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(shown(QStringLiteral("The desktop uses Ctrl+Alt+A")), 0) << int(binding);
    }
    setPlatformCapabilities(saved);
}
