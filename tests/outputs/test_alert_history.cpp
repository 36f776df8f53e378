#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sqlite3.h>
#include <sys/stat.h>

#include "host/outputs/CAlertHistory.h"
#include "host/outputs/CHistoryCommand.h"
#include "host/outputs/CHistoryExport.h"
#include "tests/outputs/OutputsTestSupport.h"
#include "tests/support/CTempDir.h"
#include "tests/support/CUnprivilegedRun.h"
#include "tests/support/FileContents.h"

using namespace outputstest;

namespace {

// What another program reading the file sees.
long long CountRows(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    long long count = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

std::string QueryText(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return text;
}

// What another program does to refuse every alert row, and to stop refusing.
const char* const kRefuseRows = "CREATE TRIGGER refuse BEFORE INSERT ON alert_rows "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END;";
const char* const kStopRefusing = "DROP TRIGGER refuse;";

bool Exec(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The sequence numbers of every row the history keeps, oldest first; empty when it cannot be
// read.
std::vector<long long> Sequences(CAlertHistory& history)
{
    std::vector<CAlertHistory::Row> rows;
    std::vector<long long> sequences;
    if (history.Query({}, rows))
        for (const auto& row : rows)
            sequences.push_back(row.sequence);
    return sequences;
}

// A closed history file holding alerts 1 .. count of one replay.
void KeepAlerts(const std::string& path, int count)
{
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path)) << history.Error();
    ASSERT_TRUE(history.BeginRun(false, ""));
    for (int i = 1; i <= count; ++i)
        history.Add(Event(static_cast<std::uint64_t>(i)));
    ASSERT_TRUE(history.Commit()) << history.Error();
}

} // namespace

TEST(AlertHistory, AlertsReachTheFileAtCommitInWalModeAndSurviveReopening)
{
    CTempDir dir;
    const std::string path = CAlertHistory::PathIn(dir.Path() + "/sub/dir");
    {
        CAlertHistory history;
        ASSERT_TRUE(history.Open(path)) << history.Error();
        EXPECT_EQ(history.SchemaVersion(), CAlertHistory::kSchemaVersion);
        ASSERT_TRUE(history.BeginRun(false, "/days/20211201"));
        history.Add(Event(1));
        history.Add(Event(2, "000001", "平安银行", 7));
        EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts"), 0);
        ASSERT_TRUE(history.Commit()) << history.Error();
        EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts"), 2);
        history.Add(Event(3));
    } // the last frame is committed when the history closes
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts"), 3);
    EXPECT_EQ(QueryText(path, "PRAGMA journal_mode"), "wal");

    CAlertHistory again;
    ASSERT_TRUE(again.Open(path)) << again.Error();
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(again.Query({}, rows));
    ASSERT_EQ(rows.size(), 3u);
    const CAlertHistory::Row& row = rows[1];
    EXPECT_EQ(row.tradingDate, "2021-12-01");
    EXPECT_EQ(row.code, "000001");
    EXPECT_EQ(row.name, "平安银行");
    EXPECT_EQ(row.reasonCode, 7);
    EXPECT_EQ(row.reason, "今日最低价");
    EXPECT_EQ(row.source, "replay");
    EXPECT_EQ(row.dayFolder, "/days/20211201");
    EXPECT_EQ(row.sequence, 2);
    EXPECT_FLOAT_EQ(static_cast<float>(row.price), 3.04f);
}

