#include "host/gui/CQuoteBoardModel.h"

#include <QColor>
#include <QCoreApplication>
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
const QColor CQuoteBoardModel::kLimitUpBackground(110, 0, 0);
const QColor CQuoteBoardModel::kLimitDownBackground(0, 80, 0);

namespace {

const std::vector<unsigned short>& QuoteItems()
{
    static const std::vector<unsigned short> items = {QuoteItem::kLastPrice,
                                                      QuoteItem::kPrevClose,
                                                      QuoteItem::kDayHigh,
                                                      QuoteItem::kDayLow,
                                                      QuoteItem::kVolume,
                                                      QuoteItem::kTime,
                                                      QuoteItem::kLimitUp,
                                                      QuoteItem::kLimitDown,
                                                      QuoteItem::kOpenPrice,
                                                      QuoteItem::kAmount,
                                                      QuoteItem::kFiveDayVolumePerMinute};
    return items;
}

// The minutes of continuous trading (09:30-11:30, 13:00-15:00) before the time of day, at least
// one: what the volume so far is spread over, as the market monitor spreads it.
double TradingMinutes(int seconds)
{
    constexpr int kMorningOpen = 9 * 3600 + 30 * 60;
    constexpr int kAfternoonOpen = 13 * 3600;
    constexpr int kSessionLength = 2 * 3600;
    const int morning = std::clamp(seconds - kMorningOpen, 0, kSessionLength);
    const int afternoon = std::clamp(seconds - kAfternoonOpen, 0, kSessionLength);
    return std::max(1.0, (morning + afternoon) / 60.0);
}

// Half the last decimal's unit: prices closer than that are the same price. From a table, as the
// board asks for it at every sort comparison.
double HalfUnit(int decimals)
{
    static constexpr double kHalfUnits[] = {0.5, 0.05, 0.005, 0.0005, 0.00005, 0.000005, 0.0000005};
    return kHalfUnits[std::clamp(decimals, 0, static_cast<int>(std::size(kHalfUnits)) - 1)];
}

// Money in the units a Chinese board shows it: yuan, 万 (ten thousand) or 亿 (a hundred million).
QString AmountText(double amount)
{
    if (amount >= 1e8)
        return QString::number(amount / 1e8, 'f', 2) +
               QCoreApplication::translate("CQuoteBoardModel", "亿");
    if (amount >= 1e4)
        return QString::number(amount / 1e4, 'f', amount >= 1e6 ? 0 : 2) +
               QCoreApplication::translate("CQuoteBoardModel", "万");
    return QString::number(amount, 'f', 0);
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
    m_groups.clear();
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
    ListNewSymbols(m_rows, 0);
    m_isDirty.assign(m_rows.size(), false);
    ReadGroups();
    endResetModel();
}

void CQuoteBoardModel::AddNewSymbols()
{
    std::vector<Row> added;
    ListNewSymbols(added, m_rows.size());
    if (!added.empty()) {
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(added.size()) - 1);
        for (Row& row : added)
            m_rows.push_back(std::move(row));
        m_isDirty.resize(m_rows.size(), false);
        endInsertRows();
    }
    std::vector<Group> before = std::move(m_groups);
    ReadGroups();
    const bool same = std::equal(
        before.begin(), before.end(), m_groups.begin(), m_groups.end(),
        [](const Group& a, const Group& b) { return a.name == b.name && a.rows == b.rows; });
    if (!same)
        Q_EMIT GroupsChanged();
}

void CQuoteBoardModel::ListNewSymbols(std::vector<Row>& added, std::size_t listed)
{
    std::vector<unsigned char> markets;
    if (!DA_bGetAllServiceID(markets))
        return;
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
            *slot = static_cast<int>(listed + added.size()) + 1;
            Row row;
            row.market = market;
            row.code = codes[i];
            row.codeText = VelkFromGbk(codes[i]);
            row.name = i < names.size() ? VelkFromGbk(names[i]) : QString();
            ReadQuote(row);
            added.push_back(std::move(row));
        }
    }
}

