// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clipboard.h"
#include "FolderDialog.h"
#include "GlobalHotKeys.h"
#include "KeyboardLayout.h"
#include "LoginItem.h"
#include "QtPrinters.h"
#include "SaveDialog.h"
#include "ScreenGrabber.h"
#include "ScreenRecording.h"
#include "SystemLog.h"
#include "Toasts.h"
#include "Workspace.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace vantrel::test {

// Collects the system log lines written while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    const QStringList& lines() const { return m_lines; }

private:
    QStringList m_lines;
};

// Remembers every toast instead of showing it.
class RecordingToasts : public ToastPresenter
{
public:
    void show(const ToastRequest& request) override { requests.push_back(request); }
    void dismiss() override { ++dismissals; }
    std::vector<ToastRequest> requests;
    int dismissals = 0;
};

// A desktop shortcut service that refuses chosen combinations and can press the others.
class FakeGlobalHotKeys : public GlobalHotKeys
{
public:
    struct Registration
    {
        quint32 keyCode;
        quint32 modifiers;
        quint32 identifier;
    };

    std::optional<Reference> registerHotKey(quint32 keyCode, quint32 modifiers, quint32 identifier) override;
    void unregisterHotKey(Reference reference) override;
    void setPressHandler(PressHandler handler) override { m_handler = std::move(handler); }
    void setKeymapChangedHandler(std::function<void()> handler) override { m_keymapHandler = std::move(handler); }
    void changeKeymap() { m_keymapHandler(); }
    // The desktop's words for the keys it bound, by identifier, as a shortcut portal reports them.
    QString boundTrigger(quint32 identifier) const override
    {
        const auto found = triggers.find(identifier);
        return found != triggers.end() ? found->second : QString();
    }
    void setBoundTriggersChangedHandler(std::function<void()> handler) override
    {
        m_triggersHandler = std::move(handler);
    }
    void changeTriggers(std::map<quint32, QString> changed)
    {
        triggers = std::move(changed);
        if (m_triggersHandler)
            m_triggersHandler();
    }
    std::map<quint32, QString> triggers;

    // Presses a registered combination; false when nothing is registered for it.
    bool press(quint32 keyCode, quint32 modifiers);
    void pressIdentifier(quint32 identifier) { m_handler(identifier); }

    std::set<std::pair<quint32, quint32>> refused;
    std::map<Reference, Registration> active;
    int handlerInstalls() const { return m_handler ? 1 : 0; }

private:
    PressHandler m_handler;
    std::function<void()> m_keymapHandler;
    std::function<void()> m_triggersHandler;
    Reference m_next = 0;
};

// A US-like layout for letters and digits, or no layout at all.
class FakeKeyboardLayout : public KeyboardLayout
{
public:
    std::optional<QString> character(quint32 virtualKeyCode) override;
    bool available = true;
    std::map<quint32, QString> overrides;
};

class FakeLoginItem : public LoginItem
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool value) override;
    bool enabled = false;
    std::optional<QString> failure;
};

// Screens with synthetic pictures and a window list set by the test. Unless a test sets a
// picture, native pixel (x, y) of screen number i (in QGuiApplication::screens() order) is
// qRgb(x % 256, y % 256, 40 * (i + 1)), so a crop shows where it came from and which screen.
class FakeScreenGrabber : public ScreenGrabber
{
public:
    std::optional<quint32> displayID(const QScreen* screen) override;
    Expected<QImage> grabScreen(const QScreen* screen, const QRect& nativeRect) override;
    std::vector<WindowInfo> windowsFrontToBack() override;
    Expected<QImage> grabWindow(quint32 windowId) override;

    // The whole picture of a screen in native pixels (geometry × device pixel ratio, truncated).
    QImage screenImage(const QScreen* screen) const;
    static QRgb syntheticPixel(int screenIndex, int x, int y);

    std::map<const QScreen*, QImage> screenImages;
    std::map<const QScreen*, quint32> ids; // default: 100 + screen index
    std::set<const QScreen*> unnamedScreens; // answer no display id
    std::set<const QScreen*> failingScreens;
    std::vector<WindowInfo> windows; // front to back
    std::map<quint32, QImage> windowImages; // default: opaque grey of the native frame size
    std::set<quint32> failingWindows;

    std::vector<std::pair<const QScreen*, QRect>> screenGrabs; // every request, in order
    std::vector<quint32> windowGrabs;
    int windowListRequests = 0;
};

// Remembers what was put on the clipboard.
class FakeClipboard : public Clipboard
{
public:
    void write(const ClipboardContents& contents) override;
    void clear() override;
    std::optional<QImage> image() override { return current ? current->image : std::nullopt; }

    std::optional<ClipboardContents> current; // none after clear()
    int writes = 0;
    int clears = 0;
};

class FakeWorkspace : public Workspace
{
public:
    bool open(const QUrl& url) override
    {
        opened.push_back(url);
        return true;
    }
    void reveal(const QUrl& fileURL) override { revealed.push_back(fileURL); }
    void openWith(const QUrl& fileURL) override { openedWith.push_back(fileURL); }
    std::vector<QUrl> opened;
    std::vector<QUrl> revealed;
    std::vector<QUrl> openedWith;
};

// Answers every save dialog with `answer` (none = the user cancels).
class FakeSaveDialog : public SaveDialog
{
public:
    std::optional<QString> run(const SaveDialogRequest& request) override
    {
        requests.push_back(request);
        return answer;
    }
    std::optional<QString> answer;
    std::vector<SaveDialogRequest> requests;
};

// Answers every folder dialog with `answer` (none = the user cancels).
class FakeFolderDialog : public FolderDialog
{
public:
    std::optional<QString> run(const QString& startDirectory, QWidget* parent) override
    {
        starts.push_back(startDirectory);
        parents.push_back(parent);
        return answer;
    }
    std::optional<QString> answer;
    std::vector<QString> starts;
    std::vector<QWidget*> parents;
};

// A recording session that writes a few bytes to its file at once; the test decides how it
// finishes or ends.
class FakeRecordingSession : public RecordingSession, public std::enable_shared_from_this<FakeRecordingSession>
{
public:
    explicit FakeRecordingSession(const RecordingRequest& request);
    ~FakeRecordingSession() override;
    void finish(Completion completion) override;
    void setEndHandler(EndHandler handler) override { m_endHandler = std::move(handler); }

    // Ends the recording by itself, as a full disk or a vanished screen would.
    void end(RecordingEnd how, const Error& error);

    RecordingRequest request;
    std::optional<Error> finishFailure; // finish reports this instead of a file
    int finishes = 0;
    bool finished = false;

private:
    EndHandler m_endHandler;
};

// Starts fake sessions (or fails with `startFailure`) one event-loop turn after being asked.
class FakeScreenRecording : public ScreenRecording
{
public:
    void start(const RecordingRequest& request, StartCompletion completion) override;

    std::optional<Error> startFailure;
    std::vector<RecordingRequest> requests;
    std::weak_ptr<FakeRecordingSession> lastSession;
};

} // namespace vantrel::test
