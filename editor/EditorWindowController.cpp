// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorWindowController.h"

#include "BackgroundPanel.h"
#include "CanvasView.h"
#include "CaptureItem.h"
#include "CaptureSurfaces.h"
#include "EditorBottomBar.h"
#include "EditorDocument.h"
#include "EditorToolbar.h"
#include "Service.h"
#include "SystemLog.h"
#include "TextRecognition.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr double zoomStep = 1.25;
// Beyond these the view's coordinates leave the range the painter can rasterise.
constexpr double maxZoom = 32;
constexpr double minZoom = 1.0 / 32;

std::vector<EditorWindowController*>& editors()
{
    static std::vector<EditorWindowController*> list;
    return list;
}

QFrame* separator(QFrame::Shape shape, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: palette(mid);"));
    return line;
}

// Typing in a text field keeps its own Ctrl shortcuts (undo, copy, select all…).
bool isTextInput(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget);
}

QScreen* screenUnderPointer()
{
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos()))
        return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

// The editor's top-level window; its close button asks the controller first.
class EditorWindow : public QWidget
{
public:
    explicit EditorWindow(EditorWindowController* controller)
        : QWidget(nullptr, Qt::Window)
        , m_controller(controller)
    { }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (!m_controller->commitBeforeClosing()) {
            event->ignore();
            return;
        }
        event->accept();
        m_controller->windowClosed();
    }

private:
    EditorWindowController* m_controller;
};

EditorWindowController* EditorWindowController::open(const std::shared_ptr<CaptureItem>& item)
{
    if (!item || !item->image || item->image->isNull())
        return nullptr;
    if (editors().empty()) {
        // Quitting keeps the edits, as closing does.
        static const QMetaObject::Connection quitting
            = QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, &EditorWindowController::commitOpenEditors);
        Q_UNUSED(quitting);
    }
    auto* controller = new EditorWindowController(item, *item->image);
    editors().push_back(controller);
    QWidget* window = controller->window();
    window->show();
    window->raise();
    window->activateWindow();
    controller->m_canvas->setFocus(Qt::ActiveWindowFocusReason);
    return controller;
}

QList<EditorWindowController*> EditorWindowController::openEditors()
{
    return QList<EditorWindowController*>(editors().begin(), editors().end());
}

void EditorWindowController::commitOpenEditors()
{
    for (EditorWindowController* editor : editors())
        editor->commitBeforeClosing();
}

QSize EditorWindowController::windowSize(QSize pixels, double scale, QSize visible)
{
    const double s = scale > 0 ? scale : 1.0;
    const double w = std::min(std::max(pixels.width() / s + 80, 760.0), 0.9 * visible.width());
    const double h = std::min(std::max(pixels.height() / s + 150, 480.0), 0.9 * visible.height());
    // A screen too small for the minimums still gets a window that fits the bars.
    return QSize(std::max(int(std::lround(w)), minimumWidth), std::max(int(std::lround(h)), minimumHeight));
}

EditorWindowController::EditorWindowController(std::shared_ptr<CaptureItem> item, const QImage& image)
    : m_doc(std::make_unique<EditorDocument>(image, item->scale))
    , m_item(std::move(item))
    , m_window(std::make_unique<EditorWindow>(this))
{
    EditorWindow* window = m_window.get();
    window->setWindowTitle(tr("Vantrel Editor"));
    window->setMinimumSize(minimumWidth, minimumHeight);
    window->setAttribute(Qt::WA_DeleteOnClose, false);

    m_canvas = new CanvasView(m_doc.get(), window);
    m_toolbar = new EditorToolbar(m_doc.get(), m_canvas, this, window);
    m_backgroundPanel = new BackgroundPanel(m_doc.get(), m_canvas, window);
    m_bottomBar = new EditorBottomBar(m_doc.get(), this, window);

    auto* column = new QVBoxLayout(window);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_toolbar);
    column->addWidget(separator(QFrame::HLine, window));
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(m_canvas, 1);
    m_panelDivider = separator(QFrame::VLine, window);
    row->addWidget(m_panelDivider);
    row->addWidget(m_backgroundPanel);
    column->addLayout(row, 1);
    column->addWidget(separator(QFrame::HLine, window));
    column->addWidget(m_bottomBar);

    showBackgroundPanel(m_doc->showBackgroundPanel());
    connect(m_doc.get(), &EditorDocument::showBackgroundPanelChanged, this,
        [this] { showBackgroundPanel(m_doc->showBackgroundPanel()); });

    QScreen* screen = screenUnderPointer();
    const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QSize size = windowSize(image.size(), m_doc->scale(), visible.size());
    window->resize(size);
    window->move(visible.center() - QPoint(size.width() / 2, size.height() / 2));

    // The key monitor: sees the window's key presses before any widget does.
    qApp->installEventFilter(this);
    m_monitorInstalled = true;
}

