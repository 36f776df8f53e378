#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/VelkFile.h"
#include "platform/qt/CSdlSound.h"
#include "tests/support/CTempDir.h"

namespace {

// SDL's disk driver writes what the device plays to SDL_DISKAUDIOFILE, in the format the
// sound was opened with; the driver itself is chosen by the test's environment.
class SdlSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        if (!driver || std::strcmp(driver, "disk") != 0)
            GTEST_SKIP() << "needs SDL_AUDIODRIVER=disk";
        Capture("capture.raw");
    }

    void Capture(const std::string& name)
    {
        m_strCapture = name.front() == '/' ? name : m_dir.File(name);
        ::setenv("SDL_DISKAUDIOFILE", m_strCapture.c_str(), 1);
    }

    std::vector<std::int16_t> Captured() const
    {
        std::string bytes;
        VelkReadFile(m_strCapture, bytes);
        std::vector<std::int16_t> samples(bytes.size() / 2);
        // An empty vector's data() may be null, which memcpy must not be given even for 0 bytes.
        if (!samples.empty())
            std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    // The stretch between the first and the last sample that is not silence.
    static std::pair<std::size_t, std::size_t> Sounding(const std::vector<std::int16_t>& s)
    {
        std::size_t first = 0, last = s.size();
        while (first < s.size() && s[first] == 0)
            ++first;
        while (last > first && s[last - 1] == 0)
            --last;
        return {first, last};
    }

    CTempDir m_dir;
    std::string m_strCapture;
    CSdlSound m_sound;
};

std::string WaveFile(const std::vector<std::int16_t>& samples, std::uint32_t rate)
{
    auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string wav = "RIFF" + u32(36 + dataBytes) + "WAVE";
    wav += "fmt " + u32(16) + u16(1) + u16(1) + u32(rate) + u32(rate * 2) + u16(2) + u16(16);
    wav += "data" + u32(dataBytes);
    wav.append(reinterpret_cast<const char*>(samples.data()), dataBytes);
    return wav;
}

TEST_F(SdlSoundTest, BeepIsFiftyMillisecondsAtTwoThousandHertz)
{
    const auto start = std::chrono::steady_clock::now();
    m_sound.Beep(2000, 50);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(45));
    EXPECT_LT(took, std::chrono::milliseconds(400));

    const std::vector<std::int16_t> s = Captured();
    auto [first, last] = Sounding(s);
    ASSERT_LT(first, last);
    const double seconds = double(last - first) / 44100.0;
    EXPECT_NEAR(seconds, 0.050, 0.003);
    int crossings = 0;
    for (std::size_t i = first + 1; i < last; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    EXPECT_NEAR(crossings / 2.0 / seconds, 2000.0, 60.0);
}

TEST_F(SdlSoundTest, WaveFilePlaysItsOwnSamplesToTheEnd)
{
    std::vector<std::int16_t> samples(11025); // half a second at 22050 Hz
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(1 + (i * 7919) % 20000 - 10000 + (i % 2));
    samples.front() = 1234;
    samples.back() = -4321;
    ASSERT_TRUE(VelkReplaceFile(m_dir.File("alert.wav"), WaveFile(samples, 22050)));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_sound.PlayWaveFile(m_dir.File("alert.wav")));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(480));
    EXPECT_LT(took, std::chrono::milliseconds(900));

    const std::vector<std::int16_t> s = Captured();
    auto [first, last] = Sounding(s);
    ASSERT_EQ(last - first, samples.size());
    EXPECT_TRUE(
        std::equal(samples.begin(), samples.end(), s.begin() + static_cast<std::ptrdiff_t>(first)));
}

TEST_F(SdlSoundTest, UnloadableFilePlaysTheShortDefaultSound)
{
    ASSERT_TRUE(VelkReplaceFile(m_dir.File("broken.wav"), std::string("RIFF not a wave")));
    for (const std::string& path :
         {m_dir.File("missing.wav"), m_dir.File("broken.wav"), std::string()}) {
        Capture("default.raw");
        EXPECT_TRUE(m_sound.PlayWaveFile(path)) << path;
        auto [first, last] = Sounding(Captured());
        EXPECT_GT(last - first, 44100u / 20) << path;
        EXPECT_LT(last - first, 44100u / 2) << path;
    }
}

TEST_F(SdlSoundTest, WithoutADeviceTheCallsReturnAtOnce)
{
    // The disk driver cannot open a file in a missing directory: the device fails to open.
    Capture(m_dir.File("no-such-dir/capture.raw"));
    const auto start = std::chrono::steady_clock::now();
    m_sound.Beep(2000, 500);
    EXPECT_FALSE(m_sound.PlayWaveFile(m_dir.File("missing.wav")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

    // A device that failed is not asked again on the next alert, even once it would open.
    Capture("later.raw");
    m_sound.Beep(2000, 50);
    EXPECT_TRUE(Captured().empty());
    EXPECT_FALSE(VelkFileExists(m_strCapture));
}

} // namespace
