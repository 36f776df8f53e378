#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/host/HostTestSupport.h"

using namespace hosttest;
using nlohmann::json;

namespace {

TEST(HostCommandLine, HelpDescribesEveryCommandAndExitsZero)
{
    HostResult run = RunHost({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"--headless", "--silent", "--root", "--day", "dump", "dump-day",
                             "trades.csv", "signals.csv", "groups.csv", "XDG_DATA_HOME"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

TEST(HostCommandLine, BadArgumentsExitTwoWithTheReason)
{
    HostResult unknown = RunHost({"--frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos);

    HostResult noDay = RunHost({"--headless", "--root", "/nonexistent"});
    EXPECT_EQ(noDay.status, 2);
    EXPECT_NE(noDay.err.find("--day"), std::string::npos);

    HostResult noFolder =
        RunHost({"--headless", "--root", "/nonexistent", "--day", "/nonexistent/day"});
    EXPECT_EQ(noFolder.status, 2);
    EXPECT_EQ(noFolder.err, "/nonexistent/day: no such trading-day folder\n");

    // A plain file as the data directory is a bad argument, as the help says.
    CTempDir dir;
    WriteDay(dir.File("day"), "09:30:00,1,600000,10.00,100\n");
    WriteFile(dir.File("plain"), "not a folder");
    HostResult plainRoot =
        RunHost({"--headless", "--root", dir.File("plain"), "--day", dir.File("day")});
    EXPECT_EQ(plainRoot.status, 2);
    EXPECT_NE(plainRoot.err.find("is not a directory"), std::string::npos) << plainRoot.err;
    const std::string help = RunHost({"--help"}).out;
    EXPECT_NE(help.find("2 bad arguments (a --root DIR that is an existing plain file"),
              std::string::npos);
}

TEST(HostDump, ConditionFilesComeOutFieldByFieldInUtf8)
{
    CTempDir dir;
    Ta_OTHERALERT options = QuietOptions();
    options.m_nSoundMode = 2;
    VelkCopyText(options.m_szWavePath, TextCodec::Utf8ToGbk("/声音/alert.wav"));
    // Ten stray bytes after the last record are not a record.
    WriteFile(dir.File("SYS/alert.cfg"),
              AlertCfg({Stock(1, "600000", "浦发银行", 10.5f, 9.25f)}, options) +
                  std::string(10, 'x'));
    WriteFile(dir.File("SYS/Magic.cfg"), MagicCfg({Stock(2, "000001", "平安银行", 0, 0, {3, 16})}));

    HostResult run = RunHost({"dump", "--root", dir.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    json dump = json::parse(run.out);

    const json& alert = dump["alert.cfg"];
    EXPECT_EQ(alert["size"], 309 + 151 + 10);
    EXPECT_EQ(alert["ignored_bytes"], 10);
    EXPECT_EQ(alert["alert_setting"]["volume_ratio"], 50.0);
    EXPECT_EQ(alert["alert_setting"]["rise_ratio"], -1.0);
    EXPECT_EQ(alert["alert_setting"]["large_volume"], 0.1);
    EXPECT_EQ(alert["other_alert"]["sound_mode"], 2);
    EXPECT_EQ(alert["other_alert"]["wave_path"], "/声音/alert.wav");
    EXPECT_EQ(alert["other_alert"]["popup"], 0);
    ASSERT_EQ(alert["price_alerts"].size(), 1u);
    EXPECT_EQ(alert["price_alerts"][0]["code"], "600000");
    EXPECT_EQ(alert["price_alerts"][0]["name"], "浦发银行");
    EXPECT_EQ(alert["price_alerts"][0]["upper"], 10.5);
    EXPECT_EQ(alert["price_alerts"][0]["lower"], 9.25);

    const json& magic = dump["Magic.cfg"]["magic_alerts"];
    ASSERT_EQ(magic.size(), 1u);
    EXPECT_EQ(magic[0]["market"], 2);
    ASSERT_EQ(magic[0]["magic"].size(), 18u);
    EXPECT_EQ(magic[0]["magic"][3], 1);
    EXPECT_EQ(magic[0]["magic"][16], 1);
    EXPECT_EQ(magic[0]["magic"][4], 0);

    EXPECT_TRUE(dump["System_alert.cfg"].is_null());
}

TEST(HostDump, RootDefaultsToTheUsersDataDirectory)
{
    CTempDir dir;
    WriteFile(dir.File("velk-host/SYS/Magic.cfg"), MagicCfg({Stock(1, "600000", "浦发银行")}));

    HostResult run = RunHost({"dump"}, {"XDG_DATA_HOME=" + dir.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    json dump = json::parse(run.out);
    ASSERT_EQ(dump["Magic.cfg"]["magic_alerts"].size(), 1u);
    EXPECT_EQ(dump["Magic.cfg"]["magic_alerts"][0]["name"], "浦发银行");
}

TEST(HostDump, ShortFilesGiveTheWholeFieldsTheyHold)
{
    CTempDir dir;
    // 44 bytes of settings and 6 of the options: the sound mode, not the wave path.
    WriteFile(dir.File("SYS/alert.cfg"), AlertCfg({}).substr(0, 50));
    // The switches without the last byte of the range.
    WriteFile(dir.File("SYS/System_alert.cfg"), SystemAlertCfg({}, 1, 0, 1, 2).substr(0, 6));

    HostResult run = RunHost({"dump", "--root", dir.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    json dump = json::parse(run.out);

    EXPECT_EQ(dump["alert.cfg"]["alert_setting"].size(), 11u);
    EXPECT_EQ(dump["alert.cfg"]["other_alert"], json({{"sound_mode", 0}}));
    EXPECT_TRUE(dump["alert.cfg"]["price_alerts"].empty());
    EXPECT_EQ(dump["alert.cfg"]["ignored_bytes"], 0);
    EXPECT_EQ(dump["System_alert.cfg"]["switches"],
              json({{"new_high", 1}, {"new_low", 0}, {"limit_price", 1}}));
    EXPECT_TRUE(dump["Magic.cfg"].is_null());
}

TEST(HostDump, DayFileRecordsInFileOrderWithTheBytesLeftOver)
{
    CTempDir dir;
    Ta_ALERTRECORD first{};
    first.m_byMarket = 1;
    VelkCopyText(first.m_szCode, "600000");
    VelkCopyText(first.m_szName, TextCodec::Utf8ToGbk("浦发银行"));
    first.m_nTime = 34507;
    first.m_fPrice = 10.6f;
    first.m_fVolume = 1500;
    VelkCopyText(first.m_szReason, TextCodec::Utf8ToGbk("达到上限价"));
    Ta_ALERTRECORD second = first;
    second.m_nTime = 45296;
    VelkCopyText(second.m_szReason, TextCodec::Utf8ToGbk("金叉"));
    WriteFile(dir.File("20240105.alt"), Bytes(second) + Bytes(first) + "tail");

    HostResult run = RunHost({"dump-day", dir.File("20240105.alt")});
    ASSERT_EQ(run.status, 0) << run.err;
    json dump = json::parse(run.out);
    EXPECT_EQ(dump["size"], 254);
    EXPECT_EQ(dump["ignored_bytes"], 4);
    const json& records = dump["alert_records"];
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["time_text"], "12:34:56");
    EXPECT_EQ(records[0]["reason"], "金叉");
    EXPECT_EQ(records[1]["time"], 34507);
    EXPECT_EQ(records[1]["name"], "浦发银行");
    EXPECT_EQ(records[1]["price"], 10.6);
    EXPECT_EQ(records[1]["volume"], 1500.0);
}

TEST(HostDump, DayFileThatCannotBeReadExitsOneWithTheReason)
{
    CTempDir dir;
    struct Case {
        std::string path;
        std::string error;
    };
    for (const Case& c :
         {Case{dir.File("19990101.alt"), ": no such file"}, Case{dir.Path(), ": is a directory"}}) {
        HostResult run = RunHost({"dump-day", c.path});
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_EQ(run.out, "") << c.path;
        EXPECT_EQ(run.err, "velk-host: " + c.path + c.error + "\n");
    }
}

} // namespace
