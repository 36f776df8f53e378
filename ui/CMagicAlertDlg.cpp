#include "ui/CMagicAlertDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "engine/CMagicStatusTable.h"
#include "engine/VelkServices.h"
#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "res/VelkStringTable.h"
#include "ui/CAlertListDlg.h"
#include "ui/CSelectStockDlg.h"
#include "ui/VelkListLook.h"
#include "ui/VelkUserGroups.h"
#include "ui_IDD_MAGICALERT_12005.h"

namespace {

constexpr int kInvertButton = 12008;
constexpr int kAddButton = 12010;
constexpr int kDeleteButton = 12011;
constexpr int kSwitchCount =
    static_cast<int>(sizeof(Ta_VELKPRICEALERT::m_nMagic) / sizeof(std::int32_t));
constexpr int kImageWidth = 16;
// The catalogue number an entry of the signal list stands for, when the catalogue gave one.
constexpr int kSignalNumberRole = Qt::UserRole;

std::string Gbk(const char* utf8)
{
    return VelkToGbk(VelkFromUtf8(utf8));
}

std::string ApplicationCaption()
{
    return VelkToGbk(QGuiApplication::applicationDisplayName());
}

std::string KeyOf(const Ta_VELKPRICEALERT& record)
{
    return VelkHexKey(record.m_byMarket, VelkFieldText(record.m_szCode));
}

// Keeps a flag set for a scope and restores what it was.
class CFlagScope {
public:
    explicit CFlagScope(bool& flag) : m_flag(flag), m_previous(flag) { m_flag = true; }
    ~CFlagScope() { m_flag = m_previous; }
    CFlagScope(const CFlagScope&) = delete;
    CFlagScope& operator=(const CFlagScope&) = delete;

private:
    bool& m_flag;
    bool m_previous;
};

} // namespace

CMagicAlertDlg::CMagicAlertDlg() : CVelkPropertyPage(IDD, "vira", QSize(449, 233))
{
    VelkMagicStatusTable().Load();
}

