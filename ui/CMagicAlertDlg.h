#pragma once

#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/VelkRecords.h"
#include "ui/CVelkPropertyPage.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;
namespace Ui {
class CMagicAlertDlgForm;
}

// "vira", the settings sheet's magic watch page: the stocks watched for magic signals and, for
// the selected stocks, which signals are watched. It edits a copy of the engine's magic-watch
// list and writes it back on OK. Signal-list entry i is switch i of a stock's record; a record
// has 18 switches, so entries past the 18th have none and stay greyed out.
class CMagicAlertDlg final : public CVelkPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 12005;

    CMagicAlertDlg();
    ~CMagicAlertDlg() override;

    void BindSettings(CSettingsBinding& binding) override;
    // The list and count the page edits and commits into (in the sheet, the sheet's copies of
    // the engine's). The page takes the whole list: the list is what Magic.cfg keeps and the
    // monitor reads, the count follows it at the commit.
    void AttachList(std::vector<Ta_VELKPRICEALERT>* pList, int* pCount);

    bool OnApply() override;
    void OnOK() override;

    const std::vector<Ta_VELKPRICEALERT>& GetStocks() const { return m_vecStock; }
    int GetStockCount() const { return m_nStockCount; }

protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    bool PreTranslateMessage(QKeyEvent* pKey) override;

private:
    void RefreshStockList();
    void ShowSelectionSwitches();
    void OnClickStockList();
    void OnSelchangeSignalList();
    void OnInvert();
    void OnAdd();
    void OnDelete();
    void Commit();

    // Appends one stock with every signal switched on; false (nothing added) when its key is
    // on the page already.
    bool AddStock(unsigned char level1Market, const std::string& code, const std::string& name);
    // The combined switches of the selected stocks: a signal counts as on only where it is on
    // for every selected stock. One value per signal-list entry.
    std::vector<int> SelectedSwitches() const;
    void WriteSwitchesToSelection(const std::vector<int>& switches);
    void SetCheckStates(const std::vector<int>& states);
    std::vector<int> CheckStates() const;
    // Signal-list entries that have a switch in the record.
    int SwitchedEntryCount() const;
    std::vector<int> SelectedRows() const;
    void UpdateDeleteButton();

    QPushButton* m_btnInvert = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnAdd = nullptr;
    QListWidget* m_listStock = nullptr;
    QListWidget* m_listSignal = nullptr;
    std::vector<Ta_VELKPRICEALERT> m_vecStock;
    CKeyIndexMap m_mapKey;
    QIcon m_imageList;
    std::int32_t m_nStockCount = 0;
    std::vector<Ta_VELKPRICEALERT>* m_pEngineList = nullptr;
    int* m_pEngineCount = nullptr;

    std::unique_ptr<Ui::CMagicAlertDlgForm> m_pForm;
    // Set while the page itself changes check states or the selection, so that only the
    // user's own changes reach the handlers.
    bool m_bUpdating = false;
};
