// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorToolbar.h"

#include "CanvasView.h"
#include "EditorDocument.h"
#include "EditorWindowController.h"
#include "SymbolIcons.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <cmath>

namespace vantrel {

namespace {

constexpr int symbolSize = 16; // points

QColor accent(const QWidget* widget)
{
    return widget->palette().color(QPalette::Highlight);
}

QColor primary(const QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(alpha);
    return color;
}

// A tool: its symbol in a 30 × 28 frame, on an accent-tinted rounded square while current.
class ToolButton : public QAbstractButton
{
public:
    ToolButton(Tool tool, EditorDocument* doc, QWidget* parent)
        : QAbstractButton(parent)
        , m_tool(tool)
        , m_doc(doc)
    {
        setFixedSize(30, 28);
        setFocusPolicy(Qt::NoFocus);
        setToolTip(QCoreApplication::translate("vantrel::EditorToolbar", "%1 (%2)", "a tool and its key")
                       .arg(title(tool), QString(key(tool)).toUpper()));
        setAccessibleName(title(tool));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool current = m_doc->tool() == m_tool;
        if (current) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(accent(this), 0.22));
            painter.drawRoundedRect(QRectF(rect()), 6, 6);
        } else if (underMouse()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(primary(this), 0.08));
            painter.drawRoundedRect(QRectF(rect()), 6, 6);
        }
        const QPixmap icon
            = tintedSymbol(symbol(m_tool), symbolSize, current ? accent(this) : primary(this), devicePixelRatioF());
        painter.drawPixmap(QPointF((width() - symbolSize) / 2.0, (height() - symbolSize) / 2.0), icon);
    }
    void enterEvent(QEnterEvent* event) override
    {
        update();
        QAbstractButton::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        update();
        QAbstractButton::leaveEvent(event);
    }

private:
    Tool m_tool;
    EditorDocument* m_doc;
};

// A 16-point colour circle with a thin outline; an accent ring marks the current colour.
class SwatchButton : public QAbstractButton
{
public:
    SwatchButton(const QColor& color, EditorDocument* doc, QWidget* parent)
        : QAbstractButton(parent)
        , m_color(color)
        , m_doc(doc)
    {
        setFixedSize(22, 22);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(color.name());
    }
    bool isCurrent() const { return m_doc->color().rgba() == m_color.rgba(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        painter.setPen(QPen(withAlpha(primary(this), 0.25), 0.5));
        painter.setBrush(m_color);
        painter.drawEllipse(centre, 8, 8);
        if (isCurrent()) {
            painter.setPen(QPen(accent(this), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, 10, 10);
        }
    }

private:
    QColor m_color;
    EditorDocument* m_doc;
};

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(22);
    line->setStyleSheet(QStringLiteral("color: palette(mid);"));
    return line;
}

QToolButton* symbolButton(const QString& symbolName, const QString& tip, QWidget* parent, int width = 28)
{
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbolName));
    button->setIconSize(QSize(symbolSize, symbolSize));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(width, 28);
    return button;
}

QToolButton* menuButton(const QString& symbolName, const QString& tip, QWidget* parent)
{
    QToolButton* button = symbolButton(symbolName, tip, parent, 40);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(new QMenu(button));
    return button;
}

QIcon colorIcon(const QColor& color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 80), 1));
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(2.5, 6.5, 27, 19), 4, 4);
    painter.end();
    return QIcon(pixmap);
}

// Lays the toolbar's clusters left to right and wraps them onto another row when the window is
// narrower than all of them, so no control is ever out of sight. The last cluster (undo, redo,
// transform, background) sits at the trailing end of its row, as a stretch would put it.
class ToolbarFlow : public QLayout
{
public:
    explicit ToolbarFlow(QWidget* parent)
        : QLayout(parent)
    {
        setContentsMargins(10, 0, 10, 0);
        setSpacing(6);
    }
    ~ToolbarFlow() override
    {
        while (QLayoutItem* item = takeAt(0))
            delete item;
    }

