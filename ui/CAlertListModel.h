#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "VelkRecords.h"

// The rows of the alert list window, read straight from the engine's alert list: row i shows
// record i. The model keeps its own row count so that the engine may put a record at the front
// of its list before the row for it is announced.
class CAlertListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName, kTime, kPrice, kVolume, kReason, kColumnCount };

    explicit CAlertListModel(QObject* parent = nullptr);

    void SetAlerts(std::vector<Ta_ALERTRECORD>* alerts);
    // A new first row for the record the engine has just put at the front of its list.
    void InsertFirstRow();
    // All rows anew: the change to the list runs inside the reset, then the rows are counted
    // from the list (none when showList is false).
    void ResetRows(bool showList, const std::function<void()>& change = {});

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Cell texts of a record, as the list shows them.
    static QString TimeText(std::int32_t seconds);
    static QString PriceText(float price);
    static QString VolumeText(float volume);

private:
    std::vector<Ta_ALERTRECORD>* m_pAlerts = nullptr;
    int m_nRows = 0;
};
