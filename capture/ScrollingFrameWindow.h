// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

namespace vantrel {

// The thin accent ring around the captured rectangle: a window shaped to the ring alone, so it
// covers none of the captured pixels and needs no compositor to look right; it lets every click
// through.
class ScrollingFrameWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ScrollingFrameWindow(const QRect& captured);
    static QColor accentColour();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vantrel
