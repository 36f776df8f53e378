#include "engine/CVelkAlert.h"

#include <cstdio>
#include <cstring>

#include "engine/CMarketMonitor.h"
#include "engine/CSystemAlertStore.h"
#include "engine/VelkEngineLock.h"
#include "hostapi/KQCommon.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"

namespace {

// Guards the pending-quotes queue and the recording of one magic signal; nothing else.
std::mutex g_engineLock;

Ta_MAGICSIGNAL g_currentMagicSignal;

} // namespace

std::mutex& VelkEngineLock()
{
    return g_engineLock;
}

Ta_MAGICSIGNAL& VelkCurrentMagicSignal()
{
    return g_currentMagicSignal;
}

std::string VelkDecimalKey(unsigned char market, const std::string& code)
{
    return std::to_string(static_cast<int>(market)) + code;
}

std::string VelkHexKey(unsigned char market, const std::string& code)
{
    char prefix[3];
    std::snprintf(prefix, sizeof prefix, "%02x", static_cast<unsigned>(market));
    return prefix + code;
}

CVelkAlert::CVelkAlert() : CVelkAlert(VelkRegisteredServices()) {}

CVelkAlert::CVelkAlert(const CVelkServices& services)
    : m_mapSystemAlert(17), m_mapPriceAlert(17), m_mapMagicAlert(17), m_mapRegSymbol(17),
      m_mapMagicName(17), m_mapMagicColor(17), m_services(services)
{
    m_systemSwitch.m_byNewHigh = 0;
    m_systemSwitch.m_byNewLow = 0;
    m_systemSwitch.m_byLimit = 1;
    m_systemSwitch.m_nRange = 2;

    m_otherAlert = Ta_OTHERALERT{};
    m_otherAlert.m_nSoundMode = 1;
    m_otherAlert.m_byPopup = 1;

    m_vecItemNo = {125, 182, 1019, 413, 132, 133, 143, 130, 131};
    m_pMarketMonitor =
        std::make_unique<CMarketMonitor>(m_services.pClock ? *m_services.pClock : m_systemClock);

    m_mapSystemAlert.clear();
    m_bWatchIndexStale = true;
    // The pop-up switch has no default of its own; it starts on, like the other switches.
    m_alertSetting.m_bPopupDialog = 1;
    LoadDefaultCondition();

    m_vecRegSymbol.clear();
    m_mapRegSymbol.clear();
    m_mapMagicColor.clear();
    ChangeRegistSymbol();
}

CVelkAlert::~CVelkAlert()
{
    WaitForRegistration();
    // The window writes the day's alert file as it is destroyed.
    m_pAlertListDlg.reset();
    m_mapPriceAlert.clear();
    vUnregisterSymbol(m_vecRegSymbol);
    m_mapMagicColor.clear();
}

void CVelkAlert::SetSYSPath(CString& path)
{
    m_strSysPath = path;
}

void CVelkAlert::Start()
{
    WaitForRegistration();
    if (LoadAlertCondition() == 0)
        LoadDefaultCondition();

    CSystemAlertStore page;
    page.SetSystemPath(m_strSysPath);
    page.SetAlertList(&m_vecSystemAlert);
    page.LoadSystemAlert();

    m_systemSwitch = page.m_switches;

    if (m_systemSwitch.m_nRange == 1)
        GetSSVStock();
    else if (m_systemSwitch.m_nRange == 2)
        page.ApplyAlertList();

    RebuildSystemAlertMap();

    // An unreadable line of MarketMonitor.cfg leaves that setting at its default.
    std::string monitorError;
    m_pMarketMonitor->Load(m_strSysPath.empty() ? s_KQGetSysPath(0) : m_strSysPath, monitorError);

    SetNeedRegs();
    ChangeRegistSymbol();
}

void CVelkAlert::SetNeedRegs() {}

bool CVelkAlert::MuteStockForDay(unsigned char market, const std::string& code)
{
    return m_pMarketMonitor->MuteForDay(market, code);
}

void CVelkAlert::GetAlertCondition(Ta_OTHERALERT** out)
{
    if (out)
        *out = &m_otherAlert;
}

void CVelkAlert::GetSystemAlert(std::vector<Ta_VELKPRICEALERT>** out)
{
    if (out)
        *out = &m_vecSystemAlert;
}

