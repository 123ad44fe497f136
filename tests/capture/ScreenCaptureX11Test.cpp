// SPDX-License-Identifier: GPL-3.0-or-later
// Real pixels from a private X server (one 1920 × 1080 monitor, scale 1) with openbox.
#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "Clipboard.h"
#include "Fakes.h"
#include "ScreenCapture.h"
#include "Service.h"
#include "ToastService.h"
#include "X11TestSupport.h"
#include "x11/X11ScreenGrabber.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class ScreenCaptureOnX11 : public ::testing::Test
{
protected:
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot {&grabber};

    static QScreen* screen() { return QGuiApplication::primaryScreen(); }
    static quint32 display() { return ScreenCapture::displayID(screen()); }

    // The entry for a window of ours in the raw list, front to back.
    std::optional<WindowInfo> listed(const QWidget& window)
    {
        for (const WindowInfo& info : grabber.windowsFrontToBack()) {
            if (info.id == quint32(window.winId()))
                return info;
        }
        return std::nullopt;
    }
    bool waitListed(const QWidget& window)
    {
        return QTest::qWaitFor([&] { return listed(window).has_value(); }, 5000);
    }
};

// Compares a capture with the pattern of a window whose top-left point lies at `origin` of the
// capture; returns the first mismatch.
std::optional<QString> differsFromPattern(const QImage& image, QPoint patternOffset)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb want = patternColor(x + patternOffset.x(), y + patternOffset.y());
            const QRgb got = image.pixel(x, y);
            if (got != want)
                return QStringLiteral("pixel (%1, %2): got %3, want %4")
                    .arg(x)
                    .arg(y)
                    .arg(got, 8, 16, QLatin1Char('0'))
                    .arg(want, 8, 16, QLatin1Char('0'));
        }
    }
    return std::nullopt;
}

} // namespace

TEST_F(ScreenCaptureOnX11, ARectangleHoldsExactlyTheWindowsPixels)
{
    ASSERT_EQ(screen()->devicePixelRatio(), 1.0);
    PatternWindow window(QRect(200, 150, 400, 300), PatternWindow::Placement::exact);
    ASSERT_TRUE(window.showAndWait());

    const Expected<Capture> capture = ScreenCapture::captureDisplay(display(), QRectF(230, 170, 120, 60));
    ASSERT_TRUE(capture.ok()) << capture.error().description.toStdString();
    EXPECT_EQ(capture->scale, 1.0);
    EXPECT_EQ(capture->kind, CaptureKind::screenshot);
    ASSERT_EQ(capture->image.size(), QSize(120, 60));
    EXPECT_EQ(differsFromPattern(capture->image, QPoint(30, 20)), std::nullopt);
    // Opaque, whatever the server keeps in the padding byte.
    EXPECT_EQ(qAlpha(capture->image.pixel(5, 5)), 255);
    EXPECT_FALSE(capture->image.hasAlphaChannel());

    const Expected<Capture> whole = ScreenCapture::captureDisplay(display());
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole->image.size(), QSize(1920, 1080));
    EXPECT_EQ(whole->image.pixel(200 + 77, 150 + 33), patternColor(77, 33));
}

TEST_F(ScreenCaptureOnX11, UnknownDisplayIsNotFound)
{
    const Expected<Capture> capture = ScreenCapture::captureDisplay(0xdeadbeef);
    ASSERT_FALSE(capture.ok());
    EXPECT_EQ(capture.error().domain, QStringLiteral("Vantrel"));
    EXPECT_EQ(capture.error().code, 1);
    EXPECT_EQ(capture.error().description, QStringLiteral("Display not found"));
    EXPECT_EQ(ScreenCapture::screenForDisplay(display()), screen());
}

