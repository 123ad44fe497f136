// SPDX-License-Identifier: GPL-3.0-or-later
// Thumbnails on an offscreen 800 × 600 screen: size, stacking, animations, the auto-close timer,
// buttons, keys, mouse gestures and restore.
#include "ChromeWindow.h"
#include "DesktopFakes.h"
#include "Fakes.h"
#include "HoverButton.h"
#include "PreferenceStore.h"
#include "QuickAccessManager.h"
#include "QuickAccessView.h"
#include "Service.h"
#include "Settings.h"
#include "SurfaceTestSupport.h"

#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

constexpr int animationsTimeoutMs = 3000; // far beyond the longest animation (the 250 ms slide-in)

class QuickAccess : public ::testing::Test, protected DesktopFakes
{
protected:
    RecordingHandOff handOff;
    ScopedService<SurfaceHandOff> handOffSlot {&handOff};
    QuickAccessManager& manager = QuickAccessManager::shared();

    void SetUp() override { removeAllSurfaces(); }
    void TearDown() override { removeAllSurfaces(); }

    QuickAccessPanel* show(const std::shared_ptr<CaptureItem>& item)
    {
        manager.show(item);
        return manager.panels().isEmpty() ? nullptr : manager.panels().last();
    }
    static std::shared_ptr<CaptureItem> picture(int width = 400, int height = 300, double scale = 1)
    {
        return CaptureItem::fromImage(patternImage(width, height), scale, CaptureKind::screenshot);
    }
    static QRect visible() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    // Whether a thumbnail's slide and fade have ended where they were going.
    static bool settled(const QuickAccessPanel* panel)
    {
        return panel->geometry() == panel->targetFrame() && panel->windowOpacity() == 1.0;
    }
    static void hover(QuickAccessView* view, bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)));
            QCoreApplication::sendEvent(view, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(view, &leave);
        }
    }
    static void scroll(QWidget* view, QPoint pixels, Qt::ScrollPhase phase)
    {
        QWheelEvent wheel(QPointF(20, 20), view->mapToGlobal(QPointF(20, 20)), pixels, QPoint(), Qt::NoButton,
            Qt::NoModifier, phase, false);
        QCoreApplication::sendEvent(view, &wheel);
    }
};

} // namespace

TEST_F(QuickAccess, ANewThumbnailSlidesInAtTheBottomLeftOfTheVisibleFrame)
{
    QuickAccessPanel* panel = show(picture(400, 300));
    ASSERT_NE(panel, nullptr);
    const QRect screen = visible();
    EXPECT_EQ(panel->size(), QSize(220, 165));
    EXPECT_EQ(panel->targetFrame(), QRect(screen.left() + 16, screen.bottom() + 1 - 16 - 165, 220, 165));
    EXPECT_TRUE(isChrome(panel));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    // It starts 40 points further out, transparent, and arrives opaque.
    EXPECT_TRUE(panel->isVisible());
    EXPECT_LT(panel->x(), panel->targetFrame().x());
    EXPECT_LT(panel->windowOpacity(), 0.5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return settled(panel); }, animationsTimeoutMs));
    EXPECT_EQ(panel->geometry(), panel->targetFrame());
    EXPECT_DOUBLE_EQ(panel->windowOpacity(), 1.0);

    // The next thumbnail takes the bottom place; the older one moves up at once.
    QuickAccessPanel* second = show(picture(250, 300)); // taller than 1.1 × S: 201.7 × 242
    EXPECT_EQ(second->size(), QSize(202, 242));
    EXPECT_EQ(panel->pos(), QPoint(screen.left() + 16, screen.bottom() + 1 - 16 - 242 - 12 - 165));
    EXPECT_EQ(manager.panels(), (QList<QuickAccessPanel*> {panel, second}));
}

