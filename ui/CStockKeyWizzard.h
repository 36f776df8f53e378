#pragma once

#include <QPointer>
#include <cstdint>

#include "hostapi/KQDialog.h"

class QDialog;

// The module's keyboard wizard: every symbol of every market the account can see as
// candidates, and the pick posted to the owning dialog as "KQMSG_INPUTCHANGESMYOL".
class CStockKeyWizzard : public CKeyWizzard {
public:
    explicit CStockKeyWizzard(QWidget* pParentWindow);
    ~CStockKeyWizzard() override;

    // Places the wizard at the owner's bottom-left corner and creates its window; 1 on success.
    int Attach(QDialog* pOwnerDlg);

    bool OnInitDialog() override;
    bool OnSelectCode(std::uint32_t nMsg, const char* pszCode) override;
    void OnInputCheck() override;
    void OnWizardEvent() override;

    // The stock's name from the quote service; name is left alone when there is none.
    static void GetStockName(unsigned char byMarket, const CString& strCode, CString& strName);

    const TaKeyRegisterTable& KeyTable() const { return m_keyTable; }

private:
    void BuildKeyTable();

    QWidget* m_pParentWindow = nullptr;
    QPointer<QDialog> m_pOwnerDlg;
    TaKeyRegisterTable m_keyTable{};
};
