#include "host/gui/CDesktopLiveFeed.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>

#include "host/gui/CFeedConnectDialog.h"
#include "host/gui/CFeedLogPanel.h"
#include "host/gui/CFeedStatusBar.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/CLiveFeed.h"
#include "host/gui/HostSettingKeys.h"

CDesktopLiveFeed::CDesktopLiveFeed(QMainWindow& window, CDaySession& day, QMenu* fileMenu,
                                   QAction* before, QSettings* settings)
    : QObject(&window), m_window(window), m_pSettings(settings), m_pFeed(new CLiveFeed(day, this)),
      m_pStatus(new CFeedStatusBar(&window)), m_pLog(new CFeedLogPanel(&window)),
      m_pActConnect(new QAction(tr("连接行情源(&L)..."), &window)),
      m_pActDisconnect(new QAction(tr("断开行情源(&D)"), &window))
{
    m_pActConnect->setObjectName(QStringLiteral("actionConnectFeed"));
    m_pActDisconnect->setObjectName(QStringLiteral("actionDisconnectFeed"));
    m_pActDisconnect->setEnabled(false);
    if (fileMenu) {
        fileMenu->insertAction(before, m_pActConnect);
        fileMenu->insertAction(before, m_pActDisconnect);
    }
    connect(m_pActConnect, &QAction::triggered, this, &CDesktopLiveFeed::ChooseFeed);
    connect(m_pActDisconnect, &QAction::triggered, this, &CDesktopLiveFeed::Disconnect);

    window.statusBar()->addPermanentWidget(m_pStatus);
    window.addDockWidget(Qt::BottomDockWidgetArea, m_pLog);
    m_pLog->hide();

    connect(m_pFeed, &CLiveFeed::StateChanged, this, &CDesktopLiveFeed::OnStateChanged);
    connect(m_pFeed, &CLiveFeed::Updated, this, [this] {
        m_pStatus->Show(*m_pFeed);
        m_pLog->SetTotal(m_pFeed->SkippedTotal());
    });
    connect(m_pFeed, &CLiveFeed::LineSkipped, this,
            [this](CFeedRunner::Fault fault, long line, const QString& why) {
                m_pLog->Add(fault, line, why);
                m_pLog->show();
            });
}

CDesktopLiveFeed::~CDesktopLiveFeed()
{
    // The reader stops before the window and its day go.
    m_pFeed->Disconnect();
}

void CDesktopLiveFeed::ChooseFeed()
{
    CFeedConnectDialog dialog(HostSettings::kFeedAddress.Read(m_pSettings), &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ConnectTo(dialog.Address());
}

bool CDesktopLiveFeed::ConnectTo(const QString& address)
{
    m_pLog->Clear();
    QString error;
    if (!m_pFeed->Connect(address, &error)) {
        CHostPrompt::Prompt().Warn(&m_window, tr("无法连接行情源 %1\n%2").arg(address, error));
        return false;
    }
    HostSettings::kFeedAddress.Write(m_pSettings, address.trimmed());
    m_pStatus->Show(*m_pFeed);
    return true;
}

void CDesktopLiveFeed::Disconnect()
{
    m_pFeed->Disconnect();
}

bool CDesktopLiveFeed::IsActive() const
{
    return m_pFeed->IsActive();
}

void CDesktopLiveFeed::OnStateChanged()
{
    m_pStatus->Show(*m_pFeed);
    m_pActDisconnect->setEnabled(m_pFeed->IsActive());
    if (m_pFeed->GetState() == CLiveFeed::State::Unreachable)
        CHostPrompt::Prompt().Warn(
            &m_window, tr("无法连接行情源 %1\n%2").arg(m_pFeed->Address(), m_pFeed->Detail()));
    if (m_pFeed->IsActive() != m_bWasActive) {
        m_bWasActive = m_pFeed->IsActive();
        Q_EMIT ActiveChanged();
    }
}
