// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemView>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

#include <utility>

namespace vantrel {

// Paints one history cell (HistoryCell) from a row of HistoryListModel or a proxy of it.
class HistoryDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The history's grid: columns between 180 and 240 points wide, as many as fit, 14 points of
// margin and spacing, centred when the columns reach their widest; scrolls vertically. Lays out
// by arithmetic (every cell has the same size), so thousands of rows cost nothing until they are
// painted, and only the cells in view are. Points, y downwards, in the viewport's coordinates.
class HistoryGridView : public QAbstractItemView
{
    Q_OBJECT
public:
    static constexpr int margin = 14;
    static constexpr int spacing = 14;
    static constexpr int minimumColumnWidth = 180;
    static constexpr int maximumColumnWidth = 240;

    // Columns for a viewport width: how many, how wide, and where the first one starts.
    struct Columns
    {
        int count = 1;
        qreal width = minimumColumnWidth;
        qreal left = margin;
    };
    static Columns columnsFor(int viewportWidth);

    explicit HistoryGridView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void keyboardSearch(const QString&) override { } // no type-to-find: dates are not names

    Columns columns() const { return columnsFor(viewport()->width()); }
    int cellHeight() const;
    // The first and last row with any part in view; (0, -1) when none is.
    std::pair<int, int> visibleRows() const;
    // The cell under the pointer.
    QModelIndex hoverIndex() const { return m_hover; }

Q_SIGNALS:
    // The cells in view changed: scrolled, resized, rows added or removed.
    void visibleRowsChanged();
    void openRequested(const QModelIndex& index); // Return
    void deleteRequested(const QModelIndex& index); // Delete
    void copyRequested(const QModelIndex& index); // Ctrl+C

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void dataChanged(
        const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = QList<int>()) override;
    void startDrag(Qt::DropActions supportedActions) override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    int rowCount() const;
    int contentHeight() const;
    QRect cellRect(int row, const Columns& columns) const; // viewport coordinates
    void setHover(const QModelIndex& index);
    void layoutChanged();

    QPersistentModelIndex m_hover;
    mutable int m_cellHeight = -1; // follows the font
};

} // namespace vantrel
