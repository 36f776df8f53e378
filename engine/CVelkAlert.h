#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "KQBkApi.h"
#include "VelkExport.h"
#include "VelkRecords.h"
#include "VelkServices.h"

static_assert(sizeof(long) == sizeof(void*), "addresses travel in long message arguments");

class CMarketMonitor;
class CWatchIndex;

// Stock key -> index into one of the watch lists.
using CKeyIndexMap = std::unordered_map<std::string, int>;

// Key formats of the watch-list maps: decimal market for the system- and price-alert maps,
// two lower-case hexadecimal digits for the magic-watch map.
std::string VelkDecimalKey(unsigned char market, const std::string& code);
std::string VelkHexKey(unsigned char market, const std::string& code);

// The alert engine that the host application loads: it keeps the watch lists, evaluates every
// quote against them, records the alerts and shows them in the alert list window.
class VELK_EXPORT CVelkAlert {
public:
    CVelkAlert();
    // An engine with its own services instead of the registered ones (tests, other hosts).
    explicit CVelkAlert(const CVelkServices& services);
    virtual ~CVelkAlert();

    CVelkAlert(const CVelkAlert&) = delete;
    CVelkAlert& operator=(const CVelkAlert&) = delete;

    void SetSYSPath(CString& path);
    void Start();
    void SetNeedRegs();

    void GetAlertCondition(Ta_OTHERALERT** out);
    void GetSystemAlert(std::vector<Ta_VELKPRICEALERT>** out);
    void GetPriceAlter(std::vector<Ta_VELKPRICEALERT>** out);
    void GetMagicAlter(std::vector<Ta_VELKPRICEALERT>** out);
    int GetAertStockInfo(Ta_VELKPRICEALERT stock, int a, int b);

    void LoadDefaultCondition();
    int LoadAlertCondition();
    // False when alert.cfg or Magic.cfg could not be written; the files then hold what they held.
    bool SaveAlertCondition();
    void SetAlertCondition();

    void ProcessSystemAlert(Ta_VELKPRICETABLE* quote, int index);
    void ProcessAlert(Ta_VELKPRICETABLE* quote, int index);
    void AddAlertRecord(int reason, Ta_VELKPRICETABLE* quote, const long& time);
    void AddAlertRecord();
    void PopAlertDialog();
    void HideAlertDialog();

    void GetSSVStock();
    void ChangeRegistSymbol();
    int AddStock(int unused);

    void vRecvNewMemory(const CMemoryInfo* info);
    void vRecvTickRecovery(const CTickInfo* info);
    void ClearAllData();

    void AddStockToSystemAlert(const unsigned char& market, const CString& code);
    void AddMStockToSystemAlert(const std::vector<CSymbolInfo>* stocks);

    void GetNewMagicSignal(unsigned char market);

    // Beside the host interface: the host hears of every alert as it is recorded.
    void SetAlertObserver(IVelkAlertObserver* observer);
    // Beside the host interface: the ratio settings as a host's page committed them. A record
    // with a ratio that is no number is refused and changes nothing; otherwise the engine takes
    // it and stores it with the conditions, and the files that kept their old content come back
    // in unsavedFiles (the settings apply for this run all the same).
    CSettingsResult TakeRatioSetting(const Ta_ALERTSETTING& setting);
    // Beside the host interface: runs the alert setting page on a copy of the ratio settings;
    // what it commits goes through TakeRatioSetting. bTaken is false when the page was
    // cancelled or the build has none.
    CSettingsResult SetRatioSetting();

    // Beside the host interface: the market monitor (its rules, noise control and mutes, from
    // MarketMonitor.cfg of the system directory, read by Start).
    CMarketMonitor& GetMarketMonitor() { return *m_pMarketMonitor; }
    // Silences every alert of the stock until the trading day ends, across restarts. False when
    // the setting could not be stored (the stock is silent for this run anyway).
    bool MuteStockForDay(unsigned char market, const std::string& code);

