// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting the screenshot portal's one desktop picture into outputs, and naming outputs.
#include "wayland/WaylandScreenGrabber.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace vantrel;

namespace {

// A desktop of `layout` (logical pixels) drawn at `drawnScale`, each output's area in its own
// colour with a one-logical-pixel frame of another.
QImage drawnDesktop(const QRect& layout, const std::vector<std::pair<QRect, QColor>>& outputs, double drawnScale)
{
    QImage image((layout.size().toSizeF() * drawnScale).toSize(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.scale(drawnScale, drawnScale);
    painter.translate(-layout.topLeft());
    for (const auto& [rect, colour] : outputs) {
        painter.fillRect(rect, Qt::white);
        painter.fillRect(rect.adjusted(1, 1, -1, -1), colour);
    }
    return image;
}

// Scaling smooths edges: a pixel is the colour when every channel is within a few steps.
bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 24 && std::abs(a.green() - b.green()) <= 24
        && std::abs(a.blue() - b.blue()) <= 24;
}

} // namespace

TEST(WaylandOutputsTest, EachOutputGetsItsPartOfTheDesktopInItsNativePixels)
{
    struct Case
    {
        const char* name;
        QRect layout;
        QRect output;
        double drawnScale; // how the portal drew the whole desktop
        double outputScale; // the output's own
    };
    const std::vector<Case> cases = {
        {"left of two at 1", {0, 0, 2560, 720}, {0, 0, 1280, 720}, 1, 1},
        {"right of two at 1", {0, 0, 2560, 720}, {1280, 0, 1280, 720}, 1, 1},
        {"HiDPI output in a desktop drawn at 2", {0, 0, 2560, 720}, {1280, 0, 1280, 720}, 2, 2},
        {"normal output in a desktop drawn at 2", {0, 0, 2560, 720}, {0, 0, 1280, 720}, 2, 1},
        {"HiDPI output in a desktop drawn at 1", {0, 0, 2560, 720}, {0, 0, 1280, 720}, 1, 2},
        {"layout starting left of zero", {-1000, 0, 2280, 800}, {-1000, 100, 1000, 700}, 1, 1},
        {"fractional scale", {0, 0, 1600, 900}, {0, 0, 1600, 900}, 1.5, 1.5},
    };
    for (const Case& c : cases) {
        const QColor colour = QColor::fromRgb(30, 140, 220);
        const QImage desktop = drawnDesktop(c.layout, {{c.output, colour}}, c.drawnScale);
        const QImage cut = WaylandScreenGrabber::cutOutput(desktop, c.layout, c.output, c.outputScale);
        const QSize native((c.output.size().toSizeF() * c.outputScale).toSize());
        ASSERT_EQ(cut.size(), native) << c.name;
        // The frame is the output's own edge: no pixel of a neighbour, none of the frame lost.
        const int inset = int(std::ceil(c.outputScale)) + 1;
        for (const QPoint& p : {QPoint(inset, inset), QPoint(native.width() - 1 - inset, native.height() - 1 - inset),
                 QPoint(native.width() / 2, native.height() / 2)})
            EXPECT_TRUE(near(cut.pixelColor(p), colour)) << c.name << " at " << p.x() << "," << p.y();
        for (const QPoint& p : {QPoint(0, 0), QPoint(native.width() - 1, native.height() - 1)})
            EXPECT_TRUE(near(cut.pixelColor(p), Qt::white)) << c.name << " corner " << p.x() << "," << p.y();
    }

    EXPECT_TRUE(WaylandScreenGrabber::cutOutput(QImage(), {0, 0, 100, 100}, {0, 0, 100, 100}, 1).isNull());
    EXPECT_TRUE(WaylandScreenGrabber::cutOutput(QImage(10, 10, QImage::Format_RGB32), {}, {0, 0, 10, 10}, 1).isNull());
}

TEST(WaylandOutputsTest, OutputIdsAreStableNonZeroAndDistinct)
{
    const quint32 first = WaylandScreenGrabber::displayIDForName(QStringLiteral("HEADLESS-1"));
    EXPECT_EQ(first, WaylandScreenGrabber::displayIDForName(QStringLiteral("HEADLESS-1")));
    EXPECT_NE(first, WaylandScreenGrabber::displayIDForName(QStringLiteral("HEADLESS-2")));
    EXPECT_NE(first, 0u);
    EXPECT_NE(WaylandScreenGrabber::displayIDForName(QString()), 0u);
}
