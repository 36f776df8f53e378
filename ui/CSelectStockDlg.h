#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "engine/VelkRecords.h"

class CStockKeyWizzard;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
struct Ta_SELECTSTOCK;
namespace Ui {
class CSelectStockDlgForm;
}

// "选择股票": the user names one stock, with its upper and lower limit prices, or (in group mode)
// one of his self-selected groups. The code is never typed here: a key in the code box opens the
// keyboard wizard, and the pick comes back as "KQMSG_INPUTCHANGESMYOL". Callers set the public
// members, run DoModal and read the members back on OK.
class CSelectStockDlg : public QDialog {
public:
    static constexpr int IDD = 180;

    explicit CSelectStockDlg(QWidget* pParent = nullptr);
    ~CSelectStockDlg() override;

    // 1 for OK, 2 for Cancel.
    int DoModal();
    // The control with the given id of the dialog template, or null.
    QWidget* Control(int controlId) const;

    QComboBox* m_comboGroup = nullptr;
    QLabel* m_staticGroup = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnOK = nullptr;
    float m_fLower = 0;
    float m_fUpper = 0;
    std::string m_strCode;
    std::string m_strName;
    std::string m_strPreClose;
    CStockKeyWizzard* m_pWizard = nullptr;
    std::string m_strGroup;
    Ta_VELKPRICEALERT* m_pRecord = nullptr;
    unsigned char m_byMarket = 0;
    int m_bCodeEditable = 1;
    int m_nMode = 0;

protected:
    virtual bool OnInitDialog();
    // Shows the members in the controls, or reads and validates them; false when a value was
    // refused (its box is focused and the message shown).
    virtual bool DoDataExchange(bool bSaveAndValidate);
    virtual void OnOK();
    virtual void OnCancel();
    // Opens the wizard and hands it the key.
    void OnKeyDown(const QKeyEvent& key);

    bool UpdateData(bool bSaveAndValidate) { return DoDataExchange(bSaveAndValidate); }
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void accept() override;
    void reject() override;
    void done(int nResult) override;

private:
    void OnStockChosen(const Ta_SELECTSTOCK* pRecord);
    void PlaceGroupControls();
    void FillGroups();
    QLineEdit* Edit(int controlId) const;
    QLabel* Label(int controlId) const;

    std::unique_ptr<Ui::CSelectStockDlgForm> m_pForm;
    bool m_bInitialised = false;
};
