// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

namespace vantrel::wayland {

// An output as the compositor describes it to a client of its own.
struct OutputInfo
{
    QString name; // "HEADLESS-1", "DP-2": what Qt names the screen
    QRect logical; // the output's place in the desktop's layout, logical pixels
};

// Whole outputs read through wlroots' screencopy protocol, on a Wayland connection of its own
// (Qt's connection and event queue are never touched). Main thread only; each read waits for
// the compositor, a frame or two at most.
class WlrScreencopy
{
public:
    // None when there is no Wayland display or the compositor does not offer screencopy.
    static std::unique_ptr<WlrScreencopy> connect();
    ~WlrScreencopy();
    WlrScreencopy(const WlrScreencopy&) = delete;
    WlrScreencopy& operator=(const WlrScreencopy&) = delete;

    std::vector<OutputInfo> outputs();
    // The output's picture in its native pixels, opaque; the pointer is left out.
    Expected<QImage> capture(const QString& outputName);

    struct State; // the connection's objects, for the protocol listeners

private:
    WlrScreencopy();
    std::unique_ptr<State> m_state;
};

} // namespace vantrel::wayland
