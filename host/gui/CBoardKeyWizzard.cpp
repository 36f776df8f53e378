#include "host/gui/CBoardKeyWizzard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQCommon.h"
#include "hostapi/KQDaApi.h"
#include "hostlibs/MarketKeyTable.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"

namespace {

std::uint32_t PickMessage()
{
    return static_cast<std::uint32_t>(VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL"));
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
    setWindowTitle(QCoreApplication::translate("CBoardKeyWizzard", "键盘精灵"));
    return true;
}

void CBoardKeyWizzard::BuildKeyTable()
{
    VelkFillMarketKeyTable(m_keyTable, KQ_hGetWindowHandle(m_pBoard.data()), PickMessage());
    AddKeyTableReg(&m_keyTable);
    m_bBuilt = true;
}

void CBoardKeyWizzard::RebuildCandidates()
{
    if (!m_bBuilt)
        return;
    // The table is registered already: registering it again re-reads its entries.
    BuildKeyTable();
    if (isVisible())
        OnChangeEdit();
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
