// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryView.h"

#include "CaptureHistory.h"
#include "HistoryFilterModel.h"
#include "HistoryGridView.h"
#include "HistoryListModel.h"
#include "LabelStyle.h"
#include "SymbolIcons.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace vantrel {

std::vector<HistoryView::Segment> HistoryView::segments()
{
    return {
        {tr("All"), std::nullopt},
        {tr("Screenshots"), CaptureKind::screenshot},
        {tr("Windows"), CaptureKind::window},
        {tr("Scrolling"), CaptureKind::scrolling},
        {tr("Videos"), CaptureKind::recording},
        {tr("GIFs"), CaptureKind::gif},
    };
}

HistoryView::HistoryView(CaptureHistory& history, QWidget* parent)
    : QWidget(parent)
    , m_history(history)
    , m_model(new HistoryListModel(history, this))
    , m_filter(new HistoryFilterModel(this))
    , m_segments(new QTabBar)
    , m_count(secondaryLabel(QString()))
    , m_stack(new QStackedWidget)
    , m_grid(new HistoryGridView)
    , m_empty(new QWidget)
{
    setMinimumSize(minimumWidth, minimumHeight);
    m_filter->setSourceModel(m_model);

    // Header: the kind filter, then the count in a small secondary style.
    for (const Segment& segment : segments())
        m_segments->addTab(segment.title);
    m_segments->setDrawBase(false);
    m_segments->setExpanding(false);
    m_segments->setUsesScrollButtons(false);
    m_segments->setMaximumWidth(segmentsMaximumWidth);
    m_segments->setFocusPolicy(Qt::TabFocus);
    QFont small = m_count->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_count->setFont(small);
    m_count->setWordWrap(false);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(headerMargin, headerMargin, headerMargin, headerMargin);
    header->setSpacing(headerMargin);
    header->addWidget(m_segments);
    header->addWidget(m_count);
    header->addStretch(1);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    // The empty state: the history symbol above the text, centred in the space left.
    auto* symbol = new QLabel;
    QColor tertiary = palette().color(QPalette::PlaceholderText);
    tertiary.setAlphaF(tertiary.alphaF() * 0.6f);
    symbol->setPixmap(tintedSymbol(QStringLiteral("clock.arrow.circlepath"), emptySymbolSize, tertiary,
        devicePixelRatioF() > 1 ? devicePixelRatioF() : 2.0));
    symbol->setAlignment(Qt::AlignCenter);
    QLabel* emptyText = secondaryLabel(tr("No captures yet"));
    emptyText->setAlignment(Qt::AlignCenter);
    auto* emptyColumn = new QVBoxLayout(m_empty);
    emptyColumn->setSpacing(emptySpacing);
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(symbol);
    emptyColumn->addWidget(emptyText);
    emptyColumn->addStretch(1);

    m_grid->setModel(m_filter);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_stack->addWidget(m_grid);
    m_stack->addWidget(m_empty);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(header);
    column->addWidget(divider);
    column->addWidget(m_stack, 1);

    connect(m_segments, &QTabBar::currentChanged, this, [this](int tab) {
        const std::vector<Segment> all = segments();
        if (tab >= 0 && tab < int(all.size()))
            setFilter(all[std::size_t(tab)].kind);
    });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_filter, signal, this, &HistoryView::updateCount);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &HistoryView::updateCount);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &HistoryView::updateCount);

    connect(m_grid, &HistoryGridView::visibleRowsChanged, this, &HistoryView::keepVisibleThumbnails);
    connect(m_grid, &QAbstractItemView::doubleClicked, this,
        [this](const QModelIndex& index) { perform(HistoryCommand::open, index.row()); });
    connect(m_grid, &HistoryGridView::openRequested, this,
        [this](const QModelIndex& index) { perform(HistoryCommand::open, index.row()); });
    connect(m_grid, &HistoryGridView::copyRequested, this,
        [this](const QModelIndex& index) { perform(HistoryCommand::copy, index.row()); });
    connect(m_grid, &HistoryGridView::deleteRequested, this,
        [this](const QModelIndex& index) { perform(HistoryCommand::remove, index.row()); });
    connect(m_grid, &QWidget::customContextMenuRequested, this, &HistoryView::showContextMenu);

    updateCount();
}

