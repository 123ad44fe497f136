// SPDX-License-Identifier: GPL-3.0-or-later
#include "WaylandTestSupport.h"

#include "X11TestSupport.h"
#include "wayland/WlrScreencopy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <functional>

// Each Wayland test is a Wayland client itself, and Qt 6.4's Wayland platform plugin leaves some
// of its display objects to the end of the process (one of them in a library unloaded by then,
// so no suppression can name it). The leak check stays on for Vantrel's own process, which the
// tests start from the sanitizer build too. Every Wayland test links this file.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

namespace vantrel::test {

SolidWindow::SolidWindow(QColor colour, const QString& title)
    : m_colour(colour)
{
    setTitle(title);
}

void SolidWindow::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(QRect(QPoint(), size()), m_colour);
}

int pixelsOf(const QImage& image, QRgb colour)
{
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    const QRgb wanted = colour | 0xff000000u;
    int count = 0;
    for (int y = 0; y < opaque.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
        for (int x = 0; x < opaque.width(); ++x)
            count += (row[x] | 0xff000000u) == wanted;
    }
    return count;
}

QStringList historyPictures()
{
    const QString dir = vantrelHistoryDir();
    QStringList paths;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files))
        paths.append(dir + QLatin1Char('/') + name);
    return paths;
}

QImage waitForNewHistoryPicture(const QStringList& before, int timeoutMs)
{
    QImage picture;
    // The record is written whole before it is listed, but under another name first: wait until
    // the new file reads.
    const bool found = QTest::qWaitFor(
        [&] {
            for (const QString& path : historyPictures()) {
                if (!before.contains(path) && !(picture = QImage(path)).isNull())
                    return true;
            }
            return false;
        },
        timeoutMs);
    return found ? picture : QImage();
}

std::optional<QRgb> outputPixel(QPoint at)
{
    // A connection per read: a test reads a few pixels, and the layout may change between.
    const std::unique_ptr<wayland::WlrScreencopy> screencopy = wayland::WlrScreencopy::connect();
    if (!screencopy)
        return std::nullopt;
    for (const wayland::OutputInfo& output : screencopy->outputs()) {
        if (!output.logical.contains(at))
            continue;
        const Expected<QImage> picture = screencopy->capture(output.name);
        if (!picture || picture->isNull())
            return std::nullopt;
        const double scale = double(picture->width()) / output.logical.width();
        const QPoint native((at - output.logical.topLeft()) * scale);
        return picture->pixel(native) | 0xff000000u;
    }
    return std::nullopt;
}

bool overlayIsUp(QPoint at, QRgb colour, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            const std::optional<QRgb> shown = outputPixel(at);
            return shown && *shown != (colour | 0xff000000u);
        },
        timeoutMs);
}

std::optional<QByteArray> swaymsg(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("swaymsg"), arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

QList<QRect> swayWindows(const QString& title)
{
    const std::optional<QByteArray> tree
        = swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree"), QStringLiteral("-r")});
    QList<QRect> found;
    if (!tree)
        return found;
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& node) {
        if (node.value(QStringLiteral("name")).toString() == title && node.value(QStringLiteral("visible")).toBool()) {
            const QJsonObject rect = node.value(QStringLiteral("rect")).toObject();
            found.append(QRect(rect.value(QStringLiteral("x")).toInt(), rect.value(QStringLiteral("y")).toInt(),
                rect.value(QStringLiteral("width")).toInt(), rect.value(QStringLiteral("height")).toInt()));
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue& child : node.value(QLatin1String(children)).toArray())
                walk(child.toObject());
        }
    };
    walk(QJsonDocument::fromJson(*tree).object());
    return found;
}

namespace {

bool nameOwned(const QString& name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
}

bool offersScreenshot()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"), QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage
        && reply.arguments().value(0).toString().contains(QLatin1String("org.freedesktop.portal.Screenshot"));
}

const QString accessName = QStringLiteral("org.vantrel.test.AccessPortal");
const QString wlrName = QStringLiteral("org.freedesktop.impl.portal.desktop.wlr");

} // namespace

ScreenshotPortal::ScreenshotPortal()
{
    m_ready = start();
}

ScreenshotPortal::~ScreenshotPortal()
{
    // The front end first, the daemons it talks to last.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(3000)) {
            (*it)->kill();
            (*it)->waitForFinished(1000);
        }
    }
}

QProcess* ScreenshotPortal::start(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

bool ScreenshotPortal::start()
{
    // The front end finds its backends in a folder of descriptions: the wlroots one, and ours.
    const QString wlr = QStringLiteral("/usr/share/xdg-desktop-portal/portals/wlr.portal");
    QFile access(m_portals.filePath(QStringLiteral("vantrel-test-access.portal")));
    if (!m_portals.isValid() || !QFile::copy(wlr, m_portals.filePath(QStringLiteral("wlr.portal")))
        || !access.open(QIODevice::WriteOnly)) {
        m_why = QStringLiteral("no portal descriptions (is xdg-desktop-portal-wlr installed?)");
        return false;
    }
    access.write("[portal]\nDBusName=" + accessName.toUtf8()
        + "\nInterfaces=org.freedesktop.impl.portal.Access;\nUseIn=sway;wlroots;\n");
    access.close();

    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!QFile::exists(runtime + QStringLiteral("/pipewire-0"))) {
        if (!start(QStringLiteral("pipewire"), {})
            || !QTest::qWaitFor([&] { return QFile::exists(runtime + QStringLiteral("/pipewire-0")); }, 10000)) {
            m_why = QStringLiteral("PipeWire did not start");
            return false;
        }
    }
    if (!start(QStringLiteral(VANTREL_FAKE_ACCESS_PORTAL), {accessName})
        || !start(QStringLiteral("/usr/libexec/xdg-desktop-portal-wlr"), {})
        || !QTest::qWaitFor([] { return nameOwned(accessName) && nameOwned(wlrName); }, 10000)) {
        m_why = QStringLiteral("the portal backends did not start");
        return false;
    }
    // The front end looks for its backends once, when it starts: they are on the bus by now.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), m_portals.path());
    auto frontEnd = std::make_unique<QProcess>();
    frontEnd->setProcessEnvironment(environment);
    frontEnd->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    frontEnd->setStandardOutputFile(QProcess::nullDevice());
    frontEnd->start(QStringLiteral("/usr/libexec/xdg-desktop-portal"), {QStringLiteral("--replace")});
    if (!frontEnd->waitForStarted(5000)) {
        m_why = QStringLiteral("xdg-desktop-portal did not start");
        return false;
    }
    m_processes.push_back(std::move(frontEnd));
    if (!QTest::qWaitFor(
            [] { return nameOwned(QStringLiteral("org.freedesktop.portal.Desktop")) && offersScreenshot(); }, 10000)) {
        m_why = QStringLiteral("xdg-desktop-portal offers no screenshot portal");
        return false;
    }
    return true;
}

} // namespace vantrel::test