EditorWindowController::~EditorWindowController()
{
    if (m_monitorInstalled)
        qApp->removeEventFilter(this);
    std::erase(editors(), this);
    // The window's widgets refer to the document: they go first.
    m_window.reset();
}

QWidget* EditorWindowController::window() const
{
    return m_window.get();
}

void EditorWindowController::showBackgroundPanel(bool shown)
{
    m_backgroundPanel->setVisible(shown);
    m_panelDivider->setVisible(shown);
}

// --- output --------------------------------------------------------------------------------

void EditorWindowController::commit()
{
    m_canvas->endTextEditing();
    m_item->replaceImage(m_doc->render());
    m_doc->setDirty(false);
}

void EditorWindowController::copy()
{
    commit();
    m_item->copyToClipboard(false);
}

void EditorWindowController::save()
{
    commit();
    m_item->save(false);
}

void EditorWindowController::saveAs()
{
    commit();
    m_item->saveAs();
}

std::optional<QUrl> EditorWindowController::committedFile()
{
    commit();
    return m_item->shareableFileURL();
}

void EditorWindowController::pin()
{
    m_canvas->endTextEditing();
    const QImage image = m_doc->render();
    if (CaptureSurfaces* surfaces = Service<CaptureSurfaces>::find())
        surfaces->pin(image, m_item->scale);
    else
        systemLog(QStringLiteral("Vantrel: pinning is not available in this process"));
}

void EditorWindowController::recognizeText()
{
    m_canvas->endTextEditing();
    const QImage image = m_doc->render();
    if (CaptureSurfaces* surfaces = Service<CaptureSurfaces>::find())
        surfaces->recognizeText(image, m_item->scale);
    else
        vantrel::recognizeText(image, m_item->scale);
}

// --- commands ------------------------------------------------------------------------------

void EditorWindowController::undo()
{
    m_canvas->endTextEditing();
    m_doc->undo();
}

void EditorWindowController::redo()
{
    m_canvas->endTextEditing();
    m_doc->redo();
}

void EditorWindowController::zoomIn()
{
    // From fit, zooming in jumps to 125 % of actual size, whatever the fitted scale was.
    const double zoom = m_canvas->zoom();
    m_canvas->setZoom(zoom == 0 ? zoomStep : std::min(zoom * zoomStep, maxZoom));
}

void EditorWindowController::zoomOut()
{
    const double zoom = m_canvas->zoom();
    m_canvas->setZoom(zoom == 0 ? 1 / zoomStep : std::max(zoom / zoomStep, minZoom));
}

void EditorWindowController::zoomToFit()
{
    m_canvas->setZoom(0);
}

void EditorWindowController::close()
{
    m_window->close();
}

bool EditorWindowController::handleShortcut(const QKeyEvent& event)
{
    if (!(event.modifiers() & Qt::ControlModifier))
        return false;
    const bool shift = event.modifiers() & Qt::ShiftModifier;
    switch (event.key()) {
    case Qt::Key_Z:
        if (shift)
            redo();
        else
            undo();
        return true;
    case Qt::Key_C: copy(); return true;
    case Qt::Key_S:
        if (shift)
            saveAs();
        else
            save();
        return true;
    case Qt::Key_W: close(); return true;
    case Qt::Key_Equal:
    case Qt::Key_Plus: zoomIn(); return true;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: zoomOut(); return true;
    case Qt::Key_0:
    case Qt::Key_ParenRight: zoomToFit(); return true;
    case Qt::Key_A: m_doc->setTool(Tool::select); return true;
    default: return false;
    }
}

bool EditorWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != m_window.get() || isTextInput(QApplication::focusWidget()))
        return false;
    return handleShortcut(*static_cast<QKeyEvent*>(event));
}

// --- closing -------------------------------------------------------------------------------

bool EditorWindowController::commitBeforeClosing()
{
    m_canvas->endTextEditing();
    if (m_doc->dirty())
        commit();
    return true;
}

void EditorWindowController::windowClosed()
{
    if (m_monitorInstalled) {
        qApp->removeEventFilter(this);
        m_monitorInstalled = false;
    }
    std::erase(editors(), this);
    deleteLater();
}

} // namespace vantrel
