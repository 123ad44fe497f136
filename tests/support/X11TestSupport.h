// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDBusMessage>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <string>

// What the X11 tests share: windows of known content, and the desktop as other programs see
// it (xdotool, xwininfo, the screen's pixels).
namespace vantrel::test {

// The colour of point (x, y) of a pattern window: every point of a 256 × 256 area differs, so a
// crop that is off by one point, or scaled, does not match.
QRgb patternColor(int x, int y);

// A window that paints patternColor at every point (each point covers scale × scale native
// pixels), or one plain colour.
class PatternWindow : public QWidget
{
public:
    enum class Placement {
        exact, // not managed: lies exactly at the given rectangle, no frame
        managed, // placed and framed by the window manager
        managedFrameless,
    };
    PatternWindow(const QRect& geometry, Placement placement, std::optional<QColor> plain = std::nullopt);

    // Shows the window and waits until it is mapped and its first paint is on screen.
    bool showAndWait();
    int paints() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QColor> m_plain;
    int m_paints = 0;
};

// Runs a program to completion while Qt's events keep flowing (our own process may have to
// answer it, as the clipboard owner does). Returns standard output; none on failure.
std::optional<QByteArray> runProcess(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

// Runs xdotool; a failure fails the test (without ending it). Returns its output.
QString xdotool(const QStringList& arguments);
// The ids of the mapped windows whose whole title is `title`.
QStringList windowsTitled(const QString& title);
// The one mapped window titled `title`, waited for up to `timeoutMs`; none when there is not
// exactly one by then.
std::optional<quint32> waitForWindow(const QString& title, int timeoutMs = 8000);
// A window's frame as the X server has it, in root coordinates.
QRect serverGeometry(quint32 window);

// One round trip to the X server on Qt's connection: every request this process has made is
// carried out before it returns, so another client (xdotool) sees its effect.
void syncWithServer();

// The whole root window as it shows now, in native pixels.
QImage grabDesktop();

// What is on screen at a point (global coordinates), windows of every kind included.
QColor screenPixel(QPoint at);
// Each channel within `tolerance`.
bool near(const QColor& a, const QColor& b, int tolerance = 12);
std::string describe(const QColor& c);

// The files of a Vantrel started from this process: it shares the test's private XDG folders.
QString vantrelConfigDir();
QString vantrelHistoryDir();
// Writes the settings the next start reads; a failure fails the test.
void writeVantrelSettings(const QByteArray& json);
// history.json's records, newest first; none while it does not exist.
QJsonArray historyRecords();
// The file a history record names.
QString historyFile(const QJsonObject& record);

// The clipboard as another client reads it (xclip), in the format `target`; none when it does
// not offer that format.
std::optional<QByteArray> clipboardContents(const QString& target = QStringLiteral("UTF8_STRING"));

// The real application started in the test's private session (`program` is the built vantrel);
// ended when the object goes. Standard error is kept for the test to read.
class VantrelProcess
{
public:
    explicit VantrelProcess(const QString& program, const QStringList& arguments = {});
    ~VantrelProcess();
    QProcess& process() { return m_process; }
    QString errors();

private:
    QProcess m_process;
    QString m_stderr;
};

// Whether a Vantrel holds its name on the session bus.
bool vantrelOnTheBus();
// Calls a method of the running Vantrel's bus interface and waits for the answer.
QDBusMessage callVantrel(const QString& method, const QVariantList& arguments = {});
// Waits until a Vantrel holds its name and its event loop answers a call: its start-up, the
// global shortcuts included, has finished by then.
bool waitUntilVantrelIsReady(int timeoutMs = 15000);

} // namespace vantrel::test
