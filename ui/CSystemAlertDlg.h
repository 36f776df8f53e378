#pragma once

#include <QIcon>
#include <memory>
#include <vector>

#include "engine/CSystemAlertStore.h"
#include "ui/CVelkPropertyPage.h"

class QButtonGroup;
class QCheckBox;
class QListWidget;
class QPushButton;
namespace Ui {
class CSystemAlertDlgForm;
}

// "系统预警", the first page of the settings sheet: the three system alert switches, the
// monitor range and the self-set monitored stocks. The page edits its own copy of the list and
// the switches; its OK rewrites System_alert.cfg, puts the list into the engine and hands both
// to the engine's windowless store, whose switches and list the engine takes after the sheet.
class CSystemAlertDlg final : public CVelkPropertyPage, public CSystemAlertStore {
    Q_OBJECT
public:
    static constexpr int IDD = 12004;

    CSystemAlertDlg();
    ~CSystemAlertDlg() override;

    void BindSettings(CSettingsBinding& binding) override;

    void InitListCtrl();
    void FillList();
    void UpdateControls();

    bool OnApply() override;
    void OnOK() override;

    QListWidget* m_listStock = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnClear = nullptr;
    QPushButton* m_btnAdd = nullptr;
    QPushButton* m_btnDefault = nullptr;
    int m_nRange = 0;
    int m_bNewHigh = 0;
    int m_bNewLow = 0;
    int m_bLimit = 0;
    std::vector<QIcon> m_imageList;

protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    bool PreTranslateMessage(QKeyEvent* pKey) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

    // Shows the members in the controls, or reads them back.
    void DoDataExchange(bool bSaveAndValidate);
    void UpdateData(bool bSaveAndValidate) { DoDataExchange(bSaveAndValidate); }

    void OnRadioAllShares();
    void OnRadioSelfSelected();
    void OnRadioSelfSet();
    void OnAdd();
    void OnDelete();
    void OnClear();
    void OnDefault();

private:
    void Commit();
    // Appends one stock to the list and the page's copy; false when its code is listed already.
    bool AppendStock(unsigned char market, const std::string& code, const std::string& name,
                     int& n);

    std::unique_ptr<Ui::CSystemAlertDlgForm> m_pForm;
    QButtonGroup* m_pRangeGroup = nullptr;
    // The engine's windowless store, which the engine reads after the sheet; not owned.
    CSystemAlertStore* m_pSheetStore = nullptr;
    // Whether the shortcut latch answered the key event now being delivered, so that the page's
    // own key handler does not answer it a second time.
    bool m_bKeyAnswered = false;
};
