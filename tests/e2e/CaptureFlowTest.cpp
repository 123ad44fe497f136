// SPDX-License-Identifier: GPL-3.0-or-later
// The real vantrel process in a private X session, driven only by synthetic input: shortcuts
// and mouse drags through XTest, results checked in the history folder and on the clipboard.
#include "X11TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Every pixel of the pattern differs from its neighbours, so an off-by-one crop shows.
QRgb patternAt(int x, int y)
{
    return qRgb((x * 7 + y * 3) % 256, (x * 5 + y * 11) % 256, (x ^ y) % 256);
}

class PatternWindow : public QWidget
{
public:
    PatternWindow()
    {
        setWindowTitle(QStringLiteral("Vantrel test pattern"));
        setFixedSize(800, 600);
        m_image = QImage(800, 600, QImage::Format_RGB32);
        for (int y = 0; y < 600; ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
            for (int x = 0; x < 800; ++x)
                line[x] = patternAt(x, y);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_image);
    }

private:
    QImage m_image;
};

using vantrel::test::clipboardContents;
using vantrel::test::historyFile;
using vantrel::test::historyRecords;
using vantrel::test::screenPixel;
using vantrel::test::waitUntilVantrelIsReady;
using vantrel::test::windowsTitled;
using vantrel::test::writeVantrelSettings;
using vantrel::test::xdotool;

// The record's picture; the list names it a moment before its file is complete.
QImage historyImage(const QJsonObject& record)
{
    const QString path = historyFile(record);
    QImage image;
    (void)QTest::qWaitFor([&] { return image.load(path); }, 5000);
    return image.convertToFormat(QImage::Format_RGB32);
}

// The first pixel of `image` that differs from the pattern at `origin` (pattern coordinates).
std::optional<QPoint> firstMismatch(const QImage& image, QPoint origin)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) != (patternAt(origin.x() + x, origin.y() + y) & 0xffffff))
                return QPoint(x, y);
        }
    }
    return std::nullopt;
}

class CaptureFlow : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Settings as a user might have them: no thumbnails (so nothing stays on screen between
        // captures), no sound, a one-second self-timer, first start already done.
        writeVantrelSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},)"
                             R"("playSound":{"bool":false},"selfTimerSeconds":{"int":1}})");

        s_window = new PatternWindow;
        s_window->move(200, 150);
        s_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s_window));
        // Painted on the screen, not only exposed: the captures compare against it.
        const QPoint inside = s_window->mapToGlobal(QPoint(5, 5));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (screenPixel(inside).rgb() & 0xffffff) == (patternAt(5, 5) & 0xffffff); }, 5000));

        s_app = new QProcess;
        s_app->setProgram(QStringLiteral(VANTREL_BINARY));
        s_app->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        s_app->start();
        // Its shortcuts are grabbed once it answers.
        ASSERT_TRUE(waitUntilVantrelIsReady());
    }

    static void TearDownTestSuite()
    {
        if (s_app) {
            s_app->terminate();
            s_app->waitForFinished(3000);
            delete s_app;
        }
        delete s_window;
    }

    // The client area's top-left on screen.
    static QPoint patternOrigin() { return s_window->mapToGlobal(QPoint(0, 0)); }

    static bool waitForOverlay()
    {
        // Searched again and again: a search while the last overlay's windows are going away can
        // fail on a window that vanished under it.
        const bool shown = QTest::qWaitFor(overlayVisible, 8000);
        // The overlay takes the keyboard right after it maps.
        QTest::qWait(150);
        return shown;
    }

    static bool overlayVisible() { return !windowsTitled(QStringLiteral("Vantrel Selection")).isEmpty(); }

    static bool waitForRecords(int count)
    {
        return QTest::qWaitFor([count] { return historyRecords().size() >= count; }, 8000);
    }

    static void drag(QPoint from, QPoint to)
    {
        xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y())});
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        xdotool({QStringLiteral("mousemove"), QString::number((from.x() + to.x()) / 2),
            QString::number((from.y() + to.y()) / 2)});
        xdotool({QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y())});
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    static inline PatternWindow* s_window = nullptr;
    static inline QProcess* s_app = nullptr;
};

} // namespace