// Alerts taken in one by one and as the fan-out's frames, mixed, are written in order; every row
// must keep its own fields, whatever date, name, reason and run the alerts around it have.
TEST(AlertHistory, ALargeFrameKeepsEveryRowsOwnFieldsInOrderAcrossRuns)
{
    CTempDir dir;
    const std::string path = CAlertHistory::PathIn(dir.Path());
    const char* const names[] = {"青山纸业", "平安银行", "ST Alpha", ""};
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path)) << history.Error();
    auto eventOf = [&](int i) {
        CAlertEvent event =
            Event(static_cast<std::uint64_t>(i + 1), std::to_string(600000 + i), names[i % 4],
                  i % 14, 20240102 + i % 3, 34200 + i, 1.0f + static_cast<float>(i));
        event.record.m_fVolume = 100.0f * static_cast<float>(i);
        if (i % 11 == 5) {
            // A magic signal: no reason of the table, its text outside ASCII or (every other
            // one) within it.
            event.reasonCode = -1;
            VelkCopyText(event.record.m_szReason,
                         TextCodec::Utf8ToGbk((i % 2 ? "神奇信号" : "MACD ") + std::to_string(i)));
        }
        return event;
    };
    auto add = [&](int begin, int end) {
        for (int i = begin; i < end;) {
            if (i % 3 != 0) {
                history.Add(eventOf(i++));
                continue;
            }
            auto frame = std::make_shared<std::vector<CAlertEvent>>();
            for (int k = 0; k < 7 && i < end; ++k)
                frame->push_back(eventOf(i++));
            history.Add(frame);
        }
    };
    ASSERT_TRUE(history.BeginRun(false, "/days/first"));
    add(0, 53);
    ASSERT_TRUE(history.Commit()) << history.Error();
    ASSERT_TRUE(history.BeginRun(true, "/days/second"));
    add(53, 90);
    ASSERT_TRUE(history.Commit()) << history.Error();

    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows));
    ASSERT_EQ(rows.size(), 90u);
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    for (int i = 0; i < 90; ++i) {
        const CAlertHistory::Row& row = rows[static_cast<std::size_t>(i)];
        const CAlertEvent event = eventOf(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(row.sequence, i + 1);
        EXPECT_EQ(row.code, std::to_string(600000 + i));
        EXPECT_EQ(row.name, names[i % 4]);
        EXPECT_EQ(row.reasonCode, event.reasonCode);
        EXPECT_EQ(row.reason, event.ReasonUtf8());
        EXPECT_EQ(row.tradingDate, event.DateText());
        EXPECT_EQ(row.time, 34200 + i);
        EXPECT_FLOAT_EQ(static_cast<float>(row.price), 1.0f + static_cast<float>(i));
        EXPECT_FLOAT_EQ(static_cast<float>(row.volume), 100.0f * static_cast<float>(i));
        EXPECT_EQ(row.source, i < 53 ? "replay" : "live");
        EXPECT_EQ(row.dayFolder, i < 53 ? "/days/first" : "/days/second");
    }
}

// A stock is kept once and its rows name it: a whole market's stocks in one frame (more than the
// history's first table of them holds), one code in two markets, a name longer than a table slot
// holds, a stock renamed and then seen under its old name again, and a second program writing
// the same stocks into the file. Every row reads back its own market, code and name.
TEST(AlertHistory, EveryRowKeepsItsOwnStockWhenStocksAreKeptOnce)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    const std::string longName = "中华人民共和国沿海开发集团股份有限公司"; // 40 bytes of GBK
    struct Stock {
        int market;
        std::string code;
        std::string name;
    };
    std::vector<Stock> written;
    auto add = [&](CAlertHistory& history, const Stock& stock) {
        CAlertEvent event = Event(written.size() + 1, stock.code, stock.name);
        event.record.m_byMarket = static_cast<unsigned char>(stock.market);
        history.Add(event);
        written.push_back(stock);
    };
    CAlertHistory desk;
    CAlertHistory other;
    ASSERT_TRUE(desk.Open(path)) << desk.Error();
    ASSERT_TRUE(other.Open(path)) << other.Error();
    ASSERT_TRUE(desk.BeginRun(false, "/days/20240102"));
    ASSERT_TRUE(other.BeginRun(true, ""));
    for (int i = 0; i < 5000; ++i)
        add(desk, {1 + i % 2, std::to_string(600000 + i / 2), "股票" + std::to_string(i / 2)});
    add(desk, {1, "600001", longName});
    add(desk, {1, "600000", "*ST股票0"});
    ASSERT_TRUE(desk.Commit()) << desk.Error();
    add(desk, {1, "600000", "股票0"});
    add(desk, {1, "600001", longName});
    add(desk, {2, "601249", "股票1249"});
    ASSERT_TRUE(desk.Commit()) << desk.Error();
    add(other, {1, "600000", "*ST股票0"});
    add(other, {2, "601249", "股票1249"});
    add(other, {1, "688001", "新股"});
    ASSERT_TRUE(other.Commit()) << other.Error();
    add(desk, {1, "688001", "新股"});
    ASSERT_TRUE(desk.Commit()) << desk.Error();

    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(desk.Query({}, rows)) << desk.Error();
    ASSERT_EQ(rows.size(), written.size());
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].market, written[i].market);
        EXPECT_EQ(rows[i].code, written[i].code);
        EXPECT_EQ(rows[i].name, written[i].name);
    }
    // 2,500 codes in two markets, the long name, the new name and the new stock.
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM stocks"), 5003);
    ASSERT_TRUE(desk.Query({"", "", "600000", "", ""}, rows));
    EXPECT_EQ(rows.size(), 5u);
}

