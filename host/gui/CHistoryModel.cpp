#include "host/gui/CHistoryModel.h"

#include <QColor>

#include "engine/VelkPriceText.h"
#include "host/outputs/CAlertEvent.h"

namespace {

QString TimeText(int time)
{
    time = ((time % 86400) + 86400) % 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(time / 3600, 2, 10, QLatin1Char('0'))
        .arg(time / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(time % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CHistoryModel::CHistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

void CHistoryModel::SetRows(std::vector<CAlertHistory::Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const CAlertHistory::Row& row = RowAt(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() == Deliveries && row.attempts > 0 && m_deliveriesText)
            return m_deliveriesText(row);
        return {};
    }
    if (role == Qt::ForegroundRole) {
        if (CAlertEvent::IsRisingReason(row.reasonCode))
            return QColor(Qt::red);
        if (CAlertEvent::IsFallingReason(row.reasonCode))
            return QColor(0, 150, 0);
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number =
            index.column() == Price || index.column() == Volume || index.column() == Deliveries;
        return QVariant::fromValue(Qt::Alignment(number ? Qt::AlignRight | Qt::AlignVCenter
                                                        : Qt::AlignLeft | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole && role != kSortRole)
        return {};
    const bool sort = role == kSortRole;
    switch (index.column()) {
    case Date:
        return QString::fromStdString(row.tradingDate);
    case Time:
        return sort ? QVariant(row.time) : QVariant(TimeText(row.time));
    case Code:
        // A text, never a number: 000001 keeps its zeros.
        return QString::fromStdString(row.code);
    case Name:
        return QString::fromStdString(row.name);
    case Reason:
        return QString::fromStdString(row.reason);
    case Price:
        return sort
                   ? QVariant(row.price)
                   : QVariant(QString::fromStdString(VelkPriceText(static_cast<float>(row.price))));
    case Volume:
        return sort ? QVariant(row.volume) : QVariant(QString::number(row.volume, 'f', 0));
    case Source:
        return row.source == "live" ? tr("实时") : tr("回放");
    case Deliveries:
        return sort ? QVariant(row.delivered)
                    : QVariant(QStringLiteral("%1/%2").arg(row.delivered).arg(row.attempts));
    default:
        return {};
    }
}

QVariant CHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Date:
        return tr("日期");
    case Time:
        return tr("时间");
    case Code:
        return tr("代码");
    case Name:
        return tr("名称");
    case Reason:
        return tr("报警原因");
    case Price:
        return tr("价格");
    case Volume:
        return tr("成交量");
    case Source:
        return tr("来源");
    case Deliveries:
        return tr("送达/尝试");
    default:
        return {};
    }
}
