// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history window in the real vantrel process in a private X session: full-screen
// captures, then Shift+Super+H; a double click on a cell opens the editor, Delete on a cell
// takes the capture's file and record away. Driven only through XTest.
#include "X11TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

using vantrel::test::historyRecords;
using vantrel::test::waitForWindow;
using vantrel::test::writeVantrelSettings;
using vantrel::test::xdotool;

namespace {

QString fileOf(const QJsonValue& record)
{
    return vantrel::test::historyFile(record.toObject());
}

QString activeWindow()
{
    const std::optional<QByteArray> out
        = vantrel::test::runProcess(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    return out ? QString::fromLatin1(*out).trimmed() : QString();
}

// The middle of the first cell's picture, in root coordinates: the grid starts under the
// filter row (about 60 points) with a 14-point margin, and its cells are at least 180 points
// wide and 130 high.
QPoint firstCell(const QRect& client)
{
    return client.topLeft() + QPoint(14 + 90, 130);
}

} // namespace

TEST(HistoryWindowFlow, ShiftSuperHShowsTheCapturesADoubleClickEditsAndDeleteRemoves)
{
    // First start done, no thumbnails in the corner, no sound.
    writeVantrelSettings(
        R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"playSound":{"bool":false}})");
    vantrel::test::VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(vantrel::test::waitUntilVantrelIsReady()) << app.errors().toStdString();

    // Two real captures of the whole screen.
    for (int count = 1; count <= 2; ++count) {
        xdotool({QStringLiteral("key"), QStringLiteral("shift+super+f")});
        ASSERT_TRUE(QTest::qWaitFor([&] { return historyRecords().size() == count; }, 10000))
            << app.errors().toStdString();
    }
    const QJsonArray captured = historyRecords();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFile::exists(fileOf(captured[0])) && QFile::exists(fileOf(captured[1])); }, 10000));

    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+h")});
    const std::optional<quint32> window = waitForWindow(QStringLiteral("Capture History"));
    ASSERT_TRUE(window) << app.errors().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == QString::number(*window); }, 5000))
        << "the window comes to the front with the keyboard";
    const QRect client = vantrel::test::serverGeometry(*window);
    EXPECT_EQ(client.size(), QSize(820, 560));
    // Centred on the 1920 × 1080 screen (a title bar may push it down a little).
    EXPECT_LE(std::abs(client.center().x() - 960), 2);
    EXPECT_LE(std::abs(client.center().y() - 540), 40);

    // A double click on the newest capture opens it in the editor.
    const QPoint cell = firstCell(client);
    xdotool({QStringLiteral("mousemove"), QString::number(cell.x()), QString::number(cell.y())});
    xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
        QStringLiteral("80"), QStringLiteral("1")});
    const std::optional<quint32> editor = waitForWindow(QStringLiteral("Vantrel Editor"));
    ASSERT_TRUE(editor) << app.errors().toStdString();
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(*editor)});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+w")});
    ASSERT_TRUE(
        QTest::qWaitFor([] { return vantrel::test::windowsTitled(QStringLiteral("Vantrel Editor")).isEmpty(); }, 5000));

    // A click selects the cell, Delete takes the capture away: file and record.
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(*window)});
    xdotool({QStringLiteral("mousemove"), QString::number(cell.x()), QString::number(cell.y())});
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
    xdotool({QStringLiteral("key"), QStringLiteral("Delete")});
    const QString deletedFile = fileOf(captured[0]);
    EXPECT_TRUE(QTest::qWaitFor([&] { return historyRecords().size() == 1; }, 5000)) << app.errors().toStdString();
    ASSERT_EQ(historyRecords().size(), 1);
    EXPECT_EQ(
        historyRecords()[0].toObject().value(QStringLiteral("id")), captured[1].toObject().value(QStringLiteral("id")));
    EXPECT_FALSE(QFile::exists(deletedFile));
    EXPECT_TRUE(QFile::exists(fileOf(captured[1])));

    // Closed and opened again: one window, showing what is left.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+w")});
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return vantrel::test::windowsTitled(QStringLiteral("Capture History")).isEmpty(); }, 5000));
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+h")});
    EXPECT_TRUE(waitForWindow(QStringLiteral("Capture History")).has_value());
    EXPECT_EQ(historyRecords().size(), 1);
}