// A transaction that fails takes the stocks it added with it; the ids they had are not used
// again for them, or a later stock would take one and the kept alerts its name.
TEST(AlertHistory, AFailedFrameLeavesNoStockIdBehind)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path)) << history.Error();
    ASSERT_TRUE(history.BeginRun(false, ""));
    // Another program refuses every alert for a while.
    ASSERT_TRUE(Exec(path, kRefuseRows));
    history.Add(Event(1, "600103", "青山纸业"));
    EXPECT_FALSE(history.Commit());
    EXPECT_NE(history.Error().find("refused"), std::string::npos) << history.Error();
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM stocks"), 0);
    ASSERT_TRUE(Exec(path, kStopRefusing));
    history.Add(Event(2, "000001", "平安银行"));
    ASSERT_TRUE(history.Commit()) << history.Error();

    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows)) << history.Error();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].code, "600103");
    EXPECT_EQ(rows[0].name, "青山纸业");
    EXPECT_EQ(rows[1].code, "000001");
    EXPECT_EQ(rows[1].name, "平安银行");
}

// The writer reads a frame's alerts from a table of its own connection, which a table of the
// same name in the file cannot stand in for.
TEST(AlertHistory, ATableInTheFileNamedLikeTheFramesTableChangesNothing)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path)) << history.Error();
    ASSERT_TRUE(history.BeginRun(false, ""));
    ASSERT_TRUE(Exec(path, "CREATE TABLE velk_frame_alerts (run_id, seq, trading_date, time, "
                           "stock, reason_code, reason, price, volume);"
                           "INSERT INTO velk_frame_alerts VALUES (1, 99, 20200101, 0, 1, 0, "
                           "NULL, 1, 1);"));
    history.Add(Event(1));
    ASSERT_TRUE(history.Commit()) << history.Error();
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows)) << history.Error();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sequence, 1);
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM velk_frame_alerts"), 1);
}

TEST(AlertHistory, SchemaIsMigratedFromNothingAndANewerFileIsRefusedUntouched)
{
    CTempDir dir;
    const std::string old = dir.File("old.sqlite");
    ASSERT_TRUE(Exec(old, "CREATE TABLE notes(x); INSERT INTO notes VALUES (1);"));
    CAlertHistory history;
    ASSERT_TRUE(history.Open(old)) << history.Error();
    EXPECT_EQ(history.SchemaVersion(), CAlertHistory::kSchemaVersion);
    EXPECT_EQ(CountRows(old, "SELECT count(*) FROM notes"), 1);

    const std::string newer = dir.File("newer.sqlite");
    ASSERT_TRUE(Exec(newer, "CREATE TABLE future(x); PRAGMA user_version=99;"));
    CAlertHistory refused;
    // Newer is not damaged: it is never set aside.
    EXPECT_FALSE(refused.Open(newer, CAlertHistory::Damaged::SetAside));
    EXPECT_TRUE(refused.SetAsidePath().empty());
    EXPECT_NE(refused.Error().find("newer"), std::string::npos) << refused.Error();
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_EQ(CountRows(newer, "PRAGMA user_version"), 99);
    EXPECT_EQ(CountRows(newer, "SELECT count(*) FROM sqlite_master WHERE name='alerts'"), 0);

    CAlertHistory notAFile;
    std::filesystem::create_directories(dir.File("adir/history.sqlite"));
    EXPECT_FALSE(notAFile.Open(dir.File("adir/history.sqlite")));
    EXPECT_FALSE(notAFile.Error().empty());
}

// A file that is no database (or its header damaged) stops the history of every later run
// until somebody deletes it by hand. The programs that write the history set it aside whole and
// begin a new one; the history command only tells.
TEST(AlertHistory, ADamagedFileIsSetAsideAndANewOneBegun)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    const std::string garbage(4096, '\x5a');
    std::ofstream(path, std::ios::binary) << garbage;
    CAlertHistory reader;
    EXPECT_FALSE(reader.Open(path));
    EXPECT_NE(reader.Error().find("not a database"), std::string::npos) << reader.Error();
    EXPECT_TRUE(reader.SetAsidePath().empty());

    CAlertHistory writer;
    ASSERT_TRUE(writer.Open(path, CAlertHistory::Damaged::SetAside)) << writer.Error();
    const std::string aside = writer.SetAsidePath();
    EXPECT_EQ(aside.rfind(path + ".damaged-", 0), 0u) << aside;
    EXPECT_NE(writer.SetAsideReason().find("not a database"), std::string::npos);
    std::ifstream kept(aside, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), garbage);
    ASSERT_TRUE(writer.BeginRun(false, "/days/20240102"));
    writer.Add(Event(1));
    ASSERT_TRUE(writer.Commit()) << writer.Error();
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(writer.Query({}, rows));
    EXPECT_EQ(rows.size(), 1u);
}

