// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryGridView.h"

#include "CaptureKind.h"
#include "HistoryCell.h"
#include "HistoryListModel.h"

#include <QCursor>
#include <QDrag>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace vantrel {

// --- HistoryDelegate ---------------------------------------------------------------------------

void HistoryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    HistoryCell cell;
    cell.item.kind = CaptureKind(index.data(HistoryListModel::KindRole).toInt());
    cell.thumb = index.data(HistoryListModel::ThumbnailRole).value<QImage>();
    cell.hovering = option.state.testFlag(QStyle::State_MouseOver);
    cell.selected = option.state.testFlag(QStyle::State_Selected);
    cell.dateText = index.data(HistoryListModel::DateTextRole).toString();
    cell.sizeText = index.data(HistoryListModel::SizeTextRole).toString();
    cell.paint(*painter, option.rect, HistoryCellStyle::from(option.palette, option.font));
}

QSize HistoryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const HistoryCellStyle style = HistoryCellStyle::from(option.palette, option.font);
    return QSize(HistoryGridView::maximumColumnWidth, int(HistoryCell::height(style)));
}

// --- HistoryGridView ---------------------------------------------------------------------------

HistoryGridView::Columns HistoryGridView::columnsFor(int viewportWidth)
{
    Columns columns;
    const qreal room = std::max(0, viewportWidth - 2 * margin);
    columns.count = std::max(1, int(std::floor((room + spacing) / (minimumColumnWidth + spacing))));
    const qreal shared = (room - (columns.count - 1) * spacing) / columns.count;
    columns.width = std::clamp<qreal>(shared, std::min<qreal>(room, minimumColumnWidth), maximumColumnWidth);
    const qreal used = columns.count * columns.width + (columns.count - 1) * spacing;
    // Columns at their widest leave room over: the grid stays in the middle.
    columns.left = margin + std::max<qreal>(0, (room - used) / 2);
    return columns;
}

HistoryGridView::HistoryGridView(QWidget* parent)
    : QAbstractItemView(parent)
{
    setItemDelegate(new HistoryDelegate(this));
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setEditTriggers(NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    // The viewport scrolls by moving its pixels; only the strip that comes into view is painted.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, false);
    verticalScrollBar()->setSingleStep(20);
}

void HistoryGridView::setModel(QAbstractItemModel* model)
{
    if (QAbstractItemModel* old = this->model())
        disconnect(old, nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    if (!model)
        return;
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, &HistoryGridView::layoutChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &HistoryGridView::layoutChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &HistoryGridView::layoutChanged);
    layoutChanged();
}

void HistoryGridView::layoutChanged()
{
    updateGeometries();
    viewport()->update();
    Q_EMIT visibleRowsChanged();
}

int HistoryGridView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int HistoryGridView::cellHeight() const
{
    if (m_cellHeight < 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        m_cellHeight = std::max(1, itemDelegate()->sizeHint(option, QModelIndex()).height());
    }
    return m_cellHeight;
}

int HistoryGridView::contentHeight() const
{
    const int rows = rowCount();
    if (rows == 0)
        return 0;
    const int lines = (rows + columns().count - 1) / columns().count;
    return 2 * margin + lines * cellHeight() + (lines - 1) * spacing;
}

int HistoryGridView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

QRect HistoryGridView::cellRect(int row, const Columns& columns) const
{
    const int line = row / columns.count;
    const int column = row % columns.count;
    const qreal left = columns.left + column * (columns.width + spacing);
    const int top = margin + line * (cellHeight() + spacing) - verticalOffset();
    const int x = int(std::lround(left));
    return QRect(x, top, int(std::lround(left + columns.width)) - x, cellHeight());
}

QRect HistoryGridView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.row() >= rowCount())
        return {};
    return cellRect(index.row(), columns());
}

std::pair<int, int> HistoryGridView::visibleRows() const
{
    const int rows = rowCount();
    if (rows == 0 || viewport()->height() <= 0)
        return {0, -1};
    const Columns grid = columns();
    const int pitch = cellHeight() + spacing;
    const int top = verticalOffset() - margin;
    const int firstLine = std::max(0, top / pitch);
    const int lastLine = std::max(0, (top + viewport()->height()) / pitch);
    const int first = firstLine * grid.count;
    const int last = std::min(rows - 1, (lastLine + 1) * grid.count - 1);
    if (first > last)
        return {0, -1};
    return {first, last};
}

QModelIndex HistoryGridView::indexAt(const QPoint& point) const
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const Columns grid = columns();
    const int pitch = cellHeight() + spacing;
    const int y = point.y() + verticalOffset() - margin;
    const qreal x = point.x() - grid.left;
    if (y < 0 || x < 0)
        return {};
    const int line = y / pitch;
    const int column = int(x / (grid.width + spacing));
    if (y - line * pitch >= cellHeight() || x - column * (grid.width + spacing) >= grid.width || column >= grid.count)
        return {}; // in the spacing between cells
    const int row = line * grid.count + column;
    return row < rows ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

void HistoryGridView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    const QRect rect = visualRect(index);
    if (rect.isNull())
        return;
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    const int cellTop = rect.top() + bar->value();
    switch (hint) {
    case PositionAtTop: bar->setValue(cellTop - margin); break;
    case PositionAtBottom: bar->setValue(cellTop + rect.height() + margin - height); break;
    case PositionAtCenter: bar->setValue(cellTop + rect.height() / 2 - height / 2); break;
    case EnsureVisible:
        if (rect.top() < 0)
            bar->setValue(cellTop - margin);
        else if (rect.bottom() >= height)
            bar->setValue(cellTop + rect.height() + margin - height);
        break;
    }
}

