#include "ui/CSystemAlertDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "engine/CSystemAlertStore.h"
#include "engine/VelkServices.h"
#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "res/VelkStringTable.h"
#include "ui/CAlertListDlg.h"
#include "ui/CSelectStockDlg.h"
#include "ui/VelkListLook.h"
#include "ui/VelkUserGroups.h"
#include "ui_IDD_SYSTEMALERT_12004.h"

namespace {

constexpr int kRangeAllShares = 12000;
constexpr int kRangeSelfSelected = 12001;
constexpr int kRangeSelfSet = 12002;
constexpr int kAdd = 1090;
constexpr int kDelete = 1088;
constexpr int kClear = 1087;
constexpr int kDefault = 1107;
constexpr int kImageWidth = 16;

// 299 x 155 dialog units.
const QSize kTemplateSize(449, 233);

int ShortcutCommand(int key)
{
    switch (key) {
    case Qt::Key_A:
        return kAdd;
    case Qt::Key_C:
        return kClear;
    case Qt::Key_D:
        return kDelete;
    default:
        return 0;
    }
}

} // namespace

VELK_IMPLEMENT_DYNCREATE(CSystemAlertDlg)

CSystemAlertDlg::CSystemAlertDlg() : CVelkPropertyPage(IDD, "系统预警", kTemplateSize) {}

CSystemAlertDlg::~CSystemAlertDlg() = default;

void CSystemAlertDlg::BindSettings(CSettingsBinding& binding)
{
    CString path = binding.strSysPath;
    SetSystemPath(path);
    SetAlertList(&binding.systemList);
    // Until the file is read the page shows the switches in force, not its defaults.
    m_switches = binding.systemSwitches;
    m_pSettings = &binding;
    SetCommitMark(&binding.bSystemCommitted);
}

void CSystemAlertDlg::SetSystemPath(CString& path)
{
    m_strSysPath = path;
}

void CSystemAlertDlg::SetAlertList(const std::vector<Ta_VELKPRICEALERT>* list)
{
    m_mapCode.clear();
    if (!list)
        return;
    const std::size_t from = m_vecStock.size();
    m_vecStock.insert(m_vecStock.end(), list->begin(), list->end());
    CSystemAlertStore::AddCodes(m_vecStock, from, m_mapCode);
}

int CSystemAlertDlg::LoadSystemAlert()
{
    if (!CSystemAlertStore::ReadFile(m_strSysPath, m_switches, m_vecStock, &m_strFileBase))
        return 0;
    m_bFileRead = true;
    CSystemAlertStore::AddCodes(m_vecStock, 0, m_mapCode);
    return 1;
}

void CSystemAlertDlg::CreateControls()
{
    m_pForm = std::make_unique<Ui::CSystemAlertDlgForm>();
    m_pForm->setupUi(this);
    m_listStock = m_pForm->m_listStock;
    m_btnDelete = m_pForm->m_btnDelete;
    m_btnClear = m_pForm->m_btnClear;
    m_btnAdd = m_pForm->m_btnAdd;
    m_btnDefault = m_pForm->m_btnDefault;

    // The radio group's index is the monitor range.
    m_pRangeGroup = new QButtonGroup(this);
    m_pRangeGroup->addButton(m_pForm->m_radioAllShares, 0);
    m_pRangeGroup->addButton(m_pForm->m_radioSelfSelected, 1);
    m_pRangeGroup->addButton(m_pForm->m_radioSelfSet, 2);

    OnCommand(kRangeAllShares, [this] { OnRadioAllShares(); });
    OnCommand(kRangeSelfSelected, [this] { OnRadioSelfSelected(); });
    OnCommand(kRangeSelfSet, [this] { OnRadioSelfSet(); });
    OnCommand(kAdd, [this] { OnAdd(); });
    OnCommand(kDelete, [this] { OnDelete(); });
    OnCommand(kClear, [this] { OnClear(); });
    OnCommand(kDefault, [this] { OnDefault(); });
}

bool CSystemAlertDlg::OnInitDialog()
{
    CVelkPropertyPage::OnInitDialog();
    InitListCtrl();
    LoadSystemAlert();
    m_bNewHigh = m_switches.m_byNewHigh;
    m_bNewLow = m_switches.m_byNewLow;
    m_bLimit = m_switches.m_byLimit;
    m_nRange = m_switches.m_nRange;
    UpdateData(false);
    // Under any other range the list stays empty on screen; the stocks are kept all the same.
    if (m_nRange == 2)
        FillList();
    UpdateControls();
    return true;
}

