#include "host/gui/CFeedStatusBar.h"

#include <QHBoxLayout>
#include <QLabel>

#include "host/gui/CLiveFeed.h"

CFeedStatusBar::CFeedStatusBar(QWidget* parent)
    : QWidget(parent), m_pState(new QLabel(this)), m_pRate(new QLabel(this)),
      m_pLag(new QLabel(this))
{
    m_pState->setObjectName(QStringLiteral("feedState"));
    m_pRate->setObjectName(QStringLiteral("feedRate"));
    m_pLag->setObjectName(QStringLiteral("feedLag"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pState);
    layout->addWidget(m_pRate);
    layout->addWidget(m_pLag);
    hide();
}

void CFeedStatusBar::Show(const CLiveFeed& feed)
{
    if (feed.GetState() == CLiveFeed::State::Off) {
        hide();
        return;
    }
    QString state;
    switch (feed.GetState()) {
    case CLiveFeed::State::Off:
        break;
    case CLiveFeed::State::Connecting:
        state = tr("连接中");
        break;
    case CLiveFeed::State::Live:
        state = tr("实时");
        break;
    case CLiveFeed::State::Retrying:
        state = tr("中断，%1 秒后重试").arg(feed.RetrySeconds());
        break;
    case CLiveFeed::State::Unreachable:
        state = tr("无法连接行情源");
        break;
    case CLiveFeed::State::Ended:
        state = tr("行情结束");
        break;
    }
    const bool silent = feed.IsSilent();
    m_pState->setText(silent ? tr("行情中断") : state);
    m_pState->setStyleSheet(silent ? QStringLiteral("color: red; font-weight: bold") : QString());
    m_pState->setToolTip(feed.Address() + (feed.Detail().isEmpty()
                                               ? QString()
                                               : QStringLiteral("\n") + feed.Detail()));
    m_pRate->setText(tr("%1 条/秒").arg(feed.MessagesPerSecond()));
    const qint64 lag = feed.LagMs();
    m_pLag->setText(lag < 0 ? tr("延迟 --")
                            : tr("延迟 %1 秒").arg(double(lag) / 1000.0, 0, 'f', 1));
    show();
}