TEST_F(QuickAccess, TheCornerSettingTakesEffectAtTheNextLayout)
{
    QuickAccessPanel* first = show(picture());
    settings.setOverlayCorner(OverlayCorner::right);
    EXPECT_EQ(first->targetFrame().x(), visible().left() + 16); // nothing moves yet
    QuickAccessPanel* second = show(picture(200, 100));
    const int right = visible().right() + 1;
    EXPECT_EQ(second->targetFrame().x(), right - 16 - second->width());
    EXPECT_EQ(first->targetFrame().x(), right - 16 - first->width());
    // Sliding in from the right: it starts further right.
    EXPECT_GT(second->x(), second->targetFrame().x());
}

TEST_F(QuickAccess, DismissingTheMiddleOfThreeSlidesTheOlderOneDown)
{
    QuickAccessPanel* oldest = show(picture());
    QuickAccessPanel* middle = show(picture());
    QuickAccessPanel* newest = show(picture());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return settled(oldest) && settled(middle) && settled(newest); }, animationsTimeoutMs));
    const QPoint middlePlace = middle->pos();
    const QPoint newestPlace = newest->pos();
    QPointer<QuickAccessPanel> gone(middle);

    middle->closeAction();
    EXPECT_EQ(manager.panels(), (QList<QuickAccessPanel*> {oldest, newest}));
    EXPECT_EQ(manager.lastClosed(), middle->item());
    EXPECT_EQ(oldest->targetFrame().topLeft(), middlePlace);
    EXPECT_TRUE(QTest::qWaitFor([&] { return settled(oldest) && gone.isNull(); }, animationsTimeoutMs));
    EXPECT_EQ(oldest->pos(), middlePlace);
    EXPECT_EQ(newest->pos(), newestPlace);
    EXPECT_TRUE(gone.isNull()); // faded out, then gone for good
}

TEST_F(QuickAccess, OlderThumbnailsAboveTheTopLimitStayWhereTheyWere)
{
    // 165 high on a 600-point screen: bottoms 16, 193 and 370 points up; a fourth would be at 547.
    QuickAccessPanel* first = show(picture());
    show(picture());
    show(picture());
    const QRect before = first->targetFrame();
    EXPECT_EQ(before.top(), visible().top() + 65);
    show(picture());
    EXPECT_EQ(first->targetFrame(), before);
    EXPECT_EQ(manager.panels().size(), 4);
}

TEST_F(QuickAccess, CtrlWThenRestoreBringsTheSameItemBackAsTheNewest)
{
    const auto item = picture();
    QuickAccessPanel* panel = show(item);
    show(picture(100, 100));
    QTest::keyClick(panel, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(manager.lastClosed(), item);
    EXPECT_EQ(manager.panels().size(), 1);

    manager.restore();
    ASSERT_EQ(manager.panels().size(), 2);
    EXPECT_EQ(manager.panels().last()->item(), item);
    EXPECT_EQ(manager.lastClosed(), nullptr);
    // A second restore has nothing left to bring back.
    manager.restore();
    EXPECT_EQ(manager.panels().size(), 2);
}

TEST_F(QuickAccess, AutoCloseZeroKeepsTheThumbnail)
{
    settings.setOverlayAutoClose(0);
    QuickAccessPanel* panel = show(picture());
    EXPECT_FALSE(panel->closeTimerActive());
    // Once it has come to rest nothing is left to close it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(panel); }, animationsTimeoutMs));
    EXPECT_FALSE(panel->closeTimerActive());
    EXPECT_EQ(manager.panels().size(), 1);

    settings.setOverlayAutoClose(5);
    QuickAccessPanel* timed = show(picture());
    EXPECT_TRUE(timed->closeTimerActive());
    EXPECT_EQ(timed->closeTimerInterval(), 5000);
}

TEST_F(QuickAccess, AHoveredThumbnailOutlivesItsTimerAndIsTestedAgain)
{
    settings.setOverlayAutoClose(1);
    QuickAccessPanel* panel = show(picture());
    QPointer<QuickAccessPanel> alive(panel);
    hover(panel->content(), true);
    EXPECT_TRUE(panel->content()->hovering());
    // The close timer is the panel's one-second single shot: wait for it to fire while hovered.
    QTimer* closeTimer = nullptr;
    for (QTimer* timer : panel->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) {
        if (timer->isSingleShot() && timer->interval() == 1000)
            closeTimer = timer;
    }
    ASSERT_NE(closeTimer, nullptr);
    QSignalSpy fired(closeTimer, &QTimer::timeout);
    ASSERT_TRUE(fired.wait(3000));
    ASSERT_FALSE(alive.isNull());
    EXPECT_EQ(manager.panels().size(), 1);
    EXPECT_TRUE(panel->closeTimerActive()); // armed again with the full delay
    EXPECT_DOUBLE_EQ(panel->content()->hoverOpacity(), 1.0);

    hover(panel->content(), false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return manager.panels().isEmpty(); }, 1500));
    EXPECT_EQ(manager.lastClosed(), panel->item());
}

