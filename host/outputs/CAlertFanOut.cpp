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
    m_vecHanded.push_back(m_pFrame ? m_pFrame->size() : 0);
}

void CAlertFanOut::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    if (m_pFront)
        m_pFront->OnAlertRecorded(record);
    if (!m_pHistory && m_vecWorkers.empty()) {
        ++m_nSequence;
        return;
    }
    if (!m_pFrame)
        m_pFrame = std::make_shared<std::vector<CAlertEvent>>();
    std::vector<CAlertEvent>& frame = *m_pFrame;
    CAlertEvent& event = frame.emplace_back();
    event.record = record;
    const char* reason = record.m_szReason;
    event.reasonCode = CAlertEvent::ReasonCodeOf(
        std::string_view(reason, ::strnlen(reason, sizeof record.m_szReason)));
    event.sequence = ++m_nSequence;
    event.tradingDate = m_context.tradingDate;
    event.live = m_context.live;
    if (m_pHistory)
        event.historyRun = m_pHistory->CurrentRun();
    // The frame still grows, so an output that waits gets a copy of what it lacks, in one batch.
    for (std::size_t i = 0; i < m_vecWorkers.size(); ++i) {
        if (!m_vecWorkers[i]->IsIdle())
            continue;
        const std::size_t lacking = frame.size() - m_vecHanded[i];
        m_vecWorkers[i]->Push(
            std::make_shared<const std::vector<CAlertEvent>>(
                frame.begin() + static_cast<std::ptrdiff_t>(m_vecHanded[i]), frame.end()),
            0, lacking);
        m_vecHanded[i] = frame.size();
    }
}

void CAlertFanOut::HandFrame()
{
    if (!m_pFrame || m_pFrame->empty())
        return;
    const std::size_t size = m_pFrame->size();
    // A frame the history or a queue kept is read from their threads from now on and never
    // changed again; one nobody kept is the fan-out's still.
    bool shared = false;
    const CAlertFrame frame = m_pFrame;
    for (std::size_t i = 0; i < m_vecWorkers.size(); ++i)
        shared = m_vecWorkers[i]->Push(frame, m_vecHanded[i], size) || shared;
    if (m_pHistory) {
        m_pHistory->Add(frame);
        shared = true;
    }
    if (shared) {
        m_pFrame = std::make_shared<std::vector<CAlertEvent>>();
        m_pFrame->reserve(size);
    } else {
        m_pFrame->clear();
    }
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
    // The workers share one grace time rather than each taking it in turn, and are all told to
    // end before the first is joined, so that their ends overlap.
    for (const auto& worker : m_vecWorkers)
        worker->Close();
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (const auto& worker : m_vecWorkers) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        worker->Stop(left);
    }
    for (const auto& worker : m_vecWorkers)
        worker->Abort();
    for (const auto& worker : m_vecWorkers)
        worker->Stop(std::chrono::milliseconds(0));
}

std::vector<std::string> CAlertFanOut::StatusLines() const
{
    std::vector<std::string> lines;
    for (const auto& worker : m_vecWorkers)
        lines.push_back(worker->StatusText());
    return lines;
}