TEST_F(ScreenCaptureOnX11, AToastOnScreenIsNotInTheCapture)
{
    const QRect screenRect = screen()->geometry();
    PatternWindow background(screenRect, PatternWindow::Placement::exact);
    ASSERT_TRUE(background.showAndWait());
    QCursor::setPos(screenRect.center());
    ToastService toasts;
    toasts.show({.text = QStringLiteral("Copied to clipboard"),
        .symbol = QStringLiteral("checkmark.circle.fill"),
        .duration = 30});
    ToastPanel* panel = toasts.currentPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->windowOpacity() == 1.0; }, 3000)) << "the fade-in ends";
    syncWithServer();

    const QRect area = panel->geometry().adjusted(-10, -10, 10, 10);
    const Expected<Capture> capture = ScreenCapture::captureDisplay(display(), QRectF(area));
    ASSERT_TRUE(capture.ok());
    EXPECT_EQ(differsFromPattern(capture->image, area.topLeft()), std::nullopt);

    // The toast is back afterwards, and an area beside it does not take it away.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            auto info
                = runProcess(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(panel->winId())});
            return info && info->contains("IsViewable");
        },
        3000));
    EXPECT_TRUE(ScreenCapture::chromeWindowIDs().count(quint32(panel->winId())));
    const Expected<Capture> beside = ScreenCapture::captureDisplay(display(), QRectF(0, 0, 50, 50));
    ASSERT_TRUE(beside.ok());
    EXPECT_EQ(differsFromPattern(beside->image, QPoint(0, 0)), std::nullopt);
}

// A stream of frames reuses its spare picture: the grab writes into it rather than allocating.
TEST_F(ScreenCaptureOnX11, AFreePictureOfTheRightSizeReceivesTheGrab)
{
    PatternWindow window(QRect(200, 150, 400, 300), PatternWindow::Placement::exact);
    ASSERT_TRUE(window.showAndWait());
    const QRectF area(230, 170, 120, 60);

    Expected<Capture> first = ScreenCapture::captureDisplay(display(), area);
    ASSERT_TRUE(first.ok());
    const uchar* memory = first->image.constBits();
    Expected<Capture> second = ScreenCapture::captureDisplay(display(), area, std::move(first->image));
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second->image.constBits(), memory);
    EXPECT_EQ(differsFromPattern(second->image, QPoint(30, 20)), std::nullopt);

    // A picture someone else still holds is left alone, and so is one of another size.
    const QImage kept = second->image;
    Expected<Capture> third = ScreenCapture::captureDisplay(display(), area, second->image);
    ASSERT_TRUE(third.ok());
    EXPECT_NE(third->image.constBits(), kept.constBits());
    EXPECT_EQ(differsFromPattern(third->image, QPoint(30, 20)), std::nullopt);
    Expected<Capture> other
        = ScreenCapture::captureDisplay(display(), QRectF(230, 170, 50, 60), std::move(third->image));
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other->image.size(), QSize(50, 60));
    EXPECT_EQ(differsFromPattern(other->image, QPoint(30, 20)), std::nullopt);
}

namespace {

// Counts the expose events of a window: taking it off the screen and back gives two.
class ExposeCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Expose)
            ++count;
        return false;
    }
};

} // namespace

// A chrome window shaped as a ring around an area shows nothing inside it, so grabbing the area
// leaves it on screen (a scrolling capture grabs five times a second); grabbing across the ring
// takes it away for the grab.
TEST_F(ScreenCaptureOnX11, AShapedRingAroundTheAreaStaysOnScreen)
{
    PatternWindow background(QRect(100, 100, 500, 400), PatternWindow::Placement::exact);
    ASSERT_TRUE(background.showAndWait());
    const QRect area(200, 200, 200, 150);
    PatternWindow ring(area.adjusted(-3, -3, 3, 3), PatternWindow::Placement::exact, QColor(Qt::blue));
    ring.setMask(QRegion(ring.rect()).subtracted(QRegion(ring.rect().adjusted(2, 2, -2, -2))));
    markAsChrome(&ring);
    ASSERT_TRUE(ring.showAndWait());
    QTest::qWait(200);
    ExposeCounter exposes;
    ring.windowHandle()->installEventFilter(&exposes);

    const Expected<Capture> inside = ScreenCapture::captureDisplay(display(), QRectF(area));
    ASSERT_TRUE(inside.ok());
    EXPECT_EQ(differsFromPattern(inside->image, area.topLeft() - QPoint(100, 100)), std::nullopt);
    QTest::qWait(200);
    EXPECT_EQ(exposes.count, 0) << "the ring was taken off the screen";

    const QRect across = area.adjusted(-10, -10, 0, 0);
    const Expected<Capture> crossing = ScreenCapture::captureDisplay(display(), QRectF(across));
    ASSERT_TRUE(crossing.ok());
    EXPECT_EQ(differsFromPattern(crossing->image, across.topLeft() - QPoint(100, 100)), std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return exposes.count >= 2; }, 3000)) << "the ring went and came back";
}

