#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <string_view>

#include "platform/core/CShortKeyTable.h"
#include <vector>

// Every stock the quote service lists, one row each, with its quote of the moment: code, name,
// last price, change and change in percent against the previous close, previous close, open,
// high, low, volume in lots, money traded, volume ratio and the time of the last trade. Rows are
// read from the quote service when the board is loaded and again whenever a stock is marked as
// traded, at the next Flush. The current user's self-selected groups are read with the rows.
class CQuoteBoardModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kCode,
        kName,
        kLast,
        kChange,
        kChangePercent,
        kPrevClose,
        kOpen,
        kHigh,
        kLow,
        kVolume,
        kAmount,
        kVolumeRatio,
        kTime,
        kColumnCount
    };
    // Numbers to sort by (a missing value is minus infinity) and the text a filter looks in (code
    // and name).
    static constexpr int kSortRole = Qt::UserRole + 1;
    static constexpr int kSearchRole = Qt::UserRole + 2;
    // Whether the stock traded today (bool), and where it stands against its price limits (int:
    // 1 at limit-up, -1 at limit-down, 0 between).
    static constexpr int kTradedRole = Qt::UserRole + 3;
    static constexpr int kLimitRole = Qt::UserRole + 4;

    // Rising prices are red and falling ones green, as quote boards in China show them.
    static const QColor kRising;
    static const QColor kFalling;
    static const QColor kUnchanged;
    // The rows of stocks at their limits stand out on the dark board.
    static const QColor kLimitUpBackground;
    static const QColor kLimitDownBackground;

    struct Row {
        unsigned char market = 0;
        std::string code; // GBK
        QString codeText;
        QString name;
        double prevClose = 0;
        double limitUp = 0;
        double limitDown = 0;
        double open = 0;
        double last = 0;
        double high = 0;
        double low = 0;
        double volume = 0;                 // shares
        double amount = -1;                // money traded, -1 where the quote service lacks it
        double fiveDayVolumePerMinute = 0; // shares, 0 where unknown
        int time = -1;                     // seconds since midnight of the last trade
        bool traded = false;
        int decimals = 2;
    };
    // A self-selected group of the current user: its name and the rows of its stocks the board
    // lists.
    struct Group {
        QString name;
        std::vector<int> rows;
    };

    explicit CQuoteBoardModel(QObject* parent = nullptr);

    // Reads every market's symbols and their quotes anew.
    void Reload();
    // Adds the stocks the quote service lists and the board does not yet, after the rows there,
    // and reads the groups again (GroupsChanged when they differ).
    void AddNewSymbols();
    void Clear();
    // Rows read and reported at one flush at most: a whole market trading at once costs the
    // window no more than this at a refresh, and every row still follows within a few.
    static constexpr std::size_t kRowsPerFlush = 1000;

    // The stock traded: its row is read again at the next Flush.
    void MarkTraded(unsigned char market, const std::string& code);
    // Reads the marked rows from the quote service, the first marked first and at most
    // kRowsPerFlush of them, and reports the changed ones.
    void Flush();
    // Rows marked and not read yet.
    std::size_t Marked() const { return m_dirty.size(); }

    // The row of a stock, -1 when the board does not list it.
    int RowOf(unsigned char market, const std::string& code) const;
    const Row& RowAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    const std::vector<Group>& Groups() const { return m_groups; }
    // 1 at limit-up, -1 at limit-down, 0 otherwise.
    int LimitOf(const Row& row) const;
    // The volume so far per minute of trading against the five-day average per minute; false
    // where the board lacks the average or the stock has not traded.
    static bool VolumeRatio(const Row& row, double& ratio);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // After a flush's dataChanged: the rows it read again, ascending, and the first column
    // that may have changed. The ranges of dataChanged also hold the unchanged rows between
    // nearby changed ones; whoever measures texts needs only these.
    void RowsFlushed(const std::vector<int>& rows, int firstColumn);
    // The user's groups differ after AddNewSymbols.
    void GroupsChanged();

private:
    // Changed rows at most this far apart are told as one range at a flush.
    static constexpr int kRowsJoined = 8;

    void ReadQuote(Row& row) const;
    // Appends to added the stocks of the quote service that have no row yet, numbering their
    // rows on from the `listed` rows before them.
    void ListNewSymbols(std::vector<Row>& added, std::size_t listed);
    void ReadGroups();
    QString DisplayText(const Row& row, int column) const;
    QVariant SortValue(const Row& row, int column) const;
    QString PriceText(const Row& row, double value) const;
    // The market byte and the code in buf, without a string made for every trade.
    static std::string_view Key(char (&buf)[16], unsigned char market, const std::string& code);

    std::vector<Row> m_rows;
    std::vector<Group> m_groups;
    // Row by market and code; each trade of a replay looks its stock up here.
    CShortKeyTable<int> m_index;
    std::vector<int> m_dirty;
    std::vector<bool> m_isDirty;
};