void CQuoteBoardModel::ReadGroups()
{
    m_groups.clear();
    tag_UserInfo user;
    user.m_strUserID.clear();
    std::vector<CString> names;
    if (!DA_bGetUserInfo(user) || !DA_bGetSSVInfoByUserID(user.m_strUserID, names))
        return;
    for (const CString& name : names) {
        std::vector<CSymbolInfo> stocks;
        if (!DA_bGetSymbolIDVecBySSVName(user.m_strUserID, name, stocks))
            continue;
        Group group;
        group.name = VelkFromGbk(name);
        for (const CSymbolInfo& stock : stocks) {
            const int row = RowOf(stock.m_byMarket, stock.m_strCode);
            if (row >= 0 &&
                std::find(group.rows.begin(), group.rows.end(), row) == group.rows.end())
                group.rows.push_back(row);
        }
        m_groups.push_back(std::move(group));
    }
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
    row.limitUp = values[6].GetKind() != X1Format::kNone ? double(values[6]) : 0.0;
    row.limitDown = values[7].GetKind() != X1Format::kNone ? double(values[7]) : 0.0;
    row.fiveDayVolumePerMinute = values[10].GetKind() != X1Format::kNone ? double(values[10]) : 0.0;
    row.decimals = DecimalsOf(row.traded ? last.s_GetAsString() : prevClose.s_GetAsString());
    if (row.decimals == 0)
        row.decimals = 2;
    if (!row.traded)
        return;
    row.last = double(last);
    row.high = double(values[2]);
    row.low = double(values[3]);
    row.volume = double(values[4]);
    row.open = values[8].GetKind() != X1Format::kNone ? double(values[8]) : 0.0;
    row.amount = values[9].GetKind() != X1Format::kNone ? double(values[9]) : -1.0;
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
    if (m_dirty.size() <= kRowsPerFlush) {
        dirty.swap(m_dirty);
    } else {
        // The rows that traded first are shown first; the rest wait for the next flush.
        const auto cut = m_dirty.begin() + static_cast<std::ptrdiff_t>(kRowsPerFlush);
        dirty.assign(m_dirty.begin(), cut);
        m_dirty.erase(m_dirty.begin(), cut);
    }
    for (int row : dirty) {
        m_isDirty[static_cast<std::size_t>(row)] = false;
        ReadQuote(m_rows[static_cast<std::size_t>(row)]);
    }
    // A whole market trades thousands of rows between two flushes: every change signalled on
    // its own costs the views (the proxy's sorting, the column fitting, the repaint) far more
    // than their work on the rows. Rows a few apart are told as one range; the rows between
    // that did not change are read again by whoever looks, unchanged.
    std::sort(dirty.begin(), dirty.end());
    std::size_t begin = 0;
    while (begin < dirty.size()) {
        std::size_t end = begin + 1;
        while (end < dirty.size() && dirty[end] - dirty[end - 1] <= kRowsJoined)
            ++end;
        Q_EMIT dataChanged(index(dirty[begin], kLast), index(dirty[end - 1], kColumnCount - 1));
        begin = end;
    }
    Q_EMIT RowsFlushed(dirty, kLast);
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

int CQuoteBoardModel::LimitOf(const Row& row) const
{
    if (!row.traded)
        return 0;
    // Prices are quoted to their decimals: half a unit of the last one apart is the same price.
    const double unit = HalfUnit(row.decimals);
    if (row.limitUp > 0 && row.last >= row.limitUp - unit)
        return 1;
    if (row.limitDown > 0 && row.last <= row.limitDown + unit)
        return -1;
    return 0;
}

bool CQuoteBoardModel::VolumeRatio(const Row& row, double& ratio)
{
    if (!row.traded || row.fiveDayVolumePerMinute <= 0 || row.time < 0)
        return false;
    ratio = row.volume / TradingMinutes(row.time) / row.fiveDayVolumePerMinute;
    return true;
}

QString CQuoteBoardModel::DisplayText(const Row& row, int column) const
{
    const QString none = QStringLiteral("-");
    const bool hasChange = row.traded && row.prevClose > 0;
    const double change = hasChange ? row.last - row.prevClose : 0.0;
    // A change smaller than the last decimal shown is no change.
    const double unit = HalfUnit(row.decimals);
    switch (column) {
    case kCode:
        return row.codeText;
    case kName:
        return row.name;
    case kLast:
        return row.traded ? PriceText(row, row.last) : none;
    case kChange:
        return hasChange
                   ? (change > unit ? QStringLiteral("+") : QString()) + PriceText(row, change)
                   : none;
    case kChangePercent: {
        const double percent = hasChange ? change / row.prevClose * 100.0 : 0.0;
        return hasChange ? (percent > 0.005 ? QStringLiteral("+") : QString()) +
                               QString::number(percent, 'f', 2) + QStringLiteral("%")
                         : none;
    }
    case kPrevClose:
        return row.prevClose > 0 ? PriceText(row, row.prevClose) : none;
    case kOpen:
        return row.traded && row.open > 0 ? PriceText(row, row.open) : none;
    case kHigh:
        return row.traded ? PriceText(row, row.high) : none;
    case kLow:
        return row.traded ? PriceText(row, row.low) : none;
    case kVolume:
        return row.traded ? QString::number(std::floor(row.volume / 100.0), 'f', 0) : none;
    case kAmount:
        return row.traded && row.amount >= 0 ? AmountText(row.amount) : none;
    case kVolumeRatio: {
        double ratio = 0;
        return VolumeRatio(row, ratio) ? QString::number(ratio, 'f', 2) : none;
    }
    case kTime:
        return row.time >= 0 ? QString::fromStdString(VelkClockText(row.time)) : none;
    }
    return {};
}

QVariant CQuoteBoardModel::SortValue(const Row& row, int column) const
{
    const bool hasChange = row.traded && row.prevClose > 0;
    switch (column) {
    case kCode:
        return row.codeText;
    case kName:
        return row.name;
    case kLast:
        return row.traded ? QVariant(row.last) : kMissing;
    case kChange:
        return hasChange ? QVariant(row.last - row.prevClose) : kMissing;
    case kChangePercent:
        return hasChange ? QVariant((row.last - row.prevClose) / row.prevClose * 100.0) : kMissing;
    case kPrevClose:
        return row.prevClose > 0 ? QVariant(row.prevClose) : kMissing;
    case kOpen:
        return row.traded && row.open > 0 ? QVariant(row.open) : kMissing;
    case kHigh:
        return row.traded ? QVariant(row.high) : kMissing;
    case kLow:
        return row.traded ? QVariant(row.low) : kMissing;
    case kVolume:
        return row.traded ? QVariant(row.volume) : kMissing;
    case kAmount:
        return row.traded && row.amount >= 0 ? QVariant(row.amount) : kMissing;
    case kVolumeRatio: {
        double ratio = 0;
        return VolumeRatio(row, ratio) ? QVariant(ratio) : kMissing;
    }
    case kTime:
        return row.time >= 0 ? QVariant(double(row.time)) : kMissing;
    }
    return {};
}

QVariant CQuoteBoardModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    const double unit = HalfUnit(row.decimals);

    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(row, column);
    case kSortRole:
        return SortValue(row, column);
    case kTradedRole:
        return row.traded;
    case kLimitRole:
        return LimitOf(row);
    case kSearchRole:
        return column == kCode ? row.codeText + QLatin1Char(' ') + row.name : QVariant();
    case Qt::TextAlignmentRole:
        return column == kCode || column == kName ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                  : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole: {
        const int limit = LimitOf(row);
        return limit > 0   ? QVariant(kLimitUpBackground)
               : limit < 0 ? QVariant(kLimitDownBackground)
                           : QVariant();
    }
    case Qt::ForegroundRole: {
        auto colourOf = [&](double price) {
            if (!row.traded || row.prevClose <= 0 || price <= 0)
                return kUnchanged;
            return price - row.prevClose > unit   ? kRising
                   : row.prevClose - price > unit ? kFalling
                                                  : kUnchanged;
        };
        switch (column) {
        case kCode:
        case kPrevClose:
            return kUnchanged;
        case kName:
        case kVolume:
        case kAmount:
        case kVolumeRatio:
            return QColor(255, 220, 80);
        case kLast:
        case kChange:
        case kChangePercent:
            return colourOf(row.last);
        case kOpen:
            return colourOf(row.open);
        case kHigh:
            return colourOf(row.high);
        case kLow:
            return colourOf(row.low);
        case kTime:
            return QColor(160, 160, 160);
        }
        return {};
    }
    case Qt::AccessibleTextRole: {
        // A screen reader hears the limit that the colour of the row shows.
        const int limit = LimitOf(row);
        const QString mark = limit > 0 ? tr("涨停 ") : limit < 0 ? tr("跌停 ") : QString();
        return mark + headerData(column, Qt::Horizontal).toString() + QLatin1Char(' ') +
               DisplayText(row, column);
    }
    case Qt::ToolTipRole:
        if (column == kCode || column == kName) {
            CString ext;
            BK_bGetServiceExName(ext, row.market);
            const int limit = LimitOf(row);
            return row.codeText + QLatin1Char('.') + VelkFromGbk(ext) + QLatin1Char(' ') +
                   row.name +
                   (row.prevClose > 0 ? tr("  昨收 ") + PriceText(row, row.prevClose) : QString()) +
                   (limit > 0   ? tr("  涨停")
                    : limit < 0 ? tr("  跌停")
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
    static const char* const kHeaders[kColumnCount] = {
        QT_TR_NOOP("代码"), QT_TR_NOOP("名称"),       QT_TR_NOOP("最新"),   QT_TR_NOOP("涨跌"),
        QT_TR_NOOP("涨幅"), QT_TR_NOOP("昨收"),       QT_TR_NOOP("今开"),   QT_TR_NOOP("最高"),
        QT_TR_NOOP("最低"), QT_TR_NOOP("成交量(手)"), QT_TR_NOOP("成交额"), QT_TR_NOOP("量比"),
        QT_TR_NOOP("时间")};
    return section >= 0 && section < kColumnCount ? tr(kHeaders[section]) : QVariant();
}