TEST_F(CaptureFlow, AreaShortcutDragLandsInHistoryAndOnTheClipboard)
{
    const QPoint origin = patternOrigin();
    const QPoint from = origin + QPoint(100, 80);
    const QPoint to = origin + QPoint(340, 230);

    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+s")});
    ASSERT_TRUE(waitForOverlay());
    drag(from, to);
    ASSERT_TRUE(waitForRecords(1));

    const QJsonObject record = historyRecords().at(0).toObject();
    EXPECT_EQ(record.value(QStringLiteral("kind")).toString(), QStringLiteral("screenshot"));
    EXPECT_EQ(record.value(QStringLiteral("width")).toInt(), 240);
    EXPECT_EQ(record.value(QStringLiteral("height")).toInt(), 150);
    const QImage saved = historyImage(record);
    ASSERT_EQ(saved.size(), QSize(240, 150));
    const auto mismatch = firstMismatch(saved, QPoint(100, 80));
    EXPECT_FALSE(mismatch.has_value()) << "first wrong pixel at " << mismatch->x() << "," << mismatch->y();

    // The copy follows the history record by a moment: wait until the clipboard offers it.
    std::optional<QByteArray> targets;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            targets = clipboardContents(QStringLiteral("TARGETS"));
            return targets && targets->contains("image/png");
        },
        5000))
        << targets.value_or("(none)").toStdString();
    const std::optional<QByteArray> png = clipboardContents(QStringLiteral("image/png"));
    ASSERT_TRUE(png);
    const QImage pasted = QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(pasted.size(), QSize(240, 150));
    EXPECT_FALSE(firstMismatch(pasted, QPoint(100, 80)).has_value());

    // The previous area, again, without any selecting.
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+8")});
    ASSERT_TRUE(waitForRecords(2));
    const QImage again = historyImage(historyRecords().at(0).toObject());
    ASSERT_EQ(again.size(), QSize(240, 150));
    EXPECT_FALSE(firstMismatch(again, QPoint(100, 80)).has_value());
}

TEST_F(CaptureFlow, EscapeCancelsWithNothingWritten)
{
    const int before = historyRecords().size();
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+s")});
    ASSERT_TRUE(waitForOverlay());
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(QTest::qWaitFor([] { return !overlayVisible(); }, 3000));
    // A full-screen capture made next is the only new record: the cancelled one wrote none.
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+f")});
    ASSERT_TRUE(waitForRecords(before + 1));
    EXPECT_EQ(historyRecords().size(), before + 1);
    EXPECT_EQ(historyRecords().at(0).toObject().value(QStringLiteral("width")).toInt(), 1920);
}

TEST_F(CaptureFlow, FullscreenCapturesTheWholeScreen)
{
    const int before = historyRecords().size();
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+f")});
    ASSERT_TRUE(waitForRecords(before + 1));
    const QJsonObject record = historyRecords().at(0).toObject();
    EXPECT_EQ(record.value(QStringLiteral("width")).toInt(), 1920);
    EXPECT_EQ(record.value(QStringLiteral("height")).toInt(), 1080);
    const QImage screen = historyImage(record);
    const QPoint origin = patternOrigin();
    EXPECT_EQ(screen.copy(QRect(origin, QSize(800, 600))).size(), QSize(800, 600));
    EXPECT_FALSE(
        firstMismatch(screen.copy(QRect(origin + QPoint(10, 10), QSize(300, 200))), QPoint(10, 10)).has_value());
}

TEST_F(CaptureFlow, ClickingAWindowCapturesItWhole)
{
    const int before = historyRecords().size();
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+6")});
    ASSERT_TRUE(waitForOverlay());
    const QPoint centre = patternOrigin() + QPoint(400, 300);
    xdotool({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())});
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(waitForRecords(before + 1));
    const QJsonObject record = historyRecords().at(0).toObject();
    EXPECT_EQ(record.value(QStringLiteral("kind")).toString(), QStringLiteral("window"));
    const QImage window = historyImage(record);
    ASSERT_GE(window.width(), 800);
    ASSERT_GE(window.height(), 600);
    // The client area is in there, pixel for pixel, somewhere inside the frame and shadow.
    const QRgb first = patternAt(0, 0) & 0xffffff;
    bool found = false;
    for (int y = 0; y + 600 <= window.height() && !found; ++y) {
        for (int x = 0; x + 800 <= window.width() && !found; ++x) {
            if ((window.pixel(x, y) & 0xffffff) == first
                && !firstMismatch(window.copy(QRect(x, y, 800, 600)), QPoint(0, 0)).has_value())
                found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(CaptureFlow, SelfTimerCapturesAfterItsCountdown)
{
    const int before = historyRecords().size();
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+9")});
    ASSERT_TRUE(waitForOverlay());
    const QPoint origin = patternOrigin();
    drag(origin + QPoint(20, 20), origin + QPoint(120, 70));
    // One second of countdown: not yet there at once, there soon after.
    QTest::qWait(300);
    EXPECT_EQ(historyRecords().size(), before);
    ASSERT_TRUE(waitForRecords(before + 1));
    const QImage image = historyImage(historyRecords().at(0).toObject());
    ASSERT_EQ(image.size(), QSize(100, 50));
    EXPECT_FALSE(firstMismatch(image, QPoint(20, 20)).has_value());
}
