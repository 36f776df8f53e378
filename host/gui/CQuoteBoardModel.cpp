#include "host/gui/CQuoteBoardModel.h"

#include <QColor>
#include <QFont>
#include <algorithm>
#include <cmath>
#include <limits>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "hostapi/QuoteItems.h"
#include "platform/core/VelkClockText.h"
#include "platform/qt/QtText.h"

const QColor CQuoteBoardModel::kRising(255, 60, 60);
const QColor CQuoteBoardModel::kFalling(0, 210, 0);
const QColor CQuoteBoardModel::kUnchanged(220, 220, 220);

namespace {

const std::vector<unsigned short>& QuoteItems()
{
    static const std::vector<unsigned short> items = {QuoteItem::kLastPrice, QuoteItem::kPrevClose,
                                                      QuoteItem::kDayHigh,   QuoteItem::kDayLow,
                                                      QuoteItem::kVolume,    QuoteItem::kTime};
    return items;
}

// The quote service formats each price with the decimals of its market; the board follows.
int DecimalsOf(const CString& text)
{
    const std::size_t dot = text.find('.');
    if (dot == CString::npos)
        return 0;
    std::size_t n = 0;
    while (dot + 1 + n < text.size() && text[dot + 1 + n] >= '0' && text[dot + 1 + n] <= '9')
        ++n;
    return static_cast<int>(n);
}

const QVariant kMissing = QVariant(-std::numeric_limits<double>::infinity());

} // namespace

CQuoteBoardModel::CQuoteBoardModel(QObject* parent) : QAbstractTableModel(parent) {}

std::string_view CQuoteBoardModel::Key(char (&buf)[16], unsigned char market,
                                       const std::string& code)
{
    // A code too long for the table gives a key the table refuses: the stock is not listed.
    const std::size_t length = std::min(code.size(), sizeof buf - 1);
    buf[0] = static_cast<char>(market);
    code.copy(buf + 1, length);
    return std::string_view(buf, code.size() + 1 > sizeof buf ? sizeof buf : length + 1);
}

void CQuoteBoardModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_index.Clear(6000);
    m_dirty.clear();
    m_isDirty.clear();
    endResetModel();
}

void CQuoteBoardModel::Reload()
{
    beginResetModel();
    m_rows.clear();
    m_index.Clear(6000);
    m_dirty.clear();
    std::vector<unsigned char> markets;
    if (DA_bGetAllServiceID(markets)) {
        for (unsigned char market : markets) {
            std::vector<CString> codes;
            std::vector<CString> names;
            if (!BK_bGetSymbolID(codes, names, market, CString(), CString(), nullptr))
                continue;
            for (std::size_t i = 0; i < codes.size(); ++i) {
                // A stock listed twice keeps its first row; rows are numbered from 1 in the
                // table, whose new values are 0.
                char buf[16];
                int* slot = m_index.Insert(Key(buf, market, codes[i]));
                if (!slot || *slot != 0)
                    continue;
                *slot = static_cast<int>(m_rows.size()) + 1;
                Row row;
                row.market = market;
                row.code = codes[i];
                row.codeText = VelkFromGbk(codes[i]);
                row.name = i < names.size() ? VelkFromGbk(names[i]) : QString();
                ReadQuote(row);
                m_rows.push_back(std::move(row));
            }
        }
    }
    m_isDirty.assign(m_rows.size(), false);
    endResetModel();
}

void CQuoteBoardModel::ReadQuote(Row& row) const
{
    std::vector<X1Format> values;
    if (!BK_bGetItemDataByItemNo(row.market, row.code, QuoteItems(), values, true, nullptr) ||
        values.size() < QuoteItems().size())
        return;
    const X1Format& last = values[0];
    const X1Format& prevClose = values[1];
    row.traded = last.GetKind() != X1Format::kNone;
    if (prevClose.GetKind() != X1Format::kNone)
        row.prevClose = double(prevClose);
    row.decimals = DecimalsOf(row.traded ? last.s_GetAsString() : prevClose.s_GetAsString());
    if (row.decimals == 0)
        row.decimals = 2;
    if (!row.traded)
        return;
    row.last = double(last);
    row.high = double(values[2]);
    row.low = double(values[3]);
    row.volume = double(values[4]);
    const X1Format& time = values[5];
    row.time = time.GetKind() == X1Format::kTime
                   ? time.GetHour() * 3600 + time.GetMinute() * 60 + time.GetSecond()
                   : -1;
}

void CQuoteBoardModel::MarkTraded(unsigned char market, const std::string& code)
{
    const int row = RowOf(market, code);
    if (row < 0 || m_isDirty[static_cast<std::size_t>(row)])
        return;
    m_isDirty[static_cast<std::size_t>(row)] = true;
    m_dirty.push_back(row);
}

