#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "host/outputs/CAlertHistory.h"

// The history's rows as a table: date, time, code, name, reason, price, volume, source and
// deliveries. Rising reasons are red and falling ones green, as on the quote board; the sort
// role gives numbers as numbers and the time as seconds.
class CHistoryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Date, Time, Code, Name, Reason, Price, Volume, Source, Deliveries, ColumnCount };
    static constexpr int kSortRole = Qt::UserRole + 1;

    explicit CHistoryModel(QObject* parent = nullptr);

    void SetRows(std::vector<CAlertHistory::Row> rows);
    // The tooltip of a row's deliveries, asked for when it is shown (a row with attempts only).
    void SetDeliveriesText(std::function<QString(const CAlertHistory::Row&)> text)
    {
        m_deliveriesText = std::move(text);
    }
    const std::vector<CAlertHistory::Row>& Rows() const { return m_rows; }
    const CAlertHistory::Row& RowAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<CAlertHistory::Row> m_rows;
    std::function<QString(const CAlertHistory::Row&)> m_deliveriesText;
};
