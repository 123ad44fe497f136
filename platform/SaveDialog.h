// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace vantrel {

struct SaveDialogRequest
{
    QString directory;
    QString fileName; // proposed name, extension included
    bool imageTypes = false; // offer PNG and JPEG only
};

// The modal "save as" dialog.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;
    // The chosen path, or none when the user cancels.
    virtual std::optional<QString> run(const SaveDialogRequest& request) = 0;
};

// QFileDialog, brought to the front over other applications.
class QtSaveDialog : public SaveDialog
{
public:
    std::optional<QString> run(const SaveDialogRequest& request) override;
};

} // namespace vantrel
