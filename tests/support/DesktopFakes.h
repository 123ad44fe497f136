// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clipboard.h"
#include "Fakes.h"
#include "PreferenceStore.h"
#include "SaveDialog.h"
#include "Service.h"
#include "Settings.h"
#include "Toasts.h"
#include "Workspace.h"

#include <QTemporaryDir>

namespace vantrel::test {

// The desktop as most widget tests want it: settings over memory, and fakes of the toasts,
// clipboard, workspace and save panels, each installed while the object lives. Saves go to a
// temporary folder. Fixtures inherit it so the members read as their own.
struct DesktopFakes
{
    DesktopFakes() { settings.setSaveDirectory(folder.path()); }

    MemoryPreferenceStore preferences;
    ScopedService<PreferenceStore> preferencesSlot {&preferences};
    Settings settings {preferences};
    ScopedService<Settings> settingsSlot {&settings};
    RecordingToasts toasts;
    ScopedService<ToastPresenter> toastSlot {&toasts};
    FakeClipboard clipboard;
    ScopedService<Clipboard> clipboardSlot {&clipboard};
    FakeWorkspace workspace;
    ScopedService<Workspace> workspaceSlot {&workspace};
    FakeSaveDialog saveDialog;
    ScopedService<SaveDialog> saveDialogSlot {&saveDialog};
    QTemporaryDir folder;
};

} // namespace vantrel::test
