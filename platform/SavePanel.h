// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace vantrel {

struct SavePanelRequest
{
    QString directory;
    QString fileName; // proposed name, extension included
    bool imageTypes = false; // offer PNG and JPEG only
};

// The modal "save as" dialog.
class SavePanel
{
public:
    virtual ~SavePanel() = default;
    // The chosen path, or none when the user cancels.
    virtual std::optional<QString> run(const SavePanelRequest& request) = 0;
};

// QFileDialog, brought to the front over other applications.
class QtSavePanel : public SavePanel
{
public:
    std::optional<QString> run(const SavePanelRequest& request) override;
};

} // namespace vantrel
