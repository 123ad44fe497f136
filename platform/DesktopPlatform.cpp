// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopPlatform.h"

#include "Clipboard.h"
#include "FocusService.h"
#include "GlobalHotKeys.h"
#include "JsonPreferenceStore.h"
#include "KeyboardLayout.h"
#include "LoginItem.h"
#include "SavePanel.h"
#include "ScreenGrabber.h"
#include "Service.h"
#include "SystemLog.h"
#include "Workspace.h"
#include "XdgPaths.h"
#include "x11/X11FocusService.h"
#include "x11/X11ScreenGrabber.h"

#include <QCoreApplication>

namespace vantrel {

namespace {

// Stands in until the X11 key grabs exist: accepts every shortcut, says once that none fire.
class PendingGlobalHotKeys : public GlobalHotKeys
{
public:
    std::optional<Reference> registerHotKey(quint32, quint32, quint32) override
    {
        if (!m_logged) {
            systemLog(QStringLiteral("Vantrel: global shortcuts are not built yet; stored shortcuts do not fire"));
            m_logged = true;
        }
        return ++m_next;
    }
    void unregisterHotKey(Reference) override { }
    void setPressHandler(PressHandler) override { }

private:
    bool m_logged = false;
    Reference m_next = 0;
};

} // namespace

struct DesktopPlatform::Services
{
    JsonPreferenceStore preferences {xdg::settingsFile()};
    XdgAutostartLoginItem loginItem {xdg::autostartFile(), QCoreApplication::applicationFilePath()};
    XkbKeyboardLayout keyboardLayout;
    X11FocusService focus;
    GrantedCaptureAccess captureAccess;
    PendingGlobalHotKeys hotKeys;
    X11ScreenGrabber screenGrabber;
    QtClipboard clipboard;
    DesktopWorkspace workspace;
    QtSavePanel savePanel;

    ScopedService<PreferenceStore> preferencesSlot {&preferences};
    ScopedService<LoginItem> loginItemSlot {&loginItem};
    ScopedService<KeyboardLayout> keyboardLayoutSlot {&keyboardLayout};
    ScopedService<FocusService> focusSlot {&focus};
    ScopedService<CaptureAccess> captureAccessSlot {&captureAccess};
    ScopedService<GlobalHotKeys> hotKeysSlot {&hotKeys};
    ScopedService<ScreenGrabber> screenGrabberSlot {&screenGrabber};
    ScopedService<Clipboard> clipboardSlot {&clipboard};
    ScopedService<Workspace> workspaceSlot {&workspace};
    ScopedService<SavePanel> savePanelSlot {&savePanel};
};

DesktopPlatform::DesktopPlatform()
    : m_services(std::make_unique<Services>())
{ }

DesktopPlatform::~DesktopPlatform() = default;

} // namespace vantrel
