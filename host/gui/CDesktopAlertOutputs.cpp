#include "host/gui/CDesktopAlertOutputs.h"

#include <QSettings>
#include <QStringList>
#include <string>
#include <vector>

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CSystemErrorText.h"
#include "host/outputs/COutputSettings.h"
#include "host/outputs/CSecretStore.h"

CDesktopAlertOutputs::CDesktopAlertOutputs(CDaySession& session, const std::string& historyPath,
                                           QSettings* settings, QObject* parent, Today today)
    : QObject(parent), m_session(session), m_pSettings(settings),
      m_pFanOut(std::make_unique<CAlertFanOut>(CAlertFanOut::Context{}))
{
    if (!historyPath.empty()) {
        if (m_history.Open(historyPath, CAlertHistory::Damaged::SetAside)) {
            m_pFanOut->SetHistory(&m_history);
            if (!m_history.SetAsidePath().empty()) {
                QTimer::singleShot(
                    0, this,
                    [this, aside = m_history.SetAsidePath(), reason = m_history.SetAsideReason()] {
                        Q_EMIT Problem(tr("报警历史文件已损坏(%1)，已移到 %2，新的历史从现在记起")
                                           .arg(CSystemErrorText::Translate(reason),
                                                QString::fromStdString(aside)));
                    });
            }
        } else {
            m_bHistoryFailed = true;
            QTimer::singleShot(0, this, [this, error = m_history.Error()] {
                Q_EMIT Problem(tr("报警历史无法打开: %1").arg(CSystemErrorText::Translate(error)));
            });
        }
    }
    if (settings && m_history.IsOpen()) {
        const QDate date = today ? today() : QDate::currentDate();
        ApplyRetention(date.year() * 10000 + date.month() * 100 + date.day());
    }
    if (settings) {
        const CSecretStore secrets(CSecretStore::DefaultFile());
        std::vector<std::string> problems;
        COutputSettings::AddConfiguredOutputs(*settings, secrets, *m_pFanOut, problems);
        // An output left out would otherwise be silent to a trader who never sees stderr.
        if (!problems.empty()) {
            QStringList texts;
            for (const std::string& problem : problems)
                texts << QString::fromStdString(problem);
            QTimer::singleShot(0, this, [this, texts] {
                Q_EMIT Problem(tr("推送未启用: %1").arg(texts.join(QStringLiteral("; "))));
            });
        }
    }
    session.AddAlertObserver(this);
    connect(&session, &CDaySession::DayOpened, this, &CDesktopAlertOutputs::OnDayOpened);
    // The history is written once a frame, as the window shows new rows.
    m_frame.setInterval(16);
    connect(&m_frame, &QTimer::timeout, this, &CDesktopAlertOutputs::EndFrame);
    m_frame.start();
    if (session.HasDay())
        OnDayOpened();
}

CDesktopAlertOutputs::~CDesktopAlertOutputs()
{
    m_session.RemoveAlertObserver(this);
    EndFrame();
    m_pFanOut->Stop(std::chrono::milliseconds(1000));
    EndFrame();
}

bool CDesktopAlertOutputs::IsLive() const
{
    if (m_isLive)
        return m_isLive();
    return m_session.Source() && !dynamic_cast<const CDayReplay*>(m_session.Source());
}

int CDesktopAlertOutputs::ApplyRetention(int todayYmd)
{
    if (!m_pSettings || !m_history.IsOpen())
        return 0;
    const int deleted =
        m_history.DeleteOlderThan(COutputSettings::RetentionDays(*m_pSettings), todayYmd);
    if (deleted < 0) {
        const QString error = CSystemErrorText::Translate(m_history.Error());
        // Told once the window listens.
        QTimer::singleShot(
            0, this, [this, error] { Q_EMIT Problem(tr("旧的报警历史无法删除: %1").arg(error)); });
    }
    return deleted;
}

void CDesktopAlertOutputs::OnDayOpened()
{
    EndFrame();
    const CTradingDay* day = m_session.Day();
    const bool live = IsLive();
    m_pFanOut->SetContext(CAlertFanOut::Context{live, day ? day->TradeDate() : 0});
    if (m_history.IsOpen() && !m_history.BeginRun(live, m_session.DayFolder().toStdString()))
        Q_EMIT Problem(
            tr("报警历史无法记录本次运行: %1").arg(CSystemErrorText::Translate(m_history.Error())));
}

void CDesktopAlertOutputs::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    ++m_nSinceFrame;
    m_pFanOut->OnAlertRecorded(record);
}

void CDesktopAlertOutputs::EndFrame()
{
    if (!m_pFanOut->EndFrame()) {
        if (!m_bHistoryFailed)
            Q_EMIT Problem(
                tr("报警历史无法写入: %1").arg(CSystemErrorText::Translate(m_history.Error())));
        m_bHistoryFailed = true;
        return;
    }
    m_bHistoryFailed = false;
    if (m_nSinceFrame > 0) {
        Q_EMIT AlertsCommitted(m_nSinceFrame);
        m_nSinceFrame = 0;
    }
}
