// SPDX-License-Identifier: GPL-3.0-or-later
// The real vantrel process in a private X session captures a window that scrolls a tall page on
// a timer, the pointer resting over it; the history picture must be the page's rows exactly,
// from the area's first row to its last, none missing, none doubled.
#include "X11TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr int pageWidth = 600;
constexpr int pageHeight = 4000;
constexpr int viewHeight = 500;
// A sticky navigation bar over the window's top rows and a message field over its bottom rows:
// they stay put while the page moves beneath them.
constexpr int headerRows = 50;
constexpr int footerRows = 40;

QImage makeBar(int rows, QRgb colour, quint32 seed)
{
    QImage bar(pageWidth, rows, QImage::Format_RGB32);
    bar.fill(colour);
    QRandomGenerator random(seed);
    for (int i = 0; i < 600; ++i)
        bar.setPixel(random.bounded(pageWidth), random.bounded(rows), qRgb(255, 255, random.bounded(256)));
    return bar;
}

// Lines of noisy words with blank gaps between them, and a band of identical table rows in the
// middle: nothing else repeats. The band is shorter than what two frames have in common, so
// every step can be told from the pixels; a longer run of identical rows cannot be measured by
// any means, only guessed from the pace of the scrolling.
QImage makePage()
{
    QImage page(pageWidth, pageHeight, QImage::Format_RGB32);
    page.fill(Qt::white);
    QRandomGenerator random(2024);
    for (int y = 8; y < pageHeight;) {
        const int lineHeight = 12 + random.bounded(10);
        if (y > 1500 && y < 1680) {
            // Table rows of 20 identical rows each.
            for (int row = y; row < y + 20 && row < pageHeight; ++row) {
                auto* line = reinterpret_cast<QRgb*>(page.scanLine(row));
                for (int x = 0; x < pageWidth; ++x)
                    line[x] = row - y < 2 ? qRgb(200, 200, 210)
                                          : ((x / 40) % 2 ? qRgb(245, 245, 250) : qRgb(255, 255, 255));
            }
            y += 20;
            continue;
        }
        for (int x = 10 + random.bounded(30); x < pageWidth - 40;) {
            const int wordWidth = 10 + random.bounded(70);
            for (int row = y; row < std::min(pageHeight, y + lineHeight); ++row) {
                auto* line = reinterpret_cast<QRgb*>(page.scanLine(row));
                for (int col = x; col < x + wordWidth; ++col) {
                    if (random.bounded(3) != 0)
                        line[col] = qRgb(random.bounded(120), random.bounded(120), 60 + random.bounded(140));
                }
            }
            x += wordWidth + 6 + random.bounded(12);
        }
        y += lineHeight + 3 + random.bounded(30);
    }
    return page;
}

// A window that shows the page from row `offset()` down, moved on by a timer.
class PageWindow : public QWidget
{
public:
    PageWindow(QImage page, QImage header, QImage footer)
        : m_page(std::move(page))
        , m_header(std::move(header))
        , m_footer(std::move(footer))
    {
        setWindowTitle(QStringLiteral("Vantrel scrolling page"));
        setFixedSize(pageWidth, viewHeight);
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_offset = std::min(m_offset + m_step, m_end);
            update();
            if (m_offset == m_end)
                m_timer.stop();
        });
    }
    void scroll(int step, int end)
    {
        m_step = step;
        m_end = end;
        m_timer.start();
    }
    int offset() const { return m_offset; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(QPoint(0, 0), m_page, QRect(0, m_offset, pageWidth, viewHeight));
        p.drawImage(QPoint(0, 0), m_header);
        p.drawImage(QPoint(0, viewHeight - footerRows), m_footer);
    }

private:
    QImage m_page;
    QImage m_header;
    QImage m_footer;
    QTimer m_timer;
    int m_offset = 0;
    int m_step = 0;
    int m_end = 0;
};

using vantrel::test::historyFile;
using vantrel::test::historyRecords;
using vantrel::test::windowsTitled;
using vantrel::test::writeVantrelSettings;
using vantrel::test::xdotool;

bool windowShown(const QString& title)
{
    return !windowsTitled(title).isEmpty();
}

} // namespace