TEST_F(QuickAccess, ImageThumbnailsHaveTheirButtonsInTheCorners)
{
    QuickAccessPanel* panel = show(picture(400, 300));
    QuickAccessView* view = panel->content();
    const int w = view->width();
    const int h = view->height();
    EXPECT_TRUE(view->badgeText().isEmpty());
    EXPECT_EQ(view->badge(), nullptr);
    struct Corner
    {
        QString toolTip;
        QString symbol;
        QPoint origin;
    };
    const std::vector<Corner> corners = {
        {QStringLiteral("Close (Ctrl+W)"), QStringLiteral("xmark"), {6, 6}},
        {QStringLiteral("Pin to screen"), QStringLiteral("pin.fill"), {w - 30, 6}},
        {QStringLiteral("Annotate (Ctrl+E)"), QStringLiteral("pencil"), {6, h - 30}},
        {QStringLiteral("Copy text (OCR)"), QStringLiteral("text.viewfinder"), {w - 30, h - 30}},
    };
    for (const Corner& c : corners) {
        HoverButton* button = view->button(c.toolTip);
        ASSERT_NE(button, nullptr) << c.toolTip.toStdString();
        EXPECT_EQ(button->symbolName(), c.symbol);
        EXPECT_EQ(button->accessibleName(), c.toolTip);
        EXPECT_EQ(button->mapTo(view, QPoint(0, 0)), c.origin) << c.toolTip.toStdString();
        EXPECT_EQ(button->size(), QSize(24, 24));
    }
    HoverButton* copy = view->button(QStringLiteral("Copy"));
    HoverButton* save = view->button(QStringLiteral("Save"));
    ASSERT_TRUE(copy && save);
    EXPECT_EQ(copy->size(), QSize(96, 30));
    // The pair is centred: 100 × 68 around the middle, Copy above Save.
    EXPECT_EQ(copy->mapTo(view, QPoint(0, 0)), QPoint((w - 100) / 2 + 2, (h - 68) / 2));
    EXPECT_EQ(save->mapTo(view, QPoint(0, 0)), QPoint((w - 100) / 2 + 2, (h - 68) / 2 + 38));
    EXPECT_EQ(view->buttons().size(), 6);

    // Hidden until hovered, then faded in.
    EXPECT_DOUBLE_EQ(view->hoverOpacity(), 0.0);
    hover(view, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->hoverOpacity() == 1.0; }, animationsTimeoutMs));
    hover(view, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->hoverOpacity() == 0.0; }, animationsTimeoutMs));
}