void CQuoteBoardModel::Flush()
{
    if (m_dirty.empty())
        return;
    std::vector<int> dirty;
    dirty.swap(m_dirty);
    for (int row : dirty) {
        m_isDirty[static_cast<std::size_t>(row)] = false;
        ReadQuote(m_rows[static_cast<std::size_t>(row)]);
        Q_EMIT dataChanged(index(row, kLast), index(row, kColumnCount - 1));
    }
}

int CQuoteBoardModel::RowOf(unsigned char market, const std::string& code) const
{
    char buf[16];
    const int* row = m_index.Find(Key(buf, market, code));
    return row ? *row - 1 : -1;
}

int CQuoteBoardModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CQuoteBoardModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString CQuoteBoardModel::PriceText(const Row& row, double value) const
{
    return QString::number(value, 'f', row.decimals);
}

QVariant CQuoteBoardModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    const bool hasChange = row.traded && row.prevClose > 0;
    const double change = hasChange ? row.last - row.prevClose : 0.0;
    const double percent = hasChange ? change / row.prevClose * 100.0 : 0.0;
    // A change smaller than the last decimal shown is no change.
    const double unit = 0.5 * std::pow(10.0, -row.decimals);

    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case kCode:
            return row.codeText;
        case kName:
            return row.name;
        case kLast:
            return row.traded ? PriceText(row, row.last) : QStringLiteral("-");
        case kChange:
            return hasChange
                       ? (change > unit ? QStringLiteral("+") : QString()) + PriceText(row, change)
                       : QStringLiteral("-");
        case kChangePercent:
            return hasChange ? (percent > 0.005 ? QStringLiteral("+") : QString()) +
                                   QString::number(percent, 'f', 2) + QStringLiteral("%")
                             : QStringLiteral("-");
        case kHigh:
            return row.traded ? PriceText(row, row.high) : QStringLiteral("-");
        case kLow:
            return row.traded ? PriceText(row, row.low) : QStringLiteral("-");
        case kVolume:
            return row.traded ? QString::number(std::floor(row.volume / 100.0), 'f', 0)
                              : QStringLiteral("-");
        case kTime:
            return row.time >= 0 ? QString::fromStdString(VelkClockText(row.time))
                                 : QStringLiteral("-");
        }
        return {};
    case kSortRole:
        switch (column) {
        case kCode:
            return row.codeText;
        case kName:
            return row.name;
        case kLast:
            return row.traded ? QVariant(row.last) : kMissing;
        case kChange:
            return hasChange ? QVariant(change) : kMissing;
        case kChangePercent:
            return hasChange ? QVariant(percent) : kMissing;
        case kHigh:
            return row.traded ? QVariant(row.high) : kMissing;
        case kLow:
            return row.traded ? QVariant(row.low) : kMissing;
        case kVolume:
            return row.traded ? QVariant(row.volume) : kMissing;
        case kTime:
            return row.time;
        }
        return {};
    case kSearchRole:
        return column == kCode ? row.codeText + QLatin1Char(' ') + row.name : QVariant();
    case Qt::TextAlignmentRole:
        return column == kCode || column == kName ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                  : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole: {
        auto colourOf = [&](double price) {
            if (!row.traded || row.prevClose <= 0)
                return kUnchanged;
            return price - row.prevClose > unit   ? kRising
                   : row.prevClose - price > unit ? kFalling
                                                  : kUnchanged;
        };
        switch (column) {
        case kCode:
            return kUnchanged;
        case kName:
            return QColor(255, 220, 80);
        case kLast:
        case kChange:
        case kChangePercent:
            return colourOf(row.last);
        case kHigh:
            return colourOf(row.high);
        case kLow:
            return colourOf(row.low);
        case kVolume:
            return QColor(255, 220, 80);
        case kTime:
            return QColor(160, 160, 160);
        }
        return {};
    }
    case Qt::ToolTipRole:
        if (column == kCode || column == kName) {
            CString ext;
            BK_bGetServiceExName(ext, row.market);
            return row.codeText + QLatin1Char('.') + VelkFromGbk(ext) + QLatin1Char(' ') +
                   row.name +
                   (row.prevClose > 0 ? VelkFromUtf8("  昨收 ") + PriceText(row, row.prevClose)
                                      : QString());
        }
        return {};
    default:
        return {};
    }
}

QVariant CQuoteBoardModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return section == kCode || section == kName ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                    : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    static const char* const kHeaders[kColumnCount] = {"代码", "名称", "最新",       "涨跌", "涨幅",
                                                       "最高", "最低", "成交量(手)", "时间"};
    return section >= 0 && section < kColumnCount ? VelkFromUtf8(kHeaders[section]) : QVariant();
}
