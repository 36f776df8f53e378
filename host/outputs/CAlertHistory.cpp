#include "host/outputs/CAlertHistory.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sqlite3.h>
#include <unistd.h>

#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "res/VelkStringTable.h"

namespace {

// The first schema, as the first velk-host wrote it: every alert row carried its run's source
// and day folder, its date as text and its reason's text. A new file is made by it and then
// brought up like any older file.
const char* const kSchema1 = "CREATE TABLE runs ("
                             "  id INTEGER PRIMARY KEY,"
                             "  started TEXT NOT NULL,"
                             "  source TEXT NOT NULL,"
                             "  day_folder TEXT NOT NULL);"
                             "CREATE TABLE alerts ("
                             "  id INTEGER PRIMARY KEY,"
                             "  run_id INTEGER NOT NULL,"
                             "  seq INTEGER NOT NULL,"
                             "  trading_date TEXT NOT NULL,"
                             "  time INTEGER NOT NULL,"
                             "  market INTEGER NOT NULL,"
                             "  code TEXT NOT NULL,"
                             "  name TEXT NOT NULL,"
                             "  reason_code INTEGER,"
                             "  reason TEXT NOT NULL,"
                             "  price REAL NOT NULL,"
                             "  volume REAL NOT NULL,"
                             "  source TEXT NOT NULL,"
                             "  day_folder TEXT NOT NULL);"
                             "CREATE INDEX alerts_by_date ON alerts(trading_date, time);"
                             "CREATE TABLE deliveries ("
                             "  id INTEGER PRIMARY KEY,"
                             "  run_id INTEGER NOT NULL,"
                             "  seq INTEGER NOT NULL,"
                             "  trading_date TEXT NOT NULL,"
                             "  output TEXT NOT NULL,"
                             "  attempt INTEGER NOT NULL,"
                             "  status TEXT NOT NULL,"
                             "  answer TEXT NOT NULL,"
                             "  at TEXT NOT NULL);"
                             "CREATE INDEX deliveries_by_alert ON deliveries(run_id, seq);";

// The second schema keeps an alert row small, since one is written for every alert as it
// happens: the source and day folder stay with the run, the date is the number yyyymmdd, and a
// reason of the engine's table is its code alone, its text in `reasons`. The view `alerts`
// shows the rows as the first schema had them, for whatever reads the file with SQL.
//
// A row of the first schema whose source or day folder differs from its run's gets a run of its
// own (its delivery attempts follow it), so that no row changes what it says.
const char* const kSchema2Tables = "CREATE TABLE reasons ("
                                   "  code INTEGER PRIMARY KEY,"
                                   "  text TEXT NOT NULL);"
                                   "CREATE TABLE alert_rows ("
                                   "  id INTEGER PRIMARY KEY,"
                                   "  run_id INTEGER NOT NULL,"
                                   "  seq INTEGER NOT NULL,"
                                   "  trading_date INTEGER NOT NULL,"
                                   "  time INTEGER NOT NULL,"
                                   "  market INTEGER NOT NULL,"
                                   "  code TEXT NOT NULL,"
                                   "  name TEXT NOT NULL,"
                                   "  reason_code INTEGER,"
                                   "  reason TEXT,"
                                   "  price REAL NOT NULL,"
                                   "  volume REAL NOT NULL);";

const char* const kSchema2Rows =
    "INSERT INTO alert_rows (id, run_id, seq, trading_date, time, market, code, name, "
    "  reason_code, reason, price, volume) "
    "SELECT a.id, a.run_id, a.seq, CAST(replace(a.trading_date, '-', '') AS INTEGER), a.time, "
    "  a.market, a.code, a.name, a.reason_code, "
    "  CASE WHEN r.text IS a.reason THEN NULL ELSE a.reason END, a.price, a.volume "
    "FROM alerts a LEFT JOIN reasons r ON r.code = a.reason_code ORDER BY a.id;"
    "DROP TABLE alerts;"
    "CREATE INDEX alert_rows_by_date ON alert_rows(trading_date, time);"
    "CREATE VIEW alerts AS SELECT a.id AS id, a.run_id AS run_id, a.seq AS seq, "
    "  printf('%04d-%02d-%02d', a.trading_date / 10000, a.trading_date / 100 % 100, "
    "    a.trading_date % 100) AS trading_date, "
    "  a.time AS time, a.market AS market, a.code AS code, a.name AS name, "
    "  a.reason_code AS reason_code, coalesce(a.reason, r.text, '') AS reason, "
    "  a.price AS price, a.volume AS volume, u.source AS source, u.day_folder AS day_folder "
    "FROM alert_rows a LEFT JOIN reasons r ON r.code = a.reason_code "
    "LEFT JOIN runs u ON u.id = a.run_id;";

// The third drops the index of dates, which cost the writer a third of its time on every row:
// the rows of a run's trading date lie between two ids (a writer's rows follow one another),
// which `run_days` keeps, so that a query for some dates reads only those ids. Rows of other
// runs between them are read and left out by their date.
const char* const kSchema3 = "DROP INDEX alert_rows_by_date;"
                             "CREATE TABLE run_days ("
                             "  run_id INTEGER NOT NULL,"
                             "  trading_date INTEGER NOT NULL,"
                             "  first_id INTEGER NOT NULL,"
                             "  last_id INTEGER NOT NULL,"
                             "  PRIMARY KEY (run_id, trading_date)) WITHOUT ROWID;"
                             "CREATE INDEX run_days_by_date ON run_days(trading_date);"
                             "INSERT INTO run_days (run_id, trading_date, first_id, last_id) "
                             "SELECT run_id, trading_date, min(id), max(id) FROM alert_rows "
                             "GROUP BY run_id, trading_date;";

// The fourth keeps a stock's market, code and name once, in `stocks`, which a row names by id:
// the row is all numbers, and a name is converted to UTF-8 once rather than at every alert.
// The view shows the rows as before.
const char* const kSchema4 =
    "CREATE TABLE stocks ("
    "  id INTEGER PRIMARY KEY,"
    "  market INTEGER NOT NULL,"
    "  code TEXT NOT NULL,"
    "  name TEXT NOT NULL,"
    "  UNIQUE (market, code, name));"
    "INSERT INTO stocks (market, code, name) "
    "SELECT market, code, name FROM alert_rows GROUP BY market, code, name ORDER BY min(id);"
    "CREATE TABLE alert_rows_4 ("
    "  id INTEGER PRIMARY KEY,"
    "  run_id INTEGER NOT NULL,"
    "  seq INTEGER NOT NULL,"
    "  trading_date INTEGER NOT NULL,"
    "  time INTEGER NOT NULL,"
    "  stock INTEGER NOT NULL,"
    "  reason_code INTEGER,"
    "  reason TEXT,"
    "  price REAL NOT NULL,"
    "  volume REAL NOT NULL);"
    "INSERT INTO alert_rows_4 (id, run_id, seq, trading_date, time, stock, reason_code, reason, "
    "  price, volume) "
    "SELECT a.id, a.run_id, a.seq, a.trading_date, a.time, s.id, a.reason_code, a.reason, "
    "  a.price, a.volume "
    "FROM alert_rows a JOIN stocks s ON s.market = a.market AND s.code = a.code "
    "  AND s.name = a.name ORDER BY a.id;"
    "DROP VIEW alerts;"
    "DROP TABLE alert_rows;"
    "ALTER TABLE alert_rows_4 RENAME TO alert_rows;"
    "CREATE VIEW alerts AS SELECT a.id AS id, a.run_id AS run_id, a.seq AS seq, "
    "  printf('%04d-%02d-%02d', a.trading_date / 10000, a.trading_date / 100 % 100, "
    "    a.trading_date % 100) AS trading_date, "
    "  a.time AS time, s.market AS market, s.code AS code, s.name AS name, "
    "  a.reason_code AS reason_code, coalesce(a.reason, r.text, '') AS reason, "
    "  a.price AS price, a.volume AS volume, u.source AS source, u.day_folder AS day_folder "
    "FROM alert_rows a LEFT JOIN stocks s ON s.id = a.stock "
    "LEFT JOIN reasons r ON r.code = a.reason_code "
    "LEFT JOIN runs u ON u.id = a.run_id;";

// A transaction's ids of a run's trading date join those already kept.
const char* const kWidenRunDay =
    "INSERT INTO run_days (run_id, trading_date, first_id, last_id) VALUES (?,?,?,?) "
    "ON CONFLICT (run_id, trading_date) DO UPDATE SET "
    "first_id = min(first_id, excluded.first_id), last_id = max(last_id, excluded.last_id)";

// Why a file of another schema version than this program's is not taken.
std::string OtherSchemaText(int version)
{
    return std::string("written by ") +
           (version > CAlertHistory::kSchemaVersion ? "a newer" : "an older") +
           " velk-host (schema " + std::to_string(version) + ", this one knows up to " +
           std::to_string(CAlertHistory::kSchemaVersion) + ")";
}

// The local time now, as the format writes it.
std::string NowText(const char* format = "%Y-%m-%d %H:%M:%S")
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::string DateText(int ymd)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", ymd / 10000, ymd / 100 % 100, ymd % 100);
    return text;
}

