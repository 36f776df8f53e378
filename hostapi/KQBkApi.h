#pragma once

#include <string>
#include <vector>

#include "KQApiExport.h"
#include "KQCommon.h"

// One stock: market number (the service ID) and code. It holds a string object, so it is
// exchanged in memory only and never stored as raw bytes.
class KQ_API CSymbolInfo {
public:
    CSymbolInfo() = default;
    CSymbolInfo(unsigned char market, CString code) : m_byMarket(market), m_strCode(std::move(code))
    {
    }

    unsigned char m_byMarket = 0;
    CString m_strCode;

    bool operator==(const CSymbolInfo& other) const = default;
};

// Data-source descriptor. The module always passes a null pointer.
class KQ_API CCDSInfo {
public:
    virtual ~CCDSInfo() = default;
};

// Quote-service notification of new data for one symbol.
class KQ_API CMemoryInfo {
public:
    CMemoryInfo(unsigned char market, CString code);
    virtual ~CMemoryInfo();
    virtual unsigned char byGetServiceID() const;
    virtual CString GetSymbolID() const;

private:
    unsigned char m_byMarket;
    CString m_strCode;
};

// Quote-service notification that a symbol's ticks were recovered.
class KQ_API CTickInfo {
public:
    CTickInfo(unsigned char market, CString code);
    virtual ~CTickInfo();
    virtual unsigned char byGetServiceID() const;
    virtual CString GetSymbolID() const;

private:
    unsigned char m_byMarket;
    CString m_strCode;
};

// Market status; the module reads only the trading date.
class KQ_API CMarketStatus {
public:
    CMarketStatus() = default;
    virtual ~CMarketStatus() = default;
    virtual bool IsOpen() const { return m_bOpen; }

    int m_nTradeDate = 0; // yyyymmdd
    bool m_bOpen = false;
};

KQ_API bool BK_bGetItemDataByItemNo(unsigned char market, const CString& code,
                                    const std::vector<unsigned short>& items,
                                    std::vector<X1Format>& out, bool realTime,
                                    const CCDSInfo* source);
KQ_API int BK_iSymbolRegister(std::vector<CSymbolInfo>& add, std::vector<CSymbolInfo>& remove,
                              bool wait);
KQ_API long BK_lGetTickerCount(unsigned char market, const CString& code, const CString& date,
                               bool a, bool b);
KQ_API long BK_lGetTickerByStartPos(std::vector<std::vector<X1Format>>& rows, unsigned char market,
                                    const CString& code, long start, long count,
                                    const CString& date, bool a, bool b);
KQ_API bool BK_bGetMarketStatus(unsigned char market, const CString& code, CMarketStatus& status,
                                const CCDSInfo* source);
KQ_API bool BK_bGetMemoryState(const unsigned char& market, const CString& code);
KQ_API long BK_lGetLastMagic(std::vector<std::vector<X1Format>>& rows, unsigned char market,
                             long mode, const CString& date);
KQ_API bool BK_bGetMagicNo(std::vector<CString>& numbers, std::vector<CString>& names);
KQ_API bool BK_GetSymbolFullName(CString& name, unsigned char market, const CString& code);
KQ_API bool BK_bGetServiceExName(CString& ext, unsigned char market);
KQ_API unsigned char BK_byGetServiceIDByExName(const CString& ext);
KQ_API bool BK_bGetSymbolID(std::vector<CString>& codes, std::vector<CString>& names,
                            unsigned char market, const CString& a, const CString& b,
                            const CCDSInfo* source);
