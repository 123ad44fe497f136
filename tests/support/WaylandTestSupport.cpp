// SPDX-License-Identifier: GPL-3.0-or-later
#include "WaylandTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
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

bool writeVantrelSettings(const QByteArray& json)
{
    const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
    QJsonObject settings = QJsonDocument::fromJson(json).object();
    settings.insert(QStringLiteral("didOnboard"), QJsonObject {{QStringLiteral("bool"), true}});
    QFile file(folder + QStringLiteral("/settings.json"));
    return QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(settings).toJson()) > 0;
}

QStringList historyPictures()
{
    const QString dir
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantrel/History");
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

} // namespace vantrel::test