TEST_F(ScreenCaptureOnX11, WindowOrderFollowsStacking)
{
    PatternWindow first(QRect(100, 100, 300, 200), PatternWindow::Placement::managed, QColor(Qt::red));
    first.setWindowTitle(QStringLiteral("First"));
    PatternWindow second(QRect(500, 100, 300, 200), PatternWindow::Placement::managed, QColor(Qt::blue));
    second.setWindowTitle(QStringLiteral("Second"));
    ASSERT_TRUE(first.showAndWait());
    ASSERT_TRUE(second.showAndWait());
    ASSERT_TRUE(waitListed(first) && waitListed(second));

    auto order = [&] {
        std::vector<quint32> ids;
        for (const WindowInfo& info : ScreenCapture::selectableWindows()) {
            if (info.id == quint32(first.winId()) || info.id == quint32(second.winId()))
                ids.push_back(info.id);
        }
        return ids;
    };
    for (PatternWindow* front : {&first, &second, &first}) {
        PatternWindow* back = front == &first ? &second : &first;
        runProcess(QStringLiteral("xdotool"), {QStringLiteral("windowraise"), QString::number(front->winId())});
        const std::vector<quint32> want {quint32(front->winId()), quint32(back->winId())};
        EXPECT_TRUE(QTest::qWaitFor([&] { return order() == want; }, 3000))
            << "after raising " << front->windowTitle().toStdString();
    }

    const std::optional<WindowInfo> info = listed(first);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->title, QStringLiteral("First"));
    EXPECT_FALSE(info->applicationName.isEmpty());
    EXPECT_EQ(info->layer, 0);
    EXPECT_TRUE(info->onScreen);
    // The frame holds the client, decorations included.
    EXPECT_TRUE(info->frame.contains(first.geometry())) << info->frame.width() << "x" << info->frame.height();
}

TEST_F(ScreenCaptureOnX11, OnlyNormalWindowsWiderAndTallerThan40PointsAreOffered)
{
    struct Case
    {
        QSize size;
        const char* type; // _NET_WM_WINDOW_TYPE, or none
        bool offered;
    };
    const Case cases[] = {
        {{40, 100}, nullptr, false},
        {{41, 100}, nullptr, true},
        {{100, 40}, nullptr, false},
        {{100, 41}, nullptr, true},
        {{200, 200}, "_NET_WM_WINDOW_TYPE_DOCK", false},
        {{200, 200}, "_NET_WM_WINDOW_TYPE_DESKTOP", false},
        {{200, 200}, "_NET_WM_WINDOW_TYPE_DIALOG", true},
    };
    std::vector<std::unique_ptr<PatternWindow>> windows;
    int x = 20;
    for (const Case& c : cases) {
        auto window = std::make_unique<PatternWindow>(
            QRect(QPoint(x, 300), c.size), PatternWindow::Placement::managedFrameless, QColor(Qt::darkGreen));
        x += c.size.width() + 20;
        window->winId();
        if (c.type) {
            ASSERT_TRUE(runProcess(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("-f"),
                    QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("32a"), QStringLiteral("-set"),
                    QStringLiteral("_NET_WM_WINDOW_TYPE"), QString::fromLatin1(c.type)}));
        }
        ASSERT_TRUE(window->showAndWait());
        windows.push_back(std::move(window));
    }
    for (const auto& window : windows)
        ASSERT_TRUE(waitListed(*window));

    const std::vector<WindowInfo> offered = ScreenCapture::selectableWindows();
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Case& c = cases[i];
        const std::optional<WindowInfo> raw = listed(*windows[i]);
        ASSERT_TRUE(raw);
        if (!c.type) {
            ASSERT_EQ(raw->frame.size(), c.size) << "frameless windows have no decorations";
        }
        const bool isOffered = std::any_of(offered.begin(), offered.end(),
            [&](const WindowInfo& info) { return info.id == quint32(windows[i]->winId()); });
        EXPECT_EQ(isOffered, c.offered) << c.size.width() << "x" << c.size.height() << " " << (c.type ? c.type : "")
                                        << " layer " << raw->layer << " on screen " << raw->onScreen;
    }
}