TEST(ScrollingCaptureFlow, TheDeliveredPictureIsThePageRowForRow)
{
    writeVantrelSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"afterCopy":{"bool":false},)"
                         R"("playSound":{"bool":false}})");

    const QImage page = makePage();
    const QImage header = makeBar(headerRows, qRgb(30, 60, 140), 1);
    const QImage footer = makeBar(footerRows, qRgb(210, 214, 220), 2);
    PageWindow window(page, header, footer);
    window.move(300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Painted on the screen, not only exposed: the capture reads it from there.
    const QPoint inBar = window.mapToGlobal(QPoint(5, 5));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (vantrel::test::screenPixel(inBar).rgb() & 0xffffff) == (header.pixel(5, 5) & 0xffffff); }, 5000));

    QProcess app;
    app.setProgram(QStringLiteral(VANTREL_BINARY));
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start();
    // Its shortcuts are grabbed once it answers.
    ASSERT_TRUE(vantrel::test::waitUntilVantrelIsReady());

    // Shift+Super+7, drag the area, Return to take it.
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    // From inside the bar at the top to inside the field at the bottom.
    const QRect area(origin + QPoint(50, 10), QSize(400, 480));
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+7")});
    ASSERT_TRUE(QTest::qWaitFor([] { return windowShown(QStringLiteral("Vantrel Selection")); }, 8000));
    QTest::qWait(150);
    xdotool({QStringLiteral("mousemove"), QString::number(area.left()), QString::number(area.top())});
    xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
    xdotool({QStringLiteral("mousemove"), QString::number(area.center().x()), QString::number(area.center().y())});
    xdotool({QStringLiteral("mousemove"), QString::number(area.left() + area.width()),
        QString::number(area.top() + area.height())});
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(QTest::qWaitFor([] { return windowShown(QStringLiteral("Vantrel Scrolling Capture")); }, 5000));

    // The pointer rests over the area, as it does while the wheel turns.
    xdotool({QStringLiteral("mousemove"), QString::number(area.center().x()), QString::number(area.center().y())});
    QTest::qWait(400);
    // 23 rows every 50 ms: about 83 rows per frame, with steps of every size in between.
    const int end = pageHeight - viewHeight;
    window.scroll(23, end);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.offset() == end; }, 60000));
    QTest::qWait(600); // a few frames of the last position

    // Return reaches the panel, which has the keyboard.
    const int before = historyRecords().size();
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return historyRecords().size() > before; }, 8000));
    EXPECT_FALSE(windowShown(QStringLiteral("Vantrel Scrolling Capture")));
    const QJsonObject record = historyRecords().at(0).toObject();
    EXPECT_EQ(record.value(QStringLiteral("kind")).toString(), QStringLiteral("scrolling"));

    QImage picture;
    const QString path = historyFile(record);
    ASSERT_TRUE(QTest::qWaitFor([&] { return picture.load(path); }, 5000));
    picture = picture.convertToFormat(QImage::Format_RGB32);
    // The bar's rows once, the page from under the bar to the last row shown above the field,
    // then the field's rows once.
    QImage expected(400, 40 + (end + viewHeight - footerRows - headerRows) + 30, QImage::Format_RGB32);
    {
        QPainter p(&expected);
        p.drawImage(QPoint(0, 0), header, QRect(50, 10, 400, 40));
        p.drawImage(QPoint(0, 40), page, QRect(50, headerRows, 400, end + viewHeight - footerRows - headerRows));
        p.drawImage(QPoint(0, expected.height() - 30), footer, QRect(50, 0, 400, 30));
    }
    ASSERT_EQ(picture.width(), 400);
    EXPECT_EQ(picture.height(), expected.height());
    const int rows = std::min(picture.height(), expected.height());
    int firstWrong = -1;
    for (int y = 0; y < rows && firstWrong < 0; ++y) {
        if (std::memcmp(picture.constScanLine(y), expected.constScanLine(y), 400 * 4) != 0)
            firstWrong = y;
    }
    EXPECT_EQ(firstWrong, -1) << "first row that differs from the page";

    app.terminate();
    app.waitForFinished(3000);
}
