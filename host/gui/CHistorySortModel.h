#pragma once

#include <QSortFilterProxyModel>

class CHistoryModel;

// The history window's order. The date column orders the alerts by when they happened: the
// date, then the time of day, then the order they were kept in, so that sorted down it puts
// the newest alert on top, within a day too. The other columns order by the model's sort role.
class CHistorySortModel final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CHistorySortModel(CHistoryModel& rows, QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    CHistoryModel& m_rows;
};