// yyyymmdd of yyyy-mm-dd; -1 for any other text.
int DateNumber(const std::string& text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return -1;
    int number = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 4 || i == 7)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return -1;
        number = number * 10 + (text[i] - '0');
    }
    return number;
}

// yyyymmdd less some days, through the calendar.
int DaysBefore(int ymd, int days)
{
    std::tm date{};
    date.tm_year = ymd / 10000 - 1900;
    date.tm_mon = ymd / 100 % 100 - 1;
    date.tm_mday = ymd % 100 - days;
    date.tm_hour = 12;
    std::mktime(&date);
    return (date.tm_year + 1900) * 10000 + (date.tm_mon + 1) * 100 + date.tm_mday;
}

const char* OutcomeText(CDeliveryAttempt::Outcome outcome)
{
    switch (outcome) {
    case CDeliveryAttempt::Outcome::Delivered:
        return "delivered";
    case CDeliveryAttempt::Outcome::Retry:
        return "retry";
    case CDeliveryAttempt::Outcome::Failed:
        return "failed";
    }
    return "failed";
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* statement, int index)
{
    const unsigned char* text = sqlite3_column_text(statement, index);
    return text ? reinterpret_cast<const char*>(text) : std::string();
}

} // namespace

CAlertHistory::CAlertHistory() = default;

CAlertHistory::~CAlertHistory()
{
    if (m_pDb)
        Commit();
    Close();
}