    // Read access for the host and for tests.
    int GetNewAlertFlag() const { return m_bNewAlert; }
    const CAlertRecordList& GetAlertRecords() const { return m_vecAlertRecord; }
    const Ta_ALERTSETTING& GetAlertSetting() const { return m_alertSetting; }
    const Ta_SYSTEMSWITCH& GetSystemSwitch() const { return m_systemSwitch; }
    int GetPriceAlertCount() const { return m_nPriceAlertCount; }
    int GetMagicAlertCount() const { return m_nMagicAlertCount; }
    const CKeyIndexMap& GetSystemAlertMap() const { return m_mapSystemAlert; }
    const CKeyIndexMap& GetPriceAlertMap() const { return m_mapPriceAlert; }
    const CKeyIndexMap& GetMagicAlertMap() const { return m_mapMagicAlert; }
    const std::vector<CSymbolInfo>& GetRegisteredSymbols() const { return m_vecRegSymbol; }
    const CKeyIndexMap& GetRegisteredSymbolMap() const { return m_mapRegSymbol; }
    const CRecordingMessageBox& DefaultMessageBox() const { return m_defaultMessageBox; }
    bool HasAlertWindow() const { return m_pAlertListDlg != nullptr; }
    IAlertWindow* GetAlertWindow() const { return m_pAlertListDlg.get(); }
    // Waits for a re-registration worker still running.
    void WaitForRegistration();

protected:
    void vUnregisterSymbol(std::vector<CSymbolInfo>& symbols);
    void GetUserID(CString& out);
    // The quote travels as an address, as in a window message: pointer-sized on this platform.
    int OnReceiveData(std::uintptr_t quote, long unused);
    int OnReceiveAlertData(unsigned unused1, long unused2);
    void GetMaxAndMinPrice(const CSymbolInfo& stock, float& high, float& low);
    void SetMaxAndMinPrice(const CString& code, const double& high, const double& low);
    // lParam is the address of a Ta_MAGICSIGNAL (long is pointer-sized on this platform).
    int OnReceiveMaigc(unsigned wParam, long lParam);
    int GetMagicSignalName(int number, CString& name);
    int GetMagicSignalColor(int number, unsigned long& colour);
    unsigned long _atocr(char* text);
    int _htoi(char c);

private:
    friend class CVelkAlertTestAccess; // tests reach the protected and private members

    int CalMagicIndexNo(const int& number);

    std::string ConditionPath(const char* fileName) const;
    // The paths of the condition files that could not be written.
    std::vector<std::string> WriteConditionFiles();
    // One condition file written under the folder's lock, joined with what another writer
    // stored since this engine last read or wrote it; written becomes what the file holds.
    // False when it could not be written, or when both changed the same part (conflict).
    bool StoreConditionFile(const std::string& path, const std::vector<std::size_t>& headerBlocks,
                            const std::string& ours, std::string& written, bool& conflict);
    void ApplyAlertFile(const std::string& bytes);
    void ApplyMagicFile(const std::string& bytes);
    // One warning for files a save the user asked for could not write.
    void WarnUnsavedFiles(const std::vector<std::string>& paths);
    void AddSystemStocks(const CSymbolInfo* stocks, std::size_t count);
    void RebuildSystemAlertMap();
    // Seeds the day's high and low of every system-alert record of the code that has no high
    // yet; hint is a record of the code when the caller knows one (-1 otherwise).
    void SeedHighLow(int hint, const std::string& code, double high, double low);
    // One snapshot through the evaluation, against the records the lookup found.
    void EvaluateQuote(Ta_VELKPRICETABLE* quote, int priceIndex, int systemIndex);
    void RecordAlert(const Ta_ALERTRECORD& record);
    // Re-registration: the symbols are collected on the calling thread and registered either
    // there (ChangeRegistSymbol) or on the worker started after the settings sheet.
    std::vector<CSymbolInfo> CollectWatchedSymbols() const;
    void ApplyRegistration(std::vector<CSymbolInfo> symbols);
    void StartRegistrationWorker();
    IVelkMessageBox& MessageBox();

    // Declared order of the engine's state.
    std::int32_t m_bNewAlert = 0;
    std::vector<Ta_VELKPRICEALERT> m_vecSystemAlert;
    std::vector<Ta_VELKPRICEALERT> m_vecPriceAlert;
    std::vector<Ta_VELKPRICEALERT> m_vecMagicAlert;
    CAlertRecordList m_vecAlertRecord;
    std::unique_ptr<IAlertWindow> m_pAlertListDlg;
    Ta_ALERTSETTING m_alertSetting{};
    Ta_SYSTEMSWITCH m_systemSwitch{};
    CKeyIndexMap m_mapSystemAlert;
    CKeyIndexMap m_mapPriceAlert;
    CKeyIndexMap m_mapMagicAlert;
    Ta_OTHERALERT m_otherAlert{};
    std::int32_t m_nPriceAlertCount = 0;
    std::int32_t m_nMagicAlertCount = 0;
    CString m_strSysPath;
    std::vector<CSymbolInfo> m_vecRegSymbol;
    CKeyIndexMap m_mapRegSymbol;
    std::vector<unsigned short> m_vecItemNo;
    std::unordered_map<int, CString> m_mapMagicName;
    std::unordered_map<int, std::uint32_t> m_mapMagicColor;
    std::vector<Ta_VELKPRICETABLE> m_vecPending;

    // Beside the declared state: what finds a notified stock in the lists (the maps above are
    // built only through it), then services, observer and the re-registration worker.
    std::unique_ptr<CWatchIndex> m_pWatchIndex;
    CVelkServices m_services;
    CRecordingMessageBox m_defaultMessageBox;
    CSystemClock m_systemClock;
    IVelkAlertObserver* m_pObserver = nullptr;
    std::unique_ptr<CMarketMonitor> m_pMarketMonitor;
    std::thread m_registrationWorker;
    // The content of alert.cfg and Magic.cfg as this engine last read or wrote them, by path:
    // the common ground of a save and another writer's changes.
    std::unordered_map<std::string, std::string> m_mapConditionBase;
};

// The library-wide current magic signal record.
Ta_MAGICSIGNAL& VelkCurrentMagicSignal();
