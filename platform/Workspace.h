// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

namespace vantrel {

// Hands files and links to the rest of the desktop.
class Workspace
{
public:
    virtual ~Workspace() = default;
    // Opens a file with its default application, or a link in the browser.
    virtual bool open(const QUrl& url) = 0;
    // Shows a file selected in the file manager, else opens the folder that holds it.
    virtual void reveal(const QUrl& fileURL) = 0;
};

// QDesktopServices (xdg-open) for opening; org.freedesktop.FileManager1.ShowItems for revealing.
class DesktopWorkspace : public Workspace
{
public:
    bool open(const QUrl& url) override;
    void reveal(const QUrl& fileURL) override;
};

} // namespace vantrel