// Every row of a file of the first schema, read through SQL as that schema had it.
std::vector<std::string> FirstSchemaRows(const std::string& path)
{
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT id, seq, trading_date, time, market, code, name, "
                               "reason_code, reason, price, volume, source, day_folder, "
                               "(SELECT count(*) FROM deliveries d WHERE d.run_id = a.run_id "
                               "AND d.seq = a.seq) FROM alerts a ORDER BY id",
                               -1, &statement, nullptr) == SQLITE_OK)
            while (sqlite3_step(statement) == SQLITE_ROW) {
                std::string row;
                for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                    const unsigned char* text = sqlite3_column_text(statement, column);
                    row += (text ? reinterpret_cast<const char*>(text) : "NULL") + std::string("|");
                }
                rows.push_back(row);
            }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

// A file the first velk-host wrote (its schema, rows as it wrote them, and rows it never wrote
// but another program might have: a row whose run is gone, a row whose source is not its
// run's) keeps every row, field for field, and every attempt with its alert.
TEST(AlertHistory, AFileOfTheFirstSchemaKeepsEveryRowAndAttemptWhenBroughtUp)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    const std::string limitUp = TextCodec::GbkToUtf8(VelkReasonText(2));
    const std::string sql =
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, started TEXT NOT NULL, source TEXT NOT NULL,"
        "  day_folder TEXT NOT NULL);"
        "CREATE TABLE alerts (id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL,"
        "  seq INTEGER NOT NULL, trading_date TEXT NOT NULL, time INTEGER NOT NULL,"
        "  market INTEGER NOT NULL, code TEXT NOT NULL, name TEXT NOT NULL, reason_code INTEGER,"
        "  reason TEXT NOT NULL, price REAL NOT NULL, volume REAL NOT NULL,"
        "  source TEXT NOT NULL, day_folder TEXT NOT NULL);"
        "CREATE INDEX alerts_by_date ON alerts(trading_date, time);"
        "CREATE TABLE deliveries (id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL,"
        "  seq INTEGER NOT NULL, trading_date TEXT NOT NULL, output TEXT NOT NULL,"
        "  attempt INTEGER NOT NULL, status TEXT NOT NULL, answer TEXT NOT NULL,"
        "  at TEXT NOT NULL);"
        "CREATE INDEX deliveries_by_alert ON deliveries(run_id, seq);"
        "PRAGMA user_version=1;"
        "INSERT INTO runs VALUES (1, '2024-01-02 09:00:00', 'replay', '/days/20240102');"
        "INSERT INTO runs VALUES (2, '2024-01-03 09:00:00', 'live', '127.0.0.1:9000');"
        "INSERT INTO alerts VALUES (1, 1, 1, '2024-01-02', 34200, 1, '600103', '青山纸业', 2, '" +
        limitUp +
        "', 3.04, 1200, 'replay', '/days/20240102');"
        // A magic signal: no code, its own text.
        "INSERT INTO alerts VALUES (2, 1, 2, '2024-01-02', 34260, 2, '000001', '平安银行', NULL,"
        "  'MACD金叉', 10.5, 800, 'replay', '/days/20240102');"
        // A reason code beside a text that is not the code's.
        "INSERT INTO alerts VALUES (3, 2, 1, '2024-01-03', 35000, 1, '600103', '青山纸业', 2,"
        "  '改过的文字', 3.10, 300, 'live', '127.0.0.1:9000');"
        // Its run's source and folder are not its own; the ids before it were let go.
        "INSERT INTO alerts VALUES (9, 2, 2, '2024-01-03', 35100, 1, '600000', '浦发银行', 2, '" +
        limitUp +
        "', 8.0, 100, 'replay', '/days/other');"
        // Its run is gone.
        "INSERT INTO alerts VALUES (12, 7, 1, '2024-01-04', 36000, 1, '600000', '浦发银行', 2, '" +
        limitUp +
        "', 8.1, 100, 'live', 'feed');"
        "INSERT INTO deliveries VALUES (1, 1, 2, '2024-01-02', 'hook', 1, 'delivered', 'HTTP 200',"
        "  'x');"
        "INSERT INTO deliveries VALUES (2, 2, 2, '2024-01-03', 'hook', 1, 'retry', 'HTTP 503',"
        "  'x');"
        "INSERT INTO deliveries VALUES (3, 2, 2, '2024-01-03', 'hook', 2, 'delivered', 'HTTP 200',"
        "  'x');"
        "INSERT INTO deliveries VALUES (4, 7, 1, '2024-01-04', 'hook', 1, 'failed', 'HTTP 400',"
        "  'x');";
    ASSERT_TRUE(Exec(path, sql.c_str()));
    const std::vector<std::string> before = FirstSchemaRows(path);
    ASSERT_EQ(before.size(), 5u);

    CAlertHistory history;
    ASSERT_TRUE(history.Open(path)) << history.Error();
    EXPECT_EQ(history.SchemaVersion(), CAlertHistory::kSchemaVersion);
    EXPECT_EQ(FirstSchemaRows(path), before);

    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows)) << history.Error();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].reason, limitUp);
    EXPECT_EQ(rows[0].delivered, 0);
    EXPECT_EQ(rows[1].reason, "MACD金叉");
    EXPECT_EQ(rows[1].reasonCode, -1);
    EXPECT_EQ(rows[1].delivered, 1);
    EXPECT_EQ(rows[2].reason, "改过的文字");
    EXPECT_EQ(rows[3].source, "replay");
    EXPECT_EQ(rows[3].dayFolder, "/days/other");
    EXPECT_EQ(rows[3].attempts, 2);
    EXPECT_EQ(rows[3].delivered, 1);
    EXPECT_EQ(rows[2].attempts, 0);
    EXPECT_EQ(rows[4].source, "live");
    EXPECT_EQ(rows[4].dayFolder, "feed");
    EXPECT_EQ(rows[4].attempts, 1);
    ASSERT_TRUE(history.Query({"", "", "", limitUp, "replay"}, rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].code, "600000");
    // A part of the text takes the rows whose own text or code's text holds it.
    CAlertHistory::Filter part;
    part.reasonPart = true;
    for (const auto& [text, ids] : std::vector<std::pair<std::string, std::vector<long long>>>{
             {"涨停", {1, 9, 12}}, {"金叉", {2}}, {"改过的文字", {3}}, {"跌停", {}}}) {
        part.reason = text;
        ASSERT_TRUE(history.Query(part, rows)) << history.Error();
        std::vector<long long> found;
        for (const auto& row : rows)
            found.push_back(row.id);
        EXPECT_EQ(found, ids) << text;
    }

    // The file goes on in the new schema: a new row beside the old ones, the dates compared as
    // dates, and the retention counts the new rows.
    ASSERT_TRUE(history.BeginRun(false, "/days/20240105"));
    history.Add(Event(1, "600103", "青山纸业", 3, 20240105));
    ASSERT_TRUE(history.Commit()) << history.Error();
    ASSERT_TRUE(history.Query({"2024-01-03", "2024-01-05", "", "", ""}, rows));
    EXPECT_EQ(rows.size(), 4u);
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts WHERE trading_date = '2024-01-05' AND "
                              "day_folder = '/days/20240105'"),
              1);
    EXPECT_FALSE(history.Query({"2024-1-3", "", "", "", ""}, rows));
    EXPECT_EQ(history.DeleteOlderThan(2, 20240105), 4); // the 2nd and the 3rd
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM deliveries"), 1);
}

