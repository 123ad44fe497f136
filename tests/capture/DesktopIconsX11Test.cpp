// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop icon covers on a real X server with a window manager: how many there are, what
// they show, and where they sit in the stacking order.
#include "DesktopAppearance.h"
#include "DesktopFakes.h"
#include "DesktopIconHider.h"
#include "X11TestSupport.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstring>

using namespace vantrel;
using vantrel::test::windowsTitled;

namespace {

class PlainDesktop : public DesktopAppearance
{
public:
    std::optional<QImage> wallpaper(const QScreen*) override { return std::nullopt; }
    std::optional<QColor> backgroundColor(const QScreen*) override { return colour; }
    bool reduceMotion() override { return false; }
    std::optional<QColor> colour;
};

class Coloured : public QWidget
{
public:
    explicit Coloured(QColor colour)
        : m_colour(colour)
    { }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

QRgb rootPixel(QPoint at)
{
    xcb_connection_t* c = x11::connection();
    const auto reply = x11::reply(xcb_get_image_reply, c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, x11::rootWindow(), at.x(), at.y(), 1, 1, ~0u));
    quint32 value = 0;
    if (reply && xcb_get_image_data_length(reply.get()) >= 4)
        std::memcpy(&value, xcb_get_image_data(reply.get()), 4);
    return value | 0xff000000u;
}

class DesktopIcons : public ::testing::Test, protected test::DesktopFakes
{
protected:
    PlainDesktop desktop;
    ScopedService<DesktopAppearance> desktopSlot {&desktop};
    DesktopIconHider hider;

    void TearDown() override
    {
        settings.setHideDesktopIcons(false);
        hider.apply();
        EXPECT_TRUE(
            QTest::qWaitFor([] { return windowsTitled(QStringLiteral("Vantrel Desktop Cover")).isEmpty(); }, 3000));
    }
};

} // namespace

TEST_F(DesktopIcons, TogglingLeavesAtMostOneCoverPerScreen)
{
    for (int i = 0; i < 4; ++i) {
        settings.setHideDesktopIcons(true);
        hider.apply();
        hider.apply();
    }
    EXPECT_EQ(hider.windows().size(), size_t(QGuiApplication::screens().size()));
    // Once one cover per screen is mapped, and never more.
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return windowsTitled(QStringLiteral("Vantrel Desktop Cover")).size() >= QGuiApplication::screens().size();
        },
        3000));
    EXPECT_EQ(windowsTitled(QStringLiteral("Vantrel Desktop Cover")).size(), QGuiApplication::screens().size());

    settings.setHideDesktopIcons(false);
    hider.apply();
    EXPECT_TRUE(hider.windows().empty());
}

TEST_F(DesktopIcons, CoversSitAboveTheDesktopAndBelowEveryWindow)
{
    // A desktop window standing in for the file manager's icons, and an ordinary window.
    Coloured icons(Qt::green);
    icons.setGeometry(QGuiApplication::primaryScreen()->geometry());
    const xcb_atom_t desktopType = x11::atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    xcb_change_property(x11::connection(), XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(icons.winId()),
        x11::atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &desktopType);
    icons.show();
    Coloured window(Qt::red);
    window.setGeometry(300, 300, 200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint inWindow = window.mapToGlobal(QPoint(100, 75));
    const QPoint onDesktop(1500, 900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rootPixel(onDesktop) == qRgb(0, 255, 0); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rootPixel(inWindow) == qRgb(255, 0, 0); }, 3000));

    desktop.colour = QColor(40, 60, 200);
    settings.setHideDesktopIcons(true);
    hider.apply();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rootPixel(onDesktop) == qRgb(40, 60, 200); }, 3000));
    EXPECT_EQ(rootPixel(inWindow), qRgb(255, 0, 0));

    settings.setHideDesktopIcons(false);
    hider.apply();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rootPixel(onDesktop) == qRgb(0, 255, 0); }, 3000));
}

