// SPDX-License-Identifier: GPL-3.0-or-later
// "Capture Text" in the real vantrel process in a private X session: a window shows known text
// and a QR code, Shift+Super+2 and a drag over them, and the clipboard is read back with xclip.
#include "X11TestSupport.h"
#include "ZXingBarcodeReader.h"

#include <QJsonArray>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QStringList shownLines {QStringLiteral("Quarterly report is ready"), QStringLiteral("Open it before the meeting"),
    QStringLiteral("Reply to Anna by Friday")};
const QString shownLink = QStringLiteral("https://example.org/report?id=2024");

// Text on the left half, a QR code on the right half.
class TextWindow : public QWidget
{
public:
    static inline const QColor background {0xfa, 0xfa, 0xfa};

    TextWindow()
    {
        setWindowTitle(QStringLiteral("Vantrel text sample"));
        setFixedSize(800, 300);
        m_code = *vantrel::drawBarcode(vantrel::BarcodeSymbology::qrCode, shownLink, 200, 200);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), background);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(18);
        p.setFont(font);
        p.setPen(QColor(0x30, 0x30, 0x30));
        for (int i = 0; i < shownLines.size(); ++i)
            p.drawText(30, 60 + i * 40, shownLines[i]);
        p.drawImage(540, 50, m_code);
    }

private:
    QImage m_code;
};

using vantrel::test::clipboardContents;
using vantrel::test::historyRecords;
using vantrel::test::windowsTitled;
using vantrel::test::writeVantrelSettings;
using vantrel::test::xdotool;

QString clipboardText()
{
    return QString::fromUtf8(clipboardContents().value_or(QByteArray()));
}

class TextCaptureFlow : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        writeVantrelSettings(
            R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"playSound":{"bool":false}})");

        s_window = new TextWindow;
        s_window->move(200, 150);
        s_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s_window));
        // Painted on the screen, not only exposed: the capture reads it from there.
        const QPoint inside = s_window->mapToGlobal(QPoint(5, 5));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return vantrel::test::screenPixel(inside) == TextWindow::background; }, 5000));

        s_app = new QProcess;
        s_app->setProgram(QStringLiteral(VANTREL_BINARY));
        s_app->start();
        // Its shortcuts are grabbed once it answers.
        ASSERT_TRUE(vantrel::test::waitUntilVantrelIsReady());
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

    // Shift+Super+2, then a drag from `from` to `to` (window coordinates).
    static void captureText(QPoint from, QPoint to)
    {
        xdotool({QStringLiteral("key"), QStringLiteral("shift+super+2")});
        ASSERT_TRUE(
            QTest::qWaitFor([] { return !windowsTitled(QStringLiteral("Vantrel Selection")).isEmpty(); }, 8000));
        QTest::qWait(150);
        const QPoint a = s_window->mapToGlobal(from), b = s_window->mapToGlobal(to);
        xdotool({QStringLiteral("mousemove"), QString::number(a.x()), QString::number(a.y())});
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        xdotool(
            {QStringLiteral("mousemove"), QString::number((a.x() + b.x()) / 2), QString::number((a.y() + b.y()) / 2)});
        xdotool({QStringLiteral("mousemove"), QString::number(b.x()), QString::number(b.y())});
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    static inline TextWindow* s_window = nullptr;
    static inline QProcess* s_app = nullptr;
};

} // namespace

TEST_F(TextCaptureFlow, TextInTheDraggedAreaLandsOnTheClipboardAndNowhereElse)
{
    const int records = int(historyRecords().size());
    captureText(QPoint(10, 20), QPoint(480, 190));
    const QString expected = shownLines.join(QLatin1Char('\n'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboardText() == expected; }, 30000))
        << "clipboard: " << clipboardText().toStdString();
    EXPECT_EQ(int(historyRecords().size()), records); // text is copied, not kept
}

TEST_F(TextCaptureFlow, AQrCodeGivesItsLinkWhichIsLoggedNotOpened)
{
    captureText(QPoint(500, 20), QPoint(790, 290));
    EXPECT_TRUE(QTest::qWaitFor([] { return clipboardText() == shownLink; }, 30000))
        << "clipboard: " << clipboardText().toStdString();
    QByteArray log;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            log += s_app->readAllStandardError();
            return log.contains("Vantrel: QR link " + shownLink.toUtf8());
        },
        5000))
        << log.toStdString();
}
