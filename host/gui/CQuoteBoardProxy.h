#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>
#include <vector>

// The board's order and filter over CQuoteBoardModel. Stocks that have not traded today stay
// below those that have, and a missing figure below every figure, whichever column and direction
// the user sorts by: a trader looks for the day's movers, not for empty rows. Names sort by
// their pinyin, as a Chinese reader looks them up. The filter text matches code or name; a
// group, when one is chosen, lets only its stocks through.
class CQuoteBoardProxy final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CQuoteBoardProxy(QObject* parent = nullptr);

    // Only the rows (of the source model) given; the whole board after ShowAll.
    void ShowOnly(const std::vector<int>& sourceRows);
    void ShowAll();
    bool ShowsAll() const { return !m_bGroup; }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    // The collation keys of the source rows' names, made at the first sort by name after the
    // rows changed: comparing keys is many times quicker than collating the names each time.
    void MakeNameKeys() const;

    QCollator m_collator;
    mutable std::vector<QCollatorSortKey> m_nameKeys;
    bool m_bGroup = false;
    std::vector<bool> m_inGroup;
};
