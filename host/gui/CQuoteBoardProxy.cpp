#include "host/gui/CQuoteBoardProxy.h"

#include <QLocale>
#include <cmath>

#include "host/gui/CQuoteBoardModel.h"

namespace {

bool IsMissing(const QVariant& value)
{
    if (!value.isValid())
        return true;
    if (value.typeId() != QMetaType::Double)
        return false;
    const double number = value.toDouble();
    return std::isinf(number) && number < 0;
}

} // namespace

CQuoteBoardProxy::CQuoteBoardProxy(QObject* parent)
    : QSortFilterProxyModel(parent), m_collator(QLocale(QLocale::Chinese, QLocale::China))
{
    // Digits by value ("ST2" before "ST10") and letters without regard to case, as a list of
    // names in a Chinese quote program reads.
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    setSortRole(CQuoteBoardModel::kSortRole);
    setFilterRole(CQuoteBoardModel::kSearchRole);
    setFilterKeyColumn(CQuoteBoardModel::kCode);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setDynamicSortFilter(true);
    connect(this, &QAbstractProxyModel::sourceModelChanged, this, [this] {
        m_nameKeys.clear();
        if (sourceModel())
            connect(sourceModel(), &QAbstractItemModel::modelAboutToBeReset, this,
                    [this] { m_nameKeys.clear(); });
    });
}

void CQuoteBoardProxy::MakeNameKeys() const
{
    const int rows = sourceModel() ? sourceModel()->rowCount() : 0;
    m_nameKeys.clear();
    m_nameKeys.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        m_nameKeys.push_back(m_collator.sortKey(
            sourceModel()->index(r, CQuoteBoardModel::kName).data(sortRole()).toString()));
}

void CQuoteBoardProxy::ShowOnly(const std::vector<int>& sourceRows)
{
    m_bGroup = true;
    m_inGroup.assign(sourceModel() ? static_cast<std::size_t>(sourceModel()->rowCount()) : 0,
                     false);
    for (int row : sourceRows)
        if (row >= 0 && static_cast<std::size_t>(row) < m_inGroup.size())
            m_inGroup[static_cast<std::size_t>(row)] = true;
    invalidateRowsFilter();
}

void CQuoteBoardProxy::ShowAll()
{
    if (!m_bGroup)
        return;
    m_bGroup = false;
    m_inGroup.clear();
    invalidateRowsFilter();
}

bool CQuoteBoardProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_bGroup && (sourceRow < 0 || static_cast<std::size_t>(sourceRow) >= m_inGroup.size() ||
                     !m_inGroup[static_cast<std::size_t>(sourceRow)]))
        return false;
    return QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent);
}

bool CQuoteBoardProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    // The sort runs the comparison backwards for a descending order; a row that must stay below
    // in both directions therefore compares as "greater" ascending and as "less" descending.
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    const bool leftTraded = left.data(CQuoteBoardModel::kTradedRole).toBool();
    const bool rightTraded = right.data(CQuoteBoardModel::kTradedRole).toBool();
    if (leftTraded != rightTraded)
        return ascending ? leftTraded : rightTraded;

    const QVariant a = left.data(sortRole());
    const QVariant b = right.data(sortRole());
    const bool aMissing = IsMissing(a);
    const bool bMissing = IsMissing(b);
    if (aMissing || bMissing) {
        if (aMissing == bMissing)
            return false;
        return ascending ? bMissing : aMissing;
    }
    if (left.column() == CQuoteBoardModel::kName) {
        if (m_nameKeys.size() != static_cast<std::size_t>(sourceModel()->rowCount()))
            MakeNameKeys();
        const auto l = static_cast<std::size_t>(left.row());
        const auto r = static_cast<std::size_t>(right.row());
        if (l < m_nameKeys.size() && r < m_nameKeys.size())
            return m_nameKeys[l].compare(m_nameKeys[r]) < 0;
        return m_collator.compare(a.toString(), b.toString()) < 0;
    }
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString() < b.toString();
    return a.toDouble() < b.toDouble();
}
