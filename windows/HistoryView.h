// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"
#include "HistoryCommands.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;

namespace vantrel {

class CaptureHistory;
class HistoryFilterModel;
class HistoryGridView;
class HistoryListModel;
struct HistoryItem;

// The capture history window's content: the kind filter and the count, a divider, then the grid
// of captures or, when none is visible, "No captures yet". Follows the store as it changes.
class HistoryView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int minimumWidth = 560; // points
    static constexpr int minimumHeight = 360;
    static constexpr int headerMargin = 12;
    static constexpr int segmentsMaximumWidth = 480;
    static constexpr int emptySymbolSize = 40;
    static constexpr int emptySpacing = 8;

    // The filter's segments in order: their texts and the kind each shows (none: all).
    struct Segment
    {
        QString title;
        std::optional<CaptureKind> kind;
    };
    static std::vector<Segment> segments();

    explicit HistoryView(CaptureHistory& history, QWidget* parent = nullptr);
    ~HistoryView() override;

    std::optional<CaptureKind> filter() const;
    void setFilter(std::optional<CaptureKind> kind);
    // "%lld items" with the visible count, always in the plural form ("1 items").
    QString countText() const;
    bool showsEmptyState() const;

    HistoryListModel* model() const { return m_model; }
    HistoryFilterModel* filterModel() const { return m_filter; }
    HistoryGridView* grid() const { return m_grid; }
    QTabBar* segmentBar() const { return m_segments; }

    // The record shown at a row of the grid; none for an invalid index.
    std::optional<HistoryItem> itemAt(int gridRow) const;
    // The context menu of the cell at a grid row, in order; the caller owns it.
    QMenu* contextMenu(int gridRow, QWidget* parent = nullptr);
    void perform(HistoryCommand command, int gridRow);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void updateCount();
    void showContextMenu(const QPoint& viewportPoint);
    void keepVisibleThumbnails();

    CaptureHistory& m_history;
    HistoryListModel* m_model;
    HistoryFilterModel* m_filter;
    QTabBar* m_segments;
    QLabel* m_count;
    QStackedWidget* m_stack;
    HistoryGridView* m_grid;
    QWidget* m_empty;
};

} // namespace vantrel
