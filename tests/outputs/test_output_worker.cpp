#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "host/outputs/CAlertFanOut.h"
#include "host/outputs/CAlertHistory.h"
#include "host/outputs/COutputWorker.h"
#include "tests/outputs/OutputsTestSupport.h"
#include "tests/support/CTempDir.h"

using namespace outputstest;
using Outcome = CDeliveryAttempt::Outcome;

namespace {

COutputWorker::Options FastOptions(std::size_t capacity = 16)
{
    COutputWorker::Options options;
    options.capacity = capacity;
    options.firstBackoff = std::chrono::milliseconds(1);
    return options;
}

void WaitHolding(CScriptedOutput::Shared& shared)
{
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.changed.wait(lock, [&] { return shared.holding; });
}

void Release(CScriptedOutput::Shared& shared)
{
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.hold = false;
    shared.changed.notify_all();
}

// A worker whose output holds alert 1 in its delivery: what is pushed after it waits in the queue.
std::unique_ptr<COutputWorker> HeldWorker(CScriptedOutput::Shared& shared,
                                          const COutputWorker::Options& options)
{
    shared.hold = true;
    auto worker = std::make_unique<COutputWorker>(std::make_unique<CScriptedOutput>(shared),
                                                  options, nullptr);
    worker->Push(Event(1));
    WaitHolding(shared);
    return worker;
}

} // namespace

TEST(OutputWorker, FullQueueDropsItsOldestAlertsAndCountsThem)
{
    CScriptedOutput::Shared shared;
    // Alert 1 is being delivered; the queue is empty again.
    const auto worker = HeldWorker(shared, FastOptions(4));
    for (std::uint64_t sequence = 2; sequence <= 10; ++sequence)
        worker->Push(Event(sequence));
    EXPECT_EQ(worker->GetStatus().dropped, 5);
    EXPECT_EQ(worker->GetStatus().queued, 4u);
    Release(shared);
    worker->Stop(std::chrono::seconds(10));

    const COutputWorker::Status status = worker->GetStatus();
    EXPECT_EQ(status.delivered, 5);
    EXPECT_EQ(status.dropped, 5);
    EXPECT_EQ(status.abandoned, 0);
    // The newest alerts are the ones kept, in order.
    EXPECT_EQ(shared.delivered, (std::vector<std::uint64_t>{1, 7, 8, 9, 10}));
    EXPECT_TRUE(shared.closedOnWorker);
    EXPECT_NE(worker->StatusText().find("5 dropped"), std::string::npos) << worker->StatusText();
}

namespace {

COutputWorker::Batch BatchOf(std::uint64_t first, std::size_t count)
{
    auto events = std::make_shared<std::vector<CAlertEvent>>();
    for (std::size_t i = 0; i < count; ++i)
        events->push_back(Event(first + i));
    return events;
}

} // namespace

// Frames handed to a stuck output: its queue keeps the newest alerts across frames, and neither
// keeps a frame whose alerts all fell out nor a large frame for a few of its alerts.
TEST(OutputWorker, QueuedFramesKeepTheNewestAlertsAndNoMoreOfTheFramesThanThose)
{
    CScriptedOutput::Shared shared;
    const auto worker = HeldWorker(shared, FastOptions(4));

    const COutputWorker::Batch first = BatchOf(2, 3);  // 2 3 4
    const COutputWorker::Batch second = BatchOf(5, 3); // 5 6 7
    // The fan-out leaves alone a frame a queue keeps.
    EXPECT_TRUE(worker->Push(first, 0, 3));
    EXPECT_TRUE(worker->Push(second, 0, 3));
    EXPECT_EQ(worker->GetStatus().queued, 4u);
    EXPECT_EQ(worker->GetStatus().dropped, 2);
    EXPECT_EQ(first.use_count(), 2);

    const COutputWorker::Batch large = BatchOf(8, 100); // 8 ... 107
    EXPECT_FALSE(worker->Push(large, 98, 100));
    EXPECT_EQ(large.use_count(), 1);
    // Alert 4 fell out, and with it the last of the first frame.
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_FALSE(worker->Push(second, 1, 1));
    EXPECT_FALSE(worker->Push(second, 2, 9)); // past the frame's end: ignored
    const COutputWorker::Status queued = worker->GetStatus();
    EXPECT_EQ(queued.queued, 4u);
    EXPECT_EQ(queued.dropped, 4);

    // More than the queue holds in one frame: only the newest are taken.
    const COutputWorker::Batch burst = BatchOf(200, 10);
    worker->Push(burst, 0, 10);
    EXPECT_EQ(worker->GetStatus().dropped, 4 + 6 + 4);
    EXPECT_EQ(second.use_count(), 1);

    Release(shared);
    worker->Stop(std::chrono::seconds(10));
    EXPECT_EQ(shared.delivered, (std::vector<std::uint64_t>{1, 206, 207, 208, 209}));
    EXPECT_EQ(worker->GetStatus().delivered, 5);
    EXPECT_EQ(burst.use_count(), 1);
}

