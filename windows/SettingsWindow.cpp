// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsWindow.h"

#include "CaptureHistory.h"
#include "CaptureSurfaces.h"
#include "FolderDialog.h"
#include "HotKeys.h"
#include "KeyCombo.h"
#include "LabelStyle.h"
#include "PlatformCapabilities.h"
#include "PresetSwatchGrid.h"
#include "Service.h"
#include "Settings.h"
#include "SettingsForm.h"
#include "ShortcutRecorder.h"
#include "SymbolIcons.h"
#include "SystemLog.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

SettingsWindow*& instance()
{
    static SettingsWindow* window = nullptr;
    return window;
}

// A scrolling pane of titled sections, so that large fonts never cut a control off.
class Pane
{
public:
    Pane()
        : m_scroll(new QScrollArea)
        , m_content(new QWidget)
        , m_column(new QVBoxLayout(m_content))
    {
        m_scroll->setWidgetResizable(true);
        m_scroll->setFrameShape(QFrame::NoFrame);
        m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setFixedSize(SettingsWindow::paneWidth, SettingsWindow::paneHeight);
        m_column->setContentsMargins(20, 16, 20, 16);
        m_column->setSpacing(12);
        m_scroll->setWidget(m_content);
    }

    QFormLayout* section(const QString& title)
    {
        auto* box = new QGroupBox(title, m_content);
        auto* form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
        form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        form->setRowWrapPolicy(QFormLayout::DontWrapRows);
        m_column->addWidget(box);
        return form;
    }
    QVBoxLayout* column() const { return m_column; }
    QWidget* content() const { return m_content; }

    QWidget* finish()
    {
        m_column->addStretch(1);
        return m_scroll;
    }

private:
    QScrollArea* m_scroll;
    QWidget* m_content;
    QVBoxLayout* m_column;
};

// The tab symbols in the text colour, so that they read as one set.
QIcon tabIcon(const char* symbol)
{
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    for (int size : {16, 20, 24, 32}) {
        for (qreal ratio : {1.0, 2.0})
            icon.addPixmap(tintedSymbol(QString::fromLatin1(symbol), size, ink, ratio));
    }
    return icon;
}

QString plural(int n, const QString& one, const QString& many)
{
    return n == 1 ? one : many.arg(n);
}

QString fpsLabel(int n)
{
    return QCoreApplication::translate("vantrel::SettingsWindow", "%1 fps").arg(n);
}

} // namespace

void SettingsWindow::showWindow()
{
    SettingsWindow*& window = instance();
    if (!window) {
        window = new SettingsWindow(Settings::shared());
        window->adjustSize();
        centreOnScreenUnderPointer(window);
    }
    window->bringToFront();
}

SettingsWindow* SettingsWindow::current()
{
    return instance();
}

