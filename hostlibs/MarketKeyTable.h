#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "hostapi/KQDialog.h"

// The keyboard wizard's candidates: every symbol of every market of the quote service as
// "code.ext" with its name. The module's wizard and velk-host's board wizard fill their tables
// alike; inline, so that it adds nothing to the dialog library's exports.

// Copies at most size - 1 bytes and terminates: a cut may split a double-byte character, which
// the list's display drops rather than shows as a stray byte.
inline void VelkCopyKeyField(char* field, std::size_t size, const CString& text)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

// Frees the entries the table held and fills it anew for the window and message given.
inline void VelkFillMarketKeyTable(TaKeyRegisterTable& table, std::uint32_t hNotifyWnd,
                                   std::uint32_t nMsg)
{
    std::vector<CString> codes;
    std::vector<CString> names;
    std::vector<unsigned char> markets;
    if (DA_bGetAllServiceID(markets)) {
        for (unsigned char market : markets) {
            CString ext;
            BK_bGetServiceExName(ext, market);
            std::vector<CString> marketCodes;
            std::vector<CString> marketNames;
            BK_bGetSymbolID(marketCodes, marketNames, market, CString(), CString(), nullptr);
            for (std::size_t j = 0; j < marketCodes.size(); ++j) {
                codes.push_back(marketCodes[j] + "." + ext);
                // A service that hands back fewer names than codes leaves the rest unnamed.
                names.push_back(j < marketNames.size() ? marketNames[j] : CString());
            }
        }
    }

    KQ_FreeKeyItems(table.pItems);
    table = TaKeyRegisterTable{};
    table.nFlag = 1;
    table.hNotifyWnd = hNotifyWnd;
    table.nMsg = nMsg;
    table.nCapacity = static_cast<std::uint32_t>(codes.size());
    if (table.nCapacity > 0) {
        table.pItems = KQ_hAllocKeyItems(table.nCapacity);
        if (table.pItems == 0)
            table.nCapacity = 0;
    }
    TaKeyRegisterItem* items = KQ_pGetKeyItems(table.pItems);
    for (std::size_t i = 0; items && i < codes.size() && table.nCount < table.nCapacity; ++i) {
        TaKeyRegisterItem& item = items[table.nCount];
        VelkCopyKeyField(item.szCode, sizeof item.szCode, codes[i]);
        VelkCopyKeyField(item.szName, sizeof item.szName, names[i]);
        item.dwData1 = 0;
        item.dwData2 = 0;
        ++table.nCount;
    }
}
