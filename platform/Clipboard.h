// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace vantrel {

// Everything one copy puts on the clipboard; empty parts are left out.
struct ClipboardContents
{
    // A picture. Its device pixel ratio gives its size in points. The clipboard offers it as an
    // image and also as "image/png" data, lossless and encoded only when someone pastes.
    std::optional<QImage> image {};
    // Files, offered as "text/uri-list" and as "x-special/gnome-copied-files" (file managers).
    QList<QUrl> fileURLs {};
    QString text {};
};

// The desktop clipboard (the CLIPBOARD selection on X11).
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Replaces the whole clipboard.
    virtual void write(const ClipboardContents& contents) = 0;
    virtual void clear() = 0;
    // The picture on the clipboard now, if there is one.
    virtual std::optional<QImage> image() = 0;
};

// Through QClipboard, which serves the X selection from Qt's event loop.
class QtClipboard : public Clipboard
{
public:
    void write(const ClipboardContents& contents) override;
    void clear() override;
    std::optional<QImage> image() override;
};

} // namespace vantrel