void CAlertHistory::NoteDamage()
{
    const int code = m_pDb ? sqlite3_errcode(m_pDb) : SQLITE_OK;
    m_bDamaged = m_bDamaged || code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

bool CAlertHistory::Fail(const char* what)
{
    NoteDamage();
    m_strError = std::string(what) + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : "no database");
    return false;
}

bool CAlertHistory::Exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_pDb, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    NoteDamage();
    m_strError = message ? message : "SQLite error";
    sqlite3_free(message);
    return false;
}

CHistoryStocks::Key CAlertHistory::StockKeyOf(const CAlertEvent& event)
{
    const Ta_ALERTRECORD& record = event.record;
    return CHistoryStocks::KeyOf(record.m_byMarket, VelkFieldView(record.m_szCode),
                                 VelkFieldView(record.m_szName));
}

bool CAlertHistory::Open(const std::string& path, Damaged damaged)
{
    m_strSetAside.clear();
    m_strSetAsideReason.clear();
    if (OpenFile(path))
        return true;
    if (damaged != Damaged::SetAside || !m_bDamaged)
        return false;
    // Nothing of the damaged file is lost: it keeps its name but for the suffix, its log and
    // index beside it under the same, so that a recovery tool finds the three together.
    const std::string reason = m_strError;
    const std::string stamp = NowText(".damaged-%Y%m%d-%H%M%S");
    std::string aside = path + stamp;
    for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n)
        aside = path + stamp + "-" + std::to_string(n);
    // The log goes first: one left behind would be read into the new file. What was moved is
    // moved back if the rest cannot be.
    std::vector<std::string> moved;
    for (const char* part : {"-wal", "-shm", ""}) {
        const std::string from = path + part;
        if (*part && ::access(from.c_str(), F_OK) != 0)
            continue;
        if (std::rename(from.c_str(), (aside + part).c_str()) != 0) {
            m_strError = reason + "; it cannot be set aside: " + std::strerror(errno);
            for (const std::string& back : moved)
                if (std::rename((aside + back).c_str(), (path + back).c_str()) != 0)
                    m_strError += " (" + aside + back + " is left where it was moved)";
            return false;
        }
        moved.push_back(part);
    }
    if (!OpenFile(path))
        return false;
    m_strSetAside = aside;
    m_strSetAsideReason = reason;
    return true;
}

bool CAlertHistory::OpenFile(const std::string& path)
{
    Close();
    m_strError.clear();
    m_bDamaged = false;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !VelkCreateDirectories(path.substr(0, slash))) {
        m_strError = "cannot create the folder of " + path;
        return false;
    }
    // One thread at a time uses a history (it keeps its pending alerts unlocked as well), so
    // SQLite's own lock around every call would only cost time.
    if (sqlite3_open_v2(path.c_str(), &m_pDb,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        Fail(path.c_str());
        Close();
        return false;
    }
    // A reader (the history window, the history command) may hold the file for a moment.
    sqlite3_busy_timeout(m_pDb, 2000);
    // WAL keeps every committed transaction when the process dies; NORMAL leaves the syncing to
    // checkpoints, which only a power cut, not a killed program, can interrupt.
    if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") || !Migrate() || !Prepare()) {
        m_strError = path + ": " + m_strError;
        Close();
        return false;
    }
    m_bWriteFailed = false;
    m_retryPause = kFirstRetryPause;
    m_writer = std::thread([this] { RunWriter(); });
    return true;
}

bool CAlertHistory::OpenForReading(const std::string& path)
{
    Close();
    m_strError.clear();
    auto open = [this, &path](const std::string& name, int flags) {
        if (sqlite3_open_v2(name.c_str(), &m_pDb,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | flags,
                            nullptr) == SQLITE_OK) {
            sqlite3_busy_timeout(m_pDb, 2000);
            const int version = SchemaVersion();
            if (version >= 0)
                return version;
        }
        m_strError = path + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : "cannot be opened");
        sqlite3_close_v2(m_pDb);
        m_pDb = nullptr;
        return -1;
    };
    int version = open(path, 0);
    if (version < 0) {
        // A log that is not there and cannot be made, in a folder this user may not write:
        // nobody can be writing the file then, and it is read as it stands.
        std::string uri = "file:";
        for (const char c : path) {
            if (c == '%' || c == '?' || c == '#')
                uri += c == '%' ? "%25" : c == '?' ? "%3f" : "%23";
            else
                uri += c;
        }
        version = open(uri + "?immutable=1", SQLITE_OPEN_URI);
    }
    if (version < 0)
        return false;
    if (version != kSchemaVersion) {
        m_strError = path + ": " + OtherSchemaText(version);
        Close();
        return false;
    }
    return true;
}

