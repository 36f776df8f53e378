#include "ui/CStockKeyWizzard.h"

#include <QCoreApplication>
#include <QDialog>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQCommon.h"
#include "hostapi/KQDaApi.h"
#include "hostlibs/MarketKeyTable.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#include "platform/qt/ResourceSwitch.h"
#include "ui/CSelectStockEvent.h"

namespace {

int InputChangeMessage()
{
    return VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL");
}

constexpr std::size_t kCodeCut = 11;

} // namespace

CStockKeyWizzard::CStockKeyWizzard(QWidget* pParentWindow)
    : CKeyWizzard(pParentWindow), m_pParentWindow(pParentWindow)
{
}

CStockKeyWizzard::~CStockKeyWizzard()
{
    KQ_FreeKeyItems(m_keyTable.pItems);
}

int CStockKeyWizzard::Attach(QDialog* pOwnerDlg)
{
    m_pOwnerDlg = pOwnerDlg;
    if (pOwnerDlg) {
        const QRect r = pOwnerDlg->frameGeometry();
        SetPosLT(r.left(), r.top() + r.height(), 0);
    }
    const CResourceSwitch resources;
    return Create(m_pParentWindow) ? 1 : 0;
}

bool CStockKeyWizzard::OnInitDialog()
{
    CKeyWizzard::OnInitDialog();
    Init(s_KQGetSysPath(0).c_str());
    BuildKeyTable();
    setWindowTitle(VelkFromGbk(s_KQcszGetLangString("IDS_DIALOG-INPUT_TITLE")));
    setWindowTitle(VelkFromUtf8("键盘精灵"));
    return true;
}

void CStockKeyWizzard::BuildKeyTable()
{
    VelkFillMarketKeyTable(m_keyTable, KQ_hGetWindowHandle(m_pOwnerDlg.data()),
                           static_cast<std::uint32_t>(InputChangeMessage()));
    AddKeyTableReg(&m_keyTable);
}

bool CStockKeyWizzard::OnSelectCode(std::uint32_t nMsg, const char* pszCode)
{
    if (nMsg != static_cast<std::uint32_t>(InputChangeMessage()))
        return false;
    const CString text = pszCode ? CString(pszCode, strnlen(pszCode, kCodeCut)) : CString();
    const std::size_t dot = text.find('.');
    Ta_SELECTSTOCK record;
    record.m_strCode = text.substr(0, dot);
    const CString ext = dot == CString::npos ? CString() : text.substr(dot + 1);
    record.m_byMarket = BK_byGetServiceIDByExName(ext);
    if (QWidget* owner = KQ_pWindowFromHandle(m_keyTable.hNotifyWnd))
        QCoreApplication::postEvent(owner,
                                    new CSelectStockEvent(InputChangeMessage(), std::move(record)));
    return true;
}

void CStockKeyWizzard::OnInputCheck()
{
    if (!m_strInput.empty())
        OnChangeEdit();
    else
        hide();
}

void CStockKeyWizzard::OnWizardEvent() {}

void CStockKeyWizzard::GetStockName(unsigned char byMarket, const CString& strCode,
                                    CString& strName)
{
    std::vector<X1Format> values;
    BK_bGetItemDataByItemNo(byMarket, strCode, {1019}, values, false, nullptr);
    if (!values.empty())
        strName = static_cast<CString>(values[0]);
}
