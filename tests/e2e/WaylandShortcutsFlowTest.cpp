// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in a headless sway session whose desktop portal (this test's fake, on the
// private bus) offers global shortcuts: Vantrel binds its eleven actions there, a press the
// desktop reports captures the screen, and a restarted portal gets the shortcuts again.
#include "FakeDesktopPortal.h"
#include "WaylandTestSupport.h"
#include "X11TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// Waits for an event of the other process; the limit only ends a test that would hang.
template <typename Condition> bool eventually(Condition condition)
{
    return QTest::qWaitFor(condition, 20000);
}

} // namespace

TEST(WaylandShortcutsFlow, ThePortalsPressCapturesTheScreenAndARestartedPortalBindsAgain)
{
    ASSERT_TRUE(QGuiApplication::platformName().startsWith(QStringLiteral("wayland")));
    // No thumbnail, sound or welcome window: only the capture itself.
    const QString config
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
    ASSERT_TRUE(QDir().mkpath(config));
    QFile settings(config + QStringLiteral("/settings.json"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(R"({"afterShowOverlay":{"bool":false},"playSound":{"bool":false},"afterCopy":{"bool":false},)"
                   R"("didOnboard":{"bool":true}})");
    settings.close();

    std::optional<FakeDesktopPortal> portal;
    portal.emplace(QStringList {shortcutsInterface});
    ASSERT_TRUE(portal->registered());

    const QRgb colour = qRgb(20, 200, 90);
    SolidWindow window(QColor::fromRgb(colour), QStringLiteral("shortcut target"));
    window.resize(200, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Waiting here keeps this process answering the portal calls Vantrel makes while it starts.
    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(eventually([&] { return portal->binds.size() == 1u; })) << app.errors().toStdString();
    const auto& bind = portal->binds[0];
    const std::vector<std::pair<const char*, const char*>> named
        = {{"allInOne", "All-In-One"}, {"captureArea", "Capture Area"},
            {"capturePreviousArea", "Capture Previous Area"}, {"captureFullscreen", "Capture Fullscreen"},
            {"captureWindow", "Capture Window"}, {"selfTimer", "Self-Timer"}, {"scrollingCapture", "Scrolling Capture"},
            {"captureText", "Capture Text (OCR)"}, {"recordScreen", "Record Screen"},
            {"openHistory", "Open Capture History"}, {"pinFromClipboard", "Pin Image from Clipboard"}};
    EXPECT_EQ(bind.size(), named.size());
    for (const auto& [id, description] : named) {
        const auto proposed = bind.find(QString::fromLatin1(id));
        ASSERT_NE(proposed, bind.end()) << id;
        EXPECT_EQ(proposed->second.value(QStringLiteral("description")).toString(), QString::fromUtf8(description));
    }
    // The default keys in the layout of a keyboard-less session (xkb's default, "us").
    EXPECT_EQ(bind.at(QStringLiteral("captureArea")).value(QStringLiteral("preferred_trigger")).toString(),
        QStringLiteral("SHIFT+LOGO+s"));
    EXPECT_EQ(bind.at(QStringLiteral("allInOne")).value(QStringLiteral("preferred_trigger")).toString(),
        QStringLiteral("SHIFT+LOGO+1"));
    ASSERT_TRUE(eventually([&] { return app.errors().contains(QStringLiteral("global shortcuts bound")); }))
        << app.errors().toStdString();

    portal->activate(QStringLiteral("captureFullscreen"));
    ASSERT_TRUE(eventually([] { return historyPictures().size() == 1; })) << app.errors().toStdString();
    QImage picture;
    // The record is written whole before it is listed: wait until it reads.
    ASSERT_TRUE(eventually([&] { return !(picture = QImage(historyPictures().value(0))).isNull(); }));
    EXPECT_EQ(picture.size(), QSize(1280, 720));
    EXPECT_EQ(pixelsOf(picture, colour), 200 * 120);

    // The desktop restarts its portal: the new one gets every shortcut, and its presses work.
    portal.reset();
    portal.emplace(QStringList {shortcutsInterface});
    ASSERT_TRUE(portal->registered());
    ASSERT_TRUE(eventually([&] { return portal->binds.size() == 1u; })) << app.errors().toStdString();
    EXPECT_EQ(portal->binds[0].size(), named.size());
    ASSERT_TRUE(eventually([&] { return app.errors().count(QStringLiteral("global shortcuts bound")) == 2; }))
        << app.errors().toStdString();
    portal->activate(QStringLiteral("captureFullscreen"));
    ASSERT_TRUE(eventually([] { return historyPictures().size() == 2; })) << app.errors().toStdString();
    EXPECT_EQ(app.process().state(), QProcess::Running);
}
