// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirstRunWindow.h"

#include "FocusService.h"
#include "HotKeys.h"
#include "LabelStyle.h"
#include "PlatformCapabilities.h"
#include "Service.h"
#include "Settings.h"
#include "SettingsWindow.h"
#include "ShortcutRecorder.h"
#include "SymbolIcons.h"
#include "WindowPlacement.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

FirstRunWindow*& instance()
{
    static FirstRunWindow* window = nullptr;
    return window;
}

constexpr int iconSize = 72; // points
constexpr int symbolSize = 28; // points

// Vantrel's icon: the tray's viewfinder in white on a blue rounded square.
QPixmap applicationIcon(qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(iconSize, iconSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square(2, 2, iconSize - 4, iconSize - 4);
    QLinearGradient gradient(square.topLeft(), square.bottomRight());
    gradient.setColorAt(0, QColor(79, 172, 254));
    gradient.setColorAt(1, QColor(10, 100, 230));
    QPainterPath rounded;
    rounded.addRoundedRect(square, 16, 16);
    painter.fillPath(rounded, gradient);
    const int glyph = 44;
    painter.drawPixmap(QPoint((iconSize - glyph) / 2, (iconSize - glyph) / 2),
        tintedSymbol(QStringLiteral("viewfinder"), glyph, Qt::white, devicePixelRatio));
    return pixmap;
}

} // namespace

void FirstRunWindow::showWindow()
{
    FirstRunWindow*& slot = instance();
    if (FirstRunWindow* earlier = slot) {
        slot = nullptr;
        earlier->close();
    }
    auto* window = new FirstRunWindow;
    slot = window;
    window->adjustSize();
    centreOnScreenUnderPointer(window);
    bringToFront(window);
}

FirstRunWindow* FirstRunWindow::current()
{
    return instance();
}

