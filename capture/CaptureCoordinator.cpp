// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureCoordinator.h"

#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "CaptureSurfaces.h"
#include "Clipboard.h"
#include "FocusService.h"
#include "PlatformCapabilities.h"
#include "ScreenCapture.h"
#include "ScrollingCapture.h"
#include "SelectionOverlay.h"
#include "Service.h"
#include "Settings.h"
#include "Sounds.h"
#include "Toasts.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <utility>

namespace vantrel {

namespace {

constexpr double toastSeconds = 1.6;
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");

CaptureSurfaces& surfaces()
{
    return Service<CaptureSurfaces>::get();
}

// Marks a grab in progress for as long as it lives.
class GrabScope
{
public:
    explicit GrabScope(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~GrabScope() { m_flag = false; }
    GrabScope(const GrabScope&) = delete;
    GrabScope& operator=(const GrabScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

QRect outwardPixelRect(const QRectF& points, double scale)
{
    const double left = std::floor(points.left() * scale);
    const double top = std::floor(points.top() * scale);
    const double right = std::ceil(points.right() * scale);
    const double bottom = std::ceil(points.bottom() * scale);
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

CaptureCoordinator& CaptureCoordinator::shared()
{
    static CaptureCoordinator* instance = new CaptureCoordinator;
    return *instance;
}

void CaptureCoordinator::perform(HotKeyAction action)
{
    // The selection overlay is modal: it holds the keyboard, so no shortcut reaches Vantrel while
    // it is up, and an action from the command line or the bus is ignored alike.
    if (SelectionOverlay::busy())
        return;
    if (action == HotKeyAction::openHistory) {
        surfaces().showHistory();
        return;
    }
    if (action == HotKeyAction::recordScreen && surfaces().isRecording()) {
        surfaces().stopRecording();
        return;
    }
    if (action == HotKeyAction::pinFromClipboard) {
        pinFromClipboard();
        return;
    }
    if (surfaces().isRecording() || ScrollingCapture::active() || m_grabbing)
        return;
    if (!ensureScreenCaptureAccess())
        return;

    switch (action) {
    case HotKeyAction::allInOne: openOverlay(OverlayPurpose::allInOne); break;
    case HotKeyAction::captureArea: openOverlay(OverlayPurpose::screenshot); break;
    case HotKeyAction::capturePreviousArea: capturePreviousArea(); break;
    case HotKeyAction::captureFullscreen: captureFullscreen(); break;
    case HotKeyAction::captureWindow: captureWindow(); break;
    case HotKeyAction::selfTimer: openOverlay(OverlayPurpose::selfTimer); break;
    case HotKeyAction::scrollingCapture: openOverlay(OverlayPurpose::scrolling); break;
    case HotKeyAction::captureText: openOverlay(OverlayPurpose::ocr); break;
    case HotKeyAction::recordScreen:
        if (!platformCapabilities().recording) {
            showToast({.text = tr("Screen recording is not available on this desktop yet"),
                .symbol = warningSymbol,
                .duration = toastSeconds});
            break;
        }
        openOverlay(OverlayPurpose::record);
        break;
    case HotKeyAction::openHistory:
    case HotKeyAction::pinFromClipboard: break;
    }
}

void CaptureCoordinator::openOverlay(OverlayPurpose purpose)
{
    if (SelectionOverlay::busy())
        return;
    QPointer<CaptureCoordinator> self(this);
    // Shared by the two steps of one overlay: the picture taken when the area is chosen waits
    // here for the completion.
    auto chosen = std::make_shared<std::optional<ChosenCapture>>();
    SelectionOverlay::begin(
        purpose,
        [self, chosen](std::optional<SelectionResult> result) {
            if (result && self)
                self->handleSelection(*result, std::exchange(*chosen, std::nullopt));
        },
        [self, chosen](const SelectionResult& result) {
            if (self)
                *chosen = self->takeChosenArea(result);
        });
}

std::optional<CaptureCoordinator::ChosenCapture> CaptureCoordinator::takeChosenArea(const SelectionResult& result)
{
    const auto* area = std::get_if<SelectionResult::Area>(&result.target);
    if (!area || result.action != OverlayAction::screenshot || !result.frozen)
        return std::nullopt;
    std::optional<Capture> capture = captureRegion(area->screen, area->rect, result.frozen);
    if (!capture)
        return std::nullopt;
    // A Wayland desktop takes the clipboard only from a client that has the keyboard focus:
    // the copy is made now, while the overlay has it, not once the overlay has gone.
    bool copied = false;
    if (Settings::shared().afterCopy()) {
        CaptureItem::fromImage(capture->image, capture->scale, capture->kind)->copyToClipboard(true);
        copied = true;
    }
    return ChosenCapture {*capture, copied};
}

void CaptureCoordinator::captureWindow()
{
    switch (platformCapabilities().windowSelection) {
    case WindowSelection::list: openOverlay(OverlayPurpose::window); return;
    case WindowSelection::picker:
        // The desktop's own dialog picks the window; no window of Vantrel's is needed.
        handleSelection(SelectionResult {.target = WindowInfo {}});
        return;
    case WindowSelection::none:
        showToast({.text = tr("This desktop does not let Vantrel capture single windows"),
            .symbol = warningSymbol,
            .duration = toastSeconds});
        return;
    }
}

void CaptureCoordinator::captureFullscreen()
{
    QScreen* screen = ScreenCapture::screenUnderMouse();
    if (!screen)
        return;
    std::optional<GrabScope> grab(std::in_place, m_grabbing);
    const Expected<Capture> capture = ScreenCapture::captureDisplay(ScreenCapture::displayID(screen));
    grab.reset();
    if (!capture) {
        showToast({.text = tr("Capture failed"), .symbol = warningSymbol, .duration = toastSeconds});
        return;
    }
    deliver(capture->image, CaptureKind::screenshot, capture->scale);
}

void CaptureCoordinator::capturePreviousArea()
{
    const auto& last = SelectionOverlay::lastSelectionByDisplay();
    QScreen* underMouse = ScreenCapture::screenUnderMouse();
    if (last.empty() || !underMouse) {
        openOverlay(OverlayPurpose::screenshot);
        return;
    }
    const auto own = last.find(ScreenCapture::displayID(underMouse));
    const QRectF rect = own != last.end() ? own->second : last.begin()->second;

    // The display where that very area was selected, else the one under the pointer.
    QScreen* target = underMouse;
    for (QScreen* screen : QGuiApplication::screens()) {
        const auto stored = last.find(ScreenCapture::displayID(screen));
        if (stored != last.end() && stored->second == rect) {
            target = screen;
            break;
        }
    }
    if (auto capture = captureRegion(target, rect, std::nullopt))
        deliver(capture->image, capture->kind, capture->scale);
}

void CaptureCoordinator::handleSelection(const SelectionResult& result)
{
    handleSelection(result, std::nullopt);
}

void CaptureCoordinator::handleSelection(const SelectionResult& result, std::optional<ChosenCapture> chosen)
{
    const Settings& settings = Settings::shared();
    if (const auto* window = std::get_if<WindowInfo>(&result.target)) {
        std::optional<GrabScope> grab(std::in_place, m_grabbing);
        Expected<Capture> capture = ScreenCapture::captureWindow(*window, settings.windowShadow());
        grab.reset();
        if (!capture) {
            showToast({.text = tr("Window capture failed"), .symbol = warningSymbol, .duration = toastSeconds});
            return;
        }
        QImage image = capture->image;
        if (settings.windowBackground())
            image = surfaces().applyWindowBackground(image, settings.windowBackgroundPreset(), capture->scale);
        deliver(image, capture->kind, capture->scale);
        return;
    }

    const auto& area = std::get<SelectionResult::Area>(result.target);
    QPointer<QScreen> screen(area.screen);
    const QRectF rect = area.rect;
    switch (result.action) {
    case OverlayAction::screenshot:
        if (chosen)
            deliver(chosen->capture, chosen->copied);
        else if (auto capture = captureRegion(screen, rect, result.frozen))
            deliver(*capture, false);
        break;
    case OverlayAction::ocr:
        // Text is copied, not kept: no sound, no history.
        if (auto capture = captureRegion(screen, rect, result.frozen))
            surfaces().recognizeText(capture->image, capture->scale);
        break;
    case OverlayAction::selfTimer: {
        // The picture shows the screen as it is when the countdown ends, not the still one.
        QPointer<CaptureCoordinator> self(this);
        startCountdown(settings.selfTimerSeconds(), [self, screen, rect](bool fired) {
            if (!fired || !self || !screen)
                return;
            if (auto capture = self->captureRegion(screen, rect, std::nullopt))
                self->deliver(capture->image, capture->kind, capture->scale);
        });
        break;
    }
    case OverlayAction::recordVideo:
    case OverlayAction::recordGIF:
        surfaces().startRecording(screen, rect, result.action == OverlayAction::recordGIF);
        break;
    case OverlayAction::scrolling: ScrollingCapture::start(screen, rect); break;
    }
}

std::optional<Capture> CaptureCoordinator::captureRegion(
    QScreen* screen, const QRectF& rect, const std::optional<Capture>& frozen)
{
    if (frozen) {
        const QRect pixels = outwardPixelRect(rect, frozen->scale).intersected(frozen->image.rect());
        if (pixels.isEmpty())
            return std::nullopt;
        return Capture {frozen->image.copy(pixels), frozen->scale, CaptureKind::screenshot};
    }
    if (!screen)
        return std::nullopt;
    std::optional<GrabScope> grab(std::in_place, m_grabbing);
    Expected<Capture> capture = ScreenCapture::captureDisplay(ScreenCapture::displayID(screen), rect);
    grab.reset();
    if (!capture) {
        showToast({.text = tr("Capture failed: %1").arg(capture.error().description),
            .symbol = warningSymbol,
            .duration = toastSeconds});
        return std::nullopt;
    }
    return capture.value();
}

void CaptureCoordinator::deliver(const QImage& image, CaptureKind kind, double scale)
{
    deliver(Capture {image, scale, kind}, false);
}

void CaptureCoordinator::deliver(const Capture& capture, bool copied)
{
    if (Settings::shared().playSound()) {
        if (Sounds* sounds = Service<Sounds>::find())
            sounds->playCapture();
    }
    auto item = CaptureItem::fromImage(capture.image, capture.scale, capture.kind);
    item->history = CaptureHistory::shared().add(capture.image, capture.kind);
    runAfterCaptureActions(item, copied);
}

void CaptureCoordinator::runAfterCaptureActions(const std::shared_ptr<CaptureItem>& item, bool copied)
{
    const Settings& settings = Settings::shared();
    if (settings.afterCopy() && !copied)
        item->copyToClipboard(true);
    if (settings.afterSave())
        item->save(true);
    if (settings.afterOpenEditor() && item->image) {
        surfaces().openEditor(item);
        return;
    }
    if (settings.afterShowOverlay()) {
        surfaces().showQuickAccess(item);
        return;
    }
    if (settings.afterCopy())
        showToast({.text = tr("Copied to clipboard"),
            .symbol = QStringLiteral("checkmark.circle.fill"),
            .duration = toastSeconds});
}

bool CaptureCoordinator::ensureScreenCaptureAccess()
{
    CaptureAccess* access = Service<CaptureAccess>::find();
    if (!access || access->preflight())
        return true;
    access->request();
    QMessageBox alert;
    alert.setText(tr("Screen Recording permission needed"));
    // Only a desktop that can refuse (a portal) gets here; it asks the user itself.
    alert.setInformativeText(
        tr("Vantrel needs permission to capture the screen. Allow it when your desktop asks, or in its privacy "
           "settings, then try again."));
    alert.addButton(tr("OK"), QMessageBox::AcceptRole);
    alert.exec();
    return false;
}

void CaptureCoordinator::pinFromClipboard()
{
    Clipboard* clipboard = Service<Clipboard>::find();
    const std::optional<QImage> image = clipboard ? clipboard->image() : std::nullopt;
    if (!image || image->isNull()) {
        showToast({.text = tr("No image on the clipboard"),
            .symbol = QStringLiteral("doc.on.clipboard"),
            .duration = toastSeconds});
        return;
    }
    // The picture's device pixel ratio carries its size in points.
    surfaces().pin(*image, std::max(1.0, image->devicePixelRatio()));
}

void CaptureCoordinator::startCountdown(int seconds, std::function<void(bool)> completion)
{
    cancelCountdown();
    ++m_countdownToken;
    m_pendingCountdown = std::move(completion);
    tick(seconds, m_countdownToken);
}

void CaptureCoordinator::tick(int remaining, quint64 token)
{
    if (token != m_countdownToken)
        return;
    if (remaining < 1) {
        auto completion = std::move(m_pendingCountdown);
        m_pendingCountdown = nullptr;
        if (completion)
            completion(true);
        return;
    }
    showToast({.text = QString::number(remaining),
        .symbol = QStringLiteral("checkmark.circle.fill"),
        .large = true,
        .duration = 0.9});
    if (Sounds* sounds = Service<Sounds>::find())
        sounds->playTick();
    QTimer::singleShot(1000, this, [this, remaining, token] { tick(remaining - 1, token); });
}

void CaptureCoordinator::cancelCountdown()
{
    if (!m_pendingCountdown)
        return;
    auto completion = std::move(m_pendingCountdown);
    m_pendingCountdown = nullptr;
    ++m_countdownToken;
    dismissToast();
    completion(false);
}

} // namespace vantrel