// A date's rows are found through the ids its runs' days keep: two programs writing to one file
// in turns (their ids interleaved), a feed that crosses midnight inside one transaction, groups
// of rows and single ones. Every date range returns exactly the rows of its dates.
TEST(AlertHistory, ADateRangeFindsEveryRowOfItsDatesWhateverWroteThemBetween)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    CAlertHistory desk;
    CAlertHistory headless;
    ASSERT_TRUE(desk.Open(path)) << desk.Error();
    ASSERT_TRUE(headless.Open(path)) << headless.Error();
    ASSERT_TRUE(desk.BeginRun(true, ""));
    ASSERT_TRUE(headless.BeginRun(false, "/days/20240102"));
    std::map<int, int> written;
    std::uint64_t sequence = 0;
    for (int turn = 0; turn < 6; ++turn) {
        // 37 rows: two groups and five single ones.
        for (int i = 0; i < 37; ++i) {
            const int date = i < 20 ? 20240103 + turn / 2 : 20240104 + turn / 2;
            desk.Add(Event(++sequence, "600103", "青山纸业", 2, date, 34200 + i));
            ++written[date];
        }
        ASSERT_TRUE(desk.Commit()) << desk.Error();
        for (int i = 0; i < 3; ++i) {
            headless.Add(Event(++sequence, "000001", "平安银行", 7, 20240102, 34200 + i));
            ++written[20240102];
        }
        ASSERT_TRUE(headless.Commit()) << headless.Error();
    }
    std::vector<CAlertHistory::Row> rows;
    auto countIn = [&](int from, int to) {
        int count = 0;
        for (const auto& [date, rowsOfDate] : written)
            count += date >= from && date <= to ? rowsOfDate : 0;
        return count;
    };
    for (int from = 20240101; from <= 20240107; ++from)
        for (int to = from; to <= 20240107; ++to) {
            const std::string fromText = Event(0, "", "", 2, from).DateText();
            const std::string toText = Event(0, "", "", 2, to).DateText();
            ASSERT_TRUE(desk.Query({fromText, toText, "", "", ""}, rows)) << desk.Error();
            EXPECT_EQ(static_cast<int>(rows.size()), countIn(from, to))
                << fromText << ".." << toText;
            for (const auto& row : rows)
                EXPECT_TRUE(row.tradingDate >= fromText && row.tradingDate <= toText);
        }
    // The newest so many, as the history window asks, are the last of them all in order, the
    // filter's too, however the dates' ids lie.
    for (const CAlertHistory::Filter& base :
         {CAlertHistory::Filter{}, CAlertHistory::Filter{"2024-01-04", "", "", "2", "live"},
          CAlertHistory::Filter{"2024-01-03", "2024-01-04", "600103", "", ""}}) {
        std::vector<CAlertHistory::Row> all;
        ASSERT_TRUE(desk.Query(base, all));
        for (const std::size_t limit : {1, 19, 20, 41, 150, 1000}) {
            CAlertHistory::Filter newest = base;
            newest.limit = limit;
            bool more = false;
            ASSERT_TRUE(desk.Query(newest, rows, &more)) << desk.Error();
            ASSERT_EQ(rows.size(), std::min(limit, all.size())) << limit;
            EXPECT_EQ(more, limit < all.size());
            for (std::size_t i = 0; i < rows.size(); ++i)
                ASSERT_EQ(rows[i].id, all[all.size() - rows.size() + i].id) << limit << " " << i;
        }
    }
    ASSERT_TRUE(headless.Query({"2024-01-04", "", "", "", ""}, rows));
    EXPECT_EQ(static_cast<int>(rows.size()), countIn(20240104, 20991231));
    ASSERT_TRUE(headless.Query({"", "2024-01-03", "", "", ""}, rows));
    EXPECT_EQ(static_cast<int>(rows.size()), countIn(0, 20240103));
    // Once the days before are let go, so are their ranges; what is left is still found.
    EXPECT_EQ(desk.DeleteOlderThan(2, 20240106), countIn(0, 20240104));
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM run_days WHERE trading_date < 20240105"), 0);
    ASSERT_TRUE(desk.Query({"2024-01-01", "2024-01-31", "", "", ""}, rows));
    EXPECT_EQ(static_cast<int>(rows.size()), countIn(20240105, 20240106));
}