void CSystemAlertDlg::InitListCtrl()
{
    m_imageList = VelkListImages(CAlertListDlg::LoadImageStrip(), kImageWidth);
    m_listStock->setIconSize(QSize(kImageWidth, kImageWidth));
    // List mode: names run down a column and on into the next (uic cannot set this one).
    m_listStock->setWrapping(true);
    VelkKeepSelectionVisible(*m_listStock);
}

void CSystemAlertDlg::DoDataExchange(bool bSaveAndValidate)
{
    QCheckBox* newHigh = m_pForm->m_checkNewHigh;
    QCheckBox* newLow = m_pForm->m_checkNewLow;
    QCheckBox* limit = m_pForm->m_checkLimit;
    if (bSaveAndValidate) {
        // A range the page does not know (a damaged file) checks no button; it is kept as it
        // was rather than turned into "none".
        const int checked = m_pRangeGroup->checkedId();
        if (checked >= 0)
            m_nRange = checked;
        m_bNewHigh = newHigh->isChecked() ? 1 : 0;
        m_bNewLow = newLow->isChecked() ? 1 : 0;
        m_bLimit = limit->isChecked() ? 1 : 0;
        return;
    }
    if (QAbstractButton* button = m_pRangeGroup->button(m_nRange)) {
        button->setChecked(true);
    } else {
        m_pRangeGroup->setExclusive(false);
        for (QAbstractButton* b : m_pRangeGroup->buttons())
            b->setChecked(false);
        m_pRangeGroup->setExclusive(true);
    }
    newHigh->setChecked(m_bNewHigh != 0);
    newLow->setChecked(m_bNewLow != 0);
    limit->setChecked(m_bLimit != 0);
}

void CSystemAlertDlg::FillList()
{
    m_listStock->clear();
    m_mapCode.clear();
    const QIcon icon = m_imageList.empty() ? QIcon() : m_imageList.front();
    for (std::size_t i = 0; i < m_vecStock.size(); ++i) {
        const Ta_VELKPRICEALERT& record = m_vecStock[i];
        m_listStock->insertItem(
            static_cast<int>(i),
            new QListWidgetItem(icon, VelkFromGbk(VelkFieldText(record.m_szName))));
        m_mapCode[VelkFieldText(record.m_szCode)] = static_cast<int>(i);
    }
    if (m_listStock->count() > 0) {
        QListWidgetItem* last = m_listStock->item(m_listStock->count() - 1);
        m_listStock->scrollToItem(last);
        // Single selection: the last item becomes the only one selected.
        m_listStock->setCurrentItem(last);
    }
    // The list may only now be enabled, and a disabled list takes no focus.
    UpdateControls();
    m_listStock->setFocus();
}

void CSystemAlertDlg::UpdateControls()
{
    UpdateData(true);
    const bool selfSet = m_nRange == 2;
    const bool hasItems = m_listStock->count() > 0;
    m_btnDelete->setEnabled(hasItems && selfSet);
    m_btnClear->setEnabled(hasItems && selfSet);
    m_btnAdd->setEnabled(selfSet);
    m_listStock->setEnabled(selfSet);
}

void CSystemAlertDlg::OnRadioAllShares()
{
    UpdateControls();
}

void CSystemAlertDlg::OnRadioSelfSelected()
{
    m_listStock->clear();
    UpdateControls();
}

void CSystemAlertDlg::OnRadioSelfSet()
{
    FillList();
    UpdateControls();
}

bool CSystemAlertDlg::AppendStock(unsigned char market, const std::string& code,
                                  const std::string& name, int& n)
{
    Ta_VELKPRICEALERT record{};
    record.m_byMarket = market;
    VelkCopyText(record.m_szCode, code);
    VelkCopyText(record.m_szName, TextCodec::CutGbk(name, sizeof record.m_szName - 1));
    // Membership goes by the code as it is stored, whatever the market.
    const std::string storedCode = VelkFieldText(record.m_szCode);
    if (storedCode.empty() || m_mapCode.count(storedCode))
        return false;
    const QIcon icon = m_imageList.empty() ? QIcon() : m_imageList.front();
    m_listStock->insertItem(n,
                            new QListWidgetItem(icon, VelkFromGbk(VelkFieldText(record.m_szName))));
    m_vecStock.push_back(record);
    m_mapCode[storedCode] = n;
    ++n;
    return true;
}

