#include <vector>

#include "CSystemAlertStore.h"
#include "CVelkAlert.h"
#include "KQBkApi.h"
#include "TextCodec.h"

void CVelkAlert::AddStockToSystemAlert(const unsigned char& market, const CString& code)
{
    if (!code.empty() && code[0] == '#') {
        MessageBox().Show(TextCodec::Utf8ToGbk("不能添加指数!"), TextCodec::Utf8ToGbk("警告"),
                          VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        return;
    }

    Ta_VELKPRICEALERT record{};
    record.m_byMarket = market;
    VelkCopyText(record.m_szCode, code);
    // Everything below (file key, map key, registration) goes by the code as it is stored.
    const CString storedCode = VelkFieldText(record.m_szCode);
    if (storedCode.empty())
        return;

    std::vector<X1Format> values;
    if (BK_bGetItemDataByItemNo(market, storedCode, {1019}, values, true, nullptr) && !values.empty())
        VelkCopyText(record.m_szName,
                     TextCodec::CutGbk(values[0].s_GetAsString(), sizeof record.m_szName - 1));

    // The re-registration worker reads the list; it must be done before the list grows.
    WaitForRegistration();

    const std::string key = VelkDecimalKey(market, storedCode);
    CKeyIndexMap stored(17);
    CSystemAlertStore::ReadSystemAlertKeys(m_strSysPath, stored);
    if (stored.count(key))
        return;

    CSystemAlertStore::AppendRecord(m_strSysPath, m_systemSwitch, record);

    m_vecSystemAlert.push_back(record);
    m_mapSystemAlert[key] = static_cast<int>(m_vecSystemAlert.size() - 1);
    m_bWatchIndexStale = true;

    std::vector<CSymbolInfo> add{CSymbolInfo(market, storedCode)};
    std::vector<CSymbolInfo> remove;
    BK_iSymbolRegister(add, remove, false);
}

void CVelkAlert::AddMStockToSystemAlert(const std::vector<CSymbolInfo>* stocks)
{
    if (!stocks)
        return;
    for (const CSymbolInfo& stock : *stocks)
        AddStockToSystemAlert(stock.m_byMarket, stock.m_strCode);
}
