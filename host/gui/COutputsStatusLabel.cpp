#include "host/gui/COutputsStatusLabel.h"

#include <QStringList>

#include "host/outputs/CAlertFanOut.h"

COutputsStatusLabel::COutputsStatusLabel(const CAlertFanOut& fanOut, QWidget* parent)
    : QLabel(parent), m_fanOut(fanOut)
{
    setObjectName(QStringLiteral("outputsStatus"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &COutputsStatusLabel::Refresh);
    m_timer.start();
    Refresh();
}

void COutputsStatusLabel::Refresh()
{
    long long delivered = 0;
    long long failed = 0;
    long long dropped = 0;
    long long waiting = 0;
    QStringList lines;
    for (const auto& worker : m_fanOut.Workers()) {
        const COutputWorker::Status status = worker->GetStatus();
        delivered += status.delivered;
        failed += status.failed;
        dropped += status.dropped;
        waiting += static_cast<long long>(status.queued);
        lines << tr("%1: 送达 %2, 失败 %3, 丢弃 %4, 等待 %5")
                     .arg(QString::fromStdString(worker->Name()))
                     .arg(status.delivered)
                     .arg(status.failed)
                     .arg(status.dropped)
                     .arg(status.queued);
    }
    setVisible(!lines.isEmpty());
    QString text = tr("推送 %1").arg(delivered);
    if (waiting > 0)
        text += tr(" 等待 %1").arg(waiting);
    if (failed > 0)
        text += tr(" 失败 %1").arg(failed);
    if (dropped > 0)
        text += tr(" 丢弃 %1").arg(dropped);
    setText(text);
    setToolTip(lines.join(QLatin1Char('\n')));
    setStyleSheet(failed > 0 || dropped > 0 ? QStringLiteral("color: #d00000;") : QString());
}