TEST(OutputWorker, RetriesUntilDeliveredStopsOnRefusalAndGivesUpAfterFiveAttempts)
{
    CScriptedOutput::Shared shared;
    shared.script = {Outcome::Retry,  Outcome::Retry, Outcome::Delivered, // alert 1
                     Outcome::Failed,                                     // alert 2
                     Outcome::Retry,  Outcome::Retry, Outcome::Retry,     // alert 3 ...
                     Outcome::Retry,  Outcome::Retry, Outcome::Delivered};
    CRecordingLog log;
    COutputWorker worker(std::make_unique<CScriptedOutput>(shared, "hook"), FastOptions(), &log);
    worker.Push(Event(1));
    worker.Push(Event(2));
    worker.Push(Event(3));
    worker.Push(Event(4));
    worker.Stop(std::chrono::seconds(10));

    const COutputWorker::Status status = worker.GetStatus();
    EXPECT_EQ(status.delivered, 2); // alerts 1 and 4
    EXPECT_EQ(status.failed, 2);    // 2 refused, 3 out of attempts
    EXPECT_EQ(status.attempts, 3 + 1 + 5 + 1);
    std::vector<std::pair<std::uint64_t, int>> attempts;
    for (const auto& entry : log.Entries()) {
        EXPECT_EQ(entry.output, "hook");
        attempts.emplace_back(entry.sequence, entry.attempt);
    }
    EXPECT_EQ(attempts,
              (std::vector<std::pair<std::uint64_t, int>>{
                  {1, 1}, {1, 2}, {1, 3}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {4, 1}}));
}

TEST(OutputWorker, StopEndsAStuckAttemptAndCountsWhatWasNotDelivered)
{
    CScriptedOutput::Shared shared;
    const auto worker = HeldWorker(shared, FastOptions());
    // The engine's thread goes on pushing whatever the output does.
    for (std::uint64_t sequence = 2; sequence <= 1000; ++sequence)
        worker->Push(Event(sequence));
    worker->Stop(std::chrono::milliseconds(20));
    const COutputWorker::Status status = worker->GetStatus();
    EXPECT_EQ(status.delivered, 0);
    EXPECT_EQ(status.dropped, 1000 - 1 - 16);
    EXPECT_EQ(status.abandoned, 1 + 16);
    EXPECT_TRUE(status.stopped);
    worker->Push(Event(1001)); // after the stop: ignored, no crash
    EXPECT_EQ(worker->GetStatus().queued, 0u);
}

TEST(OutputWorker, BackoffWaitEndsAtStop)
{
    CScriptedOutput::Shared shared;
    shared.script = {Outcome::Retry, Outcome::Retry};
    COutputWorker::Options options = FastOptions();
    options.firstBackoff = std::chrono::hours(1);
    COutputWorker worker(std::make_unique<CScriptedOutput>(shared), options, nullptr);
    worker.Push(Event(1));
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            if (!shared.delivered.empty())
                break;
        }
        std::this_thread::yield();
    }
    worker.Stop(std::chrono::milliseconds(0)); // would hang for an hour without the wake-up
    EXPECT_EQ(worker.GetStatus().abandoned, 1);
    EXPECT_EQ(worker.GetStatus().attempts, 1);
}