HistoryView::~HistoryView() = default;

std::optional<CaptureKind> HistoryView::filter() const
{
    return m_filter->filter();
}

void HistoryView::setFilter(std::optional<CaptureKind> kind)
{
    const std::vector<Segment> all = segments();
    for (std::size_t tab = 0; tab < all.size(); ++tab) {
        if (all[tab].kind == kind && m_segments->currentIndex() != int(tab))
            m_segments->setCurrentIndex(int(tab)); // comes back here through currentChanged
    }
    if (m_filter->filter() == kind)
        return;
    m_filter->setFilter(kind);
    m_grid->verticalScrollBar()->setValue(0);
    updateCount();
}

QString HistoryView::countText() const
{
    return m_count->text();
}

bool HistoryView::showsEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void HistoryView::updateCount()
{
    const int visible = m_filter->rowCount();
    m_count->setText(tr("%1 items").arg(visible));
    m_stack->setCurrentWidget(visible == 0 ? m_empty : static_cast<QWidget*>(m_grid));
}

std::optional<HistoryItem> HistoryView::itemAt(int gridRow) const
{
    const QModelIndex source = m_filter->mapToSource(m_filter->index(gridRow, 0));
    if (!source.isValid())
        return std::nullopt;
    return m_model->item(source.row());
}

QMenu* HistoryView::contextMenu(int gridRow, QWidget* parent)
{
    const std::optional<HistoryItem> record = itemAt(gridRow);
    if (!record)
        return nullptr;
    auto* menu = new QMenu(parent);
    for (HistoryCommand command : historyCommands(*record)) {
        if (command == HistoryCommand::remove)
            menu->addSeparator();
        QIcon icon = symbolIcon(historyCommandSymbol(command));
        if (command == HistoryCommand::remove) {
            // Destructive: its symbol in red, as "Clear History" in the settings window.
            const QPixmap red
                = tintedSymbol(historyCommandSymbol(command), 16, QColor(215, 0, 21), devicePixelRatioF());
            if (!red.isNull())
                icon = QIcon(red);
        }
        QAction* action = menu->addAction(icon, historyCommandTitle(command));
        // The record, not the row: the list may change while the menu is open.
        const HistoryItem item = *record;
        connect(action, &QAction::triggered, this,
            [this, command, item] { performHistoryCommand(command, item, m_history); });
    }
    return menu;
}

void HistoryView::showContextMenu(const QPoint& viewportPoint)
{
    const QModelIndex index = m_grid->indexAt(viewportPoint);
    if (!index.isValid())
        return;
    m_grid->setCurrentIndex(index);
    QMenu* menu = contextMenu(index.row(), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_grid->viewport()->mapToGlobal(viewportPoint));
}

void HistoryView::perform(HistoryCommand command, int gridRow)
{
    const std::optional<HistoryItem> record = itemAt(gridRow);
    if (!record)
        return;
    performHistoryCommand(command, *record, m_history);
    if (command == HistoryCommand::remove && m_filter->rowCount() > 0) {
        // The keyboard stays in the grid, on the cell that moved into the deleted one's place.
        const QModelIndex next = m_filter->index(std::min(gridRow, m_filter->rowCount() - 1), 0);
        m_grid->setCurrentIndex(next);
    }
}

void HistoryView::hideEvent(QHideEvent* event)
{
    // Closed or minimised: up to the cache's bound of thumbnails would otherwise stay in memory
    // for as long as Vantrel runs. A screenful decodes again in a moment on the next show.
    m_model->releaseThumbnails();
    QWidget::hideEvent(event);
}

void HistoryView::keepVisibleThumbnails()
{
    const auto [first, last] = m_grid->visibleRows();
    QSet<QUuid> ids;
    for (int row = first; row <= last; ++row) {
        const QModelIndex source = m_filter->mapToSource(m_filter->index(row, 0));
        if (source.isValid())
            ids.insert(m_model->item(source.row()).id);
    }
    m_model->keepThumbnailsFor(ids);
}

} // namespace vantrel