TEST(DesktopWallpaper, TheRootPixmapIsShownOnTheCover)
{
    xcb_connection_t* c = x11::connection();
    const xcb_window_t root = x11::rootWindow();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, 24, pixmap, root, screen.width(), screen.height());
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t orange = 0xff8800;
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &orange);
    const xcb_rectangle_t all {0, 0, quint16(screen.width()), quint16(screen.height())};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, x11::atom("_XROOTPMAP_ID"), XCB_ATOM_PIXMAP, 32, 1, &pixmap);
    xcb_flush(c);

    X11DesktopAppearance appearance;
    const std::optional<QImage> wallpaper = appearance.wallpaper(QGuiApplication::primaryScreen());
    ASSERT_TRUE(wallpaper.has_value());
    EXPECT_EQ(wallpaper->size(), screen.size());
    EXPECT_EQ(wallpaper->pixel(10, 10), qRgb(255, 136, 0));

    ScopedService<DesktopAppearance> slot(&appearance);
    DesktopCover cover(QGuiApplication::primaryScreen());
    EXPECT_TRUE(cover.showsWallpaper());
    EXPECT_EQ(cover.grab().toImage().pixel(50, 50), qRgb(255, 136, 0));

    // A stale id (the pixmap freed) reads as no wallpaper, not as a crash.
    xcb_free_pixmap(c, pixmap);
    xcb_flush(c);
    EXPECT_FALSE(appearance.wallpaper(QGuiApplication::primaryScreen()).has_value());
    xcb_delete_property(c, root, x11::atom("_XROOTPMAP_ID"));
    xcb_free_gc(c, gc);
    xcb_flush(c);
}

TEST(DesktopColour, APlainRootColourIsTheCoversColour)
{
    // What `xsetroot -solid` leaves: a root window background and no pixmap property.
    QProcess xsetroot;
    xsetroot.start(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#208040")});
    ASSERT_TRUE(xsetroot.waitForFinished(5000));
    ASSERT_EQ(xsetroot.exitCode(), 0);

    X11DesktopAppearance appearance;
    EXPECT_FALSE(appearance.wallpaper(QGuiApplication::primaryScreen()).has_value());
    EXPECT_EQ(appearance.backgroundColor(QGuiApplication::primaryScreen()), QColor(0x20, 0x80, 0x40));

    ScopedService<DesktopAppearance> slot(&appearance);
    DesktopCover cover(QGuiApplication::primaryScreen());
    EXPECT_FALSE(cover.showsWallpaper());
    EXPECT_EQ(cover.grab().toImage().pixel(50, 50), qRgb(0x20, 0x80, 0x40)) << "not the theme's grey";
}

TEST(DesktopColour, PlasmaThenXfceSettingsNameThePictureAndColour)
{
    QTemporaryDir home;
    const QString kde = home.filePath(QStringLiteral("plasma-org.kde.plasma.desktop-appletsrc"));
    const QString xfce = home.filePath(QStringLiteral("xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml"));
    auto write = [](const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };

    EXPECT_FALSE(X11DesktopAppearance::configuredBackground(home.path()).picture.has_value());
    EXPECT_FALSE(X11DesktopAppearance::configuredBackground(home.path()).colour.has_value());

    write(xfce, R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-desktop" version="1.0">
  <property name="backdrop" type="empty">
    <property name="screen0" type="empty">
      <property name="monitorVirtual-1" type="empty">
        <property name="workspace0" type="empty">
          <property name="color-style" type="int" value="0"/>
          <property name="rgba1" type="array">
            <value type="double" value="0.125"/>
            <value type="double" value="0.5"/>
            <value type="double" value="0.25"/>
            <value type="double" value="1"/>
          </property>
          <property name="last-image" type="string" value="/usr/share/backgrounds/xfce/blue.png"/>
        </property>
      </property>
    </property>
  </property>
</channel>
)");
    DesktopAppearanceConfig config = X11DesktopAppearance::configuredBackground(home.path());
    EXPECT_EQ(config.picture, QStringLiteral("/usr/share/backgrounds/xfce/blue.png"));
    ASSERT_TRUE(config.colour.has_value());
    EXPECT_EQ(config.colour->rgb(), qRgb(32, 128, 64));

    // Plasma's desktop, where both are configured, wins; its image is a file URL.
    write(kde,
        "[Containments][1]\nplugin=org.kde.desktopcontainer\n\n"
        "[Containments][1][Wallpaper][org.kde.color][General]\nColor=10,20,30\n\n"
        "[Containments][1][Wallpaper][org.kde.image][General]\nImage=file:///home/u/Pictures/sea.jpg\n");
    config = X11DesktopAppearance::configuredBackground(home.path());
    EXPECT_EQ(config.picture, QStringLiteral("/home/u/Pictures/sea.jpg"));
    EXPECT_EQ(config.colour, QColor(10, 20, 30));
}
