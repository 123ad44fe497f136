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
    // Lets the user choose the application that opens a file, where the desktop offers such a
    // choice; else opens it with its default application.
    virtual void openWith(const QUrl& fileURL) { open(fileURL); }
};

// QDesktopServices (xdg-open) for opening; org.freedesktop.FileManager1.ShowItems for revealing;
// the desktop portal's application chooser (OpenURI.OpenFile with "ask") for opening with.
class DesktopWorkspace : public Workspace
{
public:
    bool open(const QUrl& url) override;
    void reveal(const QUrl& fileURL) override;
    void openWith(const QUrl& fileURL) override;
};

} // namespace vantrel