FirstRunWindow::FirstRunWindow(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    // The window manager draws the title bar on Linux, so it carries the greeting too.
    setWindowTitle(tr("Welcome to Vantrel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 28, 40, 24);
    column->setSpacing(10);

    auto* icon = new QLabel;
    icon->setPixmap(applicationIcon(devicePixelRatioF()));
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto* welcome = new QLabel(tr("Welcome to Vantrel"));
    QFont titleFont = welcome->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    welcome->setFont(titleFont);
    column->addWidget(welcome, 0, Qt::AlignHCenter);
    auto* tagline = secondaryLabel(tr("Screenshots, recordings, annotations and OCR — right from your system tray."));
    tagline->setAlignment(Qt::AlignHCenter);
    column->addWidget(tagline);
    column->addSpacing(8);

    // The main shortcuts as they are now, so a changed shortcut never shows its old keys.
    auto* heading = new QLabel(tr("Default shortcuts"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    column->addWidget(heading);
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(16);
    rows->setVerticalSpacing(4);
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    int row = 0;
    for (HotKeyAction action : listedActions) {
        rows->addWidget(new QLabel(title(action)), row, 0);
        auto* shortcut = new QLabel;
        shortcut->setFont(mono);
        rows->addWidget(shortcut, row, 1, Qt::AlignRight);
        m_shortcutLabels[action] = shortcut;
        ++row;
    }
    column->addLayout(rows);
    m_bindingHint = secondaryLabel(QString());
    column->addWidget(m_bindingHint);
    refreshShortcuts();
    connect(&Settings::shared(), &Settings::changed, this, [this](const QString& key) {
        if (key == QStringLiteral("hotKeys"))
            refreshShortcuts();
    });
    // The desktop's shortcut service can bind, refuse or vanish while the window is open.
    connect(&PlatformCapabilityChanges::instance(), &PlatformCapabilityChanges::changed, this, [this] {
        refreshShortcuts();
        setFixedSize(sizeHint().expandedTo(size()));
    });
    column->addSpacing(8);

    m_permissionRow = new QWidget;
    auto* permission = new QHBoxLayout(m_permissionRow);
    permission->setContentsMargins(0, 0, 0, 0);
    permission->setSpacing(10);
    m_permissionSymbol = new QLabel;
    m_permissionSymbol->setFixedSize(symbolSize, symbolSize);
    permission->addWidget(m_permissionSymbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new QLabel(tr("Screen Recording permission")));
    m_permissionDetail = secondaryLabel(QString());
    texts->addWidget(m_permissionDetail);
    permission->addLayout(texts, 1);
    m_grant = new QPushButton(tr("Grant…"));
    m_grant->setAutoDefault(false);
    connect(m_grant, &QPushButton::clicked, this, &FirstRunWindow::grant);
    permission->addWidget(m_grant, 0, Qt::AlignTop);
    column->addWidget(m_permissionRow);
    CaptureAccess* access = Service<CaptureAccess>::find();
    m_permissionRow->setVisible(access && access->canRefuse());
    column->addStretch(1);

    // Return is "Get Started": the common answer to a welcome.
    auto* buttons = new QHBoxLayout;
    m_openSettings = new QPushButton(tr("Open Settings"));
    m_openSettings->setAutoDefault(false);
    connect(m_openSettings, &QPushButton::clicked, this, [] { SettingsWindow::showWindow(); });
    m_getStarted = new QPushButton(tr("Get Started"));
    m_getStarted->setDefault(true);
    connect(m_getStarted, &QPushButton::clicked, this, &QWidget::close);
    buttons->addStretch(1);
    buttons->addWidget(m_openSettings);
    buttons->addWidget(m_getStarted);
    column->addLayout(buttons);
    m_getStarted->setFocus();

    // Every way of closing (the buttons, Return, Escape, the title bar) ends in `finished`.
    connect(this, &QDialog::finished, this, [this] {
        if (instance() == this)
            instance() = nullptr;
    });

    m_timer.setInterval(permissionPollMs);
    connect(&m_timer, &QTimer::timeout, this, &FirstRunWindow::updatePermission);
    updatePermission();
    // 520 points square, unless large fonts need more.
    const QSize needed = sizeHint().expandedTo(QSize(contentSize, contentSize));
    setFixedSize(needed);
}

FirstRunWindow::~FirstRunWindow()
{
    if (instance() == this)
        instance() = nullptr;
}

void FirstRunWindow::refreshShortcuts()
{
    const HotKeyMap& hotKeys = Settings::shared().hotKeys();
    for (const auto& [action, label] : m_shortcutLabels) {
        const auto entry = hotKeys.find(rawValue(action));
        if (platformCapabilities().shortcuts == ShortcutBinding::desktop)
            label->setText(desktopShortcutCommand(action));
        else
            label->setText(entry != hotKeys.end() ? shortcutText(entry->second) : QStringLiteral("—"));
    }
    const QString hint = shortcutBindingHint();
    m_bindingHint->setText(hint);
    m_bindingHint->setVisible(!hint.isEmpty());
}

void FirstRunWindow::updatePermission()
{
    // X11 lets every client read the screen; a backend that can refuse installs its own answer.
    CaptureAccess* access = Service<CaptureAccess>::find();
    m_hasPermission = !access || access->preflight();
    showPermission();
}

void FirstRunWindow::showPermission()
{
    const bool granted = m_hasPermission;
    m_permissionSymbol->setPixmap(
        tintedSymbol(granted ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("exclamationmark.circle.fill"),
            symbolSize, granted ? grantedColor() : requiredColor(), devicePixelRatioF()));
    m_permissionDetail->setText(
        granted ? tr("Granted") : tr("Required to capture your screen. Relaunch Vantrel after granting."));
    m_grant->setVisible(!granted);
}

void FirstRunWindow::grant()
{
    // The desktop asks the user itself (a portal dialog); there is no settings page to open.
    if (CaptureAccess* access = Service<CaptureAccess>::find())
        access->request();
    updatePermission();
}

void FirstRunWindow::showEvent(QShowEvent* event)
{
    updatePermission();
    if (!m_permissionRow->isHidden())
        m_timer.start();
    QDialog::showEvent(event);
}

void FirstRunWindow::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QDialog::hideEvent(event);
}

} // namespace vantrel