int CAlertHistory::SchemaVersion() const
{
    if (!m_pDb)
        return -1;
    WaitWritten();
    sqlite3_stmt* statement = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(m_pDb, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return version;
}

bool CAlertHistory::Migrate()
{
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    const int version = SchemaVersion();
    if (version < 0 || version > kSchemaVersion) {
        Exec("ROLLBACK");
        m_strError = version < 0 ? "cannot read the schema version" : OtherSchemaText(version);
        return false;
    }
    for (int step = version; step < kSchemaVersion; ++step) {
        const std::string setVersion = "PRAGMA user_version=" + std::to_string(step + 1);
        const bool done = step == 0   ? Exec(kSchema1)
                          : step == 1 ? MigrateToVersion2()
                          : step == 2 ? Exec(kSchema3)
                                      : Exec(kSchema4);
        if (!done || !Exec(setVersion.c_str())) {
            const std::string error = m_strError;
            Exec("ROLLBACK");
            m_strError = "schema update to " + std::to_string(step + 1) + " failed: " + error;
            return false;
        }
    }
    // A reason code this program knows and the file does not yet is added.
    if (!FillReasons()) {
        const std::string error = m_strError;
        Exec("ROLLBACK");
        m_strError = error;
        return false;
    }
    return Exec("COMMIT");
}

bool CAlertHistory::FillReasons()
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_pDb, "INSERT OR IGNORE INTO reasons (code, text) VALUES (?, ?)", -1,
                           &statement, nullptr) != SQLITE_OK)
        return Fail("reasons");
    bool ok = true;
    for (int code = 0; ok && code < CAlertEvent::kReasonCount; ++code) {
        sqlite3_bind_int(statement, 1, code);
        BindText(statement, 2, TextCodec::GbkToUtf8(VelkReasonText(code)));
        ok = sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return ok || Fail("reasons");
}

bool CAlertHistory::MigrateToVersion2()
{
    if (!Exec(kSchema2Tables) || !FillReasons())
        return false;
    // The rows whose source or day folder is not their run's.
    struct Stray {
        long long run;
        bool runExists;
        std::string source;
        std::string dayFolder;
    };
    std::vector<Stray> strays;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_pDb,
                           "SELECT DISTINCT a.run_id, r.id IS NOT NULL, a.source, a.day_folder "
                           "FROM alerts a LEFT JOIN runs r ON r.id = a.run_id "
                           "WHERE r.id IS NULL OR r.source IS NOT a.source "
                           "OR r.day_folder IS NOT a.day_folder ORDER BY a.run_id",
                           -1, &statement, nullptr) != SQLITE_OK)
        return Fail("schema 2");
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        strays.push_back({sqlite3_column_int64(statement, 0), sqlite3_column_int(statement, 1) != 0,
                          ColumnText(statement, 2), ColumnText(statement, 3)});
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE)
        return Fail("schema 2");
    for (Stray& stray : strays) {
        // A run that is gone is made again under its own id, with the first rows' fields.
        const bool keepId = !stray.runExists;
        stray.runExists = true;
        for (Stray& later : strays)
            if (later.run == stray.run)
                later.runExists = true;
        if (sqlite3_prepare_v2(m_pDb,
                               "INSERT INTO runs (id, started, source, day_folder) VALUES (?, "
                               "coalesce((SELECT started FROM runs WHERE id = ?), ''), ?, ?)",
                               -1, &statement, nullptr) != SQLITE_OK)
            return Fail("schema 2");
        if (keepId)
            sqlite3_bind_int64(statement, 1, stray.run);
        else
            sqlite3_bind_null(statement, 1);
        sqlite3_bind_int64(statement, 2, stray.run);
        BindText(statement, 3, stray.source);
        BindText(statement, 4, stray.dayFolder);
        const bool added = sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_finalize(statement);
        if (!added)
            return Fail("schema 2");
        if (keepId)
            continue;
        const long long run = sqlite3_last_insert_rowid(m_pDb);
        // The attempts first, while their alerts still name the old run.
        for (const char* sql :
             {"UPDATE deliveries SET run_id = ?1 WHERE run_id = ?2 AND seq IN (SELECT seq FROM "
              "alerts WHERE run_id = ?2 AND source IS ?3 AND day_folder IS ?4)",
              "UPDATE alerts SET run_id = ?1 WHERE run_id = ?2 AND source IS ?3 AND "
              "day_folder IS ?4"}) {
            if (sqlite3_prepare_v2(m_pDb, sql, -1, &statement, nullptr) != SQLITE_OK)
                return Fail("schema 2");
            sqlite3_bind_int64(statement, 1, run);
            sqlite3_bind_int64(statement, 2, stray.run);
            BindText(statement, 3, stray.source);
            BindText(statement, 4, stray.dayFolder);
            const bool moved = sqlite3_step(statement) == SQLITE_DONE;
            sqlite3_finalize(statement);
            if (!moved)
                return Fail("schema 2");
        }
    }
    return Exec(kSchema2Rows);
}

bool CAlertHistory::Prepare()
{
    std::string error;
    if (!m_frame.Register(m_pDb, error)) {
        m_strError = "prepare: " + error;
        return false;
    }
    const std::string insertFrame =
        std::string("INSERT INTO alert_rows (") + CHistoryFrameTable::kColumns + ") SELECT " +
        CHistoryFrameTable::kColumns + " FROM " + CHistoryFrameTable::kName;
    const char* insertAttempt =
        "INSERT INTO deliveries (run_id, seq, trading_date, output, attempt, status, answer, at) "
        "VALUES (?,?,?,?,?,?,?,?)";
    if (sqlite3_prepare_v2(m_pDb, insertFrame.c_str(), -1, &m_pInsertFrame, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_pDb, insertAttempt, -1, &m_pInsertAttempt, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_pDb, kWidenRunDay, -1, &m_pWidenRunDay, nullptr) != SQLITE_OK)
        return Fail("prepare");
    if (!m_stocks.Attach(m_pDb, error)) {
        m_strError = "prepare: " + error;
        return false;
    }
    return true;
}

