// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace vantrel {

class EditorDocument;
class EditorWindowController;

// "%lld × %lld px" of an output size in pixels.
QString outputSizeLabel(long long width, long long height);

// What dragging the capture out of the editor carries: the file, and its picture 140 points
// wide held at its centre.
struct DragPayload
{
    std::unique_ptr<QMimeData> mimeData;
    QPixmap pixmap;
    QPoint hotSpot;
};
// None when there is no file to drag. `devicePixelRatio` of the screen the drag starts on.
std::optional<DragPayload> dragPayload(const std::optional<QUrl>& file, double devicePixelRatio);

// "✥  Drag me": dragging on it commits the edits and drags the capture's file into other
// applications.
class DragHandle : public QWidget
{
    Q_OBJECT
public:
    DragHandle(EditorWindowController* controller, QWidget* parent);
    QSize sizeHint() const override { return QSize(96, 28); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    EditorWindowController* m_controller;
    std::optional<QPoint> m_pressAt;
};

// The editor's bottom bar: the output size, the drag handle, and Text, Pin, Share, Save As…,
// Copy and Save.
class EditorBottomBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int barHeight = 46; // points

    EditorBottomBar(EditorDocument* doc, EditorWindowController* controller, QWidget* parent);

    QLabel* sizeLabel() const { return m_size; }
    DragHandle* dragHandle() const { return m_dragHandle; }
    QPushButton* textButton() const { return m_text; }
    QPushButton* pinButton() const { return m_pin; }
    QToolButton* shareButton() const { return m_share; }
    QPushButton* saveAsButton() const { return m_saveAs; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* saveButton() const { return m_save; }

    // The share menu for a file: open it with another application, show it in the file manager,
    // or copy its path. Owned by the caller.
    static QMenu* shareMenu(const QUrl& file, QWidget* parent);

    void refresh();

private:
    void share();

    EditorDocument* m_doc;
    EditorWindowController* m_controller;
    QLabel* m_size;
    DragHandle* m_dragHandle;
    QPushButton* m_text;
    QPushButton* m_pin;
    QToolButton* m_share;
    QPushButton* m_saveAs;
    QPushButton* m_copy;
    QPushButton* m_save;
};

} // namespace vantrel
