// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace vantrel::test {

LogCapture::LogCapture()
{
    setSystemLogSink([this](const QString& line) { m_lines.append(line); });
}

LogCapture::~LogCapture()
{
    setSystemLogSink({});
}

std::optional<GlobalHotKeys::Reference> FakeGlobalHotKeys::registerHotKey(
    quint32 keyCode, quint32 modifiers, quint32 identifier)
{
    if (refused.count({keyCode, modifiers}))
        return std::nullopt;
    const Reference ref = ++m_next;
    active[ref] = Registration {keyCode, modifiers, identifier};
    return ref;
}

void FakeGlobalHotKeys::unregisterHotKey(Reference reference)
{
    active.erase(reference);
}

bool FakeGlobalHotKeys::press(quint32 keyCode, quint32 modifiers)
{
    for (const auto& [ref, registration] : active) {
        if (registration.keyCode == keyCode && registration.modifiers == modifiers) {
            m_handler(registration.identifier);
            return true;
        }
    }
    return false;
}

std::optional<QString> FakeKeyboardLayout::character(quint32 virtualKeyCode)
{
    if (!available)
        return std::nullopt;
    if (auto it = overrides.find(virtualKeyCode); it != overrides.end())
        return it->second;
    static const std::map<quint32, char> us = {{0, 'a'}, {1, 's'}, {2, 'd'}, {3, 'f'}, {4, 'h'}, {5, 'g'}, {6, 'z'},
        {7, 'x'}, {8, 'c'}, {9, 'v'}, {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'}, {16, 'y'}, {17, 't'},
        {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'}, {23, '5'}, {25, '9'}, {26, '7'}, {28, '8'}, {29, '0'},
        {31, 'o'}, {32, 'u'}, {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {40, 'k'}, {45, 'n'}, {46, 'm'}};
    if (auto it = us.find(virtualKeyCode); it != us.end())
        return QString(QChar::fromLatin1(it->second));
    return QString();
}

std::optional<QString> FakeLoginItem::setEnabled(bool value)
{
    if (failure)
        return failure;
    enabled = value;
    return std::nullopt;
}

namespace {

int screenIndex(const QScreen* screen)
{
    return int(QGuiApplication::screens().indexOf(const_cast<QScreen*>(screen)));
}

} // namespace

QRgb FakeScreenGrabber::syntheticPixel(int index, int x, int y)
{
    return qRgb(x % 256, y % 256, (40 * (index + 1)) % 256);
}

QImage FakeScreenGrabber::screenImage(const QScreen* screen) const
{
    if (auto it = screenImages.find(screen); it != screenImages.end())
        return it->second;
    const qreal scale = screen->devicePixelRatio();
    const QSize size(int(screen->geometry().width() * scale), int(screen->geometry().height() * scale));
    QImage image(size, QImage::Format_RGB32);
    const int index = screenIndex(screen);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = syntheticPixel(index, x, y);
    }
    return image;
}

std::optional<quint32> FakeScreenGrabber::displayID(const QScreen* screen)
{
    if (!screen || unnamedScreens.count(screen))
        return std::nullopt;
    if (auto it = ids.find(screen); it != ids.end())
        return it->second;
    return quint32(100 + screenIndex(screen));
}

Expected<QImage> FakeScreenGrabber::grabScreen(const QScreen* screen, const QRect& nativeRect)
{
    screenGrabs.emplace_back(screen, nativeRect);
    if (failingScreens.count(screen))
        return Error {
            .domain = QStringLiteral("FakeScreenGrabber"), .code = 7, .description = QStringLiteral("refused")};
    const QImage whole = screenImage(screen);
    const QRect area = nativeRect & whole.rect();
    if (area.isEmpty())
        return Error {
            .domain = QStringLiteral("FakeScreenGrabber"), .code = 8, .description = QStringLiteral("outside")};
    return whole.copy(area);
}

std::vector<WindowInfo> FakeScreenGrabber::windowsFrontToBack()
{
    ++windowListRequests;
    return windows;
}

Expected<QImage> FakeScreenGrabber::grabWindow(quint32 windowId)
{
    windowGrabs.push_back(windowId);
    if (failingWindows.count(windowId))
        return Error {.domain = QStringLiteral("FakeScreenGrabber"), .code = 9, .description = QStringLiteral("gone")};
    if (auto it = windowImages.find(windowId); it != windowImages.end())
        return it->second;
    for (const WindowInfo& window : windows) {
        if (window.id == windowId) {
            QImage image(window.nativeFrame.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(qRgb(128, 128, 128));
            return image;
        }
    }
    return Error {.domain = QStringLiteral("FakeScreenGrabber"), .code = 9, .description = QStringLiteral("gone")};
}

void FakeClipboard::write(const ClipboardContents& contents)
{
    current = contents;
    ++writes;
}

void FakeClipboard::clear()
{
    current.reset();
    ++clears;
}

FakeRecordingSession::FakeRecordingSession(const RecordingRequest& request)
    : request(request)
{
    QFile file(request.outputPath);
    if (file.open(QIODevice::WriteOnly))
        file.write("fake movie");
}

FakeRecordingSession::~FakeRecordingSession()
{
    // Like the real one: a session that was not finished takes its file with it.
    if (!finished)
        QFile::remove(request.outputPath);
}

void FakeRecordingSession::finish(Completion completion)
{
    ++finishes;
    // The session lives until it has answered, as a real one finishing in the background does.
    QTimer::singleShot(0, [self = shared_from_this(), this, completion = std::move(completion)] {
        if (finishFailure) {
            QFile::remove(request.outputPath);
            completion(*finishFailure);
            return;
        }
        finished = true;
        RecordingResult result;
        result.path = request.outputPath;
        result.pixelSize = request.pixelSize;
        completion(result);
    });
}

void FakeRecordingSession::end(RecordingEnd how, const Error& error)
{
    if (EndHandler handler = std::move(m_endHandler))
        handler(how, error);
}

void FakeScreenRecording::start(const RecordingRequest& request, StartCompletion completion)
{
    requests.push_back(request);
    QTimer::singleShot(0, [this, request, completion = std::move(completion)] {
        if (startFailure) {
            completion(*startFailure);
            return;
        }
        auto session = std::make_shared<FakeRecordingSession>(request);
        lastSession = session;
        completion(std::shared_ptr<RecordingSession>(session));
    });
}

} // namespace vantrel::test
