#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "engine/VelkRecords.h"

// The rows of the alert list window, read straight from the engine's alert list. The engine
// puts new records at the front of its list at once; their rows are announced later, several
// in one insertion, so a burst of alerts costs the view one update instead of one each. Until
// then every row keeps showing the record it showed: row i shows record i + PendingRows().
class CAlertListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName, kTime, kPrice, kVolume, kReason, kColumnCount };

    explicit CAlertListModel(QObject* parent = nullptr);

    void SetAlerts(CAlertRecordList* alerts);
    // The engine has just put one more record at the front of its list; its row waits for
    // FlushNewRows.
    void NoteFrontRecord();
    // Announces the rows of every record noted since the last flush, as one insertion on top.
    void FlushNewRows();
    int PendingRows() const { return m_nPending; }
    // All rows anew: the change to the list runs inside the reset, then the rows are counted
    // from the list (none when showList is false). Nothing is pending afterwards.
    void ResetRows(bool showList, const std::function<void()>& change = {});
    // The record a row shows, or null outside the rows.
    const Ta_ALERTRECORD* RecordAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Cell texts of a record, as the list shows them.
    static QString TimeText(std::int32_t seconds);
    static QString PriceText(float price);
    static QString VolumeText(float volume);

private:
    CAlertRecordList* m_pAlerts = nullptr;
    int m_nRows = 0;
    int m_nPending = 0;
};
