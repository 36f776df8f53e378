#include "host/gui/CFeedLogPanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "host/gui/CLiveFeed.h"

CFeedLogPanel::CFeedLogPanel(QWidget* parent)
    : QDockWidget(tr("行情源日志"), parent), m_pList(new QTreeWidget(this)),
      m_pTotal(new QLabel(this))
{
    setObjectName(QStringLiteral("feedLogDock"));
    m_pList->setObjectName(QStringLiteral("feedLog"));
    m_pList->setColumnCount(3);
    m_pList->setHeaderLabels({tr("行号"), tr("类型"), tr("原因")});
    m_pList->setRootIsDecorated(false);
    m_pList->header()->setStretchLastSection(true);
    m_pTotal->setObjectName(QStringLiteral("feedLogTotal"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_pList);
    layout->addWidget(m_pTotal);
    setWidget(body);
    SetTotal(0);
}

void CFeedLogPanel::Add(CFeedRunner::Fault fault, long line, const QString& why)
{
    auto* item = new QTreeWidgetItem(m_pList);
    item->setText(0, QString::number(line));
    item->setText(1, CLiveFeed::FaultText(fault));
    item->setText(2, why);
    m_pList->scrollToItem(item);
}

void CFeedLogPanel::SetTotal(long long skipped)
{
    m_pTotal->setText(tr("共跳过 %1 行").arg(skipped));
}

void CFeedLogPanel::Clear()
{
    m_pList->clear();
    SetTotal(0);
}

int CFeedLogPanel::Rows() const
{
    return m_pList->topLevelItemCount();
}
