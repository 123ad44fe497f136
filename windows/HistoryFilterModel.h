// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"

#include <QSortFilterProxyModel>

#include <optional>

namespace vantrel {

// The history narrowed to one kind of capture, in the store's order; no filter shows all.
class HistoryFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit HistoryFilterModel(QObject* parent = nullptr);

    std::optional<CaptureKind> filter() const { return m_filter; }
    void setFilter(std::optional<CaptureKind> filter);

Q_SIGNALS:
    void filterChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    std::optional<CaptureKind> m_filter;
};

} // namespace vantrel