// A group robot takes so many messages a minute: the worker sends no more, retries included,
// and the alerts that wait meanwhile go together, as many as a message carries.
TEST(OutputWorker, AReceiverLimitedInMessagesGetsTheAlertsThatWaitTogether)
{
    using std::chrono::milliseconds;
    CScriptedOutput::Shared shared;
    shared.perMinute = 2;
    shared.mostFolded = 3;
    shared.script = {Outcome::Retry, Outcome::Delivered};
    COutputWorker::Options options = FastOptions();
    options.paceWindow = milliseconds(300);
    CRecordingLog log;
    COutputWorker worker(std::make_unique<CScriptedOutput>(shared), options, &log);
    worker.Push(BatchOf(1, 8), 0, 8);
    worker.Stop(std::chrono::seconds(10));

    EXPECT_EQ(shared.messages,
              (std::vector<std::vector<std::uint64_t>>{{1, 2, 3}, {1, 2, 3}, {4, 5, 6}, {7, 8}}));
    ASSERT_EQ(shared.sentAt.size(), 4u);
    // The output notes a moment just after the worker's own, hence the slack.
    const milliseconds slack(5);
    EXPECT_GE(shared.sentAt[2] - shared.sentAt[0], options.paceWindow - slack);
    EXPECT_GE(shared.sentAt[3] - shared.sentAt[1], options.paceWindow - slack);
    const COutputWorker::Status status = worker.GetStatus();
    EXPECT_EQ(status.delivered, 8);
    EXPECT_EQ(status.attempts, 4);
    // Each alert's attempts are kept for it, as if it had gone alone.
    EXPECT_EQ(log.Entries().size(), 3u + 3u + 3u + 2u);

    // A receiver that also refuses bursts (Feishu: 5 a second) gets no more in any second,
    // here a sixtieth of a 6 s window.
    CScriptedOutput::Shared bursty;
    bursty.perSecond = 2;
    options.paceWindow = milliseconds(6000);
    COutputWorker paced(std::make_unique<CScriptedOutput>(bursty), options, nullptr);
    paced.Push(BatchOf(1, 5), 0, 5);
    paced.Stop(std::chrono::seconds(10));
    ASSERT_EQ(bursty.sentAt.size(), 5u);
    EXPECT_GE(bursty.sentAt[2] - bursty.sentAt[0], milliseconds(100) - slack);
    EXPECT_GE(bursty.sentAt[4] - bursty.sentAt[2], milliseconds(100) - slack);
    EXPECT_EQ(paced.GetStatus().delivered, 5);

    // A stop ends the wait for the receiver's next minute; what waits is not delivered.
    CScriptedOutput::Shared slow;
    slow.perMinute = 1;
    slow.mostFolded = 2;
    options.paceWindow = std::chrono::hours(1);
    COutputWorker limited(std::make_unique<CScriptedOutput>(slow), options, nullptr);
    limited.Push(BatchOf(1, 5), 0, 5);
    limited.Stop(milliseconds(50)); // would hang for an hour without the wake-up
    EXPECT_EQ(slow.messages, (std::vector<std::vector<std::uint64_t>>{{1, 2}}));
    EXPECT_EQ(limited.GetStatus().delivered, 2);
    EXPECT_EQ(limited.GetStatus().abandoned, 3);
}

class CCollector final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        codes.push_back(record.m_szCode);
    }
    std::vector<std::string> codes;
};