    void addItem(QLayoutItem* item) override { m_items.append(item); }
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override
    {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override
    {
        // One row when there is room for it.
        int width = contentsMargins().left() + contentsMargins().right();
        for (QLayoutItem* item : m_items) {
            if (!item->isEmpty())
                width += item->sizeHint().width() + spacing();
        }
        return QSize(width, EditorToolbar::barHeight);
    }
    QSize minimumSize() const override
    {
        int width = 0;
        for (QLayoutItem* item : m_items)
            width = std::max(width, item->isEmpty() ? 0 : item->sizeHint().width());
        return QSize(width + contentsMargins().left() + contentsMargins().right(), EditorToolbar::barHeight);
    }
    void setGeometry(const QRect& rect) override
    {
        QLayout::setGeometry(rect);
        // The window's layout keeps an earlier answer for this width (taken before the controls
        // had their final sizes, or before one was shown): when the rows now need another
        // height, tell it to ask again.
        if (arrange(rect, true) != rect.height()) {
            if (QWidget* bar = parentWidget())
                bar->updateGeometry();
        }
    }

private:
    // The height the rows need within `rect`'s width; places the items when `place` is set.
    int arrange(const QRect& rect, bool place) const
    {
        const QMargins m = contentsMargins();
        const int left = rect.x() + m.left();
        const int right = rect.x() + rect.width() - m.right();
        std::vector<std::vector<QLayoutItem*>> rows(1);
        int tallest = 0;
        int x = left;
        for (QLayoutItem* item : m_items) {
            if (item->isEmpty())
                continue;
            const QSize size = item->sizeHint();
            if (x > left && x + size.width() > right) {
                rows.emplace_back();
                x = left;
            }
            rows.back().push_back(item);
            x += size.width() + spacing();
            tallest = std::max(tallest, size.height());
        }
        // One row is exactly the bar's height; each further row adds the tallest control.
        const int rowGap = 4;
        const int pad = std::max(0, (EditorToolbar::barHeight - tallest) / 2);
        const int height = 2 * pad + int(rows.size()) * tallest + (int(rows.size()) - 1) * rowGap;
        if (place) {
            int y = rect.y() + pad;
            for (const auto& row : rows) {
                int at = left;
                for (QLayoutItem* item : row) {
                    const QSize size = item->sizeHint();
                    if (item == m_items.constLast()) // the trailing cluster
                        at = std::max(at, right - size.width());
                    item->setGeometry(QRect(QPoint(at, y + (tallest - size.height()) / 2), size));
                    at += size.width() + spacing();
                }
                y += tallest + rowGap;
            }
        }
        return std::max(height, int(EditorToolbar::barHeight));
    }

    QList<QLayoutItem*> m_items;
};

} // namespace

const std::array<QColor, 9>& swatchColors()
{
    static const std::array<QColor, 9> colors = {
        systemRed(),
        QColor(255, 149, 0),
        QColor(255, 204, 0),
        QColor(52, 199, 89),
        QColor(0, 122, 255),
        QColor(175, 82, 222),
        QColor(255, 45, 85),
        QColor(255, 255, 255),
        QColor(0, 0, 0),
    };
    return colors;
}

QString pointLabel(long long points)
{
    return QCoreApplication::translate("vantrel::EditorToolbar", "%1 pt").arg(points);
}

