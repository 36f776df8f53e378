#include "host/gui/CBoardKeyWizzard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQCommon.h"
#include "hostapi/KQDaApi.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"

namespace {

std::uint32_t PickMessage()
{
    return static_cast<std::uint32_t>(VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL"));
}

void CopyCut(char* field, std::size_t size, const CString& text)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

} // namespace

CBoardKeyWizzard::CBoardKeyWizzard(QWidget* pBoard, PickHandler onPick)
    : CKeyWizzard(pBoard), m_pBoard(pBoard), m_onPick(std::move(onPick))
{
}

CBoardKeyWizzard::~CBoardKeyWizzard()
{
    KQ_FreeKeyItems(m_keyTable.pItems);
}

bool CBoardKeyWizzard::OpensWizard(const QKeyEvent& key)
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key.text();
    return text.size() == 1 && text.at(0).unicode() < 0x80 && text.at(0).isLetterOrNumber();
}

void CBoardKeyWizzard::Open(const QKeyEvent& key)
{
    Create(nullptr);
    if (m_pBoard) {
        const QPoint corner = m_pBoard->mapToGlobal(QPoint(m_pBoard->width(), m_pBoard->height()));
        SetPosLT(corner.x() - width(), corner.y() - height(), 0);
    }
    show();
    raise();
    activateWindow();
    // At once, so that the keys typed next land after it.
    QKeyEvent handed(QEvent::KeyPress, key.key(), key.modifiers(), key.text());
    QCoreApplication::sendEvent(this, &handed);
}

bool CBoardKeyWizzard::OnInitDialog()
{
    CKeyWizzard::OnInitDialog();
    Init(s_KQGetSysPath(0).c_str());
    BuildKeyTable();
    setWindowTitle(VelkFromUtf8("键盘精灵"));
    return true;
}

void CBoardKeyWizzard::BuildKeyTable()
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
                names.push_back(j < marketNames.size() ? marketNames[j] : CString());
            }
        }
    }
    KQ_FreeKeyItems(m_keyTable.pItems);
    m_keyTable = TaKeyRegisterTable{};
    m_keyTable.nFlag = 1;
    m_keyTable.hNotifyWnd = KQ_hGetWindowHandle(m_pBoard.data());
    m_keyTable.nMsg = PickMessage();
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
        ++m_keyTable.nCount;
    }
    AddKeyTableReg(&m_keyTable);
}

bool CBoardKeyWizzard::OnSelectCode(std::uint32_t nMsg, const char* pszCode)
{
    if (nMsg != PickMessage() || !pszCode)
        return false;
    const CString text(pszCode, strnlen(pszCode, sizeof(TaKeyRegisterItem::szCode)));
    const std::size_t dot = text.find('.');
    const CString code = text.substr(0, dot);
    const unsigned char market =
        BK_byGetServiceIDByExName(dot == CString::npos ? CString() : text.substr(dot + 1));
    if (m_onPick)
        m_onPick(market, code);
    return true;
}
