#include <atomic>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQCommon.h"
#include "hostapi/KQDaApi.h"
#include "hostlibs/CQuoteStore.h"
#include "hostlibs/IHostBackend.h"

namespace {

// Null means the in-memory store. The pointer is swapped while other threads may be calling
// the free functions, hence atomic.
std::atomic<IHostBackend*> g_pInstalledBackend{nullptr};

} // namespace

IHostBackend& HostBackend()
{
    IHostBackend* installed = g_pInstalledBackend.load(std::memory_order_acquire);
    return installed ? *installed : CQuoteStore::Instance();
}

CScopedHostBackend::CScopedHostBackend(IHostBackend& backend)
    : m_pPrevious(g_pInstalledBackend.exchange(&backend, std::memory_order_acq_rel))
{
}

CScopedHostBackend::~CScopedHostBackend()
{
    g_pInstalledBackend.store(m_pPrevious, std::memory_order_release);
}

CMemoryInfo::CMemoryInfo(unsigned char market, CString code)
    : m_byMarket(market), m_strCode(std::move(code))
{
}

CMemoryInfo::~CMemoryInfo() = default;

unsigned char CMemoryInfo::byGetServiceID() const
{
    return m_byMarket;
}

CString CMemoryInfo::GetSymbolID() const
{
    return m_strCode;
}

CTickInfo::CTickInfo(unsigned char market, CString code)
    : m_byMarket(market), m_strCode(std::move(code))
{
}

CTickInfo::~CTickInfo() = default;

unsigned char CTickInfo::byGetServiceID() const
{
    return m_byMarket;
}

CString CTickInfo::GetSymbolID() const
{
    return m_strCode;
}

bool BK_bGetItemDataByItemNo(unsigned char market, const CString& code,
                             const std::vector<unsigned short>& items, std::vector<X1Format>& out,
                             bool realTime, const CCDSInfo*)
{
    return HostBackend().GetItemDataByItemNo(market, code, items, out, realTime);
}

int BK_iSymbolRegister(std::vector<CSymbolInfo>& add, std::vector<CSymbolInfo>& remove, bool)
{
    return HostBackend().SymbolRegister(add, remove);
}

long BK_lGetTickerCount(unsigned char market, const CString& code, const CString& date, bool, bool)
{
    return HostBackend().GetTickerCount(market, code, date);
}

long BK_lGetTickerByStartPos(std::vector<std::vector<X1Format>>& rows, unsigned char market,
                             const CString& code, long start, long count, const CString& date, bool,
                             bool)
{
    return HostBackend().GetTickerByStartPos(rows, market, code, start, count, date);
}

bool BK_bGetMarketStatus(unsigned char market, const CString& code, CMarketStatus& status,
                         const CCDSInfo*)
{
    return HostBackend().GetMarketStatus(market, code, status);
}

bool BK_bGetMemoryState(const unsigned char& market, const CString& code)
{
    return HostBackend().GetMemoryState(market, code);
}

long BK_lGetLastMagic(std::vector<std::vector<X1Format>>& rows, unsigned char market, long mode,
                      const CString& date)
{
    return HostBackend().GetLastMagic(rows, market, mode, date);
}

bool BK_bGetMagicNo(std::vector<CString>& numbers, std::vector<CString>& names)
{
    return HostBackend().GetMagicNo(numbers, names);
}

bool BK_GetSymbolFullName(CString& name, unsigned char market, const CString& code)
{
    return HostBackend().GetSymbolFullName(name, market, code);
}

bool BK_bGetServiceExName(CString& ext, unsigned char market)
{
    return HostBackend().GetServiceExName(ext, market);
}

unsigned char BK_byGetServiceIDByExName(const CString& ext)
{
    return HostBackend().GetServiceIDByExName(ext);
}

bool BK_bGetSymbolID(std::vector<CString>& codes, std::vector<CString>& names, unsigned char market,
                     const CString&, const CString&, const CCDSInfo*)
{
    return HostBackend().GetSymbolID(codes, names, market);
}

bool DA_bGetUserInfo(tag_UserInfo& info)
{
    return HostBackend().GetUserInfo(info);
}

bool DA_bGetSSVInfoByUserID(CString userID, std::vector<CString>& groups)
{
    return HostBackend().GetSSVInfoByUserID(userID, groups);
}

bool DA_bGetSymbolIDVecBySSVName(CString userID, CString group, std::vector<CSymbolInfo>& stocks)
{
    return HostBackend().GetSymbolIDVecBySSVName(userID, group, stocks);
}

bool DA_bGetMarketStatus(unsigned char market, CMarketStatus& status)
{
    return HostBackend().DaGetMarketStatus(market, status);
}

unsigned char DA_byConvert2Level1ServiceID(const unsigned char& market)
{
    return HostBackend().ConvertToLevel1ServiceID(market);
}

bool DA_bGetAllServiceID(std::vector<unsigned char>& markets)
{
    return HostBackend().GetAllServiceID(markets);
}

CString s_KQGetSysPath(unsigned char which)
{
    return HostBackend().GetSysPath(which);
}

CString s_KQcszGetLangString(const char* key)
{
    if (!key)
        return CString();
    return HostBackend().GetLangString(key);
}
