#pragma once

#include <cstdint>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/CWatchIndex.h"

// The engine's friend for tests: reaches the protected and private members. One definition
// for the whole test executable.
class CVelkAlertTestAccess {
public:
    static std::int32_t& NewAlertFlag(CVelkAlert& e) { return e.m_bNewAlert; }
    static std::vector<Ta_VELKPRICEALERT>& SystemList(CVelkAlert& e) { return e.m_vecSystemAlert; }
    static std::vector<Ta_VELKPRICEALERT>& PriceList(CVelkAlert& e) { return e.m_vecPriceAlert; }
    static std::vector<Ta_VELKPRICEALERT>& MagicList(CVelkAlert& e) { return e.m_vecMagicAlert; }
    static CAlertRecordList& AlertRecords(CVelkAlert& e) { return e.m_vecAlertRecord; }
    static Ta_SYSTEMSWITCH& SystemSwitch(CVelkAlert& e) { return e.m_systemSwitch; }
    static Ta_OTHERALERT& Options(CVelkAlert& e) { return e.m_otherAlert; }
    static Ta_ALERTSETTING& Ratios(CVelkAlert& e) { return e.m_alertSetting; }
    static CKeyIndexMap& SystemMap(CVelkAlert& e) { return e.m_mapSystemAlert; }
    static CKeyIndexMap& PriceMap(CVelkAlert& e) { return e.m_mapPriceAlert; }
    static CKeyIndexMap& MagicMap(CVelkAlert& e) { return e.m_mapMagicAlert; }
    static std::int32_t& PriceCount(CVelkAlert& e) { return e.m_nPriceAlertCount; }
    static std::int32_t& MagicCount(CVelkAlert& e) { return e.m_nMagicAlertCount; }
    static std::vector<CSymbolInfo>& RegSymbols(CVelkAlert& e) { return e.m_vecRegSymbol; }
    static CKeyIndexMap& RegSymbolMap(CVelkAlert& e) { return e.m_mapRegSymbol; }
    static std::vector<unsigned short>& ItemNumbers(CVelkAlert& e) { return e.m_vecItemNo; }
    static std::vector<Ta_VELKPRICETABLE>& Pending(CVelkAlert& e) { return e.m_vecPending; }

    // Replaces a list and rebuilds its map the way the engine does ("%d%s", later index wins).
    static void SetSystemList(CVelkAlert& e, std::vector<Ta_VELKPRICEALERT> list)
    {
        e.m_vecSystemAlert = std::move(list);
        e.RebuildSystemAlertMap();
    }
    static void SetPriceList(CVelkAlert& e, std::vector<Ta_VELKPRICEALERT> list)
    {
        e.m_vecPriceAlert = std::move(list);
        e.m_nPriceAlertCount = static_cast<std::int32_t>(e.m_vecPriceAlert.size());
        e.m_pWatchIndex->RebuildPriceMap(e.m_vecPriceAlert.size());
    }
    static void SetMagicList(CVelkAlert& e, std::vector<Ta_VELKPRICEALERT> list)
    {
        e.m_vecMagicAlert = std::move(list);
        e.m_nMagicAlertCount = static_cast<std::int32_t>(e.m_vecMagicAlert.size());
        CWatchIndex::FillMap(e.m_mapMagicAlert, e.m_vecMagicAlert, e.m_vecMagicAlert.size(),
                             VelkKeyFormat::kHex);
    }

    static void RecordAlert(CVelkAlert& e, const Ta_ALERTRECORD& r) { e.RecordAlert(r); }
    static void vUnregisterSymbol(CVelkAlert& e, std::vector<CSymbolInfo>& s)
    {
        e.vUnregisterSymbol(s);
    }
    static void GetUserID(CVelkAlert& e, CString& out) { e.GetUserID(out); }
    static int OnReceiveData(CVelkAlert& e, Ta_VELKPRICETABLE* quote)
    {
        return e.OnReceiveData(reinterpret_cast<std::uintptr_t>(quote), 0);
    }
    static int OnReceiveAlertData(CVelkAlert& e) { return e.OnReceiveAlertData(0, 0); }
    static void GetMaxAndMinPrice(CVelkAlert& e, const CSymbolInfo& s, float& high, float& low)
    {
        e.GetMaxAndMinPrice(s, high, low);
    }
    static void SetMaxAndMinPrice(CVelkAlert& e, const CString& code, double high, double low)
    {
        e.SetMaxAndMinPrice(code, high, low);
    }
    static std::vector<CSymbolInfo> CollectWatchedSymbols(const CVelkAlert& e)
    {
        return e.CollectWatchedSymbols();
    }
    static void ApplyRegistration(CVelkAlert& e, std::vector<CSymbolInfo> s)
    {
        e.ApplyRegistration(std::move(s));
    }
    static void StartRegistrationWorker(CVelkAlert& e) { e.StartRegistrationWorker(); }
    static bool WorkerJoinable(const CVelkAlert& e) { return e.m_registrationWorker.joinable(); }

    static int OnReceiveMaigc(CVelkAlert& e, Ta_MAGICSIGNAL* signal)
    {
        return e.OnReceiveMaigc(0, reinterpret_cast<long>(signal));
    }
    static int CalMagicIndexNo(CVelkAlert& e, int number) { return e.CalMagicIndexNo(number); }
    static int GetMagicSignalName(CVelkAlert& e, int n, CString& name)
    {
        return e.GetMagicSignalName(n, name);
    }
    static int GetMagicSignalColor(CVelkAlert& e, int n, unsigned long& colour)
    {
        return e.GetMagicSignalColor(n, colour);
    }
    static unsigned long AtoCr(CVelkAlert& e, char* text) { return e._atocr(text); }
    static int HtoI(CVelkAlert& e, char c) { return e._htoi(c); }
    static std::unordered_map<int, CString>& MagicNames(CVelkAlert& e) { return e.m_mapMagicName; }
    static std::unordered_map<int, std::uint32_t>& MagicColours(CVelkAlert& e)
    {
        return e.m_mapMagicColor;
    }
};