void CVelkAlert::GetPriceAlter(std::vector<Ta_VELKPRICEALERT>** out)
{
    if (out)
        *out = &m_vecPriceAlert;
}

void CVelkAlert::GetMagicAlter(std::vector<Ta_VELKPRICEALERT>** out)
{
    if (out)
        *out = &m_vecMagicAlert;
}

int CVelkAlert::GetAertStockInfo(Ta_VELKPRICEALERT, int, int)
{
    return 1;
}

void CVelkAlert::SetAlertObserver(IVelkAlertObserver* observer)
{
    m_pObserver = observer;
}

void CVelkAlert::GetRatioSetting(Ta_ALERTSETTING** out)
{
    if (out)
        *out = &m_alertSetting;
}

void CVelkAlert::RebuildSystemAlertMap()
{
    m_nSystemCodeIndexed = static_cast<std::size_t>(-1);
    m_bWatchIndexStale = true;
    m_mapSystemAlert.clear();
    for (std::size_t i = 0; i < m_vecSystemAlert.size(); ++i) {
        const Ta_VELKPRICEALERT& record = m_vecSystemAlert[i];
        m_mapSystemAlert[VelkDecimalKey(record.m_byMarket, VelkFieldText(record.m_szCode))] =
            static_cast<int>(i);
    }
}

bool CVelkAlert::SystemRecordIs(int index, unsigned char market, const std::string& code) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_vecSystemAlert.size())
        return false;
    const Ta_VELKPRICEALERT& record = m_vecSystemAlert[static_cast<std::size_t>(index)];
    return record.m_byMarket == market && code.size() < sizeof record.m_szCode &&
           std::strncmp(record.m_szCode, code.c_str(), sizeof record.m_szCode) == 0;
}

CVelkAlert::WatchedStock CVelkAlert::FindWatchedStock(unsigned char market, const std::string& code,
                                                      const std::string& key)
{
    WatchedStock watched = LookUpWatchIndex(key);
    if (watched.system >= 0 && !SystemRecordIs(watched.system, market, code)) {
        RebuildSystemAlertMap();
        watched = LookUpWatchIndex(key);
    }
    return watched;
}

int CVelkAlert::SystemIndexOf(unsigned char market, const std::string& code)
{
    return FindWatchedStock(market, code, VelkDecimalKey(market, code)).system;
}

CVelkAlert::WatchedStock CVelkAlert::LookUpWatchIndex(const std::string& key)
{
    // Every change the engine makes to the maps marks the index stale; a changed size catches
    // any other.
    if (m_bWatchIndexStale || m_nWatchIndexedPrices != m_mapPriceAlert.size() ||
        m_nWatchIndexedSystem != m_mapSystemAlert.size()) {
        m_watchIndex.Clear(m_mapPriceAlert.size() + m_mapSystemAlert.size());
        m_bWatchIndexComplete = true;
        for (const auto& [mapKey, index] : m_mapPriceAlert) {
            WatchedStock* stock = m_watchIndex.Insert(mapKey);
            m_bWatchIndexComplete = m_bWatchIndexComplete && stock;
            if (stock)
                stock->price = index;
        }
        for (const auto& [mapKey, index] : m_mapSystemAlert) {
            WatchedStock* stock = m_watchIndex.Insert(mapKey);
            m_bWatchIndexComplete = m_bWatchIndexComplete && stock;
            if (stock)
                stock->system = index;
        }
        m_nWatchIndexedPrices = m_mapPriceAlert.size();
        m_nWatchIndexedSystem = m_mapSystemAlert.size();
        m_bWatchIndexStale = false;
    }
    if (m_bWatchIndexComplete) {
        const WatchedStock* stock = m_watchIndex.Find(key);
        return stock ? *stock : WatchedStock{};
    }
    // A key too long for the table (no stock code is) sends every lookup to the maps.
    WatchedStock entry;
    if (auto price = m_mapPriceAlert.find(key); price != m_mapPriceAlert.end())
        entry.price = price->second;
    if (auto system = m_mapSystemAlert.find(key); system != m_mapSystemAlert.end())
        entry.system = system->second;
    return entry;
}

