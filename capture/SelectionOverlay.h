// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OverlayTypes.h"
#include "OverlayViewState.h"

#include <QObject>
#include <QRectF>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vantrel {

class OverlayView;

// The full-screen layer through which the user picks an area or a window: one borderless
// window per screen, one selection at a time across them. At most one overlay is active.
class SelectionOverlay : public QObject, public OverlayHost
{
    Q_OBJECT
public:
    using Completion = std::function<void(std::optional<SelectionResult>)>;
    // Runs the moment the user has chosen, while the overlay's windows are still on screen and
    // one of them has the keyboard focus (what a Wayland desktop asks of a clipboard owner).
    using Chosen = std::function<void(const SelectionResult&)>;
    // How long after leaving the screen the completion runs, so that the capture never shows
    // the overlay's last frame.
    static constexpr int completionDelayMs = 120;

    // Freezes the screens and fetches the window list as the purpose asks, then shows the
    // overlay. The completion runs once, 0.12 s after the overlay has left the screen, with the
    // result or with nothing when the user cancelled. `chosen`, when given, runs with the result
    // before the overlay leaves the screen.
    static void begin(OverlayPurpose purpose, Completion completion, Chosen chosen = {});
    static SelectionOverlay* active();
    // Whether an overlay is on screen or on its way there.
    static bool busy() { return active() || beginning(); }
    // The last area selected on each display (points, relative to that display's top-left).
    static std::map<quint32, QRectF>& lastSelectionByDisplay();

    ~SelectionOverlay() override;

    OverlayPurpose purpose() const { return m_purpose; }
    const std::vector<OverlayView*>& views() const { return m_views; }
    const std::vector<WindowInfo>& windows() const { return m_windows; }
    bool finished() const { return m_finished; }

    // OverlayHost
    void clearOtherSelections(const OverlayViewState& keep) override;
    void setWindowModeEverywhere(bool windowMode) override;
    void finishWithArea(const OverlayViewState& view, const QRectF& rect, OverlayAction action) override;
    void finishWithWindow(const OverlayViewState& view, const WindowInfo& window) override;
    void cancel() override;

private:
    static bool& beginning();
    SelectionOverlay(OverlayPurpose purpose, std::map<quint32, Capture> frozen, std::map<quint32, Capture> backdrops,
        std::vector<WindowInfo> windows, Completion completion, Chosen chosen);
    void show(bool windowMode);
    void finish(std::optional<SelectionResult> result);
    void grabKeyboard(int attempt);
    OverlayView* viewOf(const OverlayViewState& state) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    OverlayPurpose m_purpose;
    std::map<quint32, Capture> m_frozen;
    std::map<quint32, Capture> m_backdrops;
    std::vector<WindowInfo> m_windows;
    Completion m_completion;
    Chosen m_chosen;
    std::vector<OverlayView*> m_views;
    OverlayView* m_keyView = nullptr;
    bool m_finished = false;
};

} // namespace vantrel