TEST(AlertHistory, AFrameThatCannotBeWrittenIsKeptForTheNextCommit)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path));
    ASSERT_TRUE(history.BeginRun(true, ""));
    history.Add(Event(1));
    {
        // Another writer holds the file longer than the history waits.
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_FALSE(history.Commit());
        EXPECT_FALSE(history.Error().empty());
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    history.Add(Event(2));
    ASSERT_TRUE(history.Commit()) << history.Error();
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts"), 2);
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts WHERE source='live'"), 2);
}

// Frames handed to the writer without waiting: a frame that ends while the writer is still at
// an earlier one waits in memory rather than the caller; a frame the writer cannot write is
// told at the first hand-off after, kept, and written ahead of the frames after it.
TEST(AlertHistory, AFrameWrittenInTheBackgroundThatFailsIsToldLaterAndKeptInOrder)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path));
    ASSERT_TRUE(history.BeginRun(true, ""));
    history.Add(Event(1));
    ASSERT_TRUE(history.CommitInBackground());
    history.WaitWritten();
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM alerts"), 1);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    history.Add(Event(2));
    EXPECT_TRUE(history.CommitInBackground()); // the frame before was written
    // The writer waits for the other writer's lock for seconds; the next frame does not wait
    // for it (waiting would end in the writer's failure, told here).
    history.Add(Event(3));
    EXPECT_TRUE(history.CommitInBackground()) << history.Error();
    history.WaitWritten();
    history.Add(Event(4));
    EXPECT_FALSE(history.CommitInBackground());
    EXPECT_FALSE(history.Error().empty());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    history.Add(Event(5));
    ASSERT_TRUE(history.Commit()) << history.Error();
    EXPECT_EQ(Sequences(history), (std::vector<long long>{1, 2, 3, 4, 5}));
}

