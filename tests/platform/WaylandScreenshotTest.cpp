// SPDX-License-Identifier: GPL-3.0-or-later
// Screenshots in a Wayland session: a headless sway with two outputs side by side, the
// screenshot portal faked on the test's private bus, and sway's own screencopy.
#include "FakeDesktopPortal.h"
#include "wayland/WaylandScreenGrabber.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QString screenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");

// A desktop picture in which every pixel tells where it came from.
QImage telltaleDesktop(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = qRgb(x % 256, y % 256, (x / 256) * 16 + (y / 256));
    }
    return image;
}

std::vector<QScreen*> screensLeftToRight()
{
    const QList<QScreen*> all = QGuiApplication::screens();
    std::vector<QScreen*> screens(all.begin(), all.end());
    std::sort(
        screens.begin(), screens.end(), [](QScreen* a, QScreen* b) { return a->geometry().x() < b->geometry().x(); });
    return screens;
}

// A window of one colour, so its pixels can be counted in a screen's picture.
class SolidWindow : public QRasterWindow
{
public:
    explicit SolidWindow(QColor colour)
        : m_colour(colour)
    { }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), m_colour); }

private:
    QColor m_colour;
};

int pixelsOf(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            count += (row[x] | 0xFF000000u) == colour;
    }
    return count;
}

class WaylandScreenshotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
            << "run under tests/harness/with-wayland.sh";
        m_screens = screensLeftToRight();
        ASSERT_EQ(m_screens.size(), 2u);
    }

    std::vector<QScreen*> m_screens;
};

} // namespace

TEST_F(WaylandScreenshotTest, ThePortalsDesktopPictureIsCutIntoEachOutput)
{
    ASSERT_EQ(m_screens[0]->geometry(), QRect(0, 0, 1280, 720));
    ASSERT_EQ(m_screens[1]->geometry(), QRect(1280, 0, 1280, 720));
    FakeDesktopPortal portal({screenshotInterface});
    ASSERT_TRUE(portal.registered());
    const QImage desktop = telltaleDesktop({2560, 720});
    portal.screenshotPicture = desktop;
    WaylandScreenGrabber grabber(QDBusConnection::sessionBus(), WaylandScreenGrabber::Source::portal);
    EXPECT_FALSE(grabber.usesScreencopy());

    // Both outputs of one capture come from one picture, asked for without a dialog.
    const Expected<QImage> left = grabber.grabScreen(m_screens[0], QRect(10, 20, 100, 50));
    const Expected<QImage> right = grabber.grabScreen(m_screens[1], QRect(0, 0, 1280, 720));
    ASSERT_TRUE(left.ok()) << left.error().description.toStdString();
    ASSERT_TRUE(right.ok()) << right.error().description.toStdString();
    EXPECT_EQ(*left, desktop.copy(10, 20, 100, 50));
    EXPECT_EQ(*right, desktop.copy(1280, 0, 1280, 720));
    ASSERT_EQ(portal.count(QStringLiteral("Screenshot")), 1);
    const QVariantMap& options = portal.calls[0].options;
    EXPECT_EQ(options.value(QStringLiteral("interactive")), QVariant(false));
    EXPECT_FALSE(options.value(QStringLiteral("handle_token")).toString().isEmpty());
    // The portal's file may hold secrets and was not asked for: it is gone.
    ASSERT_EQ(portal.writtenFiles.size(), 1);
    EXPECT_FALSE(QFile::exists(portal.writtenFiles[0]));

    // A later capture asks again rather than showing an old picture; an area reaching past the
    // output is clipped to it.
    QCoreApplication::processEvents();
    portal.screenshotPicture = telltaleDesktop({2560, 720}).mirrored(true, false);
    const Expected<QImage> again = grabber.grabScreen(m_screens[1], QRect(1200, 700, 200, 200));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(portal.count(QStringLiteral("Screenshot")), 2);
    EXPECT_EQ(*again, portal.screenshotPicture.copy(2480, 700, 80, 20));
}

TEST_F(WaylandScreenshotTest, RefusedOrBrokenScreenshotsAreErrorsNotPictures)
{
    struct Case
    {
        const char* name;
        QStringList interfaces;
        uint response;
        bool picture;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"cancelled", {screenshotInterface}, 1, true, "The screenshot was cancelled"},
        {"refused", {screenshotInterface}, 2, true, "The desktop refused the screenshot"},
        {"unreadable file", {screenshotInterface}, 0, false, "The screenshot portal's picture is unreadable"},
        {"no screenshot portal", {}, 0, true, "No such interface"},
        {"no portal at all", {QStringLiteral("none")}, 0, true, "org.freedesktop.portal.Desktop"},
    };
    for (const Case& c : cases) {
        std::optional<FakeDesktopPortal> portal;
        if (c.interfaces != QStringList {QStringLiteral("none")}) {
            portal.emplace(c.interfaces);
            ASSERT_TRUE(portal->registered()) << c.name;
            portal->screenshotResponse = c.response;
            if (c.picture)
                portal->screenshotPicture = telltaleDesktop({2560, 720});
        }
        WaylandScreenGrabber grabber(QDBusConnection::sessionBus(), WaylandScreenGrabber::Source::portal);
        const Expected<QImage> picture = grabber.grabScreen(m_screens[0], QRect(0, 0, 100, 100));
        ASSERT_FALSE(picture.ok()) << c.name;
        EXPECT_TRUE(picture.error().description.contains(QString::fromUtf8(c.error), Qt::CaseInsensitive))
            << c.name << ": " << picture.error().description.toStdString();
        QCoreApplication::processEvents();
    }
}

// sway offers wlroots' screencopy: each output is read directly, with exactly the pixels a
// client drew, on either output.
TEST_F(WaylandScreenshotTest, ScreencopyReadsAWindowsPixelsOnEitherOutput)
{
    WaylandScreenGrabber grabber(QDBusConnection::sessionBus());
    ASSERT_TRUE(grabber.usesScreencopy());
    const QRgb colour = qRgb(10, 200, 30);
    SolidWindow window(QColor::fromRgb(colour));
    window.setTitle(QStringLiteral("vantrel-screencopy-probe"));
    window.resize(200, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const auto windowPixelsOn = [&](QScreen* screen) {
        const Expected<QImage> picture = grabber.grabScreen(screen, QRect(QPoint(), screen->size()));
        return picture ? pixelsOf(*picture, colour) : -1;
    };
    // The compositor shows the window a frame after it is exposed.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return windowPixelsOn(m_screens[0]) + windowPixelsOn(m_screens[1]) == 200 * 120; }, 5000));
    const int onFirst = windowPixelsOn(m_screens[0]);
    QScreen* other = onFirst == 200 * 120 ? m_screens[1] : m_screens[0];

    const int moved = QProcess::execute(QStringLiteral("swaymsg"),
        {QStringLiteral("[title=\"vantrel-screencopy-probe\"]"), QStringLiteral("move"), QStringLiteral("output"),
            other->name()});
    ASSERT_EQ(moved, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return windowPixelsOn(other) == 200 * 120; }, 5000));
    EXPECT_EQ(windowPixelsOn(other == m_screens[0] ? m_screens[1] : m_screens[0]), 0);
}
