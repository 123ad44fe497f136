// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace vantrel {

// Features the editor's buttons reach that live in libraries built on top of the editor
// (pinned screenshots) or beside it (text recognition). The application installs the
// implementation in Service<EditorSurfaces>; without one the buttons only log.
class EditorSurfaces
{
public:
    virtual ~EditorSurfaces() = default;
    // Floats the image above other windows; `scale` is its pixels per point.
    virtual void pin(const QImage& image, double scale) = 0;
    // Recognises the text (and codes) in the image and puts it on the clipboard, asynchronously.
    virtual void recognizeText(const QImage& image) = 0;
};

} // namespace vantrel