// A history that cannot be written must not cost every frame the rewriting of all it holds:
// after a failure the writer is handed work again only once a pause has passed, doubling while
// it fails; what comes meanwhile waits, in order, and a waiting Commit always tries.
TEST(AlertHistory, AfterAFailedWriteTheNextTryWaitsForAPauseThatGrowsWhileItFails)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    std::atomic<long long> nowMs{0};
    CAlertHistory history;
    history.SetClock([&] {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(nowMs.load()));
    });
    ASSERT_TRUE(history.Open(path));
    ASSERT_TRUE(history.BeginRun(false, ""));
    auto fault = [&](bool on) { return Exec(path, on ? kRefuseRows : kStopRefusing); };
    // A frame at `ms`: whether the hand-off told of no failure, and the rows written after it.
    auto frame = [&](long long ms, std::uint64_t sequence) {
        nowMs = ms;
        history.Add(Event(sequence));
        const bool told = history.CommitInBackground();
        history.WaitWritten();
        return std::make_pair(told, CountRows(path, "SELECT count(*) FROM alert_rows"));
    };
    using Told = std::pair<bool, long long>;
    ASSERT_TRUE(fault(true));
    EXPECT_EQ(frame(0, 1), Told(true, 0)); // fails in the writer
    EXPECT_EQ(frame(0, 2), Told(false, 0));
    EXPECT_NE(history.Error().find("refused"), std::string::npos) << history.Error();
    // The cause is gone, but the pause has not passed: nothing is tried.
    ASSERT_TRUE(fault(false));
    EXPECT_EQ(frame(999, 3), Told(false, 0));
    // Tried once it has, and failing again, the next pause is twice as long.
    ASSERT_TRUE(fault(true));
    EXPECT_EQ(frame(1000, 4), Told(false, 0));
    ASSERT_TRUE(fault(false));
    EXPECT_EQ(frame(2999, 5), Told(false, 0));
    EXPECT_EQ(frame(3000, 6), Told(false, 6)); // still told: this hand-off is the one that writes
    EXPECT_EQ(frame(3000, 7), Told(true, 7));
    // Written again, a new failure starts from the first pause.
    ASSERT_TRUE(fault(true));
    EXPECT_EQ(frame(3000, 8), Told(true, 7));
    ASSERT_TRUE(fault(false));
    EXPECT_EQ(frame(3999, 9), Told(false, 7));
    EXPECT_EQ(frame(4000, 10), Told(false, 10));
    // A waiting Commit (the last, at closing) tries whatever the pause.
    ASSERT_TRUE(fault(true));
    EXPECT_EQ(frame(4000, 11), Told(true, 10));
    ASSERT_TRUE(fault(false));
    EXPECT_TRUE(history.Commit()) << history.Error();
    std::vector<long long> sequences = Sequences(history);
    std::sort(sequences.begin(), sequences.end());
    EXPECT_EQ(sequences, (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(AlertHistory, FiltersByDateCodeReasonAndSourceAndCountsDeliveries)
{
    CTempDir dir;
    CAlertHistory history;
    ASSERT_TRUE(history.Open(dir.File("h.sqlite")));
    ASSERT_TRUE(history.BeginRun(false, "d"));
    history.Add(Event(1, "600103", "青山纸业", 2, 20240102));
    history.Add(Event(2, "000001", "平安银行", 3, 20240103));
    history.Add(Event(3, "600103", "青山纸业", 6, 20240104));
    ASSERT_TRUE(history.BeginRun(true, ""));
    CAlertEvent live = Event(1, "600103", "青山纸业", 2, 20240105);
    live.live = true;
    history.Add(live);
    history.OnDeliveryAttempt(live, "hook", 1, {CDeliveryAttempt::Outcome::Retry, "503"});
    history.OnDeliveryAttempt(live, "hook", 2, {CDeliveryAttempt::Outcome::Delivered, "200"});
    ASSERT_TRUE(history.Commit());

    auto codes = [&](const CAlertHistory::Filter& filter) {
        std::vector<CAlertHistory::Row> rows;
        EXPECT_TRUE(history.Query(filter, rows)) << history.Error();
        std::vector<std::string> out;
        for (const auto& row : rows)
            out.push_back(row.tradingDate.substr(8) + ":" + row.code);
        return out;
    };
    EXPECT_EQ(codes({"2024-01-03", "2024-01-04", "", "", ""}),
              (std::vector<std::string>{"03:000001", "04:600103"}));
    EXPECT_EQ(codes({"", "", "600103", "", ""}),
              (std::vector<std::string>{"02:600103", "04:600103", "05:600103"}));
    EXPECT_EQ(codes({"", "", "", "达到涨停价", ""}),
              (std::vector<std::string>{"02:600103", "05:600103"}));
    EXPECT_EQ(codes({"", "", "", "3", ""}), (std::vector<std::string>{"03:000001"}));
    EXPECT_EQ(codes({"", "", "", "", "live"}), (std::vector<std::string>{"05:600103"}));

    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({"", "", "", "", "live"}, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].attempts, 2);
    EXPECT_EQ(rows[0].delivered, 1);
    // The replayed alert 1 of the earlier run is another alert than the live alert 1.
    ASSERT_TRUE(history.Query({"2024-01-02", "2024-01-02", "", "", ""}, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].attempts, 0);

    EXPECT_EQ(history.DeleteOlderThan(2, 20240105), 2); // keeps the 4th and the 5th
    EXPECT_EQ(codes({}), (std::vector<std::string>{"04:600103", "05:600103"}));
    EXPECT_EQ(history.DeleteOlderThan(0, 20240105), 0);
    EXPECT_EQ(codes({}).size(), 2u);
}

TEST(HistoryExport, CsvHasAByteOrderMarkKeepsCodesAsTextAndQuotesFields)
{
    CAlertHistory::Row row;
    row.tradingDate = "2024-01-02";
    row.time = 9 * 3600 + 30 * 60 + 5;
    row.market = 2;
    row.code = "000001";
    row.name = "平安,银行";
    row.reasonCode = 3;
    row.reason = "达到跌停价";
    row.price = 10.0;
    row.volume = 1500;
    row.source = "replay";
    row.dayFolder = "/a \"b\"";
    const std::string csv = CHistoryExport::Csv({row});
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    const std::string line = csv.substr(csv.find("\r\n") + 2);
    EXPECT_EQ(line,
              "2024-01-02,09:30:05,2,\"=\"\"000001\"\"\",\"平安,银行\",3,达到跌停价,10.00,1500,"
              "replay,\"/a \"\"b\"\"\",0,0,0\r\n");

    const auto json = nlohmann::json::parse(CHistoryExport::Json({row}));
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["code"], "000001");
    EXPECT_EQ(json[0]["name"], "平安,银行");
    EXPECT_EQ(json[0]["price"], 10.0);
    row.reasonCode = -1;
    EXPECT_TRUE(nlohmann::json::parse(CHistoryExport::Json({row}))[0]["reason_code"].is_null());
}

