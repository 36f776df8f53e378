#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

// The demo day with its conditions in a fresh data directory.
std::string DemoRoot(const CTempDir& dir)
{
    std::filesystem::copy(std::string(VELK_SOURCE_DIR) + "/data/demo-root", dir.Path(),
                          std::filesystem::copy_options::recursive);
    return dir.Path();
}

const std::string kDemoDay = std::string(VELK_SOURCE_DIR) + "/data/demo-day";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

} // namespace

TEST(HistoryOfARun, EveryPrintedAlertIsKeptAndTheHistoryCommandPrintsThemBack)
{
    CTempDir dir;
    const std::string root = DemoRoot(dir);
    const HostResult run = RunHost({"--headless", "--silent", "--root", root, "--day", kDemoDay});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> printed = Lines(run.out);
    ASSERT_GT(printed.size(), 10u);

    const HostResult json = RunHost({"history", "--root", root, "--format", "json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto rows = nlohmann::json::parse(json.out);
    ASSERT_EQ(rows.size(), printed.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
        // time, market, code, name, price, volume, reason
        std::vector<std::string> fields;
        std::istringstream line(printed[i]);
        std::string field;
        while (std::getline(line, field, '\t'))
            fields.push_back(field);
        ASSERT_EQ(fields.size(), 7u) << printed[i];
        const auto& row = rows[i];
        EXPECT_EQ(row["time"], fields[0]);
        EXPECT_EQ(std::to_string(row["market"].get<int>()), fields[1]);
        EXPECT_EQ(row["code"], fields[2]);
        EXPECT_EQ(row["name"], fields[3]);
        EXPECT_EQ(row["reason"], fields[6]);
        EXPECT_EQ(row["sequence"], i + 1);
        EXPECT_EQ(row["source"], "replay");
        EXPECT_EQ(row["day_folder"], kDemoDay);
    }

    const std::string code = rows[0]["code"];
    const HostResult csv =
        RunHost({"history", "--root", root, "--code", code, "--from",
                 rows[0]["date"].get<std::string>(), "--to", rows[0]["date"].get<std::string>()});
    ASSERT_EQ(csv.status, 0) << csv.err;
    ASSERT_EQ(csv.out.substr(0, 3), "\xEF\xBB\xBF");
    const std::vector<std::string> csvLines = Lines(csv.out);
    std::size_t ofCode = 0;
    for (const auto& row : rows)
        ofCode += row["code"] == code ? 1 : 0;
    ASSERT_EQ(csvLines.size(), ofCode + 1);
    EXPECT_NE(csvLines[1].find("\"=\"\"" + code + "\"\"\""), std::string::npos) << csvLines[1];

    // A second run adds its own alerts.
    ASSERT_EQ(RunHost({"--headless", "--silent", "--root", root, "--day", kDemoDay}).status, 0);
    EXPECT_EQ(
        nlohmann::json::parse(RunHost({"history", "--root", root, "--format", "json"}).out).size(),
        2 * printed.size());
}

TEST(HistoryOfARun, NoHistoryLeavesNoFileAndTheCommandSaysThereIsNone)
{
    CTempDir dir;
    const std::string root = DemoRoot(dir);
    const HostResult run =
        RunHost({"--headless", "--silent", "--no-history", "--root", root, "--day", kDemoDay});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(std::filesystem::exists(root + "/history.sqlite"));
    const HostResult history = RunHost({"history", "--root", root});
    EXPECT_EQ(history.status, 1);
    EXPECT_NE(history.err.find("no alert history"), std::string::npos) << history.err;
    EXPECT_FALSE(std::filesystem::exists(root + "/history.sqlite"));

    const HostResult bad = RunHost({"history", "--root", root, "--to", "31.12.2024"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("is no date"), std::string::npos) << bad.err;
}

TEST(HistoryOfARun, AHistoryThatCannotBeOpenedIsReportedAndTheReplayStillPrints)
{
    CTempDir dir;
    const std::string root = DemoRoot(dir);
    std::filesystem::create_directories(root + "/history.sqlite"); // a folder in its place
    const HostResult run = RunHost({"--headless", "--silent", "--root", root, "--day", kDemoDay});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("alert history"), std::string::npos) << run.err;
    EXPECT_GT(Lines(run.out).size(), 10u);
}
