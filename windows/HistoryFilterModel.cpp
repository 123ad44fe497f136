// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryFilterModel.h"

#include "HistoryListModel.h"

namespace vantrel {

HistoryFilterModel::HistoryFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    // Only the kind decides; a thumbnail arriving must not make the proxy look at its rows again.
    setFilterRole(HistoryListModel::KindRole);
    setDynamicSortFilter(false);
}

void HistoryFilterModel::setFilter(std::optional<CaptureKind> filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    invalidateRowsFilter();
    Q_EMIT filterChanged();
}

bool HistoryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (!m_filter)
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return index.data(HistoryListModel::KindRole).toInt() == int(*m_filter);
}

} // namespace vantrel
