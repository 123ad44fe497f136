// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectionOverlay.h"

#include "ChromeWindow.h"
#include "DesktopAppearance.h"
#include "FocusHandOff.h"
#include "OverlayView.h"
#include "ScreenCapture.h"
#include "Service.h"
#include "Settings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace vantrel {

namespace {

// The process-wide slot: a new overlay replaces the old one.
std::unique_ptr<SelectionOverlay>& activeSlot()
{
    static std::unique_ptr<SelectionOverlay> slot;
    return slot;
}

bool reduceMotion()
{
    DesktopAppearance* appearance = Service<DesktopAppearance>::find();
    return appearance && appearance->reduceMotion();
}

// One kept view per screen (and per kind of window: opaque for still pictures, translucent
// over the live screen), reused by every overlay.
OverlayView* viewFor(QScreen* screen, bool translucent)
{
    static std::map<std::pair<QScreen*, bool>, OverlayView*> views;
    const auto key = std::make_pair(screen, translucent);
    if (auto it = views.find(key); it != views.end())
        return it->second;
    auto* view = new OverlayView(screen, translucent);
    views[key] = view;
    QObject::connect(screen, &QObject::destroyed, view, [key, view] {
        views.erase(key);
        view->deleteLater();
    });
    return view;
}

} // namespace

std::map<quint32, QRectF>& SelectionOverlay::lastSelectionByDisplay()
{
    static std::map<quint32, QRectF> map;
    return map;
}

SelectionOverlay* SelectionOverlay::active()
{
    return activeSlot().get();
}

bool& SelectionOverlay::beginning()
{
    static bool flag = false;
    return flag;
}

void SelectionOverlay::begin(OverlayPurpose purpose, Completion completion, Chosen chosen)
{
    // Freezing the screens lets the event loop run while Vantrel's own windows step aside; a
    // second shortcut arriving then must not start a second overlay inside the first.
    if (beginning())
        return;
    beginning() = true;
    std::map<quint32, Capture> frozen;
    if (Settings::shared().freezeScreen() && freezesScreen(purpose))
        frozen = ScreenCapture::captureAllDisplays();
    // Where a translucent full-screen window shows black, not the screen behind it (X11 without
    // a compositor, every Wayland compositor), the overlay shows a fresh picture of the screen
    // under its dimming, so the user still selects on what is there. Captures keep being taken
    // live.
    std::map<quint32, Capture> backdrops;
    if (frozen.empty() && !fullScreenTranslucencyShowsDesktop())
        backdrops = ScreenCapture::captureAllDisplays();
    std::vector<WindowInfo> windows;
    if (offersWindowMode(purpose))
        windows = ScreenCapture::selectableWindows();
    beginning() = false;

    // The old overlay's windows go with it; it never completes.
    if (SelectionOverlay* old = active())
        old->m_finished = true;
    activeSlot().reset(new SelectionOverlay(purpose, std::move(frozen), std::move(backdrops), std::move(windows),
        std::move(completion), std::move(chosen)));
    activeSlot()->show(startsInWindowMode(purpose));
}

SelectionOverlay::SelectionOverlay(OverlayPurpose purpose, std::map<quint32, Capture> frozen,
    std::map<quint32, Capture> backdrops, std::vector<WindowInfo> windows, Completion completion, Chosen chosen)
    : m_purpose(purpose)
    , m_frozen(std::move(frozen))
    , m_backdrops(std::move(backdrops))
    , m_windows(std::move(windows))
    , m_completion(std::move(completion))
    , m_chosen(std::move(chosen))
{ }

SelectionOverlay::~SelectionOverlay()
{
    for (OverlayView* view : m_views) {
        view->removeEventFilter(this);
        view->hide();
        view->release();
    }
}

