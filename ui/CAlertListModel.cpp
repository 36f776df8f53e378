#include "ui/CAlertListModel.h"

#include <QBrush>
#include <QColor>
#include <cstdio>

#include "engine/VelkPriceText.h"
#include "platform/core/VelkClockText.h"
#include "platform/qt/QtText.h"
#include "res/VelkStringTable.h"

namespace {

constexpr unsigned kHeaderIds[CAlertListModel::kColumnCount] = {
    VelkString::kListName, VelkString::kListTime, VelkString::kListPrice, VelkString::kListVolume,
    VelkString::kListReason};

QString Printed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return QString::fromLatin1(text);
}

} // namespace

CAlertListModel::CAlertListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CAlertListModel::SetAlerts(CAlertRecordList* alerts)
{
    beginResetModel();
    m_pAlerts = alerts;
    m_nRows = 0;
    m_nPending = 0;
    endResetModel();
}

void CAlertListModel::NoteFrontRecord()
{
    ++m_nPending;
}

void CAlertListModel::FlushNewRows()
{
    if (m_nPending <= 0)
        return;
    beginInsertRows(QModelIndex(), 0, m_nPending - 1);
    m_nRows += m_nPending;
    m_nPending = 0;
    endInsertRows();
}

void CAlertListModel::ResetRows(bool showList, const std::function<void()>& change)
{
    beginResetModel();
    if (change)
        change();
    m_nRows = showList && m_pAlerts ? static_cast<int>(m_pAlerts->size()) : 0;
    m_nPending = 0;
    endResetModel();
}

const Ta_ALERTRECORD* CAlertListModel::RecordAt(int row) const
{
    if (!m_pAlerts || row < 0 || row >= m_nRows)
        return nullptr;
    const std::size_t index = static_cast<std::size_t>(row) + static_cast<std::size_t>(m_nPending);
    return index < m_pAlerts->size() ? &(*m_pAlerts)[index] : nullptr;
}

int CAlertListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nRows;
}

int CAlertListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString CAlertListModel::TimeText(std::int32_t seconds)
{
    return QString::fromStdString(VelkClockText(seconds));
}

QString CAlertListModel::PriceText(float price)
{
    return QString::fromLatin1(VelkPriceText(price).c_str());
}

QString CAlertListModel::VolumeText(float volume)
{
    return Printed("%.0f", volume * 0.01);
}

QVariant CAlertListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_nRows || index.column() >= kColumnCount)
        return {};
    switch (role) {
    case Qt::TextAlignmentRole:
        if (index.column() == kName || index.column() == kReason)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    case Qt::ForegroundRole:
        return QBrush(QColor(255, 0, 0));
    case Qt::BackgroundRole:
        return QBrush(QColor(0, 0, 0));
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    const Ta_ALERTRECORD* shown = RecordAt(index.row());
    if (!shown)
        return QString();
    const Ta_ALERTRECORD& record = *shown;
    switch (index.column()) {
    case kName:
        return VelkFromGbk(VelkFieldText(record.m_szName));
    case kTime:
        return TimeText(record.m_nTime);
    case kPrice:
        return PriceText(record.m_fPrice);
    case kVolume:
        return VolumeText(record.m_fVolume);
    default:
        return VelkFromGbk(VelkFieldText(record.m_szReason));
    }
}

QVariant CAlertListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return VelkFromUtf8(VelkStringUtf8(kHeaderIds[section]));
    if (role == Qt::TextAlignmentRole) {
        if (section == kName || section == kReason)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    return {};
}