TEST_F(ScreenCaptureOnX11, ACoveredWindowIsCapturedWhole)
{
    PatternWindow covered(QRect(300, 200, 360, 240), PatternWindow::Placement::managed);
    covered.setWindowTitle(QStringLiteral("Covered"));
    ASSERT_TRUE(covered.showAndWait());
    ASSERT_TRUE(waitListed(covered));
    const QRect client = QRect(covered.mapToGlobal(QPoint(0, 0)), covered.size());
    PatternWindow cover(
        QRect(client.x() + 180, client.y() - 40, 300, 400), PatternWindow::Placement::exact, QColor(Qt::magenta));
    ASSERT_TRUE(cover.showAndWait());
    // Precondition: the screen shows the cover over the right half.
    const Expected<Capture> screenShot
        = ScreenCapture::captureDisplay(display(), QRectF(client.x() + 250, client.y() + 100, 1, 1));
    ASSERT_TRUE(screenShot.ok());
    ASSERT_EQ(screenShot->image.pixel(0, 0), QColor(Qt::magenta).rgb());

    const std::optional<WindowInfo> info = listed(covered);
    ASSERT_TRUE(info);
    for (bool shadow : {false, true}) {
        const Expected<Capture> capture = ScreenCapture::captureWindow(*info, shadow);
        ASSERT_TRUE(capture.ok()) << capture.error().description.toStdString();
        EXPECT_EQ(capture->kind, CaptureKind::window);
        EXPECT_EQ(capture->scale, 1.0);
        const int margin = shadow ? (capture->image.width() - info->nativeFrame.width()) / 2 : 0;
        ASSERT_EQ(capture->image.size(), info->nativeFrame.size() + QSize(2 * margin, 2 * margin));
        const QPoint offset = client.topLeft() - info->nativeFrame.topLeft() + QPoint(margin, margin);
        for (const QPoint p : {QPoint(10, 10), QPoint(250, 100), QPoint(350, 230), QPoint(190, 5)}) {
            EXPECT_EQ(capture->image.pixel(offset + p), patternColor(p.x(), p.y()))
                << "client point " << p.x() << "," << p.y() << (shadow ? " with shadow" : "");
        }
        EXPECT_EQ(qAlpha(capture->image.pixel(offset + QPoint(250, 100))), 255);
        if (shadow) {
            EXPECT_GT(margin, 0);
            EXPECT_EQ(qAlpha(capture->image.pixel(0, 0)), 0) << "the corner of the margin is clear";
            const int below = margin + info->nativeFrame.height() + 2;
            EXPECT_GT(qAlpha(capture->image.pixel(capture->image.width() / 2, below)), 0) << "a shadow below";
        }
    }
}

TEST_F(ScreenCaptureOnX11, ClipboardOffersImageAndPngOrFileURLs)
{
    QtClipboard clipboard;
    ScopedService<Clipboard> clipboardSlot(&clipboard);
    QImage picture(64, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, patternColor(x, y));
    auto item = CaptureItem::fromImage(picture, 2.0, CaptureKind::screenshot);
    item->copyToClipboard(true);

    const QStringList xclip {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t")};
    const std::optional<QByteArray> targets
        = runProcess(QStringLiteral("xclip"), xclip + QStringList {QStringLiteral("TARGETS"), QStringLiteral("-o")});
    ASSERT_TRUE(targets);
    EXPECT_TRUE(targets->contains("image/png")) << targets->toStdString();
    const std::optional<QByteArray> png
        = runProcess(QStringLiteral("xclip"), xclip + QStringList {QStringLiteral("image/png"), QStringLiteral("-o")});
    ASSERT_TRUE(png);
    const QImage pasted = QImage::fromData(*png, "PNG");
    ASSERT_EQ(pasted.size(), QSize(64, 32));
    EXPECT_EQ(pasted.pixel(33, 17), patternColor(33, 17)) << "lossless";

    QTemporaryDir folder;
    const QString video = folder.filePath(QStringLiteral("clip.mp4"));
    QFile file(video);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not really a video");
    file.close();
    auto recording = CaptureItem::fromFile(QUrl::fromLocalFile(video), CaptureKind::recording);
    recording->copyToClipboard(true);
    const std::optional<QByteArray> fileTargets
        = runProcess(QStringLiteral("xclip"), xclip + QStringList {QStringLiteral("TARGETS"), QStringLiteral("-o")});
    ASSERT_TRUE(fileTargets);
    EXPECT_TRUE(fileTargets->contains("text/uri-list")) << fileTargets->toStdString();
    EXPECT_TRUE(fileTargets->contains("x-special/gnome-copied-files")) << fileTargets->toStdString();
    EXPECT_FALSE(fileTargets->contains("image/png"));
    const std::optional<QByteArray> uris = runProcess(
        QStringLiteral("xclip"), xclip + QStringList {QStringLiteral("text/uri-list"), QStringLiteral("-o")});
    ASSERT_TRUE(uris);
    EXPECT_TRUE(uris->contains(QUrl::fromLocalFile(video).toEncoded()));
}
