#include "host/outputs/CHistoryFrameTable.h"

#include <new>
#include <sqlite3.h>
#include <string_view>

namespace {

struct Table : sqlite3_vtab {
    CHistoryFrameTable* frame = nullptr;
};

struct Cursor : sqlite3_vtab_cursor {
    std::size_t row = 0;
};

CHistoryFrameTable* FrameOf(sqlite3_vtab_cursor* cursor)
{
    return static_cast<Table*>(cursor->pVtab)->frame;
}

int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** vtab, char**)
{
    const std::string schema = std::string("CREATE TABLE x(") + CHistoryFrameTable::kColumns + ")";
    int rc = sqlite3_declare_vtab(db, schema.c_str());
    if (rc != SQLITE_OK)
        return rc;
    // Only the writer's own statements may read the frame, never the file's triggers or views.
    rc = sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new (std::nothrow) Table{};
    if (!table)
        return SQLITE_NOMEM;
    table->frame = static_cast<CHistoryFrameTable*>(aux);
    *vtab = table;
    return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vtab)
{
    delete static_cast<Table*>(vtab);
    return SQLITE_OK;
}

int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info)
{
    // A plain scan; SQLite checks any constraints itself.
    const auto rows = static_cast<sqlite3_int64>(static_cast<Table*>(vtab)->frame->Count());
    info->estimatedRows = rows;
    info->estimatedCost = static_cast<double>(rows) + 1;
    return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** cursor)
{
    auto* opened = new (std::nothrow) Cursor{};
    if (!opened)
        return SQLITE_NOMEM;
    *cursor = opened;
    return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor)
{
    delete static_cast<Cursor*>(cursor);
    return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**)
{
    static_cast<Cursor*>(cursor)->row = 0;
    return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cursor)
{
    ++static_cast<Cursor*>(cursor)->row;
    return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* cursor)
{
    return static_cast<Cursor*>(cursor)->row >= FrameOf(cursor)->Count();
}

int Column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column)
{
    FrameOf(cursor)->Column(static_cast<Cursor*>(cursor)->row, column, context);
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid)
{
    *rowid = static_cast<sqlite3_int64>(static_cast<Cursor*>(cursor)->row) + 1;
    return SQLITE_OK;
}

sqlite3_module MakeModule()
{
    sqlite3_module module{};
    module.xCreate = Connect;
    module.xConnect = Connect;
    module.xBestIndex = BestIndex;
    module.xDisconnect = Disconnect;
    module.xDestroy = Disconnect;
    module.xOpen = Open;
    module.xClose = Close;
    module.xFilter = Filter;
    module.xNext = Next;
    module.xEof = Eof;
    module.xColumn = Column;
    module.xRowid = Rowid;
    return module;
}

const sqlite3_module g_module = MakeModule();
const char* const kModule = "velk_frame";

} // namespace

bool CHistoryFrameTable::Register(sqlite3* db, std::string& error)
{
    Hide();
    const std::string create = std::string("CREATE VIRTUAL TABLE ") + kName + " USING " + kModule;
    if (sqlite3_create_module_v2(db, kModule, &g_module, this, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    error = sqlite3_errmsg(db);
    return false;
}

void CHistoryFrameTable::Show(const CAlertEvent* const* events, const long long* stocks,
                              std::size_t count, long long run)
{
    m_pEvents = events;
    m_pStocks = stocks;
    m_nCount = count;
    m_nRun = run;
}

void CHistoryFrameTable::Column(std::size_t row, int column, sqlite3_context* context)
{
    const CAlertEvent& event = *m_pEvents[row];
    const bool tableReason = event.reasonCode >= 0 && event.reasonCode < CAlertEvent::kReasonCount;
    switch (column) {
    case 0:
        sqlite3_result_int64(context, event.historyRun ? event.historyRun : m_nRun);
        break;
    case 1:
        sqlite3_result_int64(context, static_cast<sqlite3_int64>(event.sequence));
        break;
    case 2:
        sqlite3_result_int(context, event.tradingDate);
        break;
    case 3:
        sqlite3_result_int(context, event.record.m_nTime);
        break;
    case 4:
        sqlite3_result_int64(context, m_pStocks[row]);
        break;
    case 5:
        // The code names its text, which the file keeps once in `reasons`.
        if (tableReason)
            sqlite3_result_int(context, event.reasonCode);
        else
            sqlite3_result_null(context);
        break;
    case 6: {
        if (tableReason) {
            sqlite3_result_null(context);
            break;
        }
        const std::string_view gbk = VelkFieldView(event.record.m_szReason);
        bool ascii = true;
        for (std::size_t i = 0; i < gbk.size() && ascii; ++i)
            ascii = static_cast<unsigned char>(gbk[i]) < 0x80;
        // ASCII is spelt alike in GBK and UTF-8; the alert and the cache stay as they are
        // until the row is written, so SQLite reads the text where it is.
        const std::string_view utf8 = ascii ? gbk : m_utf8.Utf8Of(gbk);
        sqlite3_result_text(context, utf8.data(), static_cast<int>(utf8.size()), SQLITE_STATIC);
        break;
    }
    case 7:
        sqlite3_result_double(context, static_cast<double>(event.record.m_fPrice));
        break;
    case 8:
        sqlite3_result_double(context, static_cast<double>(event.record.m_fVolume));
        break;
    default:
        sqlite3_result_null(context);
        break;
    }
}
