// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsWindow.h"

#include "CaptureHistory.h"
#include "CaptureSurfaces.h"
#include "FolderDialog.h"
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
    return QStringLiteral("%1 fps").arg(n);
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
    setWindowTitle(QStringLiteral("Vantrel Settings"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_tabs->setDocumentMode(true);
    m_tabs->setUsesScrollButtons(false);
    m_tabs->addTab(generalPane(), tabIcon("gearshape"), QStringLiteral("General"));
    m_tabs->addTab(screenshotsPane(), tabIcon("camera"), QStringLiteral("Screenshots"));
    m_tabs->addTab(recordingPane(), tabIcon("record.circle"), QStringLiteral("Recording"));
    m_tabs->addTab(quickAccessPane(), tabIcon("rectangle.on.rectangle"), QStringLiteral("Quick Access"));
    m_tabs->addTab(shortcutsPane(), tabIcon("command"), QStringLiteral("Shortcuts"));

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

// --- General -------------------------------------------------------------------------------

QWidget* SettingsWindow::generalPane()
{
    Pane pane;
    Settings* s = &m_settings;
    SettingsForm& f = *m_form;

    QFormLayout* startup = pane.section(QStringLiteral("Startup"));
    // Read from the desktop each time; a refused change shows the real state again at once.
    startup->addRow(f.toggle(
        QStringLiteral("Launch at login"), [s] { return s->launchAtLogin(); },
        [s](bool on) { s->setLaunchAtLogin(on); }));
    startup->addRow(f.toggle(QStringLiteral("Play capture sound"), &Settings::playSound, &Settings::setPlaySound));

    QFormLayout* after = pane.section(QStringLiteral("After capture"));
    after->addRow(f.toggle(
        QStringLiteral("Show Quick Access Overlay"), &Settings::afterShowOverlay, &Settings::setAfterShowOverlay));
    after->addRow(f.toggle(QStringLiteral("Copy file to clipboard"), &Settings::afterCopy, &Settings::setAfterCopy));
    after->addRow(f.toggle(QStringLiteral("Save to export location"), &Settings::afterSave, &Settings::setAfterSave));
    after->addRow(
        f.toggle(QStringLiteral("Open annotation editor"), &Settings::afterOpenEditor, &Settings::setAfterOpenEditor));

    QFormLayout* exportSection = pane.section(QStringLiteral("Export"));
    exportSection->addRow(QStringLiteral("Image format"),
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
    exportSection->addRow(QStringLiteral("File name prefix"), prefix);

    auto* location = new QWidget;
    auto* locationRow = new QHBoxLayout(location);
    locationRow->setContentsMargins(0, 0, 0, 0);
    m_saveLocation = new QLabel;
    m_saveLocation->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_saveLocation->setMinimumWidth(240);
    auto* choose = new QPushButton(QStringLiteral("Choose…"));
    connect(choose, &QPushButton::clicked, this, &SettingsWindow::chooseSaveLocation);
    locationRow->addWidget(m_saveLocation, 1);
    locationRow->addWidget(choose);
    f.onChange([this, s] {
        m_saveLocation->setText(abbreviatedPath(s->saveDirectory()));
        m_saveLocation->setToolTip(s->saveDirectory());
    });
    exportSection->addRow(QStringLiteral("Location"), location);

    QFormLayout* history = pane.section(QStringLiteral("Capture history"));
    history->addRow(QStringLiteral("Keep captures for"),
        f.intPicker({{QStringLiteral("1 day"), 1}, {QStringLiteral("1 week"), 7}, {QStringLiteral("1 month"), 30},
                        {QStringLiteral("3 months"), 90}},
            &Settings::historyDays, &Settings::setHistoryDays,
            [](int n) { return plural(n, QStringLiteral("1 day"), QStringLiteral("%1 days")); }));
    auto* buttons = new QHBoxLayout;
    auto* open = new QPushButton(QStringLiteral("Open History"));
    connect(open, &QPushButton::clicked, this, [] {
        if (CaptureSurfaces* surfaces = Service<CaptureSurfaces>::find())
            surfaces->showHistory();
    });
    auto* clear = new QPushButton(QStringLiteral("Clear History"));
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

    QFormLayout* selection = pane.section(QStringLiteral("Area selection"));
    selection->addRow(
        f.toggle(QStringLiteral("Freeze screen while selecting"), &Settings::freezeScreen, &Settings::setFreezeScreen));
    selection->addRow(
        f.toggle(QStringLiteral("Show crosshair"), &Settings::showCrosshair, &Settings::setShowCrosshair));
    selection->addRow(
        f.toggle(QStringLiteral("Show magnifier"), &Settings::showMagnifier, &Settings::setShowMagnifier));
    QCheckBox* drop = f.toggle(QStringLiteral("Water-drop animation when a capture starts"), &Settings::dropAnimation,
        &Settings::setDropAnimation);
    drop->setToolTip(QStringLiteral(
        "Needs “Freeze screen while selecting”. Also skipped when the desktop’s animations are turned off."));
    // The animation runs on the frozen picture: without one it cannot run, and its own value
    // is kept for when freezing comes back.
    f.onChange([drop, s] { drop->setEnabled(s->freezeScreen()); });
    selection->addRow(drop);

    QFormLayout* windows = pane.section(QStringLiteral("Window capture"));
    windows->addRow(
        f.toggle(QStringLiteral("Capture window shadow"), &Settings::windowShadow, &Settings::setWindowShadow));
    windows->addRow(f.toggle(
        QStringLiteral("Add background behind windows"), &Settings::windowBackground, &Settings::setWindowBackground));
    m_swatches = new PresetSwatchGrid(m_settings);
    windows->addRow(m_swatches);
    f.onChange([this, s] {
        m_swatches->refresh();
        m_swatches->setVisible(s->windowBackground());
    });

    QFormLayout* timer = pane.section(QStringLiteral("Self-timer"));
    auto* countdown = new QSpinBox;
    countdown->setPrefix(QStringLiteral("Countdown: "));
    countdown->setSuffix(QStringLiteral(" s"));
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

    QFormLayout* desktop = pane.section(QStringLiteral("Desktop"));
    desktop->addRow(
        f.toggle(QStringLiteral("Hide desktop icons"), &Settings::hideDesktopIcons, &Settings::setHideDesktopIcons));

    return pane.finish();
}

// --- Recording -----------------------------------------------------------------------------

QWidget* SettingsWindow::recordingPane()
{
    Pane pane;
    SettingsForm& f = *m_form;

    QFormLayout* video = pane.section(QStringLiteral("Video"));
    video->addRow(QStringLiteral("Frame rate"),
        f.intPicker({{QStringLiteral("24 fps"), 24}, {QStringLiteral("30 fps"), 30}, {QStringLiteral("60 fps"), 60}},
            &Settings::recordFPS, &Settings::setRecordFPS, fpsLabel));
    video->addRow(f.toggle(
        QStringLiteral("Record at full HiDPI resolution"), &Settings::recordRetina, &Settings::setRecordRetina));
    video->addRow(f.toggle(QStringLiteral("Show cursor"), &Settings::recordShowCursor, &Settings::setRecordShowCursor));
    video->addRow(
        f.toggle(QStringLiteral("Highlight clicks"), &Settings::recordShowClicks, &Settings::setRecordShowClicks));
    video->addRow(
        f.toggle(QStringLiteral("Show keystrokes"), &Settings::recordKeystrokes, &Settings::setRecordKeystrokes));

    QFormLayout* audio = pane.section(QStringLiteral("Audio && camera"));
    audio->addRow(
        f.toggle(QStringLiteral("Record microphone"), &Settings::recordMicrophone, &Settings::setRecordMicrophone));
    audio->addRow(f.toggle(
        QStringLiteral("Record computer audio"), &Settings::recordSystemAudio, &Settings::setRecordSystemAudio));
    audio->addRow(f.toggle(QStringLiteral("Show webcam bubble"), &Settings::recordCamera, &Settings::setRecordCamera));

    QFormLayout* gif = pane.section(QStringLiteral("GIF"));
    gif->addRow(QStringLiteral("GIF frame rate"),
        f.intPicker({{QStringLiteral("10 fps"), 10}, {QStringLiteral("15 fps"), 15}, {QStringLiteral("20 fps"), 20},
                        {QStringLiteral("30 fps"), 30}},
            &Settings::gifFPS, &Settings::setGifFPS, fpsLabel));
    gif->addRow(QStringLiteral("Max width"),
        f.intPicker({{QStringLiteral("640 px"), 640}, {QStringLiteral("960 px"), 960},
                        {QStringLiteral("1280 px"), 1280}, {QStringLiteral("1920 px"), 1920}},
            &Settings::gifMaxWidth, &Settings::setGifMaxWidth, [](int n) { return QStringLiteral("%1 px").arg(n); }));

    return pane.finish();
}

// --- Quick Access --------------------------------------------------------------------------

QWidget* SettingsWindow::quickAccessPane()
{
    Pane pane;
    Settings* s = &m_settings;
    SettingsForm& f = *m_form;

    QFormLayout* overlay = pane.section(QStringLiteral("Overlay"));
    overlay->addRow(QStringLiteral("Position"),
        f.picker(
            {QStringLiteral("Bottom Left"), QStringLiteral("Bottom Right")},
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
        sizeLabel->setText(QString::asprintf("Size: %lld pt", static_cast<long long>(std::trunc(shown))));
        const QSignalBlocker blocker(size);
        size->setValue(int(std::lround(std::clamp(shown, 160.0, 360.0) / 10)));
    });
    overlay->addRow(sizeLabel, size);

    overlay->addRow(f.toggle(
        QStringLiteral("Hide automatically"), [s] { return s->overlayAutoClose() > 0; },
        [s](bool on) { s->setOverlayAutoClose(on ? 10 : 0); }));
    QComboBox* slideAway = f.intPicker(
        {{QStringLiteral("3 seconds"), 3}, {QStringLiteral("5 seconds"), 5}, {QStringLiteral("10 seconds"), 10},
            {QStringLiteral("30 seconds"), 30}, {QStringLiteral("1 minute"), 60}},
        &Settings::overlayAutoClose, &Settings::setOverlayAutoClose,
        [](int n) { return plural(n, QStringLiteral("1 second"), QStringLiteral("%1 seconds")); });
    overlay->addRow(QStringLiteral("Slide away after"), slideAway);
    f.onChange([overlay, slideAway, s] { overlay->setRowVisible(slideAway, s->overlayAutoClose() >= 1); });
    overlay->addRow(secondaryLabel(QStringLiteral("Hovering a thumbnail keeps it open.")));

    QFormLayout* tips = pane.section(QStringLiteral("Tips"));
    auto* text
        = new QLabel(QStringLiteral("Hover the thumbnail for Copy, Save, Annotate, Pin and Text actions. Drag it "
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
        ++row;
    }
    rows->setColumnStretch(0, 1);
    pane.column()->addLayout(rows);
    m_form->onChange([this] {
        for (const auto& [action, recorder] : m_recorders)
            recorder->button()->refreshTitle();
    });

    pane.column()->addWidget(secondaryLabel(QStringLiteral(
        "Click a shortcut, then press the new keys. Esc cancels, Backspace clears. Super is the Windows key. To "
        "use the Print key, first turn off your desktop’s own screenshot shortcuts in its keyboard settings.")));
    if (const QString hint = shortcutBindingHint(); !hint.isEmpty())
        pane.column()->addWidget(secondaryLabel(hint));
    auto* restore = new QPushButton(QStringLiteral("Restore Defaults"));
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
