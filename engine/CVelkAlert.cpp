#include "engine/CVelkAlert.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

#include "engine/CMarketMonitor.h"
#include "engine/CSystemAlertStore.h"
#include "engine/CWatchIndex.h"
#include "engine/VelkEngineLock.h"
#include "hostapi/KQCommon.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"

namespace {

// Guards the pending-quotes queue and the recording of one magic signal; nothing else.
CEngineLock g_engineLock;

Ta_MAGICSIGNAL g_currentMagicSignal;

} // namespace

CEngineLock& VelkEngineLock()
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
      m_mapMagicName(17), m_mapMagicColor(17),
      m_pWatchIndex(std::make_unique<CWatchIndex>(m_vecPriceAlert, m_mapPriceAlert,
                                                  m_vecSystemAlert, m_mapSystemAlert)),
      m_services(services)
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

    m_pWatchIndex->RebuildSystemMap();
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

CSettingsResult CVelkAlert::TakeRatioSetting(const Ta_ALERTSETTING& setting)
{
    CSettingsResult result;
    // A ratio that is no number would compare false with every quote and be stored so.
    for (float ratio : {setting.m_fRiseRatio, setting.m_fFallRatio, setting.m_fVolumeRatio,
                        setting.m_fSingleRatio, setting.m_fLargeAmount, setting.m_fLargeVolume}) {
        if (!std::isfinite(ratio)) {
            result.bTaken = false;
            result.strReasonGbk = TextCodec::Utf8ToGbk("报警比率不是有效的数值, 设置未被采用。");
            return result;
        }
    }
    m_alertSetting = setting;
    result.unsavedFiles = WriteConditionFiles();
    return result;
}

void CVelkAlert::RebuildSystemAlertMap()
{
    m_pWatchIndex->RebuildSystemMap();
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
    for (const std::string& path : paths) {
        text += '\n';
        text += TextCodec::Utf8ToGbk(path);
    }
    MessageBox().Show(text, TextCodec::Utf8ToGbk("警告"),
                      VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
}

std::string CVelkAlert::ConditionPath(const char* fileName) const
{
    return VelkJoinPath(m_strSysPath.empty() ? s_KQGetSysPath(0) : m_strSysPath, fileName);
}

namespace {

// The engine's side of one settings sheet run: the sheet hands the committed value here.
class CSettingsIntake final : public IVelkSettingsSink {
public:
    explicit CSettingsIntake(std::function<CSettingsResult(const CSettingsBinding&)> take)
        : m_take(std::move(take))
    {
    }
    CSettingsResult TakeSettings(const CSettingsBinding& settings) override
    {
        return m_take(settings);
    }

private:
    std::function<CSettingsResult(const CSettingsBinding&)> m_take;
};

// The engine's side of one alert setting page run.
class CRatioSettingIntake final : public IVelkRatioSettingSink {
public:
    explicit CRatioSettingIntake(CVelkAlert& engine) : m_engine(engine) {}
    CSettingsResult TakeRatioSetting(const Ta_ALERTSETTING& setting) override
    {
        m_result = m_engine.TakeRatioSetting(setting);
        return m_result;
    }
    const CSettingsResult& Result() const { return m_result; }

private:
    CVelkAlert& m_engine;
    CSettingsResult m_result{false, {}, {}};
};

} // namespace

CSettingsResult CVelkAlert::SetRatioSetting()
{
    if (!m_services.pWindowing)
        return CSettingsResult{false, {}, {}};
    // The page starts from a copy: the engine's record changes only when the engine takes a value.
    const Ta_ALERTSETTING stored = m_alertSetting;
    CRatioSettingIntake intake(*this);
    if (m_services.pWindowing->RunAlertSettingPage(stored, intake) != VelkMsgBox::kIdOk)
        return CSettingsResult{false, {}, {}};
    return intake.Result();
}

void CVelkAlert::SetAlertCondition()
{
    if (!m_services.pWindowing)
        return;
    WaitForRegistration();

    // The sheet works on copies; a page whose tab is never opened hands back what is in force.
    CSettingsBinding binding;
    binding.strSysPath = m_strSysPath;
    binding.systemSwitches = m_systemSwitch;
    binding.systemList = m_vecSystemAlert;
    binding.magicList = m_vecMagicAlert;
    binding.magicCount = m_nMagicAlertCount;
    binding.priceList = m_vecPriceAlert;
    binding.priceCount = m_nPriceAlertCount;
    binding.options = m_otherAlert;

    // What the system alert page leaves in force: its commit, or what the sheet started from.
    Ta_SYSTEMSWITCH systemSwitches = m_systemSwitch;
    std::vector<Ta_VELKPRICEALERT> systemList = m_vecSystemAlert;
    std::vector<std::string> unsaved;
    bool taken = false;
    CSettingsIntake intake([&](const CSettingsBinding& settings) {
        CSettingsResult result;
        // The system alert page's stocks are saved and applied whatever the range, so that
        // the self-set list is kept for when that range returns.
        if (settings.bSystemCommitted) {
            Ta_SYSTEMSWITCH switches = settings.systemSwitches;
            std::vector<Ta_VELKPRICEALERT> list = settings.systemList;
            // Joined with what another program stored since the page read the file; a clash is
            // not written and the page's list applies for this run only.
            if (!CSystemAlertStore::WriteFile(m_strSysPath, switches, list,
                                              settings.bSystemFileRead ? &settings.systemFileBase
                                                                       : nullptr))
                result.unsavedFiles.push_back(CSystemAlertStore::FilePath(m_strSysPath));
            m_vecSystemAlert = list;
            systemSwitches = switches;
            systemList = list;
        }
        if (settings.bMagicCommitted) {
            m_nMagicAlertCount = settings.magicCount;
            m_vecMagicAlert = settings.magicList;
        }
        if (settings.bPriceCommitted) {
            m_nPriceAlertCount = settings.priceCount;
            m_vecPriceAlert = settings.priceList;
        }
        if (settings.bOptionsCommitted)
            m_otherAlert = settings.options;
        unsaved = result.unsavedFiles;
        taken = true;
        return result;
    });
    if (m_services.pWindowing->RunSettingsSheet(binding, intake) != VelkMsgBox::kIdOk)
        return;
    // A sheet that confirmed without handing its value over still commits it.
    if (!taken && !intake.TakeSettings(binding).bTaken)
        return;

    // The settings apply for this run whether or not they reached their files; the user hears
    // of every file that still holds the old ones, in one warning.
    std::vector<std::string> conditionFiles = WriteConditionFiles();
    unsaved.insert(unsaved.begin(), conditionFiles.begin(), conditionFiles.end());
    WarnUnsavedFiles(unsaved);
    m_systemSwitch = systemSwitches;
    if (m_systemSwitch.m_nRange == 1)
        GetSSVStock();
    else if (m_systemSwitch.m_nRange == 2)
        m_vecSystemAlert = std::move(systemList);
    RebuildSystemAlertMap();
    StartRegistrationWorker();
}
