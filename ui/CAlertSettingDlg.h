#pragma once

#include <memory>

#include "engine/VelkRecords.h"
#include "ui/CVelkPropertyPage.h"

namespace Ui {
class CAlertSettingDlgForm;
}

// The alert ratio settings page: the pop-up, sound, new-high, new-low and limit-price switches
// and six ratio thresholds, each ratio with its own check box. It is created by class name and
// is no tab of the settings sheet. It opens with every switch cleared and every value 0 and
// writes the whole record through m_pSetting when it is committed; without m_pSetting it
// writes nothing. Its creators aim m_pSetting at a copy of their own and hand the committed
// value on, never at the engine's record.
class CAlertSettingDlg : public CVelkPropertyPage {
public:
    static constexpr int IDD = 177;

    CAlertSettingDlg();
    ~CAlertSettingDlg() override;

    // Takes the switches and values of a stored record, so that the page opens showing it and
    // an OK without a change writes the record back unchanged. A ratio that is off (below 0)
    // shows 0 with its box cleared.
    void FillFrom(const Ta_ALERTSETTING& setting);
    // Reads the controls (a refused value is still taken as far as the exchange got) and
    // writes the record.
    void Commit();
    void OnOK() override;
    // Reads the controls; false at the first refused value, which then has the focus.
    bool OnKillActive() override;

    Ta_ALERTSETTING* m_pSetting = nullptr;
    int m_bFall = 0;          // 1096
    int m_bVolumeRatio = 0;   // 1098
    int m_bLimitPrice = 0;    // 1094
    int m_bNewHigh = 0;       // 1092
    int m_bNewLow = 0;        // 1093
    int m_bLargeAmount = 0;   // 1099
    int m_bSingle = 0;        // 1097
    int m_bLargeVolume = 0;   // 1100
    int m_bRise = 0;          // 1095
    int m_bSound = 0;         // 1112
    int m_bPopup = 0;         // 1091
    float m_fFall = 0;        // 1102
    float m_fVolumeRatio = 0; // 1104
    float m_fLargeAmount = 0; // 1105
    float m_fSingle = 0;      // 1103
    float m_fLargeVolume = 0; // 1106
    float m_fRise = 0;        // 1101

protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    // Shows the members in the controls, or reads them back in member order; false at the
    // first value refused (the members after it keep their values).
    bool DoDataExchange(bool bSaveAndValidate);
    bool UpdateData(bool bSaveAndValidate) { return DoDataExchange(bSaveAndValidate); }

private:
    void OnRatioCheck(int nCheckId);
    void OnDefaults();

    std::unique_ptr<Ui::CAlertSettingDlgForm> m_pForm;
};
