// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Tool.h"

#include <QColor>
#include <QList>
#include <QWidget>

#include <array>
#include <map>
#include <optional>
#include <vector>

class QAbstractButton;
class QComboBox;
class QMenu;
class QPushButton;
class QToolButton;

namespace vantrel {

class CanvasView;
class EditorDocument;
class EditorWindowController;

// The named colours of the swatch row, in order: red, orange, yellow, green, blue, purple, pink,
// white, black.
const std::array<QColor, 9>& swatchColors();

// "%lld pt" of a size in points.
QString pointLabel(long long points);

// The editor's top bar: tools in four groups, colours, stroke width, the arrow and text style
// pickers when they apply, crop Done/Reset, undo/redo, rotate/flip/resize and the background
// panel toggle. Every control acts on the document (ending any inline text editing first) and
// follows it. A window too narrow for one row wraps the bar onto more rows: nothing is ever out
// of sight.
class EditorToolbar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int barHeight = 52; // points, for one row
    static inline const std::vector<std::vector<Tool>> groups = {
        {Tool::select, Tool::crop},
        {Tool::rectangle, Tool::filledRect, Tool::ellipse, Tool::line, Tool::arrow},
        {Tool::text, Tool::pencil, Tool::highlighter, Tool::counter},
        {Tool::blur, Tool::pixelate, Tool::spotlight},
    };
    static constexpr std::array<int, 6> strokeWidths = {1, 2, 3, 5, 8, 12}; // points
    static constexpr std::array<int, 7> fontSizes = {12, 14, 18, 24, 32, 48, 64}; // points

    EditorToolbar(EditorDocument* doc, CanvasView* canvas, EditorWindowController* controller, QWidget* parent);

    QAbstractButton* toolButton(Tool tool) const { return m_toolButtons.at(tool); }
    const std::map<Tool, QAbstractButton*>& toolButtons() const { return m_toolButtons; }
    const std::vector<QAbstractButton*>& swatches() const { return m_swatches; }
    QToolButton* colorWell() const { return m_colorWell; }
    QToolButton* strokeWidthButton() const { return m_strokeWidth; }
    QComboBox* arrowStylePicker() const { return m_arrowStyle; }
    QComboBox* textStylePicker() const { return m_textStyle; }
    QToolButton* fontSizeButton() const { return m_fontSize; }
    QPushButton* cropDoneButton() const { return m_cropDone; }
    QPushButton* cropResetButton() const { return m_cropReset; }
    QToolButton* undoButton() const { return m_undo; }
    QToolButton* redoButton() const { return m_redo; }
    QToolButton* transformButton() const { return m_transform; }
    QToolButton* backgroundToggle() const { return m_backgroundToggle; }

    // Brings every control in line with the document.
    void refresh();

private:
    // Runs a document command after committing inline text editing.
    void act(const std::function<void()>& command);

    // What the controls last showed, so that a drag step (which changes the document many times
    // a second) repaints none of them.
    struct Shown
    {
        Tool tool;
        QColor color;
        double lineWidth;
        double fontSize;
        qint64 arrowStyle;
        qint64 textStyle;
        bool selectedArrow;
        bool selectedText;
        bool panel;
        bool operator==(const Shown&) const = default;
    };
    std::optional<Shown> m_shown;

    EditorDocument* m_doc;
    CanvasView* m_canvas;
    std::map<Tool, QAbstractButton*> m_toolButtons;
    std::vector<QAbstractButton*> m_swatches;
    QToolButton* m_colorWell = nullptr;
    QToolButton* m_strokeWidth = nullptr;
    QComboBox* m_arrowStyle = nullptr;
    QComboBox* m_textStyle = nullptr;
    QToolButton* m_fontSize = nullptr;
    QPushButton* m_cropDone = nullptr;
    QPushButton* m_cropReset = nullptr;
    QToolButton* m_undo = nullptr;
    QToolButton* m_redo = nullptr;
    QToolButton* m_transform = nullptr;
    QToolButton* m_backgroundToggle = nullptr;
};

} // namespace vantrel
