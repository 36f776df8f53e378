#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/VelkServices.h"
#include "platform/qt/VelkPlatformExport.h"

// The alert sound on a thread of its own, so that no alert holds the window for the length of
// its sound: the call only hands the sound over and returns, the alert is recorded and shown
// at once, and the sounds play in alert order. Alerts that come while a sound plays are merged
// into one more sound (the first of them), not queued one by one: a burst of alerts sounds
// twice, not as often as it had alerts.
class VELK_PLATFORM_API CQueuedSound final : public IVelkSound {
public:
    // interrupt, when given, cuts the target's sound short; it is called at destruction, once
    // what was asked for has had kDrainTime to play, so that a long wave file does not hold
    // the end of the program.
    explicit CQueuedSound(IVelkSound& target, std::function<void()> interrupt = {});
    ~CQueuedSound() override;
    CQueuedSound(const CQueuedSound&) = delete;
    CQueuedSound& operator=(const CQueuedSound&) = delete;

    void Beep(unsigned frequencyHz, unsigned durationMs) override;
    // Always true: whether the sound could be played is known only later.
    bool PlayWaveFile(const std::string& pathGbk) override;

    // Plays on the calling thread and returns when the sound has ended (after a sound that is
    // playing), for a caller that means to wait, such as a test button.
    bool PlayWaveFileAndWait(const std::string& pathGbk);

    // Returns once nothing plays and nothing waits to be played.
    void WaitUntilQuiet();
    // How many sounds the thread has played so far.
    unsigned Played() const;

    static constexpr std::chrono::milliseconds kDrainTime{300};

private:
    struct Request {
        bool wave = false;
        std::string path;
        unsigned frequencyHz = 0;
        unsigned durationMs = 0;
    };
    void Submit(Request request);
    void Run();

    IVelkSound& m_target;
    std::function<void()> m_interrupt;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_quiet;
    // At most one sound waits behind the one that plays, two while none plays yet.
    std::deque<Request> m_pending;
    bool m_bPlaying = false;
    bool m_bStopping = false;
    unsigned m_nPlayed = 0;
    std::thread m_thread;
};
