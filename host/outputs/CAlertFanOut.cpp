#include "host/outputs/CAlertFanOut.h"

#include <algorithm>
#include <cstring>

#include "host/outputs/CAlertHistory.h"

CAlertFanOut::~CAlertFanOut()
{
    Stop(std::chrono::milliseconds(0));
}

void CAlertFanOut::AddOutput(std::unique_ptr<IAlertOutput> output,
                             const COutputWorker::Options& options)
{
    m_vecWorkers.push_back(std::make_unique<COutputWorker>(std::move(output), options, m_pHistory));
    // An output added in the middle of a frame starts with the next alert.
    m_vecHanded.push_back(m_vecFrame.size());
}

void CAlertFanOut::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    if (m_pFront)
        m_pFront->OnAlertRecorded(record);
    if (!m_pHistory && m_vecWorkers.empty()) {
        ++m_nSequence;
        return;
    }
    CAlertEvent& event = m_vecFrame.emplace_back();
    event.record = record;
    const char* reason = record.m_szReason;
    event.reasonCode = CAlertEvent::ReasonCodeOf(
        std::string_view(reason, ::strnlen(reason, sizeof record.m_szReason)));
    event.sequence = ++m_nSequence;
    event.tradingDate = m_context.tradingDate;
    event.live = m_context.live;
    if (m_pHistory)
        event.historyRun = m_pHistory->CurrentRun();
    for (std::size_t i = 0; i < m_vecWorkers.size(); ++i) {
        if (!m_vecWorkers[i]->IsIdle())
            continue;
        m_vecWorkers[i]->Push(m_vecFrame.data() + m_vecHanded[i],
                              m_vecFrame.size() - m_vecHanded[i]);
        m_vecHanded[i] = m_vecFrame.size();
    }
}

void CAlertFanOut::HandFrame()
{
    for (std::size_t i = 0; i < m_vecWorkers.size(); ++i)
        m_vecWorkers[i]->Push(m_vecFrame.data() + m_vecHanded[i],
                              m_vecFrame.size() - m_vecHanded[i]);
    if (m_pHistory)
        m_pHistory->Add(std::move(m_vecFrame));
    m_vecFrame.clear();
    std::fill(m_vecHanded.begin(), m_vecHanded.end(), 0);
}

bool CAlertFanOut::EndFrame()
{
    HandFrame();
    return !m_pHistory || m_pHistory->CommitInBackground();
}

void CAlertFanOut::Stop(std::chrono::milliseconds grace)
{
    HandFrame();
    // The workers share one grace time rather than each taking it in turn.
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (const auto& worker : m_vecWorkers) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        worker->Stop(std::max(left, std::chrono::milliseconds(0)));
    }
}

std::vector<std::string> CAlertFanOut::StatusLines() const
{
    std::vector<std::string> lines;
    for (const auto& worker : m_vecWorkers)
        lines.push_back(worker->StatusText());
    return lines;
}
