#include <vector>

#include "engine/CSystemAlertStore.h"
#include "engine/CVelkAlert.h"
#include "engine/CWatchIndex.h"
#include "hostapi/KQBkApi.h"
#include "platform/core/TextCodec.h"

// Stocks the host adds go to the file under the engine's system path (the common library's
// when that is empty), the same file the system alert page of this engine reads and writes.
void CVelkAlert::AddStockToSystemAlert(const unsigned char& market, const CString& code)
{
    const CSymbolInfo stock(market, code);
    AddSystemStocks(&stock, 1);
}

void CVelkAlert::AddMStockToSystemAlert(const std::vector<CSymbolInfo>* stocks)
{
    if (stocks && !stocks->empty())
        AddSystemStocks(stocks->data(), stocks->size());
}

// A batch is added as the stocks one after another would be, but the file is written once and
// the new stocks are registered together: thousands of stocks cost one replace of the file,
// not one per stock. A single stock is appended to the file.
void CVelkAlert::AddSystemStocks(const CSymbolInfo* stocks, std::size_t count)
{
    std::vector<Ta_VELKPRICEALERT> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const CString& code = stocks[i].m_strCode;
        if (!code.empty() && code[0] == '#') {
            MessageBox().Show(TextCodec::Utf8ToGbk("不能添加指数!"), TextCodec::Utf8ToGbk("警告"),
                              VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
            continue;
        }
        Ta_VELKPRICEALERT record{};
        record.m_byMarket = stocks[i].m_byMarket;
        VelkCopyText(record.m_szCode, code);
        // Everything below (file key, map key, registration) goes by the code as it is stored.
        // An empty code names no stock and is dropped without a word.
        const CString storedCode = VelkFieldText(record.m_szCode);
        if (storedCode.empty())
            continue;
        std::vector<X1Format> values;
        if (BK_bGetItemDataByItemNo(record.m_byMarket, storedCode, {1019}, values, true, nullptr) &&
            !values.empty())
            VelkCopyText(record.m_szName,
                         TextCodec::CutGbk(values[0].s_GetAsString(), sizeof record.m_szName - 1));
        records.push_back(record);
    }
    if (records.empty())
        return;

    // The re-registration worker reads the list; it must be done before the list grows.
    WaitForRegistration();

    // A stock already in the file is skipped, even when it is no longer in the engine's list.
    bool written = true;
    if (records.size() == 1) {
        const Ta_VELKPRICEALERT& record = records.front();
        if (CSystemAlertStore::FileHoldsKey(
                m_strSysPath, VelkDecimalKey(record.m_byMarket, VelkFieldText(record.m_szCode))))
            return;
        written = CSystemAlertStore::AppendRecord(m_strSysPath, m_systemSwitch, record);
    } else {
        written = CSystemAlertStore::AppendNewRecords(m_strSysPath, m_systemSwitch, records);
    }

    // The engine takes the stocks even when the file could not be written: they are watched
    // for this run, and the user is told that they were not stored.
    std::vector<CSymbolInfo> add;
    add.reserve(records.size());
    m_vecSystemAlert.reserve(m_vecSystemAlert.size() + records.size());
    for (const Ta_VELKPRICEALERT& record : records) {
        const CString storedCode = VelkFieldText(record.m_szCode);
        m_vecSystemAlert.push_back(record);
        // The codes' index grows with the list, so that adding to a long list does not cost
        // the next quote a new index.
        m_pWatchIndex->SystemRecordAppended();
        add.emplace_back(record.m_byMarket, storedCode);
    }
    if (!written)
        WarnUnsavedFiles({CSystemAlertStore::FilePath(m_strSysPath)});

    std::vector<CSymbolInfo> remove;
    if (!add.empty())
        BK_iSymbolRegister(add, remove, false);
}
