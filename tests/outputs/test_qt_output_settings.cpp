#include <gtest/gtest.h>

#include <QDate>
#include <QSettings>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "host/outputs/CAlertFanOut.h"
#include "host/outputs/CAlertHistory.h"
#include "host/outputs/COutputSettings.h"
#include "host/outputs/CSecretStore.h"
#include "tests/host/HostTestSupport.h"
#include "tests/outputs/CLocalHttpServer.h"
#include "tests/outputs/OutputsTestSupport.h"

namespace {

unsigned Mode(const std::string& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

} // namespace

TEST(SecretStore, WithoutAKeyringSecretsLiveInAnOwnerOnlyFile)
{
    CTempDir dir;
    const std::string file = dir.File("config/velk-host/secrets");
    CSecretStore store(file);
    store.SetUseKeyring(false);
    std::string error;
    std::string secret;
    EXPECT_FALSE(store.Lookup("output/a", secret, error));
    EXPECT_TRUE(error.empty());
    ASSERT_TRUE(store.Store("output/a", "token one\nwith a line", error)) << error;
    ASSERT_TRUE(store.Store("output/b", "два", error)) << error;
    ASSERT_TRUE(store.Store("output/a", "token two", error)) << error;
    EXPECT_EQ(Mode(file), 0600u);
    // Not in clear text either, for a glance over a shoulder.
    EXPECT_EQ(hosttest::ReadFile(file).find("token"), std::string::npos);

    CSecretStore again(file);
    again.SetUseKeyring(false);
    ASSERT_TRUE(again.Lookup("output/a", secret, error));
    EXPECT_EQ(secret, "token two");
    ASSERT_TRUE(again.Lookup("output/b", secret, error));
    EXPECT_EQ(secret, "два");
    ASSERT_TRUE(again.Remove("output/a", error)) << error;
    EXPECT_FALSE(again.Lookup("output/a", secret, error));
    EXPECT_TRUE(again.Lookup("output/b", secret, error));

    ::chmod(file.c_str(), 0644); // loosened by someone: tightened again when read
    EXPECT_TRUE(again.Lookup("output/b", secret, error));
    EXPECT_EQ(Mode(file), 0600u);

    hosttest::WriteFile(file, "6f7574707574 zz\n");
    EXPECT_FALSE(again.Lookup("output", secret, error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}

TEST(OutputSettings, EnabledOutputsAreMadeWithTheirSecretsAndBadEntriesAreReported)
{
    CTempDir dir;
    QSettings settings(QString::fromStdString(dir.File("velk-host.conf")), QSettings::IniFormat);
    CLocalHttpServer server({});
    std::vector<COutputSettings::Entry> entries(6);
    entries[0] = {true, "dingtalk", "robot", server.Url("/send?access_token={{secret}}"), "", ""};
    entries[1] = {false, "generic", "off", server.Url("/off"), "", ""};
    entries[2] = {true, "fax", "odd", server.Url(), "", ""};
    entries[3] = {true, "wecom", "nokey", server.Url("/wecom?key={{secret}}"), "", ""};
    entries[4] = {true, "generic", "plain", server.Url("/plain"), R"({"t":"{{summary}}"})", ""};
    // An ntfy topic is the user's: none given is no URL, not some public topic.
    entries[5] = {true, "ntfy", "topicless", "", "", ""};
    COutputSettings::Save(settings, entries);
    settings.setValue(QStringLiteral("history/retentionDays"), 30);
    settings.sync();
    ASSERT_EQ(COutputSettings::Load(settings).size(), 6u);
    EXPECT_EQ(COutputSettings::Load(settings)[4].bodyTemplate, R"({"t":"{{summary}}"})");
    EXPECT_EQ(COutputSettings::RetentionDays(settings), 30);

    CSecretStore secrets(dir.File("secrets"));
    secrets.SetUseKeyring(false);
    std::string error;
    ASSERT_TRUE(secrets.Store(COutputSettings::SecretKey("robot"), "zq-secret-91", error));

    CAlertFanOut fanOut(CAlertFanOut::Context{false, 20211201});
    std::vector<std::string> problems;
    EXPECT_EQ(COutputSettings::AddConfiguredOutputs(settings, secrets, fanOut, problems), 2);
    EXPECT_EQ(problems, (std::vector<std::string>{"output odd: unknown kind fax",
                                                  "output nokey: its secret is not set",
                                                  "output topicless: no URL"}));
    EXPECT_EQ(hosttest::ReadFile(dir.File("velk-host.conf")).find("zq-secret-91"),
              std::string::npos);

    fanOut.OnAlertRecorded(outputstest::Event(0).record);
    fanOut.Stop(std::chrono::seconds(30));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    std::set<std::string> targets{requests[0].target, requests[1].target};
    EXPECT_EQ(targets, (std::set<std::string>{"/send?access_token=zq-secret-91", "/plain"}));
    for (const auto& request : requests) {
        if (request.target == "/plain") {
            EXPECT_EQ(nlohmann::json::parse(request.body)["t"], "青山纸业 600103 达到涨停价");
        }
    }
}

TEST(OutputSettings, AHeadlessRunDeliversToItsWebhooksAndKeepsEveryAttempt)
{
    CTempDir dir;
    std::filesystem::copy(std::string(VELK_SOURCE_DIR) + "/data/demo-root", dir.File("root"),
                          std::filesystem::copy_options::recursive);
    CLocalHttpServer server({503});
    QSettings settings(QString::fromStdString(dir.File("config/Velk/velk-host.conf")),
                       QSettings::IniFormat);
    COutputSettings::Save(settings, {{true, "generic", "local", server.Url(), "", ""}});
    settings.sync();
    const hosttest::HostResult run =
        hosttest::RunHost({"--headless", "--silent", "--root", dir.File("root"), "--day",
                           std::string(VELK_SOURCE_DIR) + "/data/demo-day"},
                          {"XDG_CONFIG_HOME=" + dir.File("config"), "DBUS_SESSION_BUS_ADDRESS"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t printed =
        static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n'));
    EXPECT_NE(run.err.find("velk-host: output local: "), std::string::npos) << run.err;

    const hosttest::HostResult history =
        hosttest::RunHost({"history", "--root", dir.File("root"), "--format", "json"});
    const auto rows = nlohmann::json::parse(history.out);
    ASSERT_EQ(rows.size(), printed);
    // The first alert was refused once (503) and delivered on the second attempt; every
    // request the server saw is an attempt in the history.
    EXPECT_EQ(rows[0]["attempts"], 2);
    EXPECT_EQ(rows[0]["delivered"], 1);
    int attempts = 0;
    for (const auto& row : rows)
        attempts += row["attempts"].get<int>();
    EXPECT_EQ(static_cast<std::size_t>(attempts), server.Requests().size());
}

// The days a history keeps count back from the machine's date: a day folder dated in the future
// (a typo in its year) does not take the history's recent alerts with it.
TEST(OutputSettings, RetentionInAHeadlessReplayCountsFromTodayNotFromTheDayReplayed)
{
    CTempDir dir;
    std::filesystem::copy(std::string(VELK_SOURCE_DIR) + "/data/demo-root", dir.File("root"),
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy(std::string(VELK_SOURCE_DIR) + "/data/demo-day", dir.File("day"),
                          std::filesystem::copy_options::recursive);
    hosttest::WriteFile(dir.File("day/day.csv"), "trade_date\n20991231\n");
    const QDate yesterday = QDate::currentDate().addDays(-1);
    {
        CAlertHistory history;
        ASSERT_TRUE(history.Open(CAlertHistory::PathIn(dir.File("root")))) << history.Error();
        ASSERT_TRUE(history.BeginRun(false, "/days/yesterday"));
        history.Add(outputstest::Event(1, "600103", "青山纸业", 2,
                                       yesterday.year() * 10000 + yesterday.month() * 100 +
                                           yesterday.day()));
        ASSERT_TRUE(history.Commit()) << history.Error();
    }
    QSettings settings(QString::fromStdString(dir.File("config/Velk/velk-host.conf")),
                       QSettings::IniFormat);
    COutputSettings::SetRetentionDays(settings, 30);
    settings.sync();

    const hosttest::HostResult run = hosttest::RunHost(
        {"--headless", "--silent", "--root", dir.File("root"), "--day", dir.File("day")},
        {"XDG_CONFIG_HOME=" + dir.File("config"), "DBUS_SESSION_BUS_ADDRESS"});
    ASSERT_EQ(run.status, 0) << run.err;
    const hosttest::HostResult kept = hosttest::RunHost(
        {"history", "--root", dir.File("root"), "--to",
         yesterday.toString(QStringLiteral("yyyy-MM-dd")).toStdString(), "--format", "json"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(nlohmann::json::parse(kept.out).size(), 1u) << kept.out;
}