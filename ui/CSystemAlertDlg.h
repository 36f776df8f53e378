#pragma once

#include <QIcon>
#include <memory>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/VelkRecords.h"
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
// the switches, read from System_alert.cfg when its window opens; its OK commits both into the
// sheet's value, and the engine, taking that value, rewrites the file and applies the list.
class CSystemAlertDlg final : public CVelkPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 12004;

    CSystemAlertDlg();
    ~CSystemAlertDlg() override;

    void BindSettings(CSettingsBinding& binding) override;

    void SetSystemPath(CString& path);
    // Copies the list the page starts from; the page never writes through it.
    void SetAlertList(const std::vector<Ta_VELKPRICEALERT>* list);
    // Reads System_alert.cfg into the page's switches and list; 0 (nothing changed) when the
    // file cannot be read.
    int LoadSystemAlert();

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
    Ta_SYSTEMSWITCH m_switches{0, 0, 1, 2};
    std::vector<Ta_VELKPRICEALERT> m_vecStock;
    CKeyIndexMap m_mapCode = CKeyIndexMap(17);
    std::vector<QIcon> m_imageList;
    CString m_strSysPath;

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
    // The sheet's value the page commits into; not owned.
    CSettingsBinding* m_pSettings = nullptr;
    // The file's bytes as the page read them, handed on so the rewrite joins later changes.
    std::string m_strFileBase;
    bool m_bFileRead = false;
    // Whether the shortcut latch answered the key event now being delivered, so that the page's
    // own key handler does not answer it a second time.
    bool m_bKeyAnswered = false;
};
