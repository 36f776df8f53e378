#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "host/outputs/COutputWorker.h"

class CAlertHistory;

// The host's alert observer: each alert the engine records becomes a CAlertEvent, goes to the
// observer in front (the printed lines, the window), into the history, and into the queue of
// every output. It runs on the engine's thread and never waits for an output. An output that
// waits for work gets each alert at once; one still busy gets the frame's alerts together when
// the frame ends, so that a slow or dead output costs one hand-off a frame, not one an alert.
// The history and the outputs share the frame's alerts instead of each copying them.
class CAlertFanOut final : public IVelkAlertObserver {
public:
    struct Context {
        bool live = false;
        int tradingDate = 0; // yyyymmdd
    };

    explicit CAlertFanOut(const Context& context) : m_context(context) {}
    ~CAlertFanOut() override;
    CAlertFanOut(const CAlertFanOut&) = delete;
    CAlertFanOut& operator=(const CAlertFanOut&) = delete;

    // Hears of every alert first, as it would without the outputs.
    void SetFront(IVelkAlertObserver* front) { m_pFront = front; }
    // Keeps every alert and every delivery attempt; it must outlive the fan-out's workers.
    void SetHistory(CAlertHistory* history) { m_pHistory = history; }
    void AddOutput(std::unique_ptr<IAlertOutput> output, const COutputWorker::Options& options);
    // A new day for the live feed or a new day folder replayed; the sequence goes on.
    void SetContext(const Context& context) { m_context = context; }

    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    // The host's frame has ended: the outputs get the frame's alerts they do not have yet, and
    // what the history took in since is handed to its writer, to be
    // committed together. Returns false when the history could not write the frame before
    // (its Error says why).
    bool EndFrame();
    // Hands the outputs the frame's alerts, gives them the grace time to deliver what is queued,
    // then stops them.
    void Stop(std::chrono::milliseconds grace);

    std::uint64_t Count() const { return m_nSequence; }
    const std::vector<std::unique_ptr<COutputWorker>>& Workers() const { return m_vecWorkers; }
    // One line per output, for the status bar or standard error.
    std::vector<std::string> StatusLines() const;

private:
    // The frame's alerts not yet handed to every output.
    void HandFrame();

    Context m_context;
    IVelkAlertObserver* m_pFront = nullptr;
    CAlertHistory* m_pHistory = nullptr;
    std::vector<std::unique_ptr<COutputWorker>> m_vecWorkers;
    // The alerts of the frame, and how many of them each output has. Once handed, the frame
    // belongs to the outputs' queues and the next one starts afresh.
    std::shared_ptr<std::vector<CAlertEvent>> m_pFrame;
    std::vector<std::size_t> m_vecHanded;
    std::uint64_t m_nSequence = 0;
};
