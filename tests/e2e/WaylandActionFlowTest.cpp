// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in a headless sway session: it starts with the Wayland services, and
// `vantrel --action captureFullscreen` records a picture with exactly the pixels another
// client shows.
#include "X11TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;

// This process is only a Wayland client drawing one window for Vantrel to capture; Qt 6.4's
// Wayland platform plugin leaves some of its display objects to the end of the process (one of
// them in a library unloaded by then, so no suppression can name it). The leak check stays on
// for Vantrel's own process, which the test starts from the sanitizer build.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

namespace {

QStringList historyPictures()
{
    const QString dir
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantrel/History");
    QStringList paths;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files))
        paths.append(dir + QLatin1Char('/') + name);
    return paths;
}

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
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < opaque.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
        for (int x = 0; x < opaque.width(); ++x)
            count += row[x] == colour;
    }
    return count;
}

} // namespace

TEST(WaylandActionFlow, AFullScreenCaptureHoldsExactlyTheWindowsPixels)
{
    ASSERT_TRUE(QGuiApplication::platformName().startsWith(QStringLiteral("wayland")));
    // No thumbnail, sound or welcome window: only the capture itself.
    const QString config
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
    ASSERT_TRUE(QDir().mkpath(config));
    QFile settings(config + QStringLiteral("/settings.json"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(R"({"afterShowOverlay":{"bool":false},"playSound":{"bool":false},"afterCopy":{"bool":false}})");
    settings.close();

    const QRgb colour = qRgb(240, 120, 10);
    SolidWindow window(QColor::fromRgb(colour));
    window.resize(240, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    test::VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(test::waitUntilVantrelIsReady()) << app.errors().toStdString();
    EXPECT_TRUE(app.errors().contains(QStringLiteral("Wayland session"))) << app.errors().toStdString();

    QProcess action;
    action.start(QStringLiteral(VANTREL_BINARY), {QStringLiteral("--action"), QStringLiteral("captureFullscreen")});
    ASSERT_TRUE(action.waitForFinished(10000));
    EXPECT_EQ(action.exitCode(), 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return !historyPictures().isEmpty(); }, 10000)) << app.errors().toStdString();
    // The record is written whole before it is listed: wait until it reads.
    QImage picture;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(picture = QImage(historyPictures().value(0))).isNull(); }, 5000));
    EXPECT_EQ(picture.size(), QSize(1280, 720));
    EXPECT_EQ(pixelsOf(picture, colour), 240 * 150);
    EXPECT_EQ(app.process().state(), QProcess::Running);
}
