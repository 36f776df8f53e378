#include "ui/CStockKeyWizzard.h"

#include <QCoreApplication>
#include <QDialog>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQCommon.h"
#include "hostapi/KQDaApi.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#include "platform/qt/ResourceSwitch.h"
#include "ui/CSelectStockEvent.h"

namespace {

int InputChangeMessage()
{
    return VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL");
}

// Copies at most size - 1 bytes and terminates: a cut may split a double-byte character, which
// the list's display drops rather than shows as a stray byte.
void CopyCut(char* field, std::size_t size, const CString& text)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
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
    std::vector<CString> codes;
    std::vector<CString> names;
    std::vector<unsigned char> markets;
    if (DA_bGetAllServiceID(markets)) {
        for (unsigned char market : markets) {
            CString ext;
            BK_bGetServiceExName(ext, market);
            std::vector<CString> marketCodes;
            std::vector<CString> marketNames;
            BK_bGetSymbolID(marketCodes, marketNames, market, CString(), CString(), nullptr);
            for (std::size_t j = 0; j < marketCodes.size(); ++j) {
                codes.push_back(marketCodes[j] + "." + ext);
                // A service that hands back fewer names than codes leaves the rest unnamed.
                names.push_back(j < marketNames.size() ? marketNames[j] : CString());
            }
        }
    }

    KQ_FreeKeyItems(m_keyTable.pItems);
    m_keyTable = TaKeyRegisterTable{};
    m_keyTable.nFlag = 1;
    m_keyTable.hNotifyWnd = KQ_hGetWindowHandle(m_pOwnerDlg.data());
    m_keyTable.nMsg = static_cast<std::uint32_t>(InputChangeMessage());
    m_keyTable.nCount = 0;
    m_keyTable.nCapacity = static_cast<std::uint32_t>(codes.size());
    if (m_keyTable.nCapacity > 0) {
        m_keyTable.pItems = KQ_hAllocKeyItems(m_keyTable.nCapacity);
        if (m_keyTable.pItems == 0)
            m_keyTable.nCapacity = 0;
    }
    TaKeyRegisterItem* items = KQ_pGetKeyItems(m_keyTable.pItems);
    for (std::size_t i = 0; items && i < codes.size() && m_keyTable.nCount < m_keyTable.nCapacity;
         ++i) {
        TaKeyRegisterItem& item = items[m_keyTable.nCount];
        CopyCut(item.szCode, sizeof item.szCode, codes[i]);
        CopyCut(item.szName, sizeof item.szName, names[i]);
        item.dwData1 = 0;
        item.dwData2 = 0;
        ++m_keyTable.nCount;
    }
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
