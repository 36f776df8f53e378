#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "host/outputs/CAlertEvent.h"
#include "host/outputs/CGbkTextCache.h"
#include "host/outputs/CHistoryFrameTable.h"
#include "host/outputs/CHistoryStocks.h"
#include "host/outputs/IDeliveryLog.h"

struct sqlite3;
struct sqlite3_stmt;

// Every alert and every delivery attempt, kept in an SQLite file (write-ahead log, so a
// program killed at any moment leaves a sound file holding every committed frame). Alerts are
// taken in on the engine's thread and handed once a frame, all together, to the history's own
// writer thread, which writes them in one transaction; attempts come from the outputs' threads
// and go into the same transaction. The writer has one hand-off in hand at a time: a frame that
// ends while it still writes an earlier one stays with the engine's thread, which never waits
// for the writer, and goes with the next frame's alerts in one transaction.
class CAlertHistory final : public IDeliveryLog {
public:
    // The newest schema this program writes; older files are brought up to it when opened.
    static constexpr int kSchemaVersion = 4;

    struct Filter {
        std::string from; // yyyy-mm-dd, inclusive; empty: no bound
        std::string to;
        std::string code;
        // A reason text, or a reason code in digits.
        std::string reason;
        // "live" or "replay"; empty: both
        std::string source;
        // The newest rows at most; 0: every row.
        std::size_t limit = 0;
        // The reason text is a part of the reasons to take ("涨停" takes 达到涨停价 and
        // 涨停板打开) rather than the whole of one.
        bool reasonPart = false;
    };

    struct Row {
        long long id = 0;
        std::string tradingDate; // yyyy-mm-dd
        int time = 0;            // seconds since midnight
        int market = 0;
        std::string code; // UTF-8
        std::string name;
        int reasonCode = -1;
        std::string reason;
        double price = 0;
        double volume = 0;
        std::string source; // "live" or "replay"
        std::string dayFolder;
        long long sequence = 0;
        int attempts = 0;  // delivery attempts of all outputs
        int delivered = 0; // outputs that delivered it
        long long runId = 0;
    };

    // One attempt of an output to hand an alert on.
    struct Delivery {
        std::string output;
        int attempt = 0;
        std::string status; // "delivered", "retry" or "failed"
        std::string answer;
        std::string at; // local time, yyyy-mm-dd hh:mm:ss
    };

    CAlertHistory();
    ~CAlertHistory() override;
    CAlertHistory(const CAlertHistory&) = delete;
    CAlertHistory& operator=(const CAlertHistory&) = delete;

    // The history of a data directory (by default $XDG_DATA_HOME/velk-host).
    static std::string PathIn(const std::string& root) { return root + "/history.sqlite"; }

    // What Open does with a file that is no SQLite database, or one SQLite finds damaged.
    enum class Damaged {
        Refuse,
        // Renamed to PATH.damaged-yyyymmdd-hhmmss (its log beside it, for a recovery tool) and
        // a new history begun: a program that writes the history as it runs keeps writing one.
        SetAside,
    };

    // Opens or creates the file and brings its schema up to date. A file of a newer schema
    // than this program knows is refused rather than written.
    bool Open(const std::string& path, Damaged damaged = Damaged::Refuse);
    // After an Open that set a damaged file aside: where it went, and what was wrong with it.
    const std::string& SetAsidePath() const { return m_strSetAside; }
    const std::string& SetAsideReason() const { return m_strSetAsideReason; }
    // Opens the file to be read only, as it stands: nothing is created, written or brought up
    // to date, so that a file this user may not write (a copy kept elsewhere, another user's)
    // can still be queried. A file of another schema than this program's is refused.
    bool OpenForReading(const std::string& path);
    bool IsOpen() const { return m_pDb != nullptr; }
    int SchemaVersion() const;
    const std::string& Error() const { return m_strError; }

    // Starts a run: the alerts from now on carry its source and day folder.
    bool BeginRun(bool live, const std::string& dayFolder);

    // The run begun last; 0 before the first.
    long long CurrentRun() const { return m_nRun; }
    // From the engine's thread: kept until the next Commit.
    void Add(const CAlertEvent& event);
    // A frame's alerts at once, in order, kept where they are: the outputs may share them.
    void Add(CAlertFrame frame);
    // From any output's thread.
    void OnDeliveryAttempt(const CAlertEvent& event, const std::string& output, int attempt,
                           const CDeliveryAttempt& result) override;
    // Writes what was taken in since the last commit, in one transaction, and waits for it. On
    // failure nothing of it is lost from memory: the next commit tries again.
    bool Commit();
    // The same without waiting: once a frame, from the engine's thread. While the writer still
    // writes an earlier frame, what was taken in waits for the next call. False (and Error)
    // when an earlier frame could not be written. After a failure the writer tries again only
    // once a pause has passed (kFirstRetryPause, doubling up to kLongestRetryPause), and what
    // comes meanwhile waits in memory: a history that cannot be written (a full disk, a file
    // another program keeps locked) must not cost every frame the rewriting of all it holds.
    bool CommitInBackground();
    // Until what was handed to the writer is written, as a caller that shows lines of alerts
    // does before it shows the next frame's: then at most one frame shown is not yet written.
    void WaitWritten() const;

    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Where the pauses after a failure are measured; steady_clock by default. Set before Open:
    // the writer's thread calls it as well as the caller's.
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    static constexpr std::chrono::milliseconds kFirstRetryPause{1000};
    static constexpr std::chrono::milliseconds kLongestRetryPause{60000};