void CAlertHistory::Close()
{
    if (m_writer.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_writerMutex);
            m_bQuit = true;
        }
        m_writerWork.notify_one();
        m_writer.join();
        m_bQuit = false;
    }
    sqlite3_finalize(m_pInsertFrame);
    sqlite3_finalize(m_pInsertAttempt);
    sqlite3_finalize(m_pWidenRunDay);
    m_pInsertFrame = nullptr;
    m_pInsertAttempt = nullptr;
    m_pWidenRunDay = nullptr;
    m_stocks.Detach();
    if (m_pDb)
        sqlite3_close_v2(m_pDb);
    m_pDb = nullptr;
}

bool CAlertHistory::BeginRun(bool live, const std::string& dayFolder)
{
    if (!m_pDb)
        return Fail("begin run");
    if (!Commit())
        return false;
    m_strSource = live ? "live" : "replay";
    m_strDayFolder = dayFolder;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_pDb, "INSERT INTO runs (started, source, day_folder) VALUES (?,?,?)",
                           -1, &statement, nullptr) != SQLITE_OK)
        return Fail("begin run");
    BindText(statement, 1, NowText());
    BindText(statement, 2, m_strSource);
    BindText(statement, 3, m_strDayFolder);
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    if (!done)
        return Fail("begin run");
    m_nRun = sqlite3_last_insert_rowid(m_pDb);
    return true;
}

void CAlertHistory::Add(const CAlertEvent& event)
{
    m_vecLoose.push_back(event);
}

void CAlertHistory::Add(CAlertFrame frame)
{
    EndLoose();
    if (frame && !frame->empty())
        m_vecPending.push_back(std::move(frame));
}

void CAlertHistory::EndLoose()
{
    if (m_vecLoose.empty())
        return;
    m_vecPending.push_back(std::make_shared<const std::vector<CAlertEvent>>(std::move(m_vecLoose)));
    m_vecLoose.clear();
}

void CAlertHistory::OnDeliveryAttempt(const CAlertEvent& event, const std::string& output,
                                      int attempt, const CDeliveryAttempt& result)
{
    Attempt row{event.historyRun, event.sequence, event.tradingDate, output,
                attempt,          result,         NowText()};
    std::lock_guard<std::mutex> lock(m_attemptMutex);
    m_vecAttempts.push_back(std::move(row));
}

bool CAlertHistory::Commit()
{
    return Hand(true);
}

bool CAlertHistory::CommitInBackground()
{
    return Hand(false);
}

void CAlertHistory::WaitWritten() const
{
    std::unique_lock<std::mutex> lock(m_writerMutex);
    m_writerDone.wait(lock, [this] { return !m_bWriting; });
}

bool CAlertHistory::Hand(bool wait)
{
    if (!m_pDb)
        return Fail("commit");
    std::unique_lock<std::mutex> lock(m_writerMutex);
    // The engine's thread (or the window's) never waits for the disk: the writer gets the
    // alerts with the next frame's. How the writing went is known once it is done.
    if (!wait && m_bWriting)
        return true;
    m_writerDone.wait(lock, [this] { return !m_bWriting; });
    // What the writer could not write is still in its hands and goes first.
    const bool earlierWritten = !m_bWriteFailed;
    if (!earlierWritten) {
        m_strError = m_strWriteError;
        if (!wait && m_clock() < m_retryAt)
            return false;
    }
    EndLoose();
    if (m_vecWriting.empty())
        m_vecWriting.swap(m_vecPending);
    else
        m_vecWriting.insert(m_vecWriting.end(), m_vecPending.begin(), m_vecPending.end());
    m_vecPending.clear();
    {
        std::lock_guard<std::mutex> attemptLock(m_attemptMutex);
        if (m_vecWritingAttempts.empty())
            m_vecWritingAttempts.swap(m_vecAttempts);
        else
            m_vecWritingAttempts.insert(m_vecWritingAttempts.end(), m_vecAttempts.begin(),
                                        m_vecAttempts.end());
        m_vecAttempts.clear();
    }
    if (m_vecWriting.empty() && m_vecWritingAttempts.empty())
        return earlierWritten;
    m_bWriting = true;
    m_writerWork.notify_one();
    if (!wait)
        return earlierWritten;
    m_writerDone.wait(lock, [this] { return !m_bWriting; });
    if (m_bWriteFailed) {
        m_strError = m_strWriteError;
        return false;
    }
    return true;
}

void CAlertHistory::RunWriter()
{
    std::unique_lock<std::mutex> lock(m_writerMutex);
    for (;;) {
        m_writerWork.wait(lock, [this] { return m_bWriting || m_bQuit; });
        if (!m_bWriting)
            return;
        lock.unlock();
        std::string error;
        const bool written = Write(error);
        lock.lock();
        m_bWriteFailed = !written;
        m_strWriteError = error;
        if (written) {
            m_retryPause = kFirstRetryPause;
        } else {
            m_retryAt = m_clock() + m_retryPause;
            m_retryPause = std::min(m_retryPause * 2, kLongestRetryPause);
        }
        m_bWriting = false;
        m_writerDone.notify_all();
    }
}