TEST(HistoryCommand, ParsesDatesAndRefusesWhatMakesNoSense)
{
    CHistoryCommand command;
    ASSERT_TRUE(command.Parse({"--from", "20240102", "--to", "2024-01-31", "--code", "000001",
                               "--reason", "达到涨停价", "--format", "json"}));
    EXPECT_EQ(command.Filter().from, "2024-01-02");
    EXPECT_EQ(command.Filter().to, "2024-01-31");
    EXPECT_TRUE(command.Filter().reasonPart);
    EXPECT_TRUE(command.Json());
    EXPECT_TRUE(command.Parse({"--from", "2024-02-29", "--to", "2024-02-29"}));
    for (const char* date : {"2024-13-01", "2023-02-29", "2024-04-31", "1899-12-31", "yesterday",
                             "+2024010", "2024-1-031"}) {
        EXPECT_FALSE(command.Parse({"--from", date})) << date;
        EXPECT_NE(command.Error().find("is no date"), std::string::npos) << command.Error();
    }
    EXPECT_FALSE(command.Parse({"--from", "2024-02-01", "--to", "20240131"}));
    EXPECT_EQ(command.Error(), "--from 2024-02-01 comes after --to 2024-01-31");
    EXPECT_FALSE(command.Parse({"--format", "xml"}));
    EXPECT_FALSE(command.Parse({"--code"}));
    EXPECT_EQ(command.Error(), "--code needs a value");
    // An option it does not know is named as such, last on the line too.
    EXPECT_FALSE(command.Parse({"--code", "000001", "--bogus"}));
    EXPECT_EQ(command.Error(), "history does not take --bogus");
    EXPECT_FALSE(command.Parse({"extra"}));
    EXPECT_EQ(command.Error(), "history does not take extra");
}

// A history this user may not write (a copy kept elsewhere, another user's) is still printed,
// and nothing is made beside it.
TEST(HistoryCommand, PrintsAHistoryThisUserMayNotWrite)
{
    CTempDir dir;
    const std::string folder = dir.File("kept");
    const std::string path = folder + "/history.sqlite";
    KeepAlerts(path, 2);
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(path.c_str(), 0444);
    ::chmod(folder.c_str(), 0555);
    CHistoryCommand command;
    ASSERT_TRUE(command.Parse({"--format", "json"}));
    const std::optional<bool> printed = RunUnprivileged([&] {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        if (!out || !err || command.Run(path, out, err) != 0)
            return false;
        return nlohmann::json::parse(FileContents(out), nullptr, false).size() == 2;
    });
    ::chmod(folder.c_str(), 0755);
    if (!printed)
        GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_TRUE(*printed);
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
}

// The rows go out as they are read; output that cannot be written is told, not lost quietly.
TEST(HistoryCommand, PrintsEveryRowAndTellsOutputThatCannotBeWritten)
{
    CTempDir dir;
    const std::string path = dir.File("history.sqlite");
    KeepAlerts(path, 3);
    CHistoryCommand command;
    ASSERT_TRUE(command.Parse({"--format", "json"}));
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_EQ(command.Run(path, out, err), 0);
    EXPECT_EQ(nlohmann::json::parse(FileContents(out)).size(), 3u);
    std::fclose(out);

    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(command.Run(path, full, err), 1);
    std::fclose(full);
    const std::string said = FileContents(err);
    EXPECT_NE(said.find("could not all be written"), std::string::npos) << said;
    std::fclose(err);
}
