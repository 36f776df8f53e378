// Replays through the host built with the user interface: the alert list window comes and goes
// with the engine as in the quote application, and with it the day's alert file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

// No screen of any kind: the host has to choose its platform itself.
const std::vector<std::string> kNoScreen = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};

std::vector<Ta_ALERTRECORD> Records(const std::string& bytes)
{
    std::vector<Ta_ALERTRECORD> records(bytes.size() / sizeof(Ta_ALERTRECORD));
    for (std::size_t i = 0; i < records.size(); ++i)
        std::memcpy(&records[i], bytes.data() + i * sizeof(Ta_ALERTRECORD), sizeof(Ta_ALERTRECORD));
    return records;
}

// A record as the host prints it; fields are copied out, the record being packed.
std::string Line(const Ta_ALERTRECORD& record)
{
    const int time = record.m_nTime;
    const double price = record.m_fPrice;
    const double volume = record.m_fVolume;
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d\t%d\t", time / 3600, time / 60 % 60, time % 60,
                  static_cast<int>(record.m_byMarket));
    std::string line = text;
    line += VelkFieldText(record.m_szCode) + '\t' +
            TextCodec::GbkToUtf8(VelkFieldText(record.m_szName)) + '\t';
    std::snprintf(text, sizeof text, "%.2f\t%.0f\t", price, volume);
    return line + text + TextCodec::GbkToUtf8(VelkFieldText(record.m_szReason));
}

std::vector<std::string> SortedLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> SortedLines(const std::vector<Ta_ALERTRECORD>& records)
{
    std::vector<std::string> lines;
    for (const Ta_ALERTRECORD& record : records)
        lines.push_back(Line(record));
    std::sort(lines.begin(), lines.end());
    return lines;
}

class DayFileTest : public ::testing::Test {
protected:
    std::string Root() const { return m_dir.File("root"); }
    std::string DayFile() const { return m_dir.File("root/Dat/Alert/20240105.alt"); }

    // swings > 0: the monitored stock swings wider and wider instead, a new high and a new low
    // of the day at every second trade.
    void Conditions(bool popup, int swings = 0)
    {
        Ta_OTHERALERT options = QuietOptions();
        options.m_byPopup = popup ? 1 : 0;
        // The beep of a real run; --silent keeps it off the test machine's speaker.
        options.m_nSoundMode = 1;
        WriteFile(m_dir.File("root/SYS/alert.cfg"),
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, options));
        WriteFile(m_dir.File("root/SYS/System_alert.cfg"),
                  SystemAlertCfg({Stock(2, "000001", "平安银行")}, 1, 1, 1, 2));
        WriteDay(m_dir.File("day"), "09:30:00,1,600000,10.00,1000\n"
                                    "09:30:00,2,000001,12.00,100\n"
                                    "09:31:00,1,600000,10.60,500\n"
                                    "09:31:30,2,000001,12.50,800\n"
                                    "09:33:00,1,600000,10.40,300\n"
                                    "09:34:00,2,000001,11.90,100\n"
                                    "09:35:00,1,600000,9.40,400\n");
        if (swings == 0)
            return;
        std::string trades;
        char line[64];
        for (int k = 1; k <= swings; ++k) {
            for (int side : {1, -1}) {
                const int second = 9 * 3600 + 30 * 60 + 2 * k + (side < 0);
                std::snprintf(line, sizeof line, "%02d:%02d:%02d,2,000001,%.2f,100\n",
                              second / 3600, second / 60 % 60, second % 60, 12.0 + side * 0.01 * k);
                trades += line;
            }
        }
        WriteDay(m_dir.File("day"), trades);
    }

    HostResult Replay(bool silent = true, const std::vector<std::string>& env = {})
    {
        std::vector<std::string> args = {"--headless", "--root", Root(), "--day",
                                         m_dir.File("day")};
        if (silent)
            args.push_back("--silent");
        std::vector<std::string> fullEnv = kNoScreen;
        fullEnv.insert(fullEnv.end(), env.begin(), env.end());
        return RunHost(args, fullEnv);
    }

    CTempDir m_dir;
};

TEST_F(DayFileTest, PopUpRunWritesEveryPrintedAlertToTheDayFileWithoutWaiting)
{
    // A few alerts, and a day of more than a thousand, more than the file takes in one write.
    for (int swings : {0, 520}) {
        std::filesystem::remove_all(Root());
        Conditions(true, swings);

        HostResult run = Replay();

        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::vector<std::string> printed = SortedLines(run.out);
        if (swings == 0)
            ASSERT_EQ(printed.size(), 4u) << run.out;
        else
            ASSERT_GE(printed.size(), 2u * swings - 1);
        const std::string bytes = ReadFile(DayFile());
        EXPECT_EQ(bytes.size(), printed.size() * sizeof(Ta_ALERTRECORD));
        EXPECT_EQ(SortedLines(Records(bytes)), printed);
        // The window keeps the list latest first.
        const std::vector<Ta_ALERTRECORD> records = Records(bytes);
        for (std::size_t i = 1; i < records.size(); ++i)
            ASSERT_GE(+records[i - 1].m_nTime, +records[i].m_nTime) << i;
    }
}

TEST_F(DayFileTest, SecondRunOfTheSameDayStartsCleanAndKeepsTheFirstRunsFileAside)
{
    Conditions(true);
    HostResult first = Replay();
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string firstBytes = ReadFile(DayFile());
    ASSERT_FALSE(firstBytes.empty());
    EXPECT_EQ(first.err.find(".alt.1"), std::string::npos);

    HostResult second = Replay();

    ASSERT_FALSE(second.timedOut);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
    // The new file holds the second run's alerts alone; the first is kept as it was.
    const std::string bytes = ReadFile(DayFile());
    EXPECT_EQ(SortedLines(Records(bytes)), SortedLines(Records(firstBytes)));
    EXPECT_EQ(ReadFile(DayFile() + ".1"), firstBytes);
    EXPECT_NE(second.err.find(DayFile().substr(DayFile().rfind('/') + 1) + ".1"), std::string::npos)
        << second.err;

    // A third run keeps the second's file under the next number; none is overwritten.
    ASSERT_EQ(Replay().status, 0);
    EXPECT_EQ(ReadFile(DayFile() + ".1"), firstBytes);
    EXPECT_EQ(ReadFile(DayFile() + ".2"), bytes);
    EXPECT_EQ(ReadFile(DayFile()).size(), firstBytes.size());
}

TEST_F(DayFileTest, RunWithoutPopUpOpensNoWindowAndWritesNoDayFile)
{
    Conditions(false);

    HostResult run = Replay();

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SortedLines(run.out).size(), 4u) << run.out;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("root/Dat")));
}

TEST_F(DayFileTest, AlertsBeepUnlessSilent)
{
    Conditions(false);
    // SDL's disk driver stands in for a sound card and keeps what it played in a file.
    const std::string played = m_dir.File("played.raw");
    const std::vector<std::string> disk = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + played};

    HostResult silent = Replay(true, disk);
    ASSERT_EQ(silent.status, 0) << silent.err;
    EXPECT_FALSE(std::filesystem::exists(played));

    HostResult sounding = Replay(false, disk);
    ASSERT_EQ(sounding.status, 0) << sounding.err;
    EXPECT_EQ(sounding.out, silent.out);
    // The device is opened anew for every beep, and the driver starts its file anew with it:
    // what is left is the last beep, 50 ms at 44.1 kHz in 16-bit samples at the least.
    ASSERT_TRUE(std::filesystem::exists(played));
    EXPECT_GE(std::filesystem::file_size(played), 2205u * 2u);
}

} // namespace
