#pragma once

#include <memory>
#include <string>
#include <vector>

#include "VelkExport.h"
#include "VelkRecords.h"

// Local date and time of day, as the engine needs them (a value of the clock service, never
// stored in a file).
struct VelkLocalTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};
// The name host programs built against earlier headers used.
using Ta_LOCALTIME [[deprecated("use VelkLocalTime")]] = VelkLocalTime;

class VELK_EXPORT IVelkClock {
public:
    virtual ~IVelkClock() = default;
    virtual VelkLocalTime Now() const = 0;
};

class VELK_EXPORT IVelkSound {
public:
    virtual ~IVelkSound() = default;
    // The system speaker's beep.
    virtual void Beep(unsigned frequencyHz, unsigned durationMs) = 0;
    // Plays a wave file to its end before returning; a file that cannot be loaded plays a
    // short default sound. Returns false when nothing could be played.
    virtual bool PlayWaveFile(const std::string& pathGbk) = 0;
};

// Message box flags and answers, as the platform's message box knows them.
namespace VelkMsgBox {
constexpr unsigned kOk = 0x0;
constexpr unsigned kYesNo = 0x4;
constexpr unsigned kIconExclamation = 0x30;
constexpr unsigned kIconInformation = 0x40;
// The second button (No) is the default: Enter does not answer yes to a question that loses data.
constexpr unsigned kDefaultSecond = 0x100;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
} // namespace VelkMsgBox

class VELK_EXPORT IVelkMessageBox {
public:
    virtual ~IVelkMessageBox() = default;
    // Texts are GBK. Returns the button pressed (VelkMsgBox::kId...).
    virtual int Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags) = 0;
};

// The alert list window as the engine sees it. Destroying it writes the day's alert file.
class VELK_EXPORT IAlertWindow {
public:
    virtual ~IAlertWindow() = default;
    virtual void InsertAlertItem(const Ta_ALERTRECORD& record) = 0;
    virtual void FillAlertList() = 0;
    virtual void ClearAlertList() = 0;
    virtual void ShowNormal() = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;
};

// The settings sheet's data: copies of the engine's values, never addresses inside it. The
// pages start from these copies and, when the sheet is confirmed, each page whose tab was
// opened writes its part back here and marks it committed. The engine then takes the value
// through IVelkSettingsSink; it reads nothing of the pages themselves.
struct VELK_EXPORT CSettingsBinding {
    std::string strSysPath;
    Ta_SYSTEMSWITCH systemSwitches{0, 0, 1, 2};
    std::vector<Ta_VELKPRICEALERT> systemList;
    std::vector<Ta_VELKPRICEALERT> magicList;
    int magicCount = 0;
    std::vector<Ta_VELKPRICEALERT> priceList;
    int priceCount = 0;
    Ta_OTHERALERT options{};
    // System_alert.cfg as the system alert page read it, so that the engine's rewrite keeps
    // what another program stored since instead of overwriting it.
    std::string systemFileBase;
    bool bSystemFileRead = false;
    // Which parts a page committed; the engine leaves the others as they are.
    bool bSystemCommitted = false;
    bool bMagicCommitted = false;
    bool bPriceCommitted = false;
    bool bOptionsCommitted = false;
};

// The engine's answer to committed settings. A refused commit changes nothing in the engine;
// the reason (GBK) is for the user, and the sheet stays open.
struct VELK_EXPORT CSettingsResult {
    bool bTaken = true;
    std::string strReasonGbk;
    // Files the engine could not write although it took the settings; they apply for this run.
    std::vector<std::string> unsavedFiles;
};

// Where the confirmed settings sheet hands its value. Called on the user-interface thread
// while the sheet is still open, after every page with a window has committed.
class VELK_EXPORT IVelkSettingsSink {
public:
    virtual ~IVelkSettingsSink() = default;
    virtual CSettingsResult TakeSettings(const CSettingsBinding& settings) = 0;
};

// Where the alert setting page, run for a host, hands the ratio settings it committed. Called
// on the user-interface thread while the page is still open; a refusal keeps it open.
class VELK_EXPORT IVelkRatioSettingSink {
public:
    virtual ~IVelkRatioSettingSink() = default;
    virtual CSettingsResult TakeRatioSetting(const Ta_ALERTSETTING& setting) = 0;
};

