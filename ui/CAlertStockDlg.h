#pragma once

#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/VelkRecords.h"
#include "ui/CVelkPropertyPage.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
namespace Ui {
class CAlertStockDlgForm;
}

// The settings page "指定股票": the stocks with an upper and a lower limit price. It edits a
// copy of the engine's price-alert list and writes it back only when the sheet is confirmed.
// Row i of the list always shows record i of the copy.
class CAlertStockDlg final : public CVelkPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 178;

    CAlertStockDlg();
    ~CAlertStockDlg() override;

    void BindSettings(CSettingsBinding& binding) override;
    // Takes a copy of the list (in the sheet, the sheet's copy of the engine's) and keeps both
    // addresses; nothing is written through them before Commit. Either may be null (the page
    // then starts empty and commits nothing).
    void AttachList(std::vector<Ta_VELKPRICEALERT>* pList, std::int32_t* pCount);
    // Writes the count and then the list back through the kept addresses; returns the row count.
    int Commit();

    void OnOK() override;

    void OnAdd();
    void OnModify();
    void OnDelete();
    void OnClearList();

    QTreeWidget* ListControl() const { return m_listStock; }
    const std::vector<Ta_VELKPRICEALERT>& Records() const { return m_vecStock; }

protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange();

private:
    void Refill();
    void UpdateButtons();
    // Fills a row from its record: code (with the list's first image), name, upper, lower.
    void ShowRecord(QTreeWidgetItem* pRow, const Ta_VELKPRICEALERT& record) const;
    // The lowest selected row, or -1.
    int FirstSelectedRow() const;

    std::vector<Ta_VELKPRICEALERT> m_vecStock;
    std::unordered_map<std::string, std::int32_t> m_mapCode;
    std::int32_t m_nCount = 0;
    std::vector<Ta_VELKPRICEALERT>* m_pEngineList = nullptr;
    std::int32_t* m_pEngineCount = nullptr;
    std::vector<QIcon> m_imageList; // the 16-pixel images of bitmap 134
    QPushButton* m_btnModify = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnClear = nullptr;
    QPushButton* m_btnAdd = nullptr;
    QTreeWidget* m_listStock = nullptr;

    std::unique_ptr<Ui::CAlertStockDlgForm> m_pForm;
};
