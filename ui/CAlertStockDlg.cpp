#include "ui/CAlertStockDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <set>

#include "engine/VelkServices.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkNumber.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "res/VelkStringTable.h"
#include "ui/CAlertListDlg.h"
#include "ui/CSelectStockDlg.h"
#include "ui/VelkListLook.h"
#include "ui_IDD_ALERTSTOCK_178.h"

namespace {

constexpr int kIdClear = 1087;
constexpr int kIdDelete = 1088;
constexpr int kIdModify = 1089;
constexpr int kIdAdd = 1090;
constexpr int kImageWidth = 16;
constexpr int kPricePrecision = 2;

struct ColumnFormat {
    unsigned headingId;
    Qt::Alignment alignment;
    int width;
};

constexpr ColumnFormat kColumns[] = {
    {VelkString::kColStockCode, Qt::AlignLeft, 100},
    {VelkString::kColStockName, Qt::AlignLeft, 100},
    {VelkString::kColUpper, Qt::AlignRight, 60},
    {VelkString::kColLower, Qt::AlignHCenter, 60},
};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
constexpr int kColUpper = 2;
constexpr int kColLower = 3;

// "%.*f" with the given precision, but independent of the process's numeric locale, which Qt
// sets from the environment (a decimal comma would otherwise creep into the list).
QString FormatPrice(float value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                   std::chars_format::fixed, kPricePrecision);
    if (res.ec != std::errc())
        return QString();
    return QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
}

std::string CodeKey(const Ta_VELKPRICEALERT& record)
{
    return VelkFieldText(record.m_szCode);
}

} // namespace

CAlertStockDlg::CAlertStockDlg() : CVelkPropertyPage(IDD, "指定股票", QSize(449, 233)) {}

CAlertStockDlg::~CAlertStockDlg() = default;

void CAlertStockDlg::BindSettings(CSettingsBinding& binding)
{
    AttachList(&binding.priceList, &binding.priceCount);
    SetCommitMark(&binding.bPriceCommitted);
}

void CAlertStockDlg::AttachList(std::vector<Ta_VELKPRICEALERT>* pList, std::int32_t* pCount)
{
    m_vecStock.clear();
    m_mapCode.clear();
    // The count and the list come apart in a damaged or hand-edited alert.cfg or when the
    // host writes through its pointer. Rows must show the records they edit, so only the
    // records both agree on are taken: the smaller of the two, never negative.
    std::size_t count = 0;
    if (pList) {
        count = pList->size();
        if (pCount)
            count = *pCount > 0 ? std::min(count, static_cast<std::size_t>(*pCount)) : 0;
    }
    if (pList)
        m_vecStock.assign(pList->begin(), pList->begin() + static_cast<std::ptrdiff_t>(count));
    for (std::size_t i = 0; i < m_vecStock.size(); ++i)
        m_mapCode[CodeKey(m_vecStock[i])] = static_cast<std::int32_t>(i);
    m_pEngineList = pList;
    m_pEngineCount = pCount;
    m_nCount = static_cast<std::int32_t>(m_vecStock.size());
}

int CAlertStockDlg::Commit()
{
    if (m_pEngineCount)
        *m_pEngineCount = m_nCount;
    if (m_pEngineList) {
        m_pEngineList->clear();
        if (m_nCount > 0)
            m_pEngineList->insert(m_pEngineList->end(), m_vecStock.begin(), m_vecStock.end());
    }
    return m_nCount;
}

void CAlertStockDlg::OnOK()
{
    Commit();
    CVelkPropertyPage::OnOK();
}

void CAlertStockDlg::CreateControls()
{
    m_pForm = std::make_unique<Ui::CAlertStockDlgForm>();
    m_pForm->setupUi(this);
    DoDataExchange();
}

void CAlertStockDlg::DoDataExchange()
{
    m_btnModify = m_pForm->m_btnModify;
    m_btnDelete = m_pForm->m_btnDelete;
    m_btnClear = m_pForm->m_btnClear;
    m_btnAdd = m_pForm->m_btnAdd;
    m_listStock = m_pForm->m_listStock;
}

bool CAlertStockDlg::OnInitDialog()
{
    CVelkPropertyPage::OnInitDialog();

    const QPixmap strip = CAlertListDlg::LoadImageStrip();
    m_imageList = VelkListImages(strip, kImageWidth);
    m_listStock->setIconSize(QSize(kImageWidth, strip.isNull() ? kImageWidth : strip.height()));

    m_listStock->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listStock->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listStock->setAllColumnsShowFocus(true);
    // The selection stays visible while the focus is on the buttons.
    VelkKeepSelectionVisible(*m_listStock);

    m_listStock->clear();
    m_listStock->setColumnCount(kColumnCount);
    QHeaderView* header = m_listStock->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSortIndicatorShown(false);
    QTreeWidgetItem* headings = m_listStock->headerItem();
    for (int c = 0; c < kColumnCount; ++c) {
        headings->setText(c, VelkFromGbk(VelkLoadString(kColumns[c].headingId)));
        headings->setTextAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
        header->resizeSection(c, kColumns[c].width);
    }

    OnCommand(kIdAdd, [this] { OnAdd(); });
    OnCommand(kIdModify, [this] { OnModify(); });
    OnCommand(kIdDelete, [this] { OnDelete(); });
    OnCommand(kIdClear, [this] { OnClearList(); });
    connect(m_listStock, &QTreeWidget::itemDoubleClicked, this, [this] { OnModify(); });

    Refill();
    return true;
}

