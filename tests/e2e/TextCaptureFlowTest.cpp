// SPDX-License-Identifier: GPL-3.0-or-later
// "Capture Text" in the real vantrel process in a private X session: a window shows known text
// and a QR code, Shift+Super+2 and a drag over them, and the clipboard is read back with xclip.
#include "X11TestSupport.h"
#include "ZXingBarcodeReader.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
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
        p.fillRect(rect(), QColor(0xfa, 0xfa, 0xfa));
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

QString run(const QString& program, const QStringList& args, QByteArray* output = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return QStringLiteral("timed out");
    if (output)
        *output = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(QString::fromUtf8(p.readAllStandardError()));
    return QString();
}

void xdotool(const QStringList& args)
{
    const QString error = run(QStringLiteral("xdotool"), args);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

QString clipboardText()
{
    QByteArray text;
    if (!run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")},
            &text)
             .isEmpty())
        return QString();
    return QString::fromUtf8(text);
}

int historyCount()
{
    QFile file(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Vantrel/History/history.json"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(QJsonDocument::fromJson(file.readAll()).array().size());
}

class TextCaptureFlow : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const QString config
            = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
        QDir().mkpath(config);
        QFile settings(config + QStringLiteral("/settings.json"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"playSound":{"bool":false}})");
        settings.close();

        s_window = new TextWindow;
        s_window->move(200, 150);
        s_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s_window));
        QTest::qWait(300);

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
        ASSERT_TRUE(run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                QStringLiteral("--name"), QStringLiteral("^Vantrel Selection$")})
                        .isEmpty());
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
    const int records = historyCount();
    captureText(QPoint(10, 20), QPoint(480, 190));
    const QString expected = shownLines.join(QLatin1Char('\n'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboardText() == expected; }, 30000))
        << "clipboard: " << clipboardText().toStdString();
    EXPECT_EQ(historyCount(), records); // text is copied, not kept
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
