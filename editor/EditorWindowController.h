// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QUrl>

#include <memory>
#include <optional>

class QKeyEvent;
class QWidget;

namespace vantrel {

class BackgroundPanel;
class CanvasView;
class CaptureItem;
class EditorBottomBar;
class EditorDocument;
class EditorToolbar;
class EditorWindow;

// One annotation editor window for one capture: the document, the canvas with the toolbar, the
// background panel and the bottom bar, the editor's Ctrl shortcuts, and handing the edited
// image back to the capture item (copy, save, share, drag out, or closing). Main thread only.
class EditorWindowController : public QObject
{
    Q_OBJECT
public:
    static constexpr int minimumWidth = 720; // points
    static constexpr int minimumHeight = 420;

    // Opens an editor for the item and brings it to the front. Nothing happens (and null comes
    // back) when the item has no image.
    static EditorWindowController* open(const std::shared_ptr<CaptureItem>& item);
    // Every editor whose window is open, oldest first.
    static QList<EditorWindowController*> openEditors();

    // The window size in points for an image of `pixels` at `scale` on a screen whose usable
    // area is `visible` (points): the image plus room for the bars, at least 760 × 480, at most
    // 90 % of the screen.
    static QSize windowSize(QSize pixels, double scale, QSize visible);
    // Hands every open editor's unsaved edits to its item, as closing would; run when the
    // application quits, which closes no windows.
    static void commitOpenEditors();

    ~EditorWindowController() override;

    EditorDocument& doc() const { return *m_doc; }
    const std::shared_ptr<CaptureItem>& item() const { return m_item; }
    CanvasView* canvas() const { return m_canvas; }
    QWidget* window() const;
    EditorToolbar* toolbar() const { return m_toolbar; }
    BackgroundPanel* backgroundPanel() const { return m_backgroundPanel; }
    EditorBottomBar* bottomBar() const { return m_bottomBar; }

    // Ends text editing, renders and hands the image to the item; the document is clean after.
    void commit();
    void copy();
    void save();
    void saveAs();
    // The file to share or drag out, after a commit; none when the item yields no file.
    std::optional<QUrl> committedFile();
    void pin();
    void recognizeText();
    void undo();
    void redo();
    void zoomIn();
    void zoomOut();
    void zoomToFit();
    // Closes the window as its close button does.
    void close();

    // The editor's Ctrl shortcuts; true when the key was one of them.
    bool handleShortcut(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class EditorWindow;
    EditorWindowController(std::shared_ptr<CaptureItem> item, const QImage& image);
    void showBackgroundPanel(bool shown);
    // From the window's close event: before the close (ends text editing and commits a dirty
    // document; answers whether the window may close) and once it has.
    bool commitBeforeClosing();
    void windowClosed();

    std::unique_ptr<EditorDocument> m_doc;
    std::shared_ptr<CaptureItem> m_item;
    std::unique_ptr<EditorWindow> m_window;
    CanvasView* m_canvas = nullptr;
    EditorToolbar* m_toolbar = nullptr;
    BackgroundPanel* m_backgroundPanel = nullptr;
    QWidget* m_panelDivider = nullptr;
    EditorBottomBar* m_bottomBar = nullptr;
    bool m_monitorInstalled = false;
};

} // namespace vantrel
