// velk-host as a desktop program, run as a separate process: the pictures of its windows, and
// the runs it refuses.

#include <gtest/gtest.h>

#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

const std::vector<std::string> kNoScreen = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};

struct PngSize {
    unsigned width = 0;
    unsigned height = 0;
};

// Width and height from the header chunk; zero for anything that is not a PNG.
PngSize ReadPngSize(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {};
    auto be32 = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {be32(16), be32(20)};
}

TEST(HostDesktop, ScreenshotsReplayTheDayAndWriteEveryWindowAtItsSize)
{
    CTempDir dir;
    Ta_OTHERALERT options = QuietOptions();
    options.m_byPopup = 1;
    WriteFile(dir.File("root/SYS/alert.cfg"),
              AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, options));
    WriteDay(dir.File("day"), "09:30:00,1,600000,10.00,1000\n"
                              "09:31:00,1,600000,10.60,500\n"
                              "09:35:00,1,600000,9.40,400\n");

    HostResult run = RunHost(
        {"--root", dir.File("root"), "--day", dir.File("day"), "--screenshots", dir.File("pics")},
        kNoScreen);

    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.status, 0) << run.err;
    struct Expected {
        const char* name;
        unsigned width, height;
    };
    for (const Expected& e :
         {Expected{"main-window.png", 1280, 800}, Expected{"alert-list.png", 389, 213},
          Expected{"chart.png", 960, 600}, Expected{"keyboard-wizard.png", 1280, 800},
          Expected{"history.png", 900, 520}}) {
        SCOPED_TRACE(e.name);
        const PngSize size = ReadPngSize(dir.File("pics/") + e.name);
        EXPECT_EQ(size.width, e.width);
        EXPECT_EQ(size.height, e.height);
        EXPECT_NE(run.out.find(dir.File("pics/") + e.name + "\n"), std::string::npos) << run.out;
    }
    // The sheets are pictured only when the build has their pages; a picture is a real one.
    for (const char* name : {"settings.png", "ratio-settings.png"}) {
        if (std::filesystem::exists(dir.File("pics/") + name)) {
            EXPECT_GT(ReadPngSize(dir.File("pics/") + name).width, 100u) << name;
        }
    }
    // The replay ran on a copy of the data directory: the alert list window wrote the day's
    // alerts there, and so did the history, and the user's directory has neither file.
    EXPECT_FALSE(std::filesystem::exists(dir.File("root/Dat/Alert/20240105.alt")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("root/history.sqlite")));
}

struct RefusedCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;
    const char* platform = nullptr;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class HostDesktopRefusesTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(HostDesktopRefusesTest, ExitsTwoWithTheReasonAndCreatesNothing)
{
    CTempDir dir;
    WriteDay(dir.File("day"), "09:30:00,1,600000,10.00,100\n");
    WriteFile(dir.File("bad/day.csv"), "trade_date\n2024\n");
    std::vector<std::string> args = {"--root", dir.File("root")};
    for (const std::string& arg : GetParam().args)
        args.push_back(arg == "DAY" ? dir.File("day") : arg == "BAD" ? dir.File("bad") : arg);

    std::vector<std::string> env = kNoScreen;
    if (GetParam().platform)
        env.push_back(std::string("QT_QPA_PLATFORM=") + GetParam().platform);
    HostResult run = RunHost(args, env, std::chrono::seconds(20));

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(GetParam().error), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("root")));
}

INSTANTIATE_TEST_SUITE_P(
    WindowedRuns, HostDesktopRefusesTest,
    ::testing::Values(
        RefusedCase{"NoDisplay", {"--day", "DAY"}, "no display"},
        RefusedCase{"OnlyOffscreen", {"--day", "DAY"}, "no display", "offscreen"},
        RefusedCase{"BadDay", {"--day", "BAD", "--screenshots", "pics"}, "day.csv:2:"},
        RefusedCase{"PicturesWithoutDay", {"--screenshots", "pics"}, "--screenshots needs --day"},
        RefusedCase{"PicturesHeadless",
                    {"--headless", "--day", "DAY", "--screenshots", "pics"},
                    "--headless does not show"},
        RefusedCase{"PlayHeadless", {"--headless", "--play", "--day", "DAY"}, "--play is for"},
        RefusedCase{
            "PlayPictures", {"--play", "--day", "DAY", "--screenshots", "pics"}, "--play is for"}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

} // namespace