QModelIndex HistoryGridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    const int columnsCount = columns().count;
    const int pageLines = std::max(1, viewport()->height() / (cellHeight() + spacing));
    int row = current.row();
    switch (cursorAction) {
    case MoveLeft:
    case MovePrevious: row -= 1; break;
    case MoveRight:
    case MoveNext: row += 1; break;
    case MoveUp: row -= columnsCount; break;
    case MoveDown:
        // Down from a line above a shorter last line lands on the last cell.
        if (row / columnsCount < (rows - 1) / columnsCount)
            row = std::min(rows - 1, row + columnsCount);
        break;
    case MovePageUp: row -= pageLines * columnsCount; break;
    case MovePageDown: row += pageLines * columnsCount; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = rows - 1; break;
    }
    if (cursorAction == MoveUp && row < 0)
        return current;
    return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

void HistoryGridView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    const auto [first, last] = visibleRows();
    QItemSelection selection;
    const Columns grid = columns();
    const QRect area = rect.normalized();
    for (int row = first; row <= last; ++row) {
        if (cellRect(row, grid).intersects(area)) {
            const QModelIndex index = model()->index(row, 0, rootIndex());
            selection.select(index, index);
        }
    }
    selectionModel()->select(selection, command);
}

QRegion HistoryGridView::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    const auto [first, last] = visibleRows();
    const Columns grid = columns();
    for (const QItemSelectionRange& range : selection) {
        for (int row = std::max(first, range.top()); row <= std::min(last, range.bottom()); ++row)
            region += cellRect(row, grid).adjusted(-6, -6, 6, 6); // with the selection plate
    }
    return region;
}

void HistoryGridView::updateGeometries()
{
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, contentHeight() - viewport()->height()));
    QAbstractItemView::updateGeometries();
}

void HistoryGridView::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, dy);
    // The cell under a still pointer changes as the grid moves under it.
    if (underMouse())
        setHover(indexAt(viewport()->mapFromGlobal(QCursor::pos())));
    Q_EMIT visibleRowsChanged();
}

void HistoryGridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // Thumbnails arrive one at a time: repaint that cell only, and only when it is in view.
    const auto [first, last] = visibleRows();
    const int from = std::max(first, topLeft.row());
    const int to = std::min(last, bottomRight.row());
    const Columns grid = columns();
    for (int row = from; row <= to; ++row)
        viewport()->update(cellRect(row, grid));
}

void HistoryGridView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const auto [first, last] = visibleRows();
    const Columns grid = columns();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex current = currentIndex();
    QItemSelectionModel* selection = selectionModel();
    for (int row = first; row <= last; ++row) {
        const QRect rect = cellRect(row, grid);
        if (!event->region().intersects(rect.adjusted(-6, -6, 6, 6)))
            continue;
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = rect;
        option.state = QStyle::State_Enabled;
        if (selection && selection->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == m_hover)
            option.state |= QStyle::State_MouseOver;
        if (index == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void HistoryGridView::resizeEvent(QResizeEvent* event)
{
    QAbstractItemView::resizeEvent(event);
    updateGeometries();
    Q_EMIT visibleRowsChanged();
}

void HistoryGridView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_cellHeight = -1;
    QAbstractItemView::changeEvent(event);
}

void HistoryGridView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (event->matches(QKeySequence::Copy)) {
        if (current.isValid())
            Q_EMIT copyRequested(current);
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current.isValid())
            Q_EMIT openRequested(current);
        event->accept();
        return;
    case Qt::Key_Delete:
        if (current.isValid())
            Q_EMIT deleteRequested(current);
        event->accept();
        return;
    default: QAbstractItemView::keyPressEvent(event);
    }
}

bool HistoryGridView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: setHover(indexAt(static_cast<QHoverEvent*>(event)->position().toPoint())); break;
    case QEvent::HoverLeave:
    case QEvent::Leave: setHover({}); break;
    default: break;
    }
    return QAbstractItemView::viewportEvent(event);
}

void HistoryGridView::setHover(const QModelIndex& index)
{
    if (index == m_hover)
        return;
    if (m_hover.isValid())
        viewport()->update(visualRect(m_hover));
    m_hover = index;
    if (m_hover.isValid())
        viewport()->update(visualRect(m_hover));
}

void HistoryGridView::startDrag(Qt::DropActions)
{
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return;
    QMimeData* mime = model()->mimeData({index});
    if (!mime || !mime->hasUrls()) {
        // A file that cannot be read offers the drop target nothing: no drag at all.
        delete mime;
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QImage thumbnail = index.data(HistoryListModel::ThumbnailRole).value<QImage>();
    if (!thumbnail.isNull()) {
        const qreal dpr = devicePixelRatioF();
        QImage picture = thumbnail.scaled(QSize(120, 120) * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(dpr);
        const QPixmap pixmap = QPixmap::fromImage(picture);
        drag->setPixmap(pixmap);
        const QSizeF points = pixmap.deviceIndependentSize();
        drag->setHotSpot(QPoint(qRound(points.width() / 2), qRound(points.height() / 2)));
    }
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace vantrel