bool CAlertHistory::Write(std::string& error)
{
    auto exec = [&](const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(m_pDb, sql, nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        error = message ? message : "SQLite error";
        sqlite3_free(message);
        return false;
    };
    // The write lock from the start: the stocks are looked up before anything is written, and a
    // snapshot read first could not be written on once another program had written.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    bool ok = true;
    // A feed of new reason texts every day must not grow the cache without end; it is let go
    // only here, while no statement reads from it.
    m_utf8.Trim();
    m_vecRows.clear();
    for (const CAlertFrame& frame : m_vecWriting)
        for (const CAlertEvent& event : *frame)
            m_vecRows.push_back(&event);
    const std::size_t count = m_vecRows.size();
    // The stocks first: a new one is written to `stocks` by a statement of its own, which must
    // not run inside the statement that writes the alerts. A row's key is made when its stock
    // is prefetched, kPrefetchAhead rows before it is looked up, and kept in the ring till then.
    m_vecStockIds.resize(count);
    std::array<CHistoryStocks::Key, kPrefetchAhead> ahead;
    for (std::size_t row = 0; row < std::min(count, kPrefetchAhead); ++row) {
        ahead[row] = StockKeyOf(*m_vecRows[row]);
        m_stocks.Prefetch(ahead[row]);
    }
    for (std::size_t row = 0; ok && row < count; ++row) {
        CHistoryStocks::Key& slot = ahead[row % kPrefetchAhead];
        const CHistoryStocks::Key key = slot;
        if (row + kPrefetchAhead < count) {
            slot = StockKeyOf(*m_vecRows[row + kPrefetchAhead]);
            m_stocks.Prefetch(slot);
        }
        m_vecStockIds[row] = m_stocks.IdOf(key, error);
        ok = m_vecStockIds[row] >= 0;
    }
    // Then the alerts, all with one statement. SQLite gives a new row the largest id plus one,
    // and the transaction is the file's only writer, so the frame's rows got the ids up to the
    // last one it reports, in order.
    m_vecRunDays.clear();
    if (ok && count > 0) {
        m_frame.Show(m_vecRows.data(), m_vecStockIds.data(), count, m_nRun);
        ok = sqlite3_step(m_pInsertFrame) == SQLITE_DONE;
        sqlite3_reset(m_pInsertFrame);
        // Nothing may point at the alerts once they are gone.
        m_frame.Hide();
    }
    if (ok && count > 0) {
        const long long last = sqlite3_last_insert_rowid(m_pDb);
        for (std::size_t row = 0; row < count; ++row) {
            const CAlertEvent& event = *m_vecRows[row];
            const long long run = event.historyRun ? event.historyRun : m_nRun;
            const long long id = last - static_cast<long long>(count - 1 - row);
            if (m_vecRunDays.empty() || m_vecRunDays.back().run != run ||
                m_vecRunDays.back().tradingDate != event.tradingDate)
                m_vecRunDays.push_back({run, event.tradingDate, id, id});
            else
                m_vecRunDays.back().lastId = id;
        }
    }
    // A run's date met again later in the transaction (a live feed's days go back and forth
    // only across runs, but nothing relies on it) widens the same row.
    for (const RunDay& runDay : m_vecRunDays) {
        if (!ok)
            break;
        sqlite3_bind_int64(m_pWidenRunDay, 1, runDay.run);
        sqlite3_bind_int(m_pWidenRunDay, 2, runDay.tradingDate);
        sqlite3_bind_int64(m_pWidenRunDay, 3, runDay.firstId);
        sqlite3_bind_int64(m_pWidenRunDay, 4, runDay.lastId);
        ok = sqlite3_step(m_pWidenRunDay) == SQLITE_DONE;
        sqlite3_reset(m_pWidenRunDay);
    }
    for (const Attempt& attempt : m_vecWritingAttempts) {
        if (!ok)
            break;
        sqlite3_stmt* s = m_pInsertAttempt;
        sqlite3_bind_int64(s, 1, attempt.run ? attempt.run : m_nRun);
        sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(attempt.sequence));
        BindText(s, 3, DateText(attempt.tradingDate));
        BindText(s, 4, attempt.output);
        sqlite3_bind_int(s, 5, attempt.attempt);
        BindText(s, 6, OutcomeText(attempt.result.outcome));
        BindText(s, 7, attempt.result.answer);
        BindText(s, 8, attempt.at);
        ok = sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
    }
    if (!ok || !exec("COMMIT")) {
        if (!ok && error.empty())
            error = sqlite3_errmsg(m_pDb);
        error = "commit: " + error;
        exec("ROLLBACK");
        // The stocks this transaction added are gone with it.
        m_stocks.Forget();
        // Kept for the next commit.
        return false;
    }
    // The last hold on a frame the outputs are done with: it goes here, on the writer's thread.
    m_vecRows.clear();
    m_vecWriting.clear();
    m_vecWritingAttempts.clear();
    return true;
}

