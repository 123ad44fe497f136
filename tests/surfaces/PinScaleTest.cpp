// SPDX-License-Identifier: GPL-3.0-or-later
// Two offscreen screens side by side, at scale 1 (left) and scale 2 (right): pins and thumbnails
// appear on the screen under the pointer, and sizes in points follow that screen's scale.
#include "DesktopFakes.h"
#include "Fakes.h"
#include "PinWindow.h"
#include "PreferenceStore.h"
#include "QuickAccessManager.h"
#include "ScreenCapture.h"
#include "Service.h"
#include "Settings.h"
#include "SurfaceTestSupport.h"

#include <QCursor>
#include <QScreen>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class TwoScales : public ::testing::Test, protected DesktopFakes
{
protected:
    RecordingHandOff handOff;
    ScopedService<SurfaceHandOff> handOffSlot {&handOff};

    void SetUp() override
    {
        ASSERT_TRUE(screen("plain") && screen("hidpi"));
        removeAllSurfaces();
    }
    void TearDown() override { removeAllSurfaces(); }

    // By name: the platform lists them in an order of its own.
    static QScreen* screen(const char* name)
    {
        for (QScreen* candidate : QGuiApplication::screens()) {
            if (candidate->name() == QLatin1String(name))
                return candidate;
        }
        return nullptr;
    }
    static void pointAt(QScreen* target)
    {
        QCursor::setPos(target->geometry().center());
        ASSERT_EQ(ScreenCapture::screenUnderMouse(), target);
    }
};

} // namespace

TEST_F(TwoScales, ResetSizeShowsPixelsAtTheScaleOfThePinsScreen)
{
    QScreen* hidpi = screen("hidpi");
    ASSERT_DOUBLE_EQ(hidpi->devicePixelRatio(), 2);
    pointAt(hidpi);
    // 2000 × 1000 pixels captured at scale 2: 1000 × 500 points, fitted into 60 % of 1440 × 900.
    PinWindow* pin = PinWindow::pin(patternImage(2000, 1000), 2);
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(pin->screen(), hidpi);
    EXPECT_EQ(pin->size(), QSize(864, 432));
    EXPECT_EQ(pin->geometry().center(), hidpi->availableGeometry().center());

    const QPointF bottomLeft = pin->frame().bottomLeft();
    pin->resetAction();
    EXPECT_EQ(pin->frame().size(), QSizeF(1000, 500));
    EXPECT_EQ(pin->frame().bottomLeft(), bottomLeft);
    EXPECT_EQ(pin->size(), QSize(1000, 500));

    // Annotating takes the screen's scale; copying is always at scale 1.
    pin->annotate();
    ASSERT_EQ(handOff.opened.size(), 1u);
    EXPECT_DOUBLE_EQ(handOff.opened[0]->scale, 2);
    pin->copyImage();
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_DOUBLE_EQ(clipboard.current->image->devicePixelRatio(), 1);

    QScreen* plain = screen("plain");
    pointAt(plain);
    PinWindow* other = PinWindow::pin(patternImage(600, 300), 2);
    EXPECT_EQ(other->screen(), plain);
    EXPECT_EQ(other->size(), QSize(300, 150));
    other->resetAction();
    EXPECT_EQ(other->size(), QSize(600, 300));
    other->annotate();
    ASSERT_EQ(handOff.opened.size(), 2u);
    EXPECT_DOUBLE_EQ(handOff.opened[1]->scale, 1);
}

TEST_F(TwoScales, ThumbnailsStackOnTheScreenUnderThePointer)
{
    QuickAccessManager& manager = QuickAccessManager::shared();
    pointAt(screen("hidpi"));
    manager.show(CaptureItem::fromImage(patternImage(800, 600), 2, CaptureKind::screenshot));
    ASSERT_EQ(manager.panels().size(), 1);
    const QRect hidpi = screen("hidpi")->availableGeometry();
    EXPECT_EQ(manager.panels()[0]->targetFrame(), QRect(hidpi.left() + 16, hidpi.bottom() + 1 - 16 - 165, 220, 165));

    // The next layout follows the pointer to the other screen, with every thumbnail.
    pointAt(screen("plain"));
    manager.show(CaptureItem::fromImage(patternImage(400, 300), 1, CaptureKind::screenshot));
    const QRect plain = screen("plain")->availableGeometry();
    for (QuickAccessPanel* panel : manager.panels())
        EXPECT_EQ(panel->targetFrame().left(), plain.left() + 16);
}
