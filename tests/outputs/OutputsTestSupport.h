#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/outputs/CAlertEvent.h"
#include "host/outputs/IAlertOutput.h"
#include "host/outputs/IDeliveryLog.h"
#include "platform/core/TextCodec.h"
#include "res/VelkStringTable.h"

namespace outputstest {

inline CAlertEvent Event(std::uint64_t sequence, const std::string& code = "600103",
                         const std::string& nameUtf8 = "青山纸业", int reason = 2,
                         int tradingDate = 20211201, int time = 34205, float price = 3.04f)
{
    CAlertEvent event;
    event.record.m_byMarket = 1;
    VelkCopyText(event.record.m_szCode, code);
    VelkCopyText(event.record.m_szName, TextCodec::Utf8ToGbk(nameUtf8));
    VelkCopyText(event.record.m_szReason, VelkReasonText(reason));
    event.record.m_nTime = time;
    event.record.m_fPrice = price;
    event.record.m_fVolume = 1200;
    event.reasonCode = reason;
    event.sequence = sequence;
    event.tradingDate = tradingDate;
    return event;
}

// An output that answers from a script (then Delivered), records what it was given, and can be
// held inside Deliver until released or aborted.
class CScriptedOutput final : public IAlertOutput {
public:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<CDeliveryAttempt::Outcome> script;
        std::vector<std::uint64_t> delivered; // sequences, every attempt
        bool hold = false;
        bool holding = false;
        bool closedOnWorker = false;
        // Held only until Interrupt, blind to the abort flag, as an output whose wait ends
        // late by itself.
        bool heedsOnlyInterrupt = false;
        bool interrupted = false;
        // As a receiver limited in messages a minute, whose messages carry several alerts.
        int perMinute = 0;
        int perSecond = 0;
        std::size_t mostFolded = 1;
        // The sequences of each attempt, and when it began.
        std::vector<std::vector<std::uint64_t>> messages;
        std::vector<std::chrono::steady_clock::time_point> sentAt;
    };

    explicit CScriptedOutput(Shared& shared, std::string name = "scripted")
        : m_shared(shared), m_name(std::move(name))
    {
    }
    std::string Name() const override { return m_name; }
    CDeliveryAttempt Deliver(const CAlertEvent& event, const std::atomic<bool>& abort) override
    {
        return DeliverFolded({event}, abort);
    }
    int MessagesPerMinute() const override { return m_shared.perMinute; }
    int MessagesPerSecond() const override { return m_shared.perSecond; }
    std::size_t MostFolded() const override { return m_shared.mostFolded; }
    CDeliveryAttempt DeliverFolded(const std::vector<CAlertEvent>& events,
                                   const std::atomic<bool>& abort) override
    {
        std::unique_lock<std::mutex> lock(m_shared.mutex);
        m_shared.messages.emplace_back();
        m_shared.sentAt.push_back(std::chrono::steady_clock::now());
        for (const CAlertEvent& event : events) {
            m_shared.delivered.push_back(event.sequence);
            m_shared.messages.back().push_back(event.sequence);
        }
        m_shared.holding = true;
        m_shared.changed.notify_all();
        while (m_shared.hold &&
               !(m_shared.heedsOnlyInterrupt ? m_shared.interrupted : abort.load()))
            m_shared.changed.wait_for(lock, std::chrono::milliseconds(5));
        m_shared.holding = false;
        if (abort || m_shared.interrupted)
            return {CDeliveryAttempt::Outcome::Retry, "aborted"};
        CDeliveryAttempt::Outcome outcome = CDeliveryAttempt::Outcome::Delivered;
        if (!m_shared.script.empty()) {
            outcome = m_shared.script.front();
            m_shared.script.pop_front();
        }
        return {outcome, "scripted"};
    }
    void Interrupt() override
    {
        std::lock_guard<std::mutex> lock(m_shared.mutex);
        m_shared.interrupted = true;
        m_shared.changed.notify_all();
    }
    void CloseOnWorker() override
    {
        std::lock_guard<std::mutex> lock(m_shared.mutex);
        m_shared.closedOnWorker = true;
    }

private:
    Shared& m_shared;
    std::string m_name;
};

class CRecordingLog final : public IDeliveryLog {
public:
    struct Entry {
        std::uint64_t sequence;
        std::string output;
        int attempt;
        CDeliveryAttempt::Outcome outcome;
    };
    void OnDeliveryAttempt(const CAlertEvent& event, const std::string& output, int attempt,
                           const CDeliveryAttempt& result) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.push_back({event.sequence, output, attempt, result.outcome});
    }
    std::vector<Entry> Entries()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_entries;
    }

private:
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

} // namespace outputstest