TEST_F(QuickAccess, RecordingsShowTheirBadgeAndThePlaySymbolOnly)
{
    const QString movie = QStringLiteral(TEST_DATA_DIR "/first-frame.mp4");
    const QString gif = QStringLiteral(TEST_DATA_DIR "/two-frames.gif");
    for (const auto& [path, kind, badge] : {std::tuple {movie, CaptureKind::recording, QStringLiteral("VIDEO")},
             std::tuple {gif, CaptureKind::gif, QStringLiteral("GIF")}}) {
        const auto item = CaptureItem::fromFile(QUrl::fromLocalFile(path), kind);
        QuickAccessPanel* panel = show(item);
        QuickAccessView* view = panel->content();
        EXPECT_FALSE(view->picture().isNull()) << badge.toStdString();
        EXPECT_EQ(view->badgeText(), badge);
        ASSERT_NE(view->badge(), nullptr);
        EXPECT_EQ(view->badge()->text(), badge);
        EXPECT_EQ(view->badge()->geometry(), QRect(8, view->height() - 24, 44, 16));
        EXPECT_EQ(view->button(QStringLiteral("Pin to screen")), nullptr);
        EXPECT_EQ(view->button(QStringLiteral("Copy text (OCR)")), nullptr);
        EXPECT_EQ(view->button(QStringLiteral("Annotate (Ctrl+E)")), nullptr);
        HoverButton* open = view->button(QStringLiteral("Open"));
        ASSERT_NE(open, nullptr);
        EXPECT_EQ(open->symbolName(), QStringLiteral("play.fill"));
        EXPECT_EQ(open->mapTo(view, QPoint(0, 0)), QPoint(6, view->height() - 30));

        // Pinning a recording does nothing; opening it hands the file to the desktop.
        QTest::keyClick(panel, Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(PinWindow::pinCount(), 0);
        EXPECT_TRUE(manager.panels().contains(panel));
        QTest::keyClick(panel, Qt::Key_E, Qt::ControlModifier);
        EXPECT_FALSE(manager.panels().contains(panel));
        ASSERT_FALSE(workspace.opened.empty());
        EXPECT_EQ(workspace.opened.back(), QUrl::fromLocalFile(path));
    }
    EXPECT_TRUE(handOff.opened.empty());
}

TEST_F(QuickAccess, KeysAndButtonsActOnTheItem)
{
    const auto item = picture(400, 300, 2);
    QuickAccessPanel* panel = show(item);
    QTest::keyClick(panel, Qt::Key_C); // without Ctrl: nothing
    EXPECT_EQ(clipboard.writes, 0);
    QTest::keyClick(panel, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(clipboard.current->image->size(), QSize(400, 300));
    EXPECT_DOUBLE_EQ(clipboard.current->image->devicePixelRatio(), 2);
    EXPECT_TRUE(manager.panels().isEmpty());
    ASSERT_FALSE(toasts.requests.empty());
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("Copied to clipboard"));

    panel = show(item);
    QTest::keyClick(panel, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(manager.panels().isEmpty());

    panel = show(item);
    QTest::keyClick(panel, Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(handOff.opened.size(), 1u);
    EXPECT_EQ(handOff.opened[0], item);
    EXPECT_TRUE(manager.panels().isEmpty());

    panel = show(item);
    QTest::keyClick(panel, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(PinWindow::pinCount(), 1);
    EXPECT_EQ(PinWindow::pins()[0]->image(), *item->image);
    EXPECT_TRUE(manager.panels().isEmpty());

    panel = show(item);
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_TRUE(manager.panels().isEmpty());
    EXPECT_EQ(manager.lastClosed(), item);

    // Copy text runs after the click and leaves the thumbnail where it is.
    panel = show(item);
    panel->content()->button(QStringLiteral("Copy text (OCR)"))->click();
    EXPECT_TRUE(handOff.recognized.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !handOff.recognized.empty(); }, animationsTimeoutMs));
    ASSERT_EQ(handOff.recognized.size(), 1u);
    EXPECT_EQ(handOff.recognized[0].first, *item->image);
    EXPECT_EQ(handOff.recognized[0].second, item->scale);
    EXPECT_TRUE(manager.panels().contains(panel));

    panel->content()->button(QStringLiteral("Save"))->click();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(manager.panels().contains(panel));
}

TEST_F(QuickAccess, DoubleClickAnnotatesAndAFadingThumbnailIgnoresMoreActions)
{
    const auto item = picture();
    QuickAccessPanel* panel = show(item);
    QuickAccessView* view = panel->content();
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    ASSERT_EQ(handOff.opened.size(), 1u);
    EXPECT_EQ(handOff.opened[0], item);
    EXPECT_TRUE(manager.panels().isEmpty());
    // Still fading out: a late key does not act a second time.
    panel->copyAction();
    EXPECT_EQ(handOff.opened.size(), 1u);
    EXPECT_TRUE(panel->isDismissing());
}

TEST_F(QuickAccess, AHorizontalSwipeOfMoreThanSixtyPointsDismisses)
{
    QuickAccessPanel* panel = show(picture());
    QuickAccessView* view = panel->content();
    scroll(view, {30, 0}, Qt::ScrollBegin);
    scroll(view, {29, 0}, Qt::ScrollUpdate);
    EXPECT_DOUBLE_EQ(view->swipeAccum(), 59);
    EXPECT_TRUE(manager.panels().contains(panel));
    // A new gesture starts counting again.
    scroll(view, {-40, 0}, Qt::ScrollBegin);
    scroll(view, {0, 90}, Qt::ScrollUpdate); // vertical scrolling does not count
    EXPECT_TRUE(manager.panels().contains(panel));
    scroll(view, {-21, 0}, Qt::ScrollUpdate);
    EXPECT_FALSE(manager.panels().contains(panel));
    EXPECT_DOUBLE_EQ(view->swipeAccum(), 0);
}

TEST_F(QuickAccess, ADragWithoutAFileDoesNotStartAndTheThumbnailStays)
{
    // A history record whose picture could not be read: neither picture nor file.
    auto item = std::make_shared<CaptureItem>();
    QuickAccessPanel* panel = show(item);
    QuickAccessView* view = panel->content();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(view->mouseDownPoint(), QPointF(50, 50));
    QTest::mouseMove(view, QPoint(53, 52)); // 3.6 points: still a click
    EXPECT_TRUE(view->mouseDownPoint().has_value());
    QTest::mouseMove(view, QPoint(58, 50));
    EXPECT_FALSE(view->mouseDownPoint().has_value());
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(58, 50));
    EXPECT_TRUE(manager.panels().contains(panel));
    // The drag picture keeps the thumbnail picture's proportions at 160 points wide at most.
    const QPixmap dragged = view->dragPixmap();
    EXPECT_EQ(dragged.deviceIndependentSize(), QSizeF(160, 160)); // no picture: as high as wide
}

TEST_F(QuickAccess, AWindowCaptureShowsOnlyTheWindowInsideItsShadowMargin)
{
    // 600 × 400 pixels at scale 2; the window is 440 × 240 pixels inside a translucent margin.
    QImage capture(600, 400, QImage::Format_ARGB32_Premultiplied);
    capture.fill(QColor(0, 0, 0, 90));
    for (int y = 80; y < 320; ++y)
        for (int x = 80; x < 520; ++x)
            capture.setPixel(x, y, x < 300 ? qRgb(200, 30, 30) : qRgb(30, 30, 200));
    QuickAccessPanel* panel = show(CaptureItem::fromImage(capture, 2, CaptureKind::window));
    const QImage& picture = panel->content()->picture();
    EXPECT_EQ(picture.size(), QSize(440, 240));
    EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(220, 120));
    // 220 wide at the default size, in the window's proportions.
    EXPECT_EQ(panel->size(), QSize(220, 120));

    // The window's two halves reach the thumbnail's edges: no shadow shows at the sides.
    const QImage shown = panel->content()->grab().toImage();
    const int mid = shown.height() / 2;
    EXPECT_EQ(shown.pixelColor(3, mid).red() > 150, true);
    EXPECT_EQ(shown.pixelColor(shown.width() - 4, mid).blue() > 150, true);
}