void SelectionOverlay::show(bool windowMode)
{
    const auto& last = lastSelectionByDisplay();
    for (QScreen* screen : QGuiApplication::screens()) {
        const quint32 id = ScreenCapture::displayID(screen);
        std::optional<Capture> frozen;
        if (auto it = m_frozen.find(id); it != m_frozen.end())
            frozen = it->second;
        std::optional<Capture> backdrop;
        if (auto it = m_backdrops.find(id); it != m_backdrops.end())
            backdrop = it->second;
        OverlayView* view = viewFor(screen, !frozen && !backdrop);
        view->reset(*this, m_purpose, frozen, &m_windows, backdrop);
        view->state().setWindowMode(windowMode);
        if (m_purpose == OverlayPurpose::allInOne) {
            if (auto it = last.find(id); it != last.end())
                view->state().setSelection(it->second);
        }
        view->installEventFilter(this);
        m_views.push_back(view);
    }

    FocusHandOff::shared().takeFocus();
    const bool entrance = Settings::shared().dropAnimation() && !reduceMotion();
    for (OverlayView* view : m_views) {
        view->show();
        view->raise();
        if (entrance && view->frozen())
            view->startEntrance();
    }
    QScreen* underMouse = ScreenCapture::screenUnderMouse();
    for (OverlayView* view : m_views) {
        if (view->screen() == underMouse || !m_keyView)
            m_keyView = view;
    }
    if (m_keyView) {
        m_keyView->activateWindow();
        m_keyView->setFocus();
        grabKeyboard(0);
    }
    for (OverlayView* view : m_views)
        view->refresh();
}

void SelectionOverlay::grabKeyboard(int attempt)
{
    // The window manager never focuses an unmanaged window, so the overlay takes the keyboard
    // itself (Escape must always work). The grab is refused until the window is viewable.
    QPointer<OverlayView> view(m_keyView);
    if (!view || m_finished || !view->windowHandle())
        return;
    if (view->windowHandle()->setKeyboardGrabEnabled(true) || attempt >= 50)
        return;
    QTimer::singleShot(10, this, [this, attempt] { grabKeyboard(attempt + 1); });
}

bool SelectionOverlay::eventFilter(QObject* watched, QEvent* event)
{
    // The view that was last clicked answers the keys, whichever window has the focus; a size
    // field being edited keeps its own keys.
    if (event->type() == QEvent::MouseButtonPress) {
        if (auto* view = qobject_cast<OverlayView*>(watched))
            m_keyView = view;
    } else if (event->type() == QEvent::KeyPress && m_keyView && watched != m_keyView) {
        if (qobject_cast<QLineEdit*>(QApplication::focusWidget()) == nullptr) {
            m_keyView->handleKey(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return false;
}

OverlayView* SelectionOverlay::viewOf(const OverlayViewState& state) const
{
    for (OverlayView* view : m_views) {
        if (&view->state() == &state)
            return view;
    }
    return nullptr;
}

void SelectionOverlay::clearOtherSelections(const OverlayViewState& keep)
{
    for (OverlayView* view : m_views) {
        if (&view->state() != &keep && view->state().selection()) {
            view->state().setSelection(std::nullopt);
            view->refresh();
        }
    }
}

void SelectionOverlay::setWindowModeEverywhere(bool windowMode)
{
    for (OverlayView* view : m_views) {
        view->state().setWindowMode(windowMode);
        view->refresh();
    }
}

void SelectionOverlay::finishWithArea(const OverlayViewState& state, const QRectF& rect, OverlayAction action)
{
    OverlayView* view = viewOf(state);
    if (!view)
        return;
    finish(SelectionResult {SelectionResult::Area {view->screen(), rect}, action, view->frozen()});
}

void SelectionOverlay::finishWithWindow(const OverlayViewState& state, const WindowInfo& window)
{
    OverlayView* view = viewOf(state);
    if (!view)
        return;
    finish(SelectionResult {window, OverlayAction::screenshot, view->frozen()});
}

void SelectionOverlay::cancel()
{
    finish(std::nullopt);
}

void SelectionOverlay::finish(std::optional<SelectionResult> result)
{
    if (m_finished)
        return;
    m_finished = true;
    if (result) {
        if (const auto* area = std::get_if<SelectionResult::Area>(&result->target))
            lastSelectionByDisplay()[ScreenCapture::displayID(area->screen)] = area->rect;
        if (Chosen chosen = std::move(m_chosen))
            chosen(*result);
    }
    for (OverlayView* view : m_views) {
        view->hide();
        view->release();
    }
    FocusHandOff::shared().giveFocusBack();

    // The completion outlives this object: the slot is cleared below, and the capture must not
    // start before the overlay windows have left the screen.
    Completion completion = std::move(m_completion);
    QTimer::singleShot(completionDelayMs, qApp, [completion = std::move(completion), result = std::move(result)] {
        if (completion)
            completion(result);
    });
    if (activeSlot().get() == this) {
        // Deleting the views from inside one of their own event handlers is not safe; let the
        // event loop do it.
        std::unique_ptr<SelectionOverlay> self = std::move(activeSlot());
        self.release()->deleteLater();
    }
}

} // namespace vantrel
