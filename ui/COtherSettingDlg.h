#pragma once

#include <memory>
#include <string>

#include "engine/VelkRecords.h"
#include "ui/CVelkPropertyPage.h"

class QLineEdit;
class QPushButton;
namespace Ui {
class COtherSettingDlgForm;
}

// "其他设置": how an alert sounds (no sound, the system speaker or a wave file, which can be
// browsed for and played as a test) and whether the alert list pops up. The page edits its own
// copy of the engine's options and writes them back when the sheet is confirmed.
class COtherSettingDlg : public CVelkPropertyPage {
public:
    static constexpr int IDD = 12003;

    COtherSettingDlg();
    ~COtherSettingDlg() override;

    void BindSettings(CSettingsBinding& binding) override;
    // Takes a copy of the options and keeps their address for the commit; null keeps the
    // defaults and commits into the page's copy only.
    void AttachOption(Ta_OTHERALERT* pOption);
    // The sound mode, wave path and pop-up switch into the page's copy and the attached record.
    void Commit();

    void OnOK() override;

    QPushButton* m_btnTest = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QLineEdit* m_editPath = nullptr;
    int m_nSound = -1;     // 0 none, 1 speaker, 2 wave file, -1 no button set
    std::string m_strPath; // GBK
    int m_bPopup = 0;
    Ta_OTHERALERT m_option{};
    Ta_OTHERALERT* m_pOption = nullptr;

protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    // Shows the members in the controls, or reads the controls into the members.
    void DoDataExchange(bool bSaveAndValidate);
    void UpdateData(bool bSaveAndValidate) { DoDataExchange(bSaveAndValidate); }

private:
    void OnSoundMode(int nMode);
    void OnBrowse();
    void OnTest();
    void UpdateControls();

    std::unique_ptr<Ui::COtherSettingDlgForm> m_pForm;
};