int CAlertHistory::DeleteOlderThan(int days, int todayYmd)
{
    if (days <= 0)
        return 0;
    if (!m_pDb || !Commit())
        return -1;
    // Today counts as the first of the days kept.
    const int cutoff = DaysBefore(todayYmd, days - 1);
    sqlite3_stmt* statement = nullptr;
    int deleted = -1;
    if (!Exec("BEGIN"))
        return -1;
    // The alerts go first, their count the one returned, while their days still tell where
    // they end: the rows after the last of the old days' ids are not read (the file may hold
    // months of the whole market, and this runs as the program starts).
    for (const char* sql : {"DELETE FROM alert_rows WHERE trading_date < ?1 AND id <= "
                            "(SELECT max(last_id) FROM run_days WHERE trading_date < ?1)",
                            "DELETE FROM run_days WHERE trading_date < ?",
                            "DELETE FROM deliveries WHERE trading_date < ?"}) {
        if (sqlite3_prepare_v2(m_pDb, sql, -1, &statement, nullptr) != SQLITE_OK) {
            Fail("delete");
            Exec("ROLLBACK");
            return -1;
        }
        // The attempts keep their date as text.
        if (std::strstr(sql, "deliveries"))
            BindText(statement, 1, DateText(cutoff));
        else
            sqlite3_bind_int(statement, 1, cutoff);
        const bool done = sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_finalize(statement);
        if (!done) {
            Fail("delete");
            Exec("ROLLBACK");
            return -1;
        }
        if (deleted < 0)
            deleted = sqlite3_changes(m_pDb);
    }
    if (!Exec("COMMIT"))
        return -1;
    return deleted;
}

bool CAlertHistory::Query(const Filter& filter, std::vector<Row>& rows, bool* more)
{
    rows.clear();
    if (more)
        *more = false;
    if (!Query(filter, [&rows](Row& row) { rows.push_back(std::move(row)); })) {
        rows.clear();
        return false;
    }
    if (filter.limit > 0) {
        if (rows.size() > filter.limit) {
            rows.pop_back();
            if (more)
                *more = true;
        }
        std::reverse(rows.begin(), rows.end());
    }
    return true;
}

bool CAlertHistory::Query(const Filter& filter, const std::function<void(Row&)>& each)
{
    if (!m_pDb)
        return Fail("query");
    // The connection is the writer's until it has written what it was given.
    WaitWritten();
    const std::string select =
        "SELECT a.id, a.trading_date, a.time, s.market, s.code, s.name, a.reason_code, "
        "coalesce(a.reason, r.text, ''), a.price, a.volume, u.source, u.day_folder, a.seq, "
        "(SELECT count(*) FROM deliveries d WHERE d.run_id = a.run_id AND d.seq = a.seq), "
        "(SELECT count(*) FROM deliveries d WHERE d.run_id = a.run_id AND d.seq = a.seq "
        "AND d.status = 'delivered'), a.run_id ";
    const std::string joined = "FROM alert_rows a LEFT JOIN stocks s ON s.id = a.stock "
                               "LEFT JOIN reasons r ON r.code = a.reason_code "
                               "LEFT JOIN runs u ON u.id = a.run_id ";
    // The rows' filter; what the query selects is put around it at the end.
    std::string sql = "WHERE 1";
    // Numbers are bound as numbers, so that the dates are compared as the rows keep them.
    std::vector<std::string> values;
    std::vector<int> numbers;
    auto addDate = [&](const std::string& date, const char* test) {
        sql += test;
        values.emplace_back();
        numbers.push_back(DateNumber(date));
    };
    auto addText = [&](const std::string& text, const char* test) {
        sql += test;
        values.push_back(text);
        numbers.push_back(-1);
    };
    for (const std::string* date : {&filter.from, &filter.to})
        if (!date->empty() && DateNumber(*date) < 0) {
            m_strError = "query: " + *date + " is no date (yyyy-mm-dd)";
            return false;
        }
    if (!filter.from.empty())
        addDate(filter.from, " AND a.trading_date >= ?");
    if (!filter.to.empty())
        addDate(filter.to, " AND a.trading_date <= ?");
    // The ids of the dates asked for, from the runs' days: the rows are read from the first
    // such id to the last instead of all of them.
    if (!filter.from.empty() || !filter.to.empty()) {
        std::string days = " FROM run_days WHERE 1";
        if (!filter.from.empty())
            days += " AND trading_date >= " + std::to_string(DateNumber(filter.from));
        if (!filter.to.empty())
            days += " AND trading_date <= " + std::to_string(DateNumber(filter.to));
        sql += " AND a.id >= (SELECT coalesce(min(first_id), 0)" + days +
               ") AND a.id <= (SELECT coalesce(max(last_id), -1)" + days + ")";
    }
    if (!filter.code.empty())
        addText(filter.code, " AND a.stock IN (SELECT id FROM stocks WHERE code = ?)");
    if (!filter.reason.empty()) {
        const bool digits = filter.reason.find_first_not_of("0123456789") == std::string::npos;
        addText(filter.reason, digits              ? " AND a.reason_code = ?"
                               : filter.reasonPart ? " AND instr(coalesce(a.reason, r.text), ?) > 0"
                                                   : " AND coalesce(a.reason, r.text) = ?");
    }
    if (!filter.source.empty())
        addText(filter.source, " AND u.source = ?");
    auto bind = [&](sqlite3_stmt* statement) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (numbers[i] >= 0)
                sqlite3_bind_int(statement, static_cast<int>(i + 1), numbers[i]);
            else
                BindText(statement, static_cast<int>(i + 1), values[i]);
        }
    };
    // Hands on the rows of a statement, at most `most`; the number handed on, -1 on failure.
    auto read = [&](sqlite3_stmt* statement, std::size_t most) -> long long {
        long long count = 0;
        int step = SQLITE_ROW;
        while (static_cast<std::size_t>(count) < most &&
               (step = sqlite3_step(statement)) == SQLITE_ROW) {
            Row row = RowOf(statement);
            each(row);
            ++count;
        }
        return step == SQLITE_ROW || step == SQLITE_DONE ? count : -1;
    };
    // Every row in order; or the newest of one stock, whose rows are few: picked from the whole
    // file at once, as a date by date read would cost a statement a date for a handful of rows.
    // Their attempts are counted for the rows picked alone.
    if (filter.limit == 0 || !filter.code.empty()) {
        const char* const kNewest = " ORDER BY a.trading_date DESC, a.time DESC, a.id DESC";
        sql = filter.limit == 0
                  ? select + joined + sql + " ORDER BY a.trading_date, a.time, a.id"
                  : select + joined + "WHERE a.id IN (SELECT a.id " + joined + sql + kNewest +
                        " LIMIT " + std::to_string(filter.limit + 1) + ")" + kNewest;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_pDb, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return Fail("query");
        bind(statement);
        const long long count = read(statement, static_cast<std::size_t>(-1));
        sqlite3_finalize(statement);
        return count >= 0 || Fail("query");
    }
    // Otherwise the newest are read, one more than asked to tell whether there are more, date
    // by date from the newest. A date's rows lie between the first and last ids its runs'
    // days keep, so that each date's rows alone are read and sorted: sorting every row of the
    // file for the newest took seconds once it held a month of the whole market.
    const int first = filter.from.empty() ? 0 : DateNumber(filter.from);
    const int last = filter.to.empty() ? 99999999 : DateNumber(filter.to);
    sql = select + joined + sql +
          " AND a.trading_date = ? AND a.id BETWEEN ? AND ? ORDER BY a.time DESC, a.id DESC";
    sqlite3_stmt* dates = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_pDb,
                           "SELECT trading_date, min(first_id), max(last_id) FROM run_days "
                           "WHERE trading_date BETWEEN ? AND ? GROUP BY trading_date "
                           "ORDER BY trading_date DESC",
                           -1, &dates, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_pDb, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(dates);
        return Fail("query");
    }
    sqlite3_bind_int(dates, 1, first);
    sqlite3_bind_int(dates, 2, last);
    bind(statement);
    const int dateParameter = static_cast<int>(values.size()) + 1;
    std::size_t left = filter.limit + 1;
    bool ok = true;
    int step = SQLITE_ROW;
    while (ok && left > 0 && (step = sqlite3_step(dates)) == SQLITE_ROW) {
        sqlite3_bind_int(statement, dateParameter, sqlite3_column_int(dates, 0));
        sqlite3_bind_int64(statement, dateParameter + 1, sqlite3_column_int64(dates, 1));
        sqlite3_bind_int64(statement, dateParameter + 2, sqlite3_column_int64(dates, 2));
        const long long count = read(statement, left);
        sqlite3_reset(statement);
        ok = count >= 0;
        left -= ok ? static_cast<std::size_t>(count) : 0;
    }
    ok = ok && (step == SQLITE_ROW || step == SQLITE_DONE);
    sqlite3_finalize(statement);
    sqlite3_finalize(dates);
    return ok || Fail("query");
}