TEST(AlertFanOut, NumbersAlertsFindsReasonCodesAndHandsEachToEveryOutput)
{
    CScriptedOutput::Shared first;
    CScriptedOutput::Shared second;
    CCollector front;
    CAlertFanOut fanOut(CAlertFanOut::Context{true, 20240105});
    fanOut.SetFront(&front);
    fanOut.AddOutput(std::make_unique<CScriptedOutput>(first, "a"), FastOptions());
    fanOut.AddOutput(std::make_unique<CScriptedOutput>(second, "b"), FastOptions());

    for (int reason : {0, 3, 13, 6}) {
        Ta_ALERTRECORD record =
            Event(0, "00000" + std::to_string(reason), "平安银行", reason).record;
        fanOut.OnAlertRecorded(record);
    }
    Ta_ALERTRECORD magic = Event(0).record;
    VelkCopyText(magic.m_szReason, TextCodec::Utf8ToGbk("MACD金叉"));
    fanOut.OnAlertRecorded(magic);
    fanOut.Stop(std::chrono::seconds(10));

    EXPECT_EQ(front.codes,
              (std::vector<std::string>{"000000", "000003", "0000013", "000006", "600103"}));
    EXPECT_EQ(fanOut.Count(), 5u);
    EXPECT_EQ(first.delivered, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(second.delivered, first.delivered);
    ASSERT_EQ(fanOut.StatusLines().size(), 2u);
    EXPECT_EQ(fanOut.StatusLines()[1], "b: 5 delivered, 0 failed, 0 dropped, 0 undelivered");
}

// An output busy with an alert is handed the alerts that came meanwhile together when the
// frame ends, no more of them than its queue holds; an output waiting for work gets each at once.
TEST(AlertFanOut, ABusyOutputGetsTheFramesAlertsAtItsEndAndAnIdleOneEachAtOnce)
{
    CScriptedOutput::Shared busy;
    busy.hold = true;
    CScriptedOutput::Shared ready;
    CAlertFanOut fanOut(CAlertFanOut::Context{false, 20240105});
    fanOut.AddOutput(std::make_unique<CScriptedOutput>(busy, "busy"), FastOptions(4));
    fanOut.AddOutput(std::make_unique<CScriptedOutput>(ready, "ready"), FastOptions(64));
    const COutputWorker& busyWorker = *fanOut.Workers()[0];
    const COutputWorker& readyWorker = *fanOut.Workers()[1];
    auto waitIdle = [](const COutputWorker& worker) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!worker.IsIdle() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return worker.IsIdle();
    };
    ASSERT_TRUE(waitIdle(busyWorker));
    ASSERT_TRUE(waitIdle(readyWorker));
    fanOut.OnAlertRecorded(Event(0).record);
    WaitHolding(busy);
    {
        std::unique_lock<std::mutex> lock(ready.mutex);
        ready.changed.wait(lock, [&] { return !ready.delivered.empty(); });
    }
    ASSERT_TRUE(waitIdle(readyWorker));
    fanOut.OnAlertRecorded(Event(0).record);
    // Taken at once by the output that waits, without the frame's end.
    {
        std::unique_lock<std::mutex> lock(ready.mutex);
        ASSERT_TRUE(ready.changed.wait_for(lock, std::chrono::seconds(10),
                                           [&] { return ready.delivered.size() == 2; }));
    }
    for (int i = 3; i <= 9; ++i)
        fanOut.OnAlertRecorded(Event(0).record);
    EXPECT_EQ(busyWorker.GetStatus().queued, 0u);
    EXPECT_EQ(busyWorker.GetStatus().dropped, 0);
    ASSERT_TRUE(fanOut.EndFrame());
    EXPECT_EQ(busyWorker.GetStatus().queued, 4u);
    EXPECT_EQ(busyWorker.GetStatus().dropped, 4);
    Release(busy);
    fanOut.Stop(std::chrono::seconds(10));
    EXPECT_EQ(busy.delivered, (std::vector<std::uint64_t>{1, 6, 7, 8, 9}));
    EXPECT_EQ(ready.delivered, (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(readyWorker.GetStatus().dropped, 0);
}

// The frames a stuck output shares go whole into the history too, frame after frame, and the
// output gets them in order once it is free again.
TEST(AlertFanOut, StopInterruptsEveryOutputsWaitInsteadOfWaitingForItToEnd)
{
    CScriptedOutput::Shared first;
    CScriptedOutput::Shared second;
    CAlertFanOut fanOut(CAlertFanOut::Context{false, 20240105});
    for (CScriptedOutput::Shared* shared : {&first, &second}) {
        shared->hold = true;
        shared->heedsOnlyInterrupt = true;
        fanOut.AddOutput(std::make_unique<CScriptedOutput>(*shared), FastOptions(64));
    }
    for (const auto& worker : fanOut.Workers())
        while (!worker->IsIdle())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fanOut.OnAlertRecorded(Event(1).record);
    fanOut.OnAlertRecorded(Event(2).record);
    WaitHolding(first);
    WaitHolding(second);
    fanOut.Stop(std::chrono::milliseconds(0)); // hangs if an output is not interrupted
    for (const auto& worker : fanOut.Workers()) {
        const COutputWorker::Status status = worker->GetStatus();
        EXPECT_EQ(status.delivered, 0);
        EXPECT_EQ(status.abandoned, 2); // the one under way and the one queued behind it
    }
    EXPECT_TRUE(first.interrupted && second.interrupted);
}

TEST(AlertFanOut, FramesSharedWithAStuckOutputReachTheHistoryWhole)
{
    CTempDir dir;
    CAlertHistory history;
    ASSERT_TRUE(history.Open(CAlertHistory::PathIn(dir.Path()))) << history.Error();
    ASSERT_TRUE(history.BeginRun(false, "day"));
    CScriptedOutput::Shared stuck;
    stuck.hold = true;
    CAlertFanOut fanOut(CAlertFanOut::Context{false, 20240105});
    fanOut.SetHistory(&history);
    fanOut.AddOutput(std::make_unique<CScriptedOutput>(stuck, "stuck"), FastOptions(64));
    // The first alert is taken at once once the worker waits, and holds it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fanOut.Workers()[0]->IsIdle() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fanOut.OnAlertRecorded(Event(0).record);
    WaitHolding(stuck);
    for (int frame = 0; frame < 3; ++frame) {
        for (int i = 0; i < 10; ++i)
            fanOut.OnAlertRecorded(Event(0, "60010" + std::to_string(frame)).record);
        ASSERT_TRUE(fanOut.EndFrame()) << history.Error();
    }
    ASSERT_TRUE(history.Commit()) << history.Error();
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows)) << history.Error();
    ASSERT_EQ(rows.size(), 31u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].sequence, static_cast<long long>(i + 1));
        EXPECT_EQ(rows[i].code, i == 0 ? "600103" : "60010" + std::to_string((i - 1) / 10));
    }
    Release(stuck);
    fanOut.Stop(std::chrono::seconds(10));
    ASSERT_EQ(stuck.delivered.size(), 31u);
    for (std::size_t i = 0; i < stuck.delivered.size(); ++i)
        EXPECT_EQ(stuck.delivered[i], i + 1);
}

TEST(AlertEvent, ReasonCodesComeBackFromTheirTextsAndOthersAreNone)
{
    for (int code = 0; code <= 13; ++code)
        EXPECT_EQ(CAlertEvent::ReasonCodeOf(VelkReasonText(code)), code);
    EXPECT_EQ(CAlertEvent::ReasonCodeOf(""), -1);
    EXPECT_EQ(CAlertEvent::ReasonCodeOf(TextCodec::Utf8ToGbk("MACD金叉")), -1);
    // A text that only begins like a reason is not that reason.
    EXPECT_EQ(CAlertEvent::ReasonCodeOf(VelkReasonText(2) + "x"), -1);
    EXPECT_TRUE(CAlertEvent::IsRisingReason(2));
    EXPECT_TRUE(CAlertEvent::IsFallingReason(3));
    EXPECT_TRUE(CAlertEvent::IsFallingReason(4)); // the limit-up board opened: the price falls
    EXPECT_FALSE(CAlertEvent::IsRisingReason(-1) || CAlertEvent::IsFallingReason(-1));
}
