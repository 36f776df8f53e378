#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <string_view>

#include "platform/core/CShortKeyTable.h"
#include <vector>

// Every stock the quote service lists, one row each, with its quote of the moment: code, name,
// last price, change and change in percent against the previous close, high, low, volume in
// lots and the time of the last trade. Rows are read from the quote service when the board is
// loaded and again whenever a stock is marked as traded, at the next Flush.
class CQuoteBoardModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kCode,
        kName,
        kLast,
        kChange,
        kChangePercent,
        kHigh,
        kLow,
        kVolume,
        kTime,
        kColumnCount
    };
    // Numbers to sort by (a missing value sorts below every number) and the text a filter
    // looks in (code and name).
    static constexpr int kSortRole = Qt::UserRole + 1;
    static constexpr int kSearchRole = Qt::UserRole + 2;

    // Rising prices are red and falling ones green, as quote boards in China show them.
    static const QColor kRising;
    static const QColor kFalling;
    static const QColor kUnchanged;

    struct Row {
        unsigned char market = 0;
        std::string code; // GBK
        QString codeText;
        QString name;
        double prevClose = 0;
        double last = 0;
        double high = 0;
        double low = 0;
        double volume = 0; // shares
        int time = -1;     // seconds since midnight of the last trade
        bool traded = false;
        int decimals = 2;
    };

    explicit CQuoteBoardModel(QObject* parent = nullptr);

    // Reads every market's symbols and their quotes anew.
    void Reload();
    void Clear();
    // The stock traded: its row is read again at the next Flush.
    void MarkTraded(unsigned char market, const std::string& code);
    // Reads the marked rows from the quote service and reports the changed ones.
    void Flush();

    // The row of a stock, -1 when the board does not list it.
    int RowOf(unsigned char market, const std::string& code) const;
    const Row& RowAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void ReadQuote(Row& row) const;
    QString PriceText(const Row& row, double value) const;
    // The market byte and the code in buf, without a string made for every trade.
    static std::string_view Key(char (&buf)[16], unsigned char market, const std::string& code);

    std::vector<Row> m_rows;
    // Row by market and code; each trade of a replay looks its stock up here.
    CShortKeyTable<int> m_index;
    std::vector<int> m_dirty;
    std::vector<bool> m_isDirty;
};