EditorToolbar::EditorToolbar(
    EditorDocument* doc, CanvasView* canvas, EditorWindowController* controller, QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
    , m_canvas(canvas)
{
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    // The window gives the bar the height its rows need at its width (height for width).
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    QWidget* content = this;
    auto* row = new ToolbarFlow(content);
    // Each cluster stays whole when the bar wraps: a widget holding its controls in a row.
    auto cluster = [content](int spacing) {
        auto* box = new QWidget(content);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(spacing);
        return std::pair {box, layout};
    };

    // Tools in their groups, dividers between, so related tools sit together.
    for (std::size_t g = 0; g < groups.size(); ++g) {
        auto [box, group] = cluster(2);
        if (g > 0) {
            group->addWidget(divider(box));
            group->addSpacing(4);
        }
        for (Tool tool : groups[g]) {
            auto* button = new ToolButton(tool, doc, content);
            connect(
                button, &QAbstractButton::clicked, this, [this, tool] { act([=, this] { m_doc->setTool(tool); }); });
            m_toolButtons[tool] = button;
            group->addWidget(button);
        }
        row->addWidget(box);
    }

    auto [colourBox, colours] = cluster(0);
    colours->addWidget(divider(colourBox));
    colours->addSpacing(6);
    for (const QColor& color : swatchColors()) {
        auto* swatch = new SwatchButton(color, doc, content);
        connect(swatch, &QAbstractButton::clicked, this, [this, color] { act([=, this] { m_doc->setColor(color); }); });
        m_swatches.push_back(swatch);
        colours->addWidget(swatch);
    }
    m_colorWell = new QToolButton(content);
    m_colorWell->setFixedSize(26, 28);
    m_colorWell->setIconSize(QSize(22, 22));
    m_colorWell->setAutoRaise(true);
    m_colorWell->setFocusPolicy(Qt::NoFocus);
    m_colorWell->setToolTip(tr("Colour"));
    connect(m_colorWell, &QToolButton::clicked, this, [this] {
        auto* dialog = new QColorDialog(m_doc->color(), window());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setOption(QColorDialog::ShowAlphaChannel);
        connect(dialog, &QColorDialog::colorSelected, this,
            [this](const QColor& color) { act([=, this] { m_doc->setColor(color); }); });
        dialog->open();
    });
    colours->addWidget(m_colorWell);
    row->addWidget(colourBox);

    m_strokeWidth = menuButton(QStringLiteral("lineweight"), tr("Stroke width"), content);
    for (int points : strokeWidths) {
        QAction* action = m_strokeWidth->menu()->addAction(pointLabel(points));
        action->setCheckable(true);
        action->setData(points);
        connect(action, &QAction::triggered, this,
            [this, points] { act([=, this] { m_doc->setLineWidth(points * m_doc->scale()); }); });
    }
    row->addWidget(m_strokeWidth);

    m_arrowStyle = new QComboBox(content);
    m_arrowStyle->addItems({tr("Tapered"), tr("Classic"), tr("Double"), tr("Curved")});
    m_arrowStyle->setFixedWidth(92);
    m_arrowStyle->setFocusPolicy(Qt::NoFocus);
    connect(m_arrowStyle, &QComboBox::activated, this,
        [this](int index) { act([=, this] { m_doc->setArrowStyle(index); }); });
    row->addWidget(m_arrowStyle);

    m_textStyle = new QComboBox(content);
    m_textStyle->addItems({tr("Plain"), tr("Outline"), tr("Label"), tr("Shadow")});
    m_textStyle->setFixedWidth(84);
    m_textStyle->setFocusPolicy(Qt::NoFocus);
    connect(m_textStyle, &QComboBox::activated, this,
        [this](int index) { act([=, this] { m_doc->setTextStyle(index); }); });
    row->addWidget(m_textStyle);
    m_fontSize = menuButton(QStringLiteral("textformat.size"), tr("Font size"), content);
    for (int points : fontSizes) {
        QAction* action = m_fontSize->menu()->addAction(pointLabel(points));
        action->setCheckable(true);
        action->setData(points);
        connect(action, &QAction::triggered, this,
            [this, points] { act([=, this] { m_doc->setFontSize(points * m_doc->scale()); }); });
    }
    row->addWidget(m_fontSize);

    // Crop's own buttons; shown only while the crop tool is chosen.
    m_cropDone = new QPushButton(tr("Done"), content);
    m_cropDone->setFocusPolicy(Qt::NoFocus);
    m_cropDone->setShortcut(QKeySequence(Qt::Key_Return));
    connect(m_cropDone, &QPushButton::clicked, this, [this] { act([this] { m_doc->setTool(Tool::select); }); });
    row->addWidget(m_cropDone);
    m_cropReset = new QPushButton(tr("Reset"), content);
    m_cropReset->setFocusPolicy(Qt::NoFocus);
    connect(m_cropReset, &QPushButton::clicked, this, [this] {
        act([this] {
            m_doc->pushUndo();
            m_doc->setCrop(std::nullopt);
        });
    });
    row->addWidget(m_cropReset);

    // Undo, redo, transforms and the background toggle: one cluster at the trailing end.
    auto [trailingBox, trailing] = cluster(6);
    m_undo = symbolButton(QStringLiteral("arrow.uturn.backward"), tr("Undo (Ctrl+Z)"), content);
    connect(m_undo, &QToolButton::clicked, controller, &EditorWindowController::undo);
    trailing->addWidget(m_undo);
    m_redo = symbolButton(QStringLiteral("arrow.uturn.forward"), tr("Redo (Shift+Ctrl+Z)"), content);
    connect(m_redo, &QToolButton::clicked, controller, &EditorWindowController::redo);
    trailing->addWidget(m_redo);

    m_transform = menuButton(QStringLiteral("rotate.right"), tr("Rotate, flip & resize"), content);
    QMenu* transforms = m_transform->menu();
    auto addTransform = [&](const QString& text, std::function<void()> command) {
        connect(transforms->addAction(text), &QAction::triggered, this, [this, command] { act(command); });
    };
    addTransform(tr("Rotate Left"), [this] { m_doc->transform(-90, false, false); });
    addTransform(tr("Rotate Right"), [this] { m_doc->transform(90, false, false); });
    addTransform(tr("Flip Horizontal"), [this] { m_doc->transform(0, true, false); });
    addTransform(tr("Flip Vertical"), [this] { m_doc->transform(0, false, true); });
    transforms->addSeparator();
    addTransform(tr("Resize to 50%"), [this] { m_doc->resize(m_doc->base().width() / 2); });
    addTransform(tr("Resize to 1x (non-HiDPI)"),
        [this] { m_doc->resize(static_cast<int>(std::trunc(m_doc->base().width() / m_doc->scale()))); });
    trailing->addWidget(m_transform);

    m_backgroundToggle = symbolButton(QStringLiteral("photo.artframe"), tr("Background tool"), content);
    m_backgroundToggle->setCheckable(true);
    connect(m_backgroundToggle, &QToolButton::toggled, this, [this](bool shown) {
        if (shown != m_doc->showBackgroundPanel())
            act([=, this] { m_doc->setShowBackgroundPanel(shown); });
    });
    trailing->addWidget(m_backgroundToggle);
    row->addWidget(trailingBox);

    connect(m_doc, &EditorDocument::changed, this, &EditorToolbar::refresh);
    refresh();
}

void EditorToolbar::act(const std::function<void()>& command)
{
    // A menu command on a half-typed text would bake or restyle it without its text.
    m_canvas->endTextEditing();
    command();
}

void EditorToolbar::refresh()
{
    m_undo->setEnabled(!m_doc->undoStack().empty());
    m_redo->setEnabled(!m_doc->redoStack().empty());

    const Annotation* selected = m_doc->selectedAnnotation();
    const Shown now {m_doc->tool(), m_doc->color(), m_doc->lineWidth(), m_doc->fontSize(), m_doc->arrowStyle(),
        m_doc->textStyle(), selected && selected->is(Tool::arrow), selected && selected->is(Tool::text),
        m_doc->showBackgroundPanel()};
    if (m_shown == now)
        return;
    m_shown = now;

    for (const auto& [t, button] : m_toolButtons)
        button->update();
    for (QAbstractButton* swatch : m_swatches)
        swatch->update();
    m_colorWell->setIcon(colorIcon(now.color));

    const double scale = m_doc->scale();
    for (QAction* action : m_strokeWidth->menu()->actions())
        action->setChecked(std::abs(action->data().toInt() * scale - now.lineWidth) < 1e-6);
    for (QAction* action : m_fontSize->menu()->actions())
        action->setChecked(std::abs(action->data().toInt() * scale - now.fontSize) < 1e-6);

    const bool arrows = now.tool == Tool::arrow || now.selectedArrow;
    const bool texts = now.tool == Tool::text || now.selectedText;
    m_arrowStyle->setVisible(arrows);
    m_textStyle->setVisible(texts);
    m_fontSize->setVisible(texts);
    const QSignalBlocker arrowBlocker(m_arrowStyle);
    const QSignalBlocker textBlocker(m_textStyle);
    m_arrowStyle->setCurrentIndex(now.arrowStyle >= 0 && now.arrowStyle < 4 ? int(now.arrowStyle) : -1);
    m_textStyle->setCurrentIndex(now.textStyle >= 0 && now.textStyle < 4 ? int(now.textStyle) : -1);

    m_cropDone->setVisible(now.tool == Tool::crop);
    m_cropReset->setVisible(now.tool == Tool::crop);
    const QSignalBlocker toggleBlocker(m_backgroundToggle);
    m_backgroundToggle->setChecked(now.panel);
}

} // namespace vantrel