void CVelkAlert::IndexSystemCodes()
{
    // Every change the engine makes to the list drops the index; a changed length catches the
    // host growing or shrinking it through its pointer, and SameCodeRingHolds a reordering.
    if (m_nSystemCodeIndexed == m_vecSystemAlert.size())
        return;
    m_mapSystemCode.clear();
    m_vecSameCode.assign(m_vecSystemAlert.size(), -1);
    std::unordered_map<std::string, int> last;
    for (std::size_t i = 0; i < m_vecSystemAlert.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string code = VelkFieldText(m_vecSystemAlert[i].m_szCode);
        const bool firstOfCode = m_mapSystemCode.emplace(code, index).second;
        int& previous = last[code];
        if (!firstOfCode)
            m_vecSameCode[static_cast<std::size_t>(previous)] = index;
        previous = index;
    }
    for (const auto& [code, lastIndex] : last)
        m_vecSameCode[static_cast<std::size_t>(lastIndex)] = m_mapSystemCode[code];
    m_nSystemCodeIndexed = m_vecSystemAlert.size();
}

void CVelkAlert::AppendToSystemCodeIndex(int index)
{
    // Only an index of the list as it was before this record grows with it; any other is made
    // anew at its next use.
    if (m_nSystemCodeIndexed + 1 != m_vecSystemAlert.size()) {
        m_nSystemCodeIndexed = static_cast<std::size_t>(-1);
        return;
    }
    m_vecSameCode.push_back(index);
    const std::string code =
        VelkFieldText(m_vecSystemAlert[static_cast<std::size_t>(index)].m_szCode);
    auto [first, added] = m_mapSystemCode.emplace(code, index);
    if (!added) {
        int lastOfCode = first->second;
        while (m_vecSameCode[static_cast<std::size_t>(lastOfCode)] != first->second)
            lastOfCode = m_vecSameCode[static_cast<std::size_t>(lastOfCode)];
        m_vecSameCode[static_cast<std::size_t>(lastOfCode)] = index;
        m_vecSameCode[static_cast<std::size_t>(index)] = first->second;
    }
    m_nSystemCodeIndexed = m_vecSystemAlert.size();
}

IVelkMessageBox& CVelkAlert::MessageBox()
{
    return m_services.pMessageBox ? *m_services.pMessageBox : m_defaultMessageBox;
}

void CVelkAlert::WarnUnsavedFiles(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    std::string text = TextCodec::Utf8ToGbk("以下文件无法保存, 所做的修改只在本次运行中有效:");
    for (const std::string& path : paths)
        text += "\n" + TextCodec::Utf8ToGbk(path);
    MessageBox().Show(text, TextCodec::Utf8ToGbk("警告"),
                      VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
}

std::string CVelkAlert::ConditionPath(const char* fileName) const
{
    return VelkJoinPath(m_strSysPath.empty() ? s_KQGetSysPath(0) : m_strSysPath, fileName);
}

void CVelkAlert::SetAlertCondition()
{
    if (!m_services.pWindowing)
        return;
    WaitForRegistration();

    CSystemAlertStore systemPage;
    systemPage.SetSystemPath(m_strSysPath);
    systemPage.SetAlertList(&m_vecSystemAlert);
    // A page whose tab is never opened must hand back the switches in force, not its defaults.
    systemPage.m_switches = m_systemSwitch;

    CSettingsBinding binding;
    binding.strSysPath = m_strSysPath;
    binding.pSystemList = &m_vecSystemAlert;
    binding.pSystemPage = &systemPage;
    binding.pMagicList = &m_vecMagicAlert;
    binding.pMagicCount = &m_nMagicAlertCount;
    binding.pPriceList = &m_vecPriceAlert;
    binding.pPriceCount = &m_nPriceAlertCount;
    binding.pOptions = &m_otherAlert;
    if (m_services.pWindowing->RunSettingsSheet(binding) != VelkMsgBox::kIdOk)
        return;

    // The settings apply for this run whether or not they reached their files; the user hears
    // of every file that still holds the old ones.
    std::vector<std::string> unsaved = WriteConditionFiles();
    if (systemPage.m_bSaveFailed)
        unsaved.push_back(CSystemAlertStore::FilePath(m_strSysPath));
    WarnUnsavedFiles(unsaved);
    m_systemSwitch = systemPage.m_switches;
    if (m_systemSwitch.m_nRange == 1)
        GetSSVStock();
    else if (m_systemSwitch.m_nRange == 2)
        systemPage.ApplyAlertList();
    RebuildSystemAlertMap();
    StartRegistrationWorker();
}
