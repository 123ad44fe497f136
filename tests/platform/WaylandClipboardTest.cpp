// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard in a Wayland session, read back by another client (wl-paste) the way a paste
// in another program reads it. A compositor takes a copy only from a client that has the
// keyboard focus (sway: that has had an input event lately), so the seat needs a keyboard: the
// test's virtual one.
#include "wayland/WaylandClipboard.h"

#include "VirtualInput.h"
#include "WaylandTestSupport.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QRasterWindow>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// What another client pastes: the data of one type, none while the clipboard has none. Our own
// event loop serves the data, so it keeps running while the paste waits.
std::optional<QByteArray> paste(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("wl-paste"), arguments);
    if (!process.waitForStarted() || !QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

QImage picture()
{
    QImage image(64, 40, QImage::Format_RGB32);
    image.fill(qRgb(200, 30, 90));
    image.setPixel(5, 7, qRgb(1, 2, 3));
    return image;
}

class WaylandClipboardTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        s_input = VirtualInput::connect(&error).release();
        ASSERT_NE(s_input, nullptr) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_input;
        s_input = nullptr;
    }
    static VirtualInput* s_input;
};

VirtualInput* WaylandClipboardTest::s_input = nullptr;

} // namespace

// The editor's Copy button, or Ctrl+C in it: the copy follows an input event of a focused
// window of Vantrel's, whose serial the compositor checks, and goes straight through Qt.
TEST_F(WaylandClipboardTest, ACopyAfterAClickInAFocusedWindowReachesOtherClients)
{
    ASSERT_TRUE(QGuiApplication::platformName().startsWith(QStringLiteral("wayland")));
    class ClickedWindow : public QRasterWindow
    {
    public:
        int clicks = 0;
        bool pointerInside = false;

    protected:
        void mouseReleaseEvent(QMouseEvent*) override { ++clicks; }
        bool event(QEvent* event) override
        {
            if (event->type() == QEvent::Enter)
                pointerInside = true;
            return QRasterWindow::event(event);
        }
    };
    ClickedWindow window;
    window.setTitle(QStringLiteral("Focused editor"));
    window.resize(100, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == &window; }, 5000));
    // sway lists a window before it has taken its place: the pointer goes to where sway has it
    // until the window says the pointer is over it.
    int nudge = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QList<QRect> placed = swayWindows(window.title());
            if (placed.size() == 1)
                s_input->moveTo(placed.first().center().x() + (++nudge % 2), placed.first().center().y());
            return window.pointerInside;
        },
        5000));
    ASSERT_TRUE(s_input->button(VirtualInput::leftButton, true));
    ASSERT_TRUE(s_input->button(VirtualInput::leftButton, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.clicks == 1; }, 5000));

    const int windows = QGuiApplication::topLevelWindows().size();
    WaylandClipboard clipboard;
    clipboard.write(ClipboardContents {.image = picture(), .text = QStringLiteral("plain words")});
    // Qt hands the copy to the compositor when its event loop next runs.
    std::optional<QByteArray> types;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (types = paste({QStringLiteral("--list-types")})).has_value(); }, 5000));
    EXPECT_TRUE(types->contains("image/png")) << types->toStdString();
    const std::optional<QByteArray> png = paste({QStringLiteral("--type"), QStringLiteral("image/png")});
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32), picture());
    EXPECT_EQ(paste({QStringLiteral("--no-newline"), QStringLiteral("--type"), QStringLiteral("text/plain")}),
        QByteArray("plain words"));
    // No window of its own was needed for the focus.
    EXPECT_EQ(QGuiApplication::topLevelWindows().size(), windows);
}
