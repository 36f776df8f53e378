#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/core/VelkFile.h"
#include "platform/qt/CQueuedSound.h"
#include "platform/qt/CSdlSound.h"
#include "tests/support/CTempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// A device that takes its time: each sound lasts a fixed while and is written down.
class CSlowSound final : public IVelkSound {
public:
    explicit CSlowSound(std::chrono::milliseconds length) : m_length(length) {}
    void Beep(unsigned frequencyHz, unsigned) override
    {
        Record("beep " + std::to_string(frequencyHz));
    }
    bool PlayWaveFile(const std::string& path) override
    {
        Record(path);
        return true;
    }
    std::vector<std::string> Played()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_played;
    }

private:
    void Record(const std::string& what)
    {
        std::this_thread::sleep_for(m_length);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_played.push_back(what);
    }
    std::chrono::milliseconds m_length;
    std::mutex m_mutex;
    std::vector<std::string> m_played;
};

std::string WaveFile(std::size_t samples, std::uint32_t rate)
{
    auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples * 2);
    std::string wav = "RIFF" + u32(36 + dataBytes) + "WAVE";
    wav += "fmt " + u32(16) + u16(1) + u16(1) + u32(rate) + u32(rate * 2) + u16(2) + u16(16);
    wav += "data" + u32(dataBytes);
    for (std::size_t i = 0; i < samples; ++i)
        wav += u16(static_cast<std::uint16_t>(1000 + i % 500));
    return wav;
}

// Runs the call in a child and says whether it came back within the time.
bool ReturnsWithin(const std::function<void()>& call, std::chrono::milliseconds limit)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        call();
        ::_exit(0);
    }
    const auto end = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < end) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

bool DiskDriver()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver && std::strcmp(driver, "disk") == 0;
}

} // namespace

// A burst of alerts: every call returns at once, and the sounds that came while one played
// are merged into one more, in alert order.
TEST(QueuedSound, ABurstReturnsAtOnceAndSoundsTwiceInOrder)
{
    CSlowSound device(std::chrono::milliseconds(200));
    CQueuedSound sound(device);
    const auto start = Clock::now();
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(sound.PlayWaveFile("alert" + std::to_string(i) + ".wav"));
    sound.Beep(2000, 50);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
    sound.WaitUntilQuiet();
    EXPECT_EQ(device.Played(), (std::vector<std::string>{"alert0.wav", "alert1.wav"}));
    EXPECT_EQ(sound.Played(), 2u);

    // Once quiet, the next alert sounds again.
    sound.Beep(2000, 50);
    sound.WaitUntilQuiet();
    EXPECT_EQ(device.Played().back(), "beep 2000");
}

// The test button of the settings waits for its sound; so does it for one that plays.
TEST(QueuedSound, TheWaitingCallReturnsAfterItsSound)
{
    CSlowSound device(std::chrono::milliseconds(150));
    CQueuedSound sound(device);
    const auto start = Clock::now();
    EXPECT_TRUE(sound.PlayWaveFileAndWait("test.wav"));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ(device.Played(), std::vector<std::string>{"test.wav"});
}

class SdlSoundSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DiskDriver())
            GTEST_SKIP() << "needs SDL_AUDIODRIVER=disk";
        ::setenv("SDL_DISKAUDIOFILE", m_dir.File("capture.raw").c_str(), 1);
    }
    std::size_t CapturedBytes()
    {
        std::uint64_t size = 0;
        VelkFileSize(m_dir.File("capture.raw"), size);
        return static_cast<std::size_t>(size);
    }
    CTempDir m_dir;
};

// A FIFO as the wave file used to hold the sound's open for ever.
TEST_F(SdlSoundSafety, AFifoOrAnOversizedFilePlaysTheDefaultSoundAtOnce)
{
    const std::string fifo = m_dir.File("alert.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(ReturnsWithin(
        [&] {
            CSdlSound sound;
            sound.PlayWaveFile(fifo);
        },
        std::chrono::milliseconds(3000)));

    // A wave file beyond the cap is not read: the short default sound plays instead of it.
    const std::string big = m_dir.File("big.wav");
    const std::size_t samples = CSdlSound::kMaxWaveBytes / 2;
    ASSERT_TRUE(VelkReplaceFile(big, WaveFile(samples, 44100)));
    CSdlSound sound;
    const auto start = Clock::now();
    EXPECT_TRUE(sound.PlayWaveFile(big));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_LT(CapturedBytes(), 44100u * 2);
}

// SDL's audio start must leave SIGINT and SIGTERM to the program.
TEST_F(SdlSoundSafety, StartingTheAudioLeavesTheSignalsAlone)
{
    struct sigaction old[2]{};
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGINT, &dfl, &old[0]);
    ::sigaction(SIGTERM, &dfl, &old[1]);
    {
        CSdlSound sound;
        sound.Beep(2000, 20);
        struct sigaction now {};
        ::sigaction(SIGINT, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
        ::sigaction(SIGTERM, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
    }
    ::sigaction(SIGINT, &old[0], nullptr);
    ::sigaction(SIGTERM, &old[1], nullptr);
}

// Through the device: five alerts of a half-second wave return at once, sound twice, and the
// end of the program cuts a long sound short.
TEST_F(SdlSoundSafety, AlertsThroughTheDeviceNeverWaitForTheirSound)
{
    const std::string wave = m_dir.File("half.wav");
    ASSERT_TRUE(VelkReplaceFile(wave, WaveFile(22050, 44100)));
    CSdlSound device;
    auto sound = std::make_unique<CQueuedSound>(device, [&] { device.Interrupt(); });
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i)
        sound->PlayWaveFile(wave);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50));
    sound->WaitUntilQuiet();
    EXPECT_EQ(sound->Played(), 2u);

    const std::string longWave = m_dir.File("long.wav");
    ASSERT_TRUE(VelkReplaceFile(longWave, WaveFile(44100 * 5, 44100)));
    sound->PlayWaveFile(longWave);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto end = Clock::now();
    sound.reset();
    EXPECT_LT(Clock::now() - end, std::chrono::milliseconds(500));
}
