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
#include "SaveDialog.h"
#include "ScreenGrabber.h"
#include "ScreenRecording.h"
#include "Service.h"
#include "Sounds.h"
#include "TesseractTextRecognizer.h"
#include "Workspace.h"
#include "XdgPaths.h"
#include "ZXingBarcodeReader.h"
#include "x11/X11FocusService.h"
#include "x11/X11GlobalHotKeys.h"
#include "x11/X11ScreenGrabber.h"
#include "x11/X11ScreenRecording.h"

#include <QCoreApplication>

namespace vantrel {

struct DesktopPlatform::Services
{
    explicit Services(const QString& command)
        : loginItem(xdg::autostartFile(), command)
    { }

    JsonPreferenceStore preferences {xdg::settingsFile()};
    XdgAutostartLoginItem loginItem;
    XkbKeyboardLayout keyboardLayout;
    X11FocusService focus;
    GrantedCaptureAccess captureAccess;
    X11GlobalHotKeys hotKeys {&keyboardLayout};
    X11KeyMonitor keyMonitor;
    CanberraSounds sounds;
    X11DesktopAppearance appearance;
    X11ScreenGrabber screenGrabber;
    X11ScreenRecording screenRecording {&screenGrabber};
    FfmpegGifEncoding gifEncoding;
    QtClipboard clipboard;
    QtCamera camera;
    DesktopWorkspace workspace;
    QtSaveDialog saveDialog;
    QtFolderDialog folderDialog;
    TesseractTextRecognizer textRecognizer;
    ZXingBarcodeReader barcodeReader;

    ScopedService<PreferenceStore> preferencesSlot {&preferences};
    ScopedService<LoginItem> loginItemSlot {&loginItem};
    ScopedService<KeyboardLayout> keyboardLayoutSlot {&keyboardLayout};
    ScopedService<FocusService> focusSlot {&focus};
    ScopedService<CaptureAccess> captureAccessSlot {&captureAccess};
    ScopedService<GlobalHotKeys> hotKeysSlot {&hotKeys};
    ScopedService<KeyMonitor> keyMonitorSlot {&keyMonitor};
    ScopedService<Sounds> soundsSlot {&sounds};
    ScopedService<DesktopAppearance> appearanceSlot {&appearance};
    ScopedService<ScreenGrabber> screenGrabberSlot {&screenGrabber};
    ScopedService<ScreenRecording> screenRecordingSlot {&screenRecording};
    ScopedService<GifEncoding> gifEncodingSlot {&gifEncoding};
    ScopedService<Clipboard> clipboardSlot {&clipboard};
    ScopedService<Camera> cameraSlot {&camera};
    ScopedService<Workspace> workspaceSlot {&workspace};
    ScopedService<SaveDialog> saveDialogSlot {&saveDialog};
    ScopedService<FolderDialog> folderDialogSlot {&folderDialog};
    ScopedService<TextRecognizer> textRecognizerSlot {&textRecognizer};
    ScopedService<BarcodeReader> barcodeReaderSlot {&barcodeReader};
};

DesktopPlatform::DesktopPlatform(const QString& command)
    : m_services(std::make_unique<Services>(command.isEmpty() ? QCoreApplication::applicationFilePath() : command))
{ }

DesktopPlatform::~DesktopPlatform() = default;

} // namespace vantrel