CMagicAlertDlg::~CMagicAlertDlg()
{
    // Whatever the sheet's end, and whether or not the page was ever shown. A missing folder
    // of the host is no news to the user; states another program changed meanwhile are.
    CMagicStatusTable& table = VelkMagicStatusTable();
    if (table.Save())
        return;
    if (table.Conflict()) {
        VelkMessageBoxService().Show(Gbk("以下文件已被其他程序修改, 信号状态未保存:\n") +
                                         CMagicStatusTable::kFilePath,
                                     Gbk("警告"), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        return;
    }
    if (!VelkIsDirectory(
            std::filesystem::path(CMagicStatusTable::kFilePath).parent_path().string()))
        return;
    // The folder is there, so the states were meant to be kept: the user hears of it as of
    // the condition files that could not be saved.
    const std::string reason =
        VelkFileError().empty() ? std::string(CMagicStatusTable::kFilePath) : VelkFileError();
    VelkMessageBoxService().Show(Gbk("以下文件无法保存, 所做的修改只在本次运行中有效:\n") + reason,
                                 Gbk("警告"), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
}

void CMagicAlertDlg::BindSettings(CSettingsBinding& binding)
{
    AttachList(&binding.magicList, &binding.magicCount);
    SetCommitMark(&binding.bMagicCommitted);
}

void CMagicAlertDlg::AttachList(std::vector<Ta_VELKPRICEALERT>* pList, int* pCount)
{
    m_pEngineList = pList;
    m_pEngineCount = pCount;
    m_vecStock.clear();
    m_nStockCount = 0;
    if (!pList)
        return;
    // Magic.cfg is written from the list and the monitor reads the list, so the list is what
    // the page edits; a count lagging behind it (a record added through the host's pointer)
    // must not drop records at the commit.
    m_vecStock = *pList;
    m_nStockCount = static_cast<std::int32_t>(m_vecStock.size());
}

void CMagicAlertDlg::CreateControls()
{
    m_pForm = std::make_unique<Ui::CMagicAlertDlgForm>();
    m_pForm->setupUi(this);
    m_btnInvert = m_pForm->m_btnInvert;
    m_btnDelete = m_pForm->m_btnDelete;
    m_btnAdd = m_pForm->m_btnAdd;
    m_listStock = m_pForm->m_listStock;
    m_listSignal = m_pForm->m_listSignal;
}

bool CMagicAlertDlg::OnInitDialog()
{
    CVelkPropertyPage::OnInitDialog();

    std::vector<CString> numbers;
    std::vector<CString> names;
    if (BK_bGetMagicNo(numbers, names)) {
        const CFlagScope updating(m_bUpdating);
        for (std::size_t i = 0; i < names.size(); ++i) {
            auto* item = new QListWidgetItem(VelkFromGbk(names[i]), m_listSignal);
            if (static_cast<int>(i) < kSwitchCount) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            } else {
                item->setFlags(Qt::ItemIsSelectable);
            }
            item->setCheckState(Qt::Unchecked);
            if (i < numbers.size())
                item->setData(kSignalNumberRole, std::atoi(numbers[i].c_str()));
        }
    }

    const QPixmap strip = CAlertListDlg::LoadImageStrip();
    if (!strip.isNull())
        m_imageList = QIcon(strip.copy(0, 0, kImageWidth, strip.height()));
    // The selection stays visible while another control has the focus.
    VelkKeepSelectionVisible(*m_listStock);

    OnCommand(kAddButton, [this] { OnAdd(); });
    OnCommand(kDeleteButton, [this] { OnDelete(); });
    OnCommand(kInvertButton, [this] { OnInvert(); });
    // The boxes follow the selection however the user changes it, by mouse or by keyboard.
    connect(m_listStock, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_bUpdating)
            OnClickStockList();
    });
    connect(m_listSignal, &QListWidget::currentRowChanged, this, [this] {
        if (!m_bUpdating)
            OnSelchangeSignalList();
    });
    connect(m_listSignal, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_bUpdating)
            return;
        // A box ticked on another entry makes that entry the current one first.
        {
            const CFlagScope updating(m_bUpdating);
            m_listSignal->setCurrentItem(item);
        }
        OnSelchangeSignalList();
    });

    RefreshStockList();
    return true;
}

int CMagicAlertDlg::SwitchedEntryCount() const
{
    return std::min(m_listSignal->count(), kSwitchCount);
}

std::vector<int> CMagicAlertDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (int row = 0; row < m_listStock->count(); ++row) {
        if (m_listStock->item(row)->isSelected())
            rows.push_back(row);
    }
    return rows;
}

std::vector<int> CMagicAlertDlg::SelectedSwitches() const
{
    std::vector<int> v(static_cast<std::size_t>(m_listSignal->count()), 1);
    const int switched = SwitchedEntryCount();
    for (int row : SelectedRows()) {
        const Ta_VELKPRICEALERT& record = m_vecStock[static_cast<std::size_t>(row)];
        for (std::size_t i = 0; i < v.size(); ++i) {
            const bool on = static_cast<int>(i) < switched && record.m_nMagic[i] == 1;
            v[i] = v[i] == 1 && on ? 1 : 0;
        }
    }
    return v;
}

void CMagicAlertDlg::WriteSwitchesToSelection(const std::vector<int>& switches)
{
    const int switched = std::min(SwitchedEntryCount(), static_cast<int>(switches.size()));
    for (int row : SelectedRows()) {
        Ta_VELKPRICEALERT& record = m_vecStock[static_cast<std::size_t>(row)];
        for (int i = 0; i < switched; ++i)
            record.m_nMagic[i] = switches[static_cast<std::size_t>(i)];
    }
}

