#pragma once

#include <vector>

#include "KQBkApi.h"
#include "KQCommon.h"
#include "KQDaApi.h"

// Every BK_, DA_ and s_ call of the host libraries lands here. The in-memory store is the
// default; a test installs its own double with CScopedHostBackend.
class KQ_API IHostBackend {
public:
    virtual ~IHostBackend() = default;

    virtual bool GetItemDataByItemNo(unsigned char market, const CString& code,
                                     const std::vector<unsigned short>& items,
                                     std::vector<X1Format>& out, bool realTime) = 0;
    virtual int SymbolRegister(std::vector<CSymbolInfo>& add, std::vector<CSymbolInfo>& remove) = 0;
    virtual long GetTickerCount(unsigned char market, const CString& code, const CString& date) = 0;
    virtual long GetTickerByStartPos(std::vector<std::vector<X1Format>>& rows, unsigned char market,
                                     const CString& code, long start, long count,
                                     const CString& date) = 0;
    virtual bool GetMarketStatus(unsigned char market, const CString& code,
                                 CMarketStatus& status) = 0;
    virtual bool GetMemoryState(unsigned char market, const CString& code) = 0;
    virtual long GetLastMagic(std::vector<std::vector<X1Format>>& rows, unsigned char market,
                              long mode, const CString& date) = 0;
    virtual bool GetMagicNo(std::vector<CString>& numbers, std::vector<CString>& names) = 0;
    virtual bool GetSymbolFullName(CString& name, unsigned char market, const CString& code) = 0;
    virtual bool GetServiceExName(CString& ext, unsigned char market) = 0;
    virtual unsigned char GetServiceIDByExName(const CString& ext) = 0;
    virtual bool GetSymbolID(std::vector<CString>& codes, std::vector<CString>& names,
                             unsigned char market) = 0;

    virtual bool GetUserInfo(tag_UserInfo& info) = 0;
    virtual bool GetSSVInfoByUserID(const CString& userID, std::vector<CString>& groups) = 0;
    virtual bool GetSymbolIDVecBySSVName(const CString& userID, const CString& group,
                                         std::vector<CSymbolInfo>& stocks) = 0;
    virtual bool DaGetMarketStatus(unsigned char market, CMarketStatus& status) = 0;
    virtual unsigned char ConvertToLevel1ServiceID(unsigned char market) = 0;
    virtual bool GetAllServiceID(std::vector<unsigned char>& markets) = 0;

    virtual CString GetSysPath(unsigned char which) = 0;
    virtual CString GetLangString(const CString& key) = 0;
};

// The backend that the free functions use now (the in-memory store unless replaced).
KQ_API IHostBackend& HostBackend();

// Installs a backend for the lifetime of the guard and restores the previous one after.
class KQ_API CScopedHostBackend {
public:
    explicit CScopedHostBackend(IHostBackend& backend);
    ~CScopedHostBackend();
    CScopedHostBackend(const CScopedHostBackend&) = delete;
    CScopedHostBackend& operator=(const CScopedHostBackend&) = delete;

private:
    IHostBackend* m_pPrevious;
};