void CSystemAlertDlg::OnAdd()
{
    CSelectStockDlg dlg(nullptr);
    dlg.m_nMode = 1;
    int n = m_listStock->count();
    const int result = dlg.DoModal();
    // The release of a shortcut's letter went to the stock dialog, not through this page.
    VelkShortcutLatch() = 1;
    if (result != VelkMsgBox::kIdOk)
        return;

    if (!dlg.m_strCode.empty() && !dlg.m_strName.empty()) {
        Ta_VELKPRICEALERT probe{};
        VelkCopyText(probe.m_szCode, dlg.m_strCode);
        if (m_mapCode.count(VelkFieldText(probe.m_szCode))) {
            VelkMessageBoxService().Show(VelkLoadString(VelkString::kAlreadyListed),
                                         TextCodec::Utf8ToGbk("警告"),
                                         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
            return;
        }
        AppendStock(dlg.m_byMarket, dlg.m_strCode, dlg.m_strName, n);
    }

    if (!dlg.m_strGroup.empty()) {
        // Members already listed are passed over without a word.
        for (const CGroupMember& member : VelkUserGroupMembers(dlg.m_strGroup))
            AppendStock(member.m_byMarket, member.m_strCode, member.m_strName, n);
    }
    UpdateControls();
}

void CSystemAlertDlg::OnDelete()
{
    const QList<QListWidgetItem*> selected = m_listStock->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = m_listStock->row(selected.front());
    if (row < 0 || static_cast<std::size_t>(row) >= m_vecStock.size())
        return;
    m_mapCode.erase(VelkFieldText(m_vecStock[static_cast<std::size_t>(row)].m_szCode));
    m_vecStock.erase(m_vecStock.begin() + row);
    delete m_listStock->takeItem(row);
    FillList();
    UpdateControls();
}

void CSystemAlertDlg::OnClear()
{
    // Clearing is one keystroke away (Ctrl+C is a copy key by habit): the user says so first.
    if (!m_vecStock.empty() &&
        VelkMessageBoxService().Show(TextCodec::Utf8ToGbk("确定要清空系统预警的全部股票吗?"),
                                     TextCodec::Utf8ToGbk("警告"),
                                     VelkMsgBox::kYesNo | VelkMsgBox::kIconExclamation |
                                         VelkMsgBox::kDefaultSecond) != VelkMsgBox::kIdYes)
        return;
    m_listStock->clear();
    m_vecStock.clear();
    m_mapCode.clear();
    UpdateControls();
}

void CSystemAlertDlg::OnDefault()
{
    m_bLimit = 1;
    m_bNewHigh = 0;
    m_bNewLow = 0;
    UpdateData(false);
}

void CSystemAlertDlg::Commit()
{
    UpdateData(true);
    m_switches.m_byNewHigh = m_bNewHigh != 0 ? 1 : 0;
    m_switches.m_byNewLow = m_bNewLow != 0 ? 1 : 0;
    m_switches.m_byLimit = m_bLimit != 0 ? 1 : 0;
    m_switches.m_nRange = m_nRange;
    // The map follows the list as committed (a repeated code keeps its first row).
    m_mapCode.clear();
    CSystemAlertStore::AddCodes(m_vecStock, 0, m_mapCode);
    // Committed whatever the range: the self-set stocks are kept for when it returns.
    if (m_pSettings) {
        m_pSettings->systemSwitches = m_switches;
        m_pSettings->systemList = m_vecStock;
        m_pSettings->systemFileBase = m_strFileBase;
        m_pSettings->bSystemFileRead = m_bFileRead;
    }
}

void CSystemAlertDlg::OnOK()
{
    Commit();
    CVelkPropertyPage::OnOK();
}

bool CSystemAlertDlg::OnApply()
{
    Commit();
    return CVelkPropertyPage::OnApply();
}

bool CSystemAlertDlg::PreTranslateMessage(QKeyEvent* pKey)
{
    m_bKeyAnswered = false;
    if (VelkShortcutFires(*pKey, {Qt::Key_A, Qt::Key_C, Qt::Key_D})) {
        m_bKeyAnswered = true;
        if (m_btnAdd->isEnabled())
            PostCommand(ShortcutCommand(pKey->key()));
    }
    return CVelkPropertyPage::PreTranslateMessage(pKey);
}

void CSystemAlertDlg::keyPressEvent(QKeyEvent* pEvent)
{
    const bool answered = m_bKeyAnswered;
    m_bKeyAnswered = false;
    // Qt hands a key that a control ignores on to its parent; only keys meant for the page
    // window itself count here. A key the latch answered, or a held key repeating, is not
    // answered again.
    if (QApplication::focusWidget() == this && !answered && !pEvent->isAutoRepeat() &&
        (pEvent->modifiers() & Qt::ControlModifier)) {
        const int command = ShortcutCommand(pEvent->key());
        QPushButton* button = command == kAdd     ? m_btnAdd
                              : command == kClear ? m_btnClear
                                                  : m_btnDelete;
        if (command != 0 && button->isEnabled())
            PostCommand(command);
    }
    CVelkPropertyPage::keyPressEvent(pEvent);
}