void CMagicAlertDlg::SetCheckStates(const std::vector<int>& states)
{
    const CFlagScope updating(m_bUpdating);
    const int switched = SwitchedEntryCount();
    for (int i = 0; i < m_listSignal->count(); ++i) {
        const bool on = i < switched && i < static_cast<int>(states.size()) &&
                        states[static_cast<std::size_t>(i)] != 0;
        m_listSignal->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<int> CMagicAlertDlg::CheckStates() const
{
    std::vector<int> states;
    for (int i = 0; i < m_listSignal->count(); ++i)
        states.push_back(m_listSignal->item(i)->checkState() == Qt::Checked ? 1 : 0);
    return states;
}

void CMagicAlertDlg::UpdateDeleteButton()
{
    m_btnDelete->setEnabled(m_nStockCount != 0);
}

void CMagicAlertDlg::RefreshStockList()
{
    const CFlagScope updating(m_bUpdating);
    m_listStock->clear();
    m_mapKey.clear();
    for (std::size_t i = 0; i < m_vecStock.size(); ++i) {
        const Ta_VELKPRICEALERT& record = m_vecStock[i];
        m_listStock->addItem(
            new QListWidgetItem(m_imageList, VelkFromGbk(VelkFieldText(record.m_szName))));
        m_mapKey[KeyOf(record)] = static_cast<int>(i);
    }
    const int n = m_listStock->count();
    if (n > 0) {
        m_listStock->scrollToItem(m_listStock->item(n - 1));
        m_listStock->setCurrentRow(n - 1, QItemSelectionModel::ClearAndSelect);
        if (n > 1) {
            m_listStock->item(n - 2)->setSelected(false);
            m_listStock->scrollToItem(m_listStock->item(0));
        }
        ShowSelectionSwitches();
    }
    UpdateDeleteButton();
    SetModified();
}

void CMagicAlertDlg::ShowSelectionSwitches()
{
    SetCheckStates(SelectedSwitches());
}

void CMagicAlertDlg::OnClickStockList()
{
    ShowSelectionSwitches();
}

void CMagicAlertDlg::OnSelchangeSignalList()
{
    std::vector<int> v = SelectedSwitches();
    const int current = m_listSignal->currentRow();
    if (current >= 0 && current < static_cast<int>(v.size())) {
        v[static_cast<std::size_t>(current)] =
            m_listSignal->item(current)->checkState() == Qt::Checked ? 1 : 0;
        SetModified();
    }
    WriteSwitchesToSelection(v);
}

void CMagicAlertDlg::OnInvert()
{
    if (m_listStock->count() == 0) {
        VelkMessageBoxService().Show(Gbk("请先在股票列表框中添加股票!"), Gbk("警告"),
                                     VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        return;
    }
    if (SelectedRows().empty()) {
        VelkMessageBoxService().Show(Gbk("请先在右边的列表框中选择股票!"), ApplicationCaption(),
                                     VelkMsgBox::kOk);
        return;
    }
    std::vector<int> states = CheckStates();
    for (int& state : states)
        state = state == 0 ? 1 : 0;
    SetCheckStates(states);
    WriteSwitchesToSelection(CheckStates());
    SetModified();
    UpdateDeleteButton();
}

bool CMagicAlertDlg::AddStock(unsigned char level1Market, const std::string& code,
                              const std::string& name)
{
    Ta_VELKPRICEALERT record{};
    record.m_byMarket = level1Market;
    VelkCopyText(record.m_szCode, code);
    VelkCopyText(record.m_szName, name);
    const std::string key = KeyOf(record);
    if (m_mapKey.count(key) != 0)
        return false;
    for (int i = 0; i < SwitchedEntryCount(); ++i)
        record.m_nMagic[i] = 1;
    {
        const CFlagScope updating(m_bUpdating);
        m_listStock->insertItem(
            m_nStockCount,
            new QListWidgetItem(m_imageList, VelkFromGbk(VelkFieldText(record.m_szName))));
    }
    m_vecStock.push_back(record);
    m_mapKey[key] = m_nStockCount;
    ++m_nStockCount;
    return true;
}

void CMagicAlertDlg::OnAdd()
{
    CSelectStockDlg dlg;
    dlg.m_nMode = 1;
    const int result = dlg.DoModal();
    // The release of a shortcut's letter went to the stock dialog, not through this page.
    VelkShortcutLatch() = 1;
    if (result != 1)
        return;

    if (!dlg.m_strCode.empty() && !dlg.m_strName.empty()) {
        const unsigned char market = DA_byConvert2Level1ServiceID(dlg.m_byMarket);
        if (!AddStock(market, dlg.m_strCode, dlg.m_strName)) {
            VelkMessageBoxService().Show(VelkLoadString(VelkString::kAlreadyListed), Gbk("警告"),
                                         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
            return;
        }
    }

    if (!dlg.m_strGroup.empty()) {
        // A member already on the page is passed over without a word.
        for (const CGroupMember& member : VelkUserGroupMembers(dlg.m_strGroup))
            AddStock(DA_byConvert2Level1ServiceID(member.m_byMarket), member.m_strCode,
                     member.m_strName);
    }

    RefreshStockList();
    UpdateDeleteButton();
    SetModified();
}

void CMagicAlertDlg::OnDelete()
{
    const std::vector<int> rows = SelectedRows();
    {
        const CFlagScope updating(m_bUpdating);
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            const auto x = static_cast<std::size_t>(*it);
            m_mapKey.erase(KeyOf(m_vecStock[x]));
            m_vecStock.erase(m_vecStock.begin() + static_cast<std::ptrdiff_t>(x));
            delete m_listStock->takeItem(*it);
            --m_nStockCount;
        }
    }
    RefreshStockList();
    UpdateDeleteButton();
    SetModified();
    if (rows.empty() || rows.front() == 0)
        SetCheckStates(std::vector<int>(static_cast<std::size_t>(m_listSignal->count()), 0));
}

void CMagicAlertDlg::Commit()
{
    if (m_pEngineCount)
        *m_pEngineCount = m_nStockCount;
    if (m_pEngineList) {
        m_pEngineList->clear();
        if (m_nStockCount > 0)
            m_pEngineList->assign(m_vecStock.begin(), m_vecStock.begin() + m_nStockCount);
    }
    CMagicStatusTable& table = VelkMagicStatusTable();
    // Entries past the record's switches are greyed out and never edited: their table state
    // stays as it was.
    const int switched = SwitchedEntryCount();
    for (int i = 0; i < switched; ++i) {
        const QVariant number = m_listSignal->item(i)->data(kSignalNumberRole);
        if (!number.isValid())
            continue;
        const int checked = m_listSignal->item(i)->checkState() == Qt::Checked ? 1 : 0;
        table.Update(number.toInt(), checked);
    }
}

void CMagicAlertDlg::OnOK()
{
    Commit();
    CVelkPropertyPage::OnOK();
}

bool CMagicAlertDlg::OnApply()
{
    Commit();
    return CVelkPropertyPage::OnApply();
}

bool CMagicAlertDlg::PreTranslateMessage(QKeyEvent* pKey)
{
    static const std::vector<int> kKeys{Qt::Key_A, Qt::Key_D, Qt::Key_R};
    if (VelkShortcutFires(*pKey, kKeys) && m_btnAdd && m_btnAdd->isEnabled()) {
        switch (pKey->key()) {
        case Qt::Key_A:
            PostCommand(kAddButton);
            break;
        case Qt::Key_D:
            PostCommand(kDeleteButton);
            break;
        default:
            PostCommand(kInvertButton);
            break;
        }
    }
    // Ctrl+A would otherwise also select every stock in the list, which the shortcut never does.
    const bool shortcutKey = std::find(kKeys.begin(), kKeys.end(), pKey->key()) != kKeys.end();
    return pKey->type() == QEvent::KeyPress && (pKey->modifiers() & Qt::ControlModifier) &&
           shortcutKey;
}

VELK_IMPLEMENT_DYNCREATE(CMagicAlertDlg)
