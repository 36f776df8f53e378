#include "host/gui/CHistorySortModel.h"

#include <tuple>

#include "host/gui/CHistoryModel.h"

CHistorySortModel::CHistorySortModel(CHistoryModel& rows, QObject* parent)
    : QSortFilterProxyModel(parent), m_rows(rows)
{
    setSourceModel(&rows);
    setSortRole(CHistoryModel::kSortRole);
}

bool CHistorySortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (left.column() != CHistoryModel::Date)
        return QSortFilterProxyModel::lessThan(left, right);
    const CAlertHistory::Row& a = m_rows.RowAt(left.row());
    const CAlertHistory::Row& b = m_rows.RowAt(right.row());
    return std::tie(a.tradingDate, a.time, a.id) < std::tie(b.tradingDate, b.time, b.id);
}