    // Keeps the alerts (and their attempts) of the last `days` trading dates up to today
    // (yyyymmdd), today included, and deletes older ones; 0 or less keeps everything. Returns
    // the alerts deleted, -1 on failure.
    int DeleteOlderThan(int days, int todayYmd);

    // The rows the filter takes, oldest first; more (when given) tells whether the limit left
    // older ones out.
    bool Query(const Filter& filter, std::vector<Row>& rows, bool* more = nullptr);
    // The same row by row as they are read, without keeping them: oldest first, or with a
    // limit the newest first and one more than the limit when there are more. Returns false on
    // failure, when some rows may have been handed on already.
    bool Query(const Filter& filter, const std::function<void(Row&)>& each);
    // The delivery attempts kept for a row, in the order they were made.
    bool Deliveries(const Row& row, std::vector<Delivery>& attempts);

private:
    struct Attempt {
        long long run;
        std::uint64_t sequence;
        int tradingDate;
        std::string output;
        int attempt;
        CDeliveryAttempt result;
        std::string at;
    };

    // The ids a run's trading date got in one transaction.
    struct RunDay {
        long long run;
        int tradingDate;
        long long firstId;
        long long lastId;
    };

    // How many alerts ahead the writer starts loading a stock's place.
    static constexpr std::size_t kPrefetchAhead = 16;

    bool Exec(const char* sql);
    // The row a query's statement stands on.
    static Row RowOf(sqlite3_stmt* statement);
    bool OpenFile(const std::string& path);
    // Notes whether the connection's last error says the file is damaged.
    void NoteDamage();
    // The alerts added one by one become a frame of their own, after those before them.
    void EndLoose();
    // Hands what is pending to the writer; waits for it to be written when asked to.
    bool Hand(bool wait);
    void RunWriter();
    // On the writer's thread: the handed alerts and attempts in one transaction. They are
    // kept when it fails.
    bool Write(std::string& error);
    static CHistoryStocks::Key StockKeyOf(const CAlertEvent& event);
    bool Migrate();
    bool MigrateToVersion2();
    // The reason texts of the engine's codes, as the rows name them by code.
    bool FillReasons();
    bool Prepare();
    void Close();
    bool Fail(const char* what);

    sqlite3* m_pDb = nullptr;
    // Takes the frame shown by m_frame into alert_rows.
    sqlite3_stmt* m_pInsertFrame = nullptr;
    sqlite3_stmt* m_pInsertAttempt = nullptr;
    sqlite3_stmt* m_pWidenRunDay = nullptr;
    long long m_nRun = 0;
    std::string m_strSource = "replay";
    std::string m_strDayFolder;
    std::string m_strError;
    // An error while opening said the file is no database or is damaged.
    bool m_bDamaged = false;
    std::string m_strSetAside;
    std::string m_strSetAsideReason;
    // Alerts added one by one, not yet part of a frame in m_vecPending.
    std::vector<CAlertEvent> m_vecLoose;
    std::vector<CAlertFrame> m_vecPending;
    // The UTF-8 of the reason texts outside the engine's table, converted once: a day repeats
    // its signals. The writer's.
    CGbkTextCache m_utf8;
    // The alerts being written, as SQLite reads them. The writer's.
    CHistoryFrameTable m_frame{m_utf8};
    // The alerts being written, in order across their frames, and the stock id of each. The
    // writer's.
    std::vector<const CAlertEvent*> m_vecRows;
    std::vector<long long> m_vecStockIds;
    // The ids of the stocks in the file. The writer's.
    CHistoryStocks m_stocks;
    std::mutex m_attemptMutex;
    std::vector<Attempt> m_vecAttempts;

    // The writer's hand-off. The vectors below are the writer's while m_bWriting, else the
    // caller's; the connection likewise.
    mutable std::mutex m_writerMutex;
    std::condition_variable m_writerWork;
    mutable std::condition_variable m_writerDone;
    std::vector<CAlertFrame> m_vecWriting;
    std::vector<Attempt> m_vecWritingAttempts;
    std::vector<RunDay> m_vecRunDays;
    bool m_bWriting = false;
    bool m_bQuit = false;
    bool m_bWriteFailed = false;
    std::string m_strWriteError;
    // After a failed write: not before this is the writer handed work again in the background.
    std::chrono::steady_clock::time_point m_retryAt;
    std::chrono::milliseconds m_retryPause = kFirstRetryPause;
    Clock m_clock = [] { return std::chrono::steady_clock::now(); };
    std::thread m_writer;
};