SettingsWindow::SettingsWindow(Settings& settings, QWidget* parent)
    : QWidget(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_form(new SettingsForm(settings, this))
    , m_tabs(new QTabWidget(this))
{
    setWindowTitle(tr("Vantrel Settings"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_tabs->setDocumentMode(true);
    m_tabs->setUsesScrollButtons(false);
    m_tabs->addTab(generalPane(), tabIcon("gearshape"), tr("General"));
    m_tabs->addTab(screenshotsPane(), tabIcon("camera"), tr("Screenshots"));
    m_tabs->addTab(recordingPane(), tabIcon("record.circle"), tr("Recording"));
    m_tabs->addTab(quickAccessPane(), tabIcon("rectangle.on.rectangle"), tr("Quick Access"));
    m_tabs->addTab(shortcutsPane(), tabIcon("command"), tr("Shortcuts"));
    m_form->onChange([this] {
        for (const auto& [action, recorder] : m_recorders)
            recorder->button()->refreshTitle();
    });
    // The desktop's shortcut service can bind, refuse or vanish while the window exists.
    connect(&PlatformCapabilityChanges::instance(), &PlatformCapabilityChanges::changed, this,
        &SettingsWindow::rebuildShortcutsPane);
    connect(&HotKeyManager::shared(), &HotKeyManager::desktopTriggersChanged, this,
        &SettingsWindow::refreshDesktopTriggers);

    fitPanesToContent();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsWindow::fitPanesToContent()
{
    // Every tab shows all of its controls without scrolling: the panes share the height of the
    // tallest content (at least paneHeight points, so tabs do not jump in size), and scroll
    // only when the screen is too small for that.
    int needed = paneHeight;
    std::vector<QScrollArea*> panes;
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (auto* pane = qobject_cast<QScrollArea*>(m_tabs->widget(i))) {
            panes.push_back(pane);
            needed = std::max(needed, pane->widget()->sizeHint().height());
        }
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Room for the tab bar and the window manager's title bar.
        const int room = screen->availableGeometry().height() - 120;
        needed = std::max(std::min(needed, room), std::min(paneHeight, room));
    }
    for (QScrollArea* pane : panes)
        pane->setFixedHeight(needed);
}

SettingsWindow::~SettingsWindow()
{
    if (instance() == this)
        instance() = nullptr;
}

void SettingsWindow::bringToFront()
{
    vantrel::bringToFront(this);
}

QString SettingsWindow::abbreviatedPath(const QString& path, const QString& home)
{
    const QString cleanHome = QDir::cleanPath(home);
    if (cleanHome.isEmpty() || cleanHome == QStringLiteral("/"))
        return path;
    const QString clean = QDir::cleanPath(path);
    if (clean == cleanHome)
        return QStringLiteral("~");
    if (clean.startsWith(cleanHome + QLatin1Char('/')))
        return QStringLiteral("~") + clean.mid(cleanHome.size());
    return path;
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    // Launch at login lives in the desktop's autostart folder, which the user may have changed.
    m_form->refresh();
    QWidget::showEvent(event);
}

void SettingsWindow::hideEvent(QHideEvent* event)
{
    // A recorder left waiting would keep every global shortcut released.
    stopRecordingShortcuts();
    QWidget::hideEvent(event);
}

void SettingsWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc and Ctrl+W close it like any settings window. A shortcut recorder that is listening
    // takes its keys before they get here, so Esc there only cancels the recording.
    if ((event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        || event->matches(QKeySequence::Close)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsWindow::stopRecordingShortcuts()
{
    for (const auto& [action, recorder] : m_recorders) {
        if (recorder->button()->recording())
            recorder->button()->toggle();
    }
}

void SettingsWindow::rebuildShortcutsPane()
{
    // The shortcuts pane is the last tab; it shows recorders or commands to bind, as who binds
    // the keys now says.
    const int index = m_tabs->count() - 1;
    stopRecordingShortcuts();
    m_recorders.clear();
    m_desktopTriggers.clear();
    const bool shown = m_tabs->currentIndex() == index;
    QWidget* old = m_tabs->widget(index);
    m_tabs->removeTab(index);
    old->deleteLater();
    m_tabs->insertTab(index, shortcutsPane(), tabIcon("command"), tr("Shortcuts"));
    if (shown)
        m_tabs->setCurrentIndex(index);
    fitPanesToContent();
}

void SettingsWindow::refreshDesktopTriggers()
{
    for (const auto& [action, label] : m_desktopTriggers) {
        const QString trigger = HotKeyManager::shared().desktopTrigger(action);
        label->setText(trigger.isEmpty() ? QString() : tr("The desktop uses %1").arg(trigger));
        label->setVisible(!trigger.isEmpty());
    }
    if (!m_desktopTriggers.empty())
        fitPanesToContent();
}

// --- General -------------------------------------------------------------------------------

QWidget* SettingsWindow::generalPane()
{
    Pane pane;
    Settings* s = &m_settings;
    SettingsForm& f = *m_form;

    QFormLayout* startup = pane.section(tr("Startup"));
    // Read from the desktop each time; a refused change shows the real state again at once.
    startup->addRow(f.toggle(
        tr("Launch at login"), [s] { return s->launchAtLogin(); }, [s](bool on) { s->setLaunchAtLogin(on); }));
    startup->addRow(f.toggle(tr("Play capture sound"), &Settings::playSound, &Settings::setPlaySound));

    QFormLayout* after = pane.section(tr("After capture"));
    after->addRow(
        f.toggle(tr("Show Quick Access Overlay"), &Settings::afterShowOverlay, &Settings::setAfterShowOverlay));
    after->addRow(f.toggle(tr("Copy file to clipboard"), &Settings::afterCopy, &Settings::setAfterCopy));
    after->addRow(f.toggle(tr("Save to export location"), &Settings::afterSave, &Settings::setAfterSave));
    after->addRow(f.toggle(tr("Open annotation editor"), &Settings::afterOpenEditor, &Settings::setAfterOpenEditor));

    QFormLayout* exportSection = pane.section(tr("Export"));
    exportSection->addRow(tr("Image format"),
        f.picker(
            {rawValue(ImageFormat::png).toUpper(), rawValue(ImageFormat::jpg).toUpper()},
            [s]() -> std::optional<int> { return s->imageFormat() == ImageFormat::png ? 0 : 1; }, {},
            [s](int index) { s->setImageFormat(index == 0 ? ImageFormat::png : ImageFormat::jpg); }));

    auto* prefix = new QLineEdit;
    prefix->setMinimumWidth(240);
    connect(prefix, &QLineEdit::textEdited, this, [s](const QString& text) { s->setFilePrefix(text); });
    f.onChange([prefix, s] {
        // Only a change made elsewhere is shown, so the cursor stays where the user types.
        if (prefix->text() != s->filePrefix())
            prefix->setText(s->filePrefix());
    });
    exportSection->addRow(tr("File name prefix"), prefix);

    auto* location = new QWidget;
    auto* locationRow = new QHBoxLayout(location);
    locationRow->setContentsMargins(0, 0, 0, 0);
    m_saveLocation = new QLabel;
    m_saveLocation->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_saveLocation->setMinimumWidth(240);
    auto* choose = new QPushButton(tr("Choose…"));
    connect(choose, &QPushButton::clicked, this, &SettingsWindow::chooseSaveLocation);
    locationRow->addWidget(m_saveLocation, 1);
    locationRow->addWidget(choose);
    f.onChange([this, s] {
        m_saveLocation->setText(abbreviatedPath(s->saveDirectory()));
        m_saveLocation->setToolTip(s->saveDirectory());
    });
    exportSection->addRow(tr("Location"), location);

    QFormLayout* history = pane.section(tr("Capture history"));
    history->addRow(tr("Keep captures for"),
        f.intPicker({{tr("1 day"), 1}, {tr("1 week"), 7}, {tr("1 month"), 30}, {tr("3 months"), 90}},
            &Settings::historyDays, &Settings::setHistoryDays,
            [](int n) { return plural(n, tr("1 day"), tr("%1 days")); }));
    auto* buttons = new QHBoxLayout;
    auto* open = new QPushButton(tr("Open History"));
    connect(open, &QPushButton::clicked, this, [] {
        if (CaptureSurfaces* surfaces = Service<CaptureSurfaces>::find())
            surfaces->showHistory();
    });
    auto* clear = new QPushButton(tr("Clear History"));
    // Destructive: every capture file and record goes at once, without a question.
    QPalette destructive = clear->palette();
    destructive.setColor(QPalette::ButtonText, QColor(215, 0, 21));
    clear->setPalette(destructive);
    connect(clear, &QPushButton::clicked, this, [] { CaptureHistory::shared().clear(); });
    buttons->addWidget(open);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    history->addRow(buttons);

    return pane.finish();
}

void SettingsWindow::chooseSaveLocation()
{
    FolderDialog* dialog = Service<FolderDialog>::find();
    if (!dialog) {
        systemLog(QStringLiteral("Vantrel: no folder chooser is available"));
        return;
    }
    QString start = m_settings.saveDirectory();
    if (start.startsWith(QLatin1Char('~')))
        start = QDir::homePath() + start.mid(1);
    if (const std::optional<QString> chosen = dialog->run(start, this); chosen && !chosen->isEmpty())
        m_settings.setSaveDirectory(*chosen);
}

// --- Screenshots ---------------------------------------------------------------------------

QWidget* SettingsWindow::screenshotsPane()
{
    Pane pane;
    Settings* s = &m_settings;
    SettingsForm& f = *m_form;

    QFormLayout* selection = pane.section(tr("Area selection"));
    selection->addRow(
        f.toggle(tr("Freeze screen while selecting"), &Settings::freezeScreen, &Settings::setFreezeScreen));
    selection->addRow(f.toggle(tr("Show crosshair"), &Settings::showCrosshair, &Settings::setShowCrosshair));
    selection->addRow(f.toggle(tr("Show magnifier"), &Settings::showMagnifier, &Settings::setShowMagnifier));
    QCheckBox* drop = f.toggle(
        tr("Water-drop animation when a capture starts"), &Settings::dropAnimation, &Settings::setDropAnimation);
    drop->setToolTip(
        tr("Needs “Freeze screen while selecting”. Also skipped when the desktop’s animations are turned off."));
    // The animation runs on the frozen picture: without one it cannot run, and its own value
    // is kept for when freezing comes back.
    f.onChange([drop, s] { drop->setEnabled(s->freezeScreen()); });
    selection->addRow(drop);

    QFormLayout* windows = pane.section(tr("Window capture"));
    windows->addRow(f.toggle(tr("Capture window shadow"), &Settings::windowShadow, &Settings::setWindowShadow));
    windows->addRow(
        f.toggle(tr("Add background behind windows"), &Settings::windowBackground, &Settings::setWindowBackground));
    m_swatches = new PresetSwatchGrid(m_settings);
    windows->addRow(m_swatches);
    f.onChange([this, s] {
        m_swatches->refresh();
        m_swatches->setVisible(s->windowBackground());
    });

    QFormLayout* timer = pane.section(tr("Self-timer"));
    auto* countdown = new QSpinBox;
    countdown->setPrefix(tr("Countdown: "));
    countdown->setSuffix(tr(" s"));
    countdown->setSingleStep(1);
    countdown->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(countdown, &QSpinBox::valueChanged, this, [s](int seconds) { s->setSelfTimerSeconds(seconds); });
    f.onChange([countdown, s] {
        const QSignalBlocker blocker(countdown);
        // The steps run from 1 to 30; a stored value outside them is shown as it is until the
        // user steps into the range.
        const int seconds = s->selfTimerSeconds();
        countdown->setRange(std::min(1, seconds), std::max(30, seconds));
        countdown->setValue(seconds);
    });
    timer->addRow(countdown);

    QFormLayout* desktop = pane.section(tr("Desktop"));
    desktop->addRow(f.toggle(tr("Hide desktop icons"), &Settings::hideDesktopIcons, &Settings::setHideDesktopIcons));

    return pane.finish();
}

// --- Recording -----------------------------------------------------------------------------

QWidget* SettingsWindow::recordingPane()
{
    Pane pane;
    SettingsForm& f = *m_form;

    QFormLayout* video = pane.section(tr("Video"));
    video->addRow(tr("Frame rate"),
        f.intPicker({{fpsLabel(24), 24}, {fpsLabel(30), 30}, {fpsLabel(60), 60}}, &Settings::recordFPS,
            &Settings::setRecordFPS, fpsLabel));
    video->addRow(f.toggle(tr("Record at full HiDPI resolution"), &Settings::recordRetina, &Settings::setRecordRetina));
    video->addRow(f.toggle(tr("Show cursor"), &Settings::recordShowCursor, &Settings::setRecordShowCursor));
    video->addRow(f.toggle(tr("Highlight clicks"), &Settings::recordShowClicks, &Settings::setRecordShowClicks));
    video->addRow(f.toggle(tr("Show keystrokes"), &Settings::recordKeystrokes, &Settings::setRecordKeystrokes));

    QFormLayout* audio = pane.section(tr("Audio && camera"));
    audio->addRow(f.toggle(tr("Record microphone"), &Settings::recordMicrophone, &Settings::setRecordMicrophone));
    audio->addRow(f.toggle(tr("Record computer audio"), &Settings::recordSystemAudio, &Settings::setRecordSystemAudio));
    audio->addRow(f.toggle(tr("Show webcam bubble"), &Settings::recordCamera, &Settings::setRecordCamera));

    QFormLayout* gif = pane.section(tr("GIF"));
    gif->addRow(tr("GIF frame rate"),
        f.intPicker({{fpsLabel(10), 10}, {fpsLabel(15), 15}, {fpsLabel(20), 20}, {fpsLabel(30), 30}}, &Settings::gifFPS,
            &Settings::setGifFPS, fpsLabel));
    gif->addRow(tr("Max width"),
        f.intPicker({{tr("%1 px").arg(640), 640}, {tr("%1 px").arg(960), 960}, {tr("%1 px").arg(1280), 1280},
                        {tr("%1 px").arg(1920), 1920}},
            &Settings::gifMaxWidth, &Settings::setGifMaxWidth, [](int n) { return tr("%1 px").arg(n); }));

    return pane.finish();
}

// --- Quick Access --------------------------------------------------------------------------

QWidget* SettingsWindow::quickAccessPane()
{
    Pane pane;
    Settings* s = &m_settings;
    SettingsForm& f = *m_form;

    QFormLayout* overlay = pane.section(tr("Overlay"));
    overlay->addRow(tr("Position"),
        f.picker(
            {tr("Bottom Left"), tr("Bottom Right")},
            [s]() -> std::optional<int> { return s->overlayCorner() == OverlayCorner::left ? 0 : 1; }, {},
            [s](int index) { s->setOverlayCorner(index == 0 ? OverlayCorner::left : OverlayCorner::right); }));

    // Points in steps of 10: the slider counts tens.
    auto* sizeLabel = new QLabel;
    auto* size = new QSlider(Qt::Horizontal);
    size->setRange(16, 36);
    size->setSingleStep(1);
    size->setPageStep(1);
    size->setMinimumWidth(240);
    sizeLabel->setBuddy(size);
    connect(size, &QSlider::valueChanged, this, [s](int tens) { s->setOverlaySize(tens * 10.0); });
    f.onChange([size, sizeLabel, s] {
        const double points = s->overlaySize();
        const double shown = std::isfinite(points) ? std::clamp(points, -1e15, 1e15) : 0.0;
        sizeLabel->setText(tr("Size: %1 pt").arg(static_cast<long long>(std::trunc(shown))));
        const QSignalBlocker blocker(size);
        size->setValue(int(std::lround(std::clamp(shown, 160.0, 360.0) / 10)));
    });
    overlay->addRow(sizeLabel, size);

    overlay->addRow(f.toggle(
        tr("Hide automatically"), [s] { return s->overlayAutoClose() > 0; },
        [s](bool on) { s->setOverlayAutoClose(on ? 10 : 0); }));
    QComboBox* slideAway = f.intPicker({{tr("3 seconds"), 3}, {tr("5 seconds"), 5}, {tr("10 seconds"), 10},
                                           {tr("30 seconds"), 30}, {tr("1 minute"), 60}},
        &Settings::overlayAutoClose, &Settings::setOverlayAutoClose,
        [](int n) { return plural(n, tr("1 second"), tr("%1 seconds")); });
    overlay->addRow(tr("Slide away after"), slideAway);
    f.onChange([overlay, slideAway, s] { overlay->setRowVisible(slideAway, s->overlayAutoClose() >= 1); });
    overlay->addRow(secondaryLabel(tr("Hovering a thumbnail keeps it open.")));

    QFormLayout* tips = pane.section(tr("Tips"));
    auto* text = new QLabel(tr("Hover the thumbnail for Copy, Save, Annotate, Pin and Text actions. Drag it "
                               "into any app. Swipe sideways to dismiss. With the overlay focused: Ctrl+C "
                               "copy, Ctrl+S save, Ctrl+E annotate, Ctrl+P pin, Ctrl+W close."));
    text->setWordWrap(true);
    tips->addRow(text);

    return pane.finish();
}

// --- Shortcuts -----------------------------------------------------------------------------

QWidget* SettingsWindow::shortcutsPane()
{
    Pane pane;
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(16);
    rows->setVerticalSpacing(8);
    int row = 0;
    if (platformCapabilities().shortcuts == ShortcutBinding::desktop) {
        // No key can be recorded here: each row names the command to bind in the desktop.
        const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        for (HotKeyAction action : allHotKeyActions) {
            rows->addWidget(new QLabel(title(action)), row, 0);
            auto* command = new QLabel(desktopShortcutCommand(action));
            command->setFont(mono);
            command->setTextInteractionFlags(Qt::TextSelectableByMouse);
            rows->addWidget(command, row, 1);
            rows->addWidget(secondaryLabel(tr("Set by the desktop")), row, 2, Qt::AlignRight);
            ++row;
        }
        rows->setColumnStretch(0, 1);
        pane.column()->addLayout(rows);
        pane.column()->addWidget(secondaryLabel(shortcutBindingHint()));
        return pane.finish();
    }
    for (HotKeyAction action : allHotKeyActions) {
        auto* recorder = new ShortcutRecorder(action);
        recorder->setFixedWidth(recorderWidth);
        recorder->button()->setMinimumWidth(recorderWidth);
        rows->addWidget(new QLabel(title(action)), row, 0);
        rows->addWidget(recorder, row, 1, Qt::AlignRight);
        m_recorders[action] = recorder;
        if (platformCapabilities().shortcuts == ShortcutBinding::portal) {
            // The desktop may keep other keys than those recorded here: show what it uses.
            auto* trigger = secondaryLabel(QString());
            rows->addWidget(trigger, row + 1, 0, 1, 2, Qt::AlignRight);
            m_desktopTriggers[action] = trigger;
            ++row;
        }
        ++row;
    }
    rows->setColumnStretch(0, 1);
    pane.column()->addLayout(rows);
    refreshDesktopTriggers();

    pane.column()->addWidget(secondaryLabel(
        tr("Click a shortcut, then press the new keys. Esc cancels, Backspace clears. Super is the Windows key. To "
           "use the Print key, first turn off your desktop’s own screenshot shortcuts in its keyboard settings.")));
    if (const QString hint = shortcutBindingHint(); !hint.isEmpty())
        pane.column()->addWidget(secondaryLabel(hint));
    auto* restore = new QPushButton(tr("Restore Defaults"));
    connect(restore, &QPushButton::clicked, this, [this] {
        // Stores the whole default table, which registers every shortcut again; a recorder
        // still waiting for keys would otherwise keep them released.
        stopRecordingShortcuts();
        m_settings.setHotKeys(defaultHotKeys());
    });
    auto* restoreRow = new QHBoxLayout;
    restoreRow->addWidget(restore);
    restoreRow->addStretch(1);
    pane.column()->addLayout(restoreRow);

    return pane.finish();
}

} // namespace vantrel
