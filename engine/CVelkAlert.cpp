#include "engine/CVelkAlert.h"

#include <cstdio>
#include <cstring>

#include "engine/CSystemAlertStore.h"
#include "engine/CWatchIndex.h"
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

    SetNeedRegs();
    ChangeRegistSymbol();
}

void CVelkAlert::SetNeedRegs() {}

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