void CAlertStockDlg::ShowRecord(QTreeWidgetItem* pRow, const Ta_VELKPRICEALERT& record) const
{
    // Rows are inserted without an image index, so each shows the list's first image.
    if (!m_imageList.empty())
        pRow->setIcon(0, m_imageList.front());
    pRow->setText(0, VelkFromGbk(VelkFieldText(record.m_szCode)));
    pRow->setText(1, VelkFromGbk(VelkFieldText(record.m_szName)));
    pRow->setText(kColUpper, FormatPrice(record.m_fUpper));
    pRow->setText(kColLower, FormatPrice(record.m_fLower));
    for (int c = 0; c < kColumnCount; ++c)
        pRow->setTextAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
}

void CAlertStockDlg::Refill()
{
    if (!m_listStock)
        return;
    m_listStock->clear();
    m_mapCode.clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_nCount);
    for (std::int32_t j = 0; j < m_nCount; ++j) {
        auto* row = new QTreeWidgetItem;
        ShowRecord(row, m_vecStock[static_cast<std::size_t>(j)]);
        rows.append(row);
        m_mapCode[CodeKey(m_vecStock[static_cast<std::size_t>(j)])] = j;
    }
    m_listStock->addTopLevelItems(rows);
    UpdateButtons();
}

void CAlertStockDlg::UpdateButtons()
{
    const bool any = m_nCount != 0;
    m_btnModify->setEnabled(any);
    m_btnDelete->setEnabled(any);
    m_btnClear->setEnabled(any);
    SetModified(true);
}

int CAlertStockDlg::FirstSelectedRow() const
{
    int first = -1;
    for (QTreeWidgetItem* row : m_listStock->selectedItems()) {
        const int index = m_listStock->indexOfTopLevelItem(row);
        if (index >= 0 && (first < 0 || index < first))
            first = index;
    }
    return first;
}

void CAlertStockDlg::OnAdd()
{
    if (!m_listStock)
        return;
    CSelectStockDlg dlg;
    dlg.m_nMode = 0;
    dlg.m_bCodeEditable = 1;
    dlg.m_pRecord = nullptr;
    if (dlg.DoModal() != VelkMsgBox::kIdOk)
        return;

    Ta_VELKPRICEALERT record{};
    record.m_byMarket = dlg.m_byMarket;
    VelkCopyText(record.m_szCode, dlg.m_strCode);
    VelkCopyText(record.m_szName, dlg.m_strName);
    record.m_fPreClose = static_cast<float>(VelkAtof(dlg.m_strPreClose));
    record.m_fUpper = dlg.m_fUpper;
    record.m_fLower = dlg.m_fLower;

    // The same code under another market is the same stock to the user; the code alone counts.
    const std::string code = CodeKey(record);
    if (m_mapCode.count(code) != 0) {
        VelkMessageBoxService().Show(VelkLoadString(VelkString::kAlreadyListed),
                                     TextCodec::Utf8ToGbk("警告"),
                                     VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        return;
    }

    auto* row = new QTreeWidgetItem;
    ShowRecord(row, record);
    m_listStock->insertTopLevelItem(m_nCount, row);
    m_vecStock.push_back(record);
    m_mapCode[code] = m_nCount;
    ++m_nCount;
    UpdateButtons();
}

void CAlertStockDlg::OnModify()
{
    if (!m_listStock)
        return;
    const int row = FirstSelectedRow();
    if (row < 0 || row >= m_nCount)
        return;
    // The dialog reads a copy: nothing may move the record under it while it runs.
    Ta_VELKPRICEALERT record = m_vecStock[static_cast<std::size_t>(row)];
    CSelectStockDlg dlg;
    dlg.m_nMode = 0;
    dlg.m_bCodeEditable = 0;
    dlg.m_pRecord = &record;
    if (dlg.DoModal() == VelkMsgBox::kIdOk && row < m_nCount) {
        Ta_VELKPRICEALERT& stored = m_vecStock[static_cast<std::size_t>(row)];
        stored.m_fUpper = dlg.m_fUpper;
        stored.m_fLower = dlg.m_fLower;
        if (QTreeWidgetItem* item = m_listStock->topLevelItem(row)) {
            item->setText(kColUpper, FormatPrice(stored.m_fUpper));
            item->setText(kColLower, FormatPrice(stored.m_fLower));
        }
    }
    SetModified(true);
}

void CAlertStockDlg::OnDelete()
{
    if (!m_listStock)
        return;
    std::set<int> selected;
    for (QTreeWidgetItem* row : m_listStock->selectedItems()) {
        const int index = m_listStock->indexOfTopLevelItem(row);
        if (index >= 0 && index < m_nCount)
            selected.insert(index);
    }
    std::vector<Ta_VELKPRICEALERT> kept;
    kept.reserve(m_vecStock.size() - selected.size());
    for (int i = 0; i < m_nCount; ++i) {
        if (selected.count(i) == 0)
            kept.push_back(m_vecStock[static_cast<std::size_t>(i)]);
    }
    m_vecStock.swap(kept);
    m_nCount -= static_cast<std::int32_t>(selected.size());
    Refill();
}

void CAlertStockDlg::OnClearList()
{
    if (!m_vecStock.empty() &&
        VelkMessageBoxService().Show(TextCodec::Utf8ToGbk("确定要清空指定股票列表吗?"),
                                     TextCodec::Utf8ToGbk("警告"),
                                     VelkMsgBox::kYesNo | VelkMsgBox::kIconExclamation |
                                         VelkMsgBox::kDefaultSecond) != VelkMsgBox::kIdYes)
        return;
    m_nCount = 0;
    m_vecStock.clear();
    m_mapCode.clear();
    Refill();
}

VELK_IMPLEMENT_DYNCREATE(CAlertStockDlg)