CAlertHistory::Row CAlertHistory::RowOf(sqlite3_stmt* statement)
{
    Row row;
    row.id = sqlite3_column_int64(statement, 0);
    row.tradingDate = DateText(sqlite3_column_int(statement, 1));
    row.time = sqlite3_column_int(statement, 2);
    row.market = sqlite3_column_int(statement, 3);
    row.code = ColumnText(statement, 4);
    row.name = ColumnText(statement, 5);
    row.reasonCode =
        sqlite3_column_type(statement, 6) == SQLITE_NULL ? -1 : sqlite3_column_int(statement, 6);
    row.reason = ColumnText(statement, 7);
    row.price = sqlite3_column_double(statement, 8);
    row.volume = sqlite3_column_double(statement, 9);
    row.source = ColumnText(statement, 10);
    row.dayFolder = ColumnText(statement, 11);
    row.sequence = sqlite3_column_int64(statement, 12);
    row.attempts = sqlite3_column_int(statement, 13);
    row.delivered = sqlite3_column_int(statement, 14);
    row.runId = sqlite3_column_int64(statement, 15);
    return row;
}

bool CAlertHistory::Deliveries(const Row& row, std::vector<Delivery>& attempts)
{
    attempts.clear();
    if (!m_pDb)
        return Fail("deliveries");
    WaitWritten();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_pDb,
                           "SELECT output, attempt, status, answer, at FROM deliveries "
                           "WHERE run_id = ? AND seq = ? ORDER BY id",
                           -1, &statement, nullptr) != SQLITE_OK)
        return Fail("deliveries");
    sqlite3_bind_int64(statement, 1, row.runId);
    sqlite3_bind_int64(statement, 2, row.sequence);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        Delivery attempt;
        attempt.output = ColumnText(statement, 0);
        attempt.attempt = sqlite3_column_int(statement, 1);
        attempt.status = ColumnText(statement, 2);
        attempt.answer = ColumnText(statement, 3);
        attempt.at = ColumnText(statement, 4);
        attempts.push_back(std::move(attempt));
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) {
        attempts.clear();
        return Fail("deliveries");
    }
    return true;
}