// The alert setting page inside a host's own window: the page's own controls, filled from the
// record it was made on, with the page's own checks. The record itself is only read.
class VELK_EXPORT IAlertSettingPane {
public:
    virtual ~IAlertSettingPane() = default;
    // The page's widget (a QWidget in the Qt build) for the host's layout; the pane deletes it.
    virtual void* Widget() = 0;
    // Reads and checks the controls as the page does before it commits; false at the first
    // refused value, which the page has told and put the focus on. Otherwise draft holds the
    // record as the page would commit it.
    virtual bool Draft(Ta_ALERTSETTING& draft) = 0;
};

// The windows of the module, as the user interface registers them when the module loads.
class VELK_EXPORT IVelkWindowing {
public:
    virtual ~IVelkWindowing() = default;
    // Whether the calling thread's application has a main window to own the module's windows.
    virtual bool HasMainWindow() const = 0;
    // Creates the alert list window (resource switch, template, fill, centred on the owner).
    virtual std::unique_ptr<IAlertWindow>
    CreateAlertWindow(CAlertRecordList* alerts, std::vector<Ta_VELKPRICEALERT>* prices) = 0;
    virtual void BringMainWindowToFront() = 0;
    // Runs the settings sheet modally on the binding's copies; on OK the pages commit into the
    // binding and the sink takes it, and a refusal keeps the sheet open. Returns
    // VelkMsgBox::kIdOk when the sink took the settings and the sheet closed with OK.
    virtual int RunSettingsSheet(CSettingsBinding& binding, IVelkSettingsSink& sink) = 0;
    // The alert setting page for the host, opened on a copy of the stored ratio settings; on OK
    // the page commits into that copy and the sink takes it, and a refusal keeps the page open.
    // Returns VelkMsgBox::kIdOk when the sink took the value and the page closed with OK; a
    // build without the page offers nothing and answers Cancel.
    virtual bool HasAlertSettingPage() const { return false; }
    virtual int RunAlertSettingPage(const Ta_ALERTSETTING& stored, IVelkRatioSettingSink& sink)
    {
        (void)stored;
        (void)sink;
        return VelkMsgBox::kIdCancel;
    }
    // The same page for a host's window, showing the six ratios with their check boxes; null in
    // a build without the page.
    virtual std::unique_ptr<IAlertSettingPane> CreateAlertSettingPane(const Ta_ALERTSETTING& stored)
    {
        (void)stored;
        return nullptr;
    }
};

// Told of every alert at the moment the engine records it.
class VELK_EXPORT IVelkAlertObserver {
public:
    virtual ~IVelkAlertObserver() = default;
    virtual void OnAlertRecorded(const Ta_ALERTRECORD& record) = 0;
};

// The services an engine uses. Null members fall back to the defaults: no windows, a message
// box that only records, silence, the system clock.
struct VELK_EXPORT CVelkServices {
    IVelkWindowing* pWindowing = nullptr;
    IVelkMessageBox* pMessageBox = nullptr;
    IVelkSound* pSound = nullptr;
    const IVelkClock* pClock = nullptr;
};

// The user interface registers its services when the module loads and withdraws them at
// unload; an engine takes the registered ones when it is constructed without its own.
VELK_EXPORT void VelkRegisterServices(const CVelkServices& services);
VELK_EXPORT CVelkServices VelkRegisteredServices();

// The message box used when none is registered: it shows nothing, keeps the last box for
// whoever looks, and answers OK.
class VELK_EXPORT CRecordingMessageBox final : public IVelkMessageBox {
public:
    int Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags) override;
    int Count() const { return m_nCount; }
    const std::string& LastText() const { return m_strLastText; }
    const std::string& LastCaption() const { return m_strLastCaption; }
    unsigned LastFlags() const { return m_nLastFlags; }

private:
    int m_nCount = 0;
    std::string m_strLastText;
    std::string m_strLastCaption;
    unsigned m_nLastFlags = 0;
};

class VELK_EXPORT CSystemClock final : public IVelkClock {
public:
    VelkLocalTime Now() const override;
};
