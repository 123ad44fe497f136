// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopPlatform.h"

#include "Camera.h"
#include "Clipboard.h"
#include "DesktopAppearance.h"
#include "FocusService.h"
#include "FolderDialog.h"
#include "GifEncoding.h"
#include "GlobalHotKeys.h"
#include "JsonPreferenceStore.h"
#include "KeyMonitor.h"
#include "KeyboardLayout.h"
#include "LoginItem.h"
#include "PlatformCapabilities.h"
#include "SaveDialog.h"
#include "ScreenGrabber.h"
#include "ScreenRecording.h"
#include "Service.h"
#include "Sounds.h"
#include "SystemLog.h"
#include "TesseractTextRecognizer.h"
#include "Workspace.h"
#include "XdgPaths.h"
#include "ZXingBarcodeReader.h"
#include "dbus/StatusNotifierTrayHost.h"
#include "portal/PortalGlobalShortcuts.h"
#include "wayland/PipeWireScreenRecording.h"
#include "wayland/WaylandClipboard.h"
#include "wayland/WaylandFocusService.h"
#include "wayland/WaylandScreenGrabber.h"
#include "x11/X11FocusService.h"
#include "x11/X11GlobalHotKeys.h"
#include "x11/X11ScreenGrabber.h"
#include "x11/X11ScreenRecording.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QSignalBlocker>

#include <optional>

namespace vantrel {

namespace {

bool waylandSession()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

// The services every desktop shares, and the windowing system's own ones, chosen once from
// the Qt platform in use. The slots are filled after the services exist and emptied before
// they go.
struct DesktopPlatform::Services
{
    JsonPreferenceStore preferences {xdg::settingsFile()};
    XdgAutostartLoginItem loginItem;
    XkbKeyboardLayout keyboardLayout;
    GrantedCaptureAccess captureAccess;
    X11KeyMonitor keyMonitor;
    CanberraSounds sounds;
    X11DesktopAppearance appearance;
    FfmpegGifEncoding gifEncoding;
    QtCamera camera;
    DesktopWorkspace workspace;
    QtSaveDialog saveDialog;
    QtFolderDialog folderDialog;
    TesseractTextRecognizer textRecognizer;
    ZXingBarcodeReader barcodeReader;

    std::unique_ptr<FocusService> focus;
    std::unique_ptr<GlobalHotKeys> hotKeys;
    std::unique_ptr<ScreenGrabber> screenGrabber;
    std::unique_ptr<ScreenRecording> screenRecording;
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<TrayHost> trayHost; // none where Qt finds a tray that starts late by itself

    ScopedService<PreferenceStore> preferencesSlot {&preferences};
    ScopedService<LoginItem> loginItemSlot {&loginItem};
    ScopedService<KeyboardLayout> keyboardLayoutSlot {&keyboardLayout};
    ScopedService<CaptureAccess> captureAccessSlot {&captureAccess};
    ScopedService<KeyMonitor> keyMonitorSlot {&keyMonitor};
    ScopedService<Sounds> soundsSlot {&sounds};
    ScopedService<DesktopAppearance> appearanceSlot {&appearance};
    ScopedService<GifEncoding> gifEncodingSlot {&gifEncoding};
    ScopedService<Camera> cameraSlot {&camera};
    ScopedService<Workspace> workspaceSlot {&workspace};
    ScopedService<SaveDialog> saveDialogSlot {&saveDialog};
    ScopedService<FolderDialog> folderDialogSlot {&folderDialog};
    ScopedService<TextRecognizer> textRecognizerSlot {&textRecognizer};
    ScopedService<BarcodeReader> barcodeReaderSlot {&barcodeReader};
    std::optional<ScopedService<FocusService>> focusSlot;
    std::optional<ScopedService<GlobalHotKeys>> hotKeysSlot;
    std::optional<ScopedService<ScreenGrabber>> screenGrabberSlot;
    std::optional<ScopedService<ScreenRecording>> screenRecordingSlot;
    std::optional<ScopedService<Clipboard>> clipboardSlot;
    std::optional<ScopedService<TrayHost>> trayHostSlot;
    PlatformCapabilities previousCapabilities = platformCapabilities();

    explicit Services(const QString& command)
        : loginItem(xdg::autostartFile(), command)
    {
        PlatformCapabilities capabilities;
        if (waylandSession())
            capabilities = makeWayland();
        else
            makeX11();
        setPlatformCapabilities(capabilities);
        focusSlot.emplace(focus.get());
        hotKeysSlot.emplace(hotKeys.get());
        screenGrabberSlot.emplace(screenGrabber.get());
        screenRecordingSlot.emplace(screenRecording.get());
        clipboardSlot.emplace(clipboard.get());
        trayHostSlot.emplace(trayHost.get());
    }

    ~Services()
    {
        // The process is ending: nothing is to be redrawn for the answers put back.
        const QSignalBlocker quiet(&PlatformCapabilityChanges::instance());
        setPlatformCapabilities(previousCapabilities);
    }

    void makeX11()
    {
        focus = std::make_unique<X11FocusService>();
        hotKeys = std::make_unique<X11GlobalHotKeys>(&keyboardLayout);
        auto grabber = std::make_unique<X11ScreenGrabber>();
        screenRecording = std::make_unique<X11ScreenRecording>(grabber.get());
        screenGrabber = std::move(grabber);
        clipboard = std::make_unique<QtClipboard>();
    }

    PlatformCapabilities makeWayland()
    {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        PlatformCapabilities capabilities;
        focus = std::make_unique<WaylandFocusService>();
        // Until the desktop's shortcut portal has bound the shortcuts, the user binds commands.
        auto portalShortcuts = std::make_unique<PortalGlobalShortcuts>(bus, &keyboardLayout);
        QObject::connect(portalShortcuts.get(), &PortalGlobalShortcuts::stateChanged, portalShortcuts.get(),
            [](PortalGlobalShortcuts::State state) {
                if (state == PortalGlobalShortcuts::State::bound)
                    setShortcutBinding(ShortcutBinding::portal);
                else if (state == PortalGlobalShortcuts::State::absent
                    || state == PortalGlobalShortcuts::State::refused)
                    setShortcutBinding(ShortcutBinding::desktop);
            });
        hotKeys = std::move(portalShortcuts);
        capabilities.shortcuts = ShortcutBinding::desktop;
        capabilities.clickThrough = false;
        WaylandScreenGrabber::Source source = qEnvironmentVariable("VANTREL_WAYLAND_CAPTURE") == QLatin1String("portal")
            ? WaylandScreenGrabber::Source::portal
            : WaylandScreenGrabber::Source::automatic;
        auto grabber = std::make_unique<WaylandScreenGrabber>(bus, source);
        capabilities.windowSelection = grabber->offersWindowPicker() ? WindowSelection::picker : WindowSelection::none;
        systemLog(QStringLiteral("Vantrel: Wayland session; screenshots through %1")
                      .arg(grabber->usesScreencopy() ? QStringLiteral("screencopy") : QStringLiteral("the portal")));
        screenGrabber = std::move(grabber);
        screenRecording = std::make_unique<PipeWireScreenRecording>(bus);
        clipboard = std::make_unique<WaylandClipboard>();
        trayHost = std::make_unique<StatusNotifierTrayHost>(bus);
        return capabilities;
    }
};

DesktopPlatform::DesktopPlatform(const QString& command)
    : m_services(std::make_unique<Services>(command.isEmpty() ? QCoreApplication::applicationFilePath() : command))
{ }

DesktopPlatform::~DesktopPlatform() = default;

} // namespace vantrel
