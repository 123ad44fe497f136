// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"

#include "SingleInstance.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace vantrel::test {

QRgb patternColor(int x, int y)
{
    return qRgb((x * 7 + y) % 256, (y * 5) % 256, ((x / 16) * 37 + (y / 16) * 11) % 256);
}

PatternWindow::PatternWindow(const QRect& geometry, Placement placement, std::optional<QColor> plain)
    : m_plain(plain)
{
    Qt::WindowFlags flags = Qt::Window;
    if (placement == Placement::exact)
        flags |= Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus;
    if (placement == Placement::managedFrameless)
        flags |= Qt::FramelessWindowHint;
    setWindowFlags(flags);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setGeometry(geometry);
}

bool PatternWindow::showAndWait()
{
    const int before = m_paints;
    show();
    if (!QTest::qWaitForWindowExposed(this, 5000))
        return false;
    if (!QTest::qWaitFor([&] { return m_paints > before; }, 5000))
        return false;
    // The paint has reached the screen once the window's middle reads as painted. A test may
    // cover that middle on purpose; then the wait ends after a second and the window counts as
    // shown all the same.
    const QPoint centre = rect().center();
    const QColor expected = m_plain ? *m_plain : QColor(patternColor(centre.x(), centre.y()));
    (void)QTest::qWaitFor([&] { return near(screenPixel(mapToGlobal(centre)), expected, 2); }, 1000);
    return true;
}

void PatternWindow::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter painter(this);
    if (m_plain) {
        painter.fillRect(rect(), *m_plain);
        return;
    }
    // Native-resolution picture so that nothing is filtered when drawn.
    const qreal scale = devicePixelRatioF();
    const int s = int(scale);
    QImage picture(width() * s, height() * s, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            row[x] = patternColor(x / s, y / s);
    }
    picture.setDevicePixelRatio(s);
    painter.drawImage(QPoint(0, 0), picture);
}

std::optional<QByteArray> runProcess(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return std::nullopt;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

QString xdotool(const QStringList& arguments)
{
    const std::optional<QByteArray> out = runProcess(QStringLiteral("xdotool"), arguments);
    EXPECT_TRUE(out.has_value()) << "xdotool " << arguments.join(QLatin1Char(' ')).toStdString();
    return out ? QString::fromUtf8(*out).trimmed() : QString();
}

QStringList windowsTitled(const QString& title)
{
    const QStringList arguments {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
        QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')};
    // xdotool answers 1 when nothing matches: that is an empty list. It also fails when a window
    // goes away while it looks at it (a BadWindow error on standard error): that says nothing
    // about the windows asked for, so it asks again rather than report none.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), arguments);
        if (!process.waitForStarted(5000))
            break;
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
            process.kill();
            process.waitForFinished(1000);
            break;
        }
        const QByteArray errors = process.readAllStandardError();
        if (process.exitStatus() == QProcess::NormalExit && errors.trimmed().isEmpty()) {
            if (process.exitCode() == 0)
                return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (process.exitCode() == 1)
                return {};
        }
    }
    ADD_FAILURE() << "xdotool could not list the windows titled " << title.toStdString();
    return {};
}

std::optional<quint32> waitForWindow(const QString& title, int timeoutMs)
{
    std::optional<quint32> id;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList ids = windowsTitled(title);
            if (ids.size() == 1)
                id = ids[0].toUInt();
            return id.has_value();
        },
        timeoutMs);
    return id;
}

QRect serverGeometry(quint32 window)
{
    const std::optional<QByteArray> out
        = runProcess(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!out)
        return {};
    auto field = [&](const char* name) {
        for (const QByteArray& line : out->split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith(name))
                return trimmed.mid(qstrlen(name)).trimmed().toInt();
        }
        return -1;
    };
    return QRect(field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:"));
}

void syncWithServer()
{
    if (xcb_connection_t* c = x11::connection())
        x11::reply(xcb_get_input_focus_reply, c, xcb_get_input_focus(c));
}

QImage grabDesktop()
{
    xcb_connection_t* c = x11::connection();
    if (!c)
        return {};
    const auto geometry = x11::reply(xcb_get_geometry_reply, c, xcb_get_geometry(c, x11::rootWindow()));
    if (!geometry)
        return {};
    const int w = geometry->width, h = geometry->height;
    const auto image = x11::reply(xcb_get_image_reply, c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, x11::rootWindow(), 0, 0, quint16(w), quint16(h), ~0u));
    if (!image || xcb_get_image_data_length(image.get()) < w * h * 4)
        return {};
    // 32 bits a pixel in the server's byte order, as Qt's RGB32 on the little-endian machines
    // the tests run on; the unused byte is forced opaque.
    QImage result(w, h, QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const quint32*>(xcb_get_image_data(image.get()));
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint32*>(result.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = data[qsizetype(y) * w + x] | 0xff000000u;
    }
    return result;
}

QColor screenPixel(QPoint at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

bool near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string describe(const QColor& c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()).toStdString();
}

QString vantrelConfigDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
}

QString vantrelHistoryDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantrel/History");
}

void writeVantrelSettings(const QByteArray& json)
{
    ASSERT_TRUE(QDir().mkpath(vantrelConfigDir()));
    QFile settings(vantrelConfigDir() + QStringLiteral("/settings.json"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(settings.write(json), json.size());
}

QJsonArray historyRecords()
{
    QFile file(vantrelHistoryDir() + QStringLiteral("/history.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).array();
}

QString historyFile(const QJsonObject& record)
{
    return vantrelHistoryDir() + QLatin1Char('/') + record.value(QStringLiteral("fileName")).toString();
}

std::optional<QByteArray> clipboardContents(const QString& target)
{
    return runProcess(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), target,
            QStringLiteral("-o")});
}

VantrelProcess::VantrelProcess(const QString& program, const QStringList& arguments)
{
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
}

VantrelProcess::~VantrelProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
}

QString VantrelProcess::errors()
{
    m_stderr += QString::fromUtf8(m_process.readAllStandardError());
    return m_stderr;
}

bool vantrelOnTheBus()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QString::fromLatin1(SingleInstance::defaultServiceName));
}

QDBusMessage callVantrel(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SingleInstance::defaultServiceName),
        QString::fromLatin1(SingleInstance::objectPath), QString::fromLatin1(SingleInstance::interfaceName), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

bool waitUntilVantrelIsReady(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    if (!QTest::qWaitFor(vantrelOnTheBus, timeoutMs))
        return false;
    // The name is taken first thing; calls are answered from the event loop, which runs only
    // once start-up is over. Opening no files does nothing else.
    const int left = std::max(1, timeoutMs - int(clock.elapsed()));
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SingleInstance::defaultServiceName),
        QString::fromLatin1(SingleInstance::objectPath), QString::fromLatin1(SingleInstance::interfaceName),
        QStringLiteral("OpenFiles"));
    call.setArguments({QStringList()});
    return QDBusConnection::sessionBus().call(call, QDBus::Block, left).type() == QDBusMessage::ReplyMessage;
}

} // namespace vantrel::test
