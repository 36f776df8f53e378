#include "ui/CAlertListDlg.h"

#include <QBitmap>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPixmap>
#include <QTableView>
#include <algorithm>
#include <utility>

#include "engine/CAlertDayFile.h"
#include "hostapi/KQDaApi.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#include "ui/CAlertListModel.h"
#include "ui/CRowFocusDelegate.h"
#include "ui/VelkListLook.h"
#include "ui_IDD_ALERTLIST_213.h"

namespace {

const char* const kAlertDir = "../Dat/Alert";
constexpr unsigned char kDateMarket = 27;
constexpr std::uintptr_t kSettingsCommand = 668;
constexpr int kColumnWidths[CAlertListModel::kColumnCount] = {80, 60, 60, 60, 100};
// New rows wait at most one frame of a 60 Hz screen.
constexpr int kNewRowsDelayMs = 16;
// The image list's pixel colour that stands for "transparent" (COLORREF 0x000020).
const QColor kMaskColour(0x20, 0x00, 0x00);

// The order that sorts the list latest first, records of equal times keeping their order:
// order[i] is the position of the record that belongs at position i. Alert times are seconds of
// the day, so a counting sort does it in two passes; a time outside the day (a damaged file)
// sends the whole list through a comparison sort.
std::vector<std::size_t> LatestFirstOrder(const CAlertRecordList& alerts)
{
    constexpr std::int32_t kSecondsPerDay = 86400;
    std::vector<std::size_t> order(alerts.size());
    const bool withinDay = std::all_of(alerts.begin(), alerts.end(), [](const Ta_ALERTRECORD& r) {
        return r.m_nTime >= 0 && r.m_nTime < kSecondsPerDay;
    });
    if (!withinDay) {
        std::vector<std::int32_t> times(alerts.size());
        for (std::size_t i = 0; i < alerts.size(); ++i) {
            times[i] = alerts[i].m_nTime;
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&times](std::size_t a, std::size_t b) { return times[a] > times[b]; });
        return order;
    }
    // Slot k holds the records of time kSecondsPerDay - 1 - k.
    std::vector<std::size_t> next(kSecondsPerDay + 1, 0);
    for (const Ta_ALERTRECORD& record : alerts)
        ++next[static_cast<std::size_t>(kSecondsPerDay - record.m_nTime)];
    for (std::size_t k = 1; k < next.size(); ++k)
        next[k] += next[k - 1];
    for (std::size_t i = 0; i < alerts.size(); ++i)
        order[next[static_cast<std::size_t>(kSecondsPerDay - 1 - alerts[i].m_nTime)]++] = i;
    return order;
}

// The list is usually in order already (new alerts go on top); otherwise every record is moved
// once, along the cycles of the permutation, rather than at every step of a sort or through a
// second copy of a list that may hold a million records.
void SortLatestFirst(CAlertRecordList& alerts)
{
    auto later = [](const Ta_ALERTRECORD& a, const Ta_ALERTRECORD& b) {
        return a.m_nTime > b.m_nTime;
    };
    if (std::is_sorted(alerts.begin(), alerts.end(), later))
        return;
    const std::vector<std::size_t> order = LatestFirstOrder(alerts);
    std::vector<bool> placed(alerts.size(), false);
    for (std::size_t start = 0; start < alerts.size(); ++start) {
        if (placed[start])
            continue;
        const Ta_ALERTRECORD held = alerts[start];
        std::size_t to = start;
        for (std::size_t from = order[to]; from != start; from = order[to]) {
            alerts[to] = alerts[from];
            placed[to] = true;
            to = from;
        }
        alerts[to] = held;
        placed[to] = true;
    }
}

} // namespace

CAlertListDlg::CAlertListDlg(CAlertRecordList* alerts, std::vector<Ta_VELKPRICEALERT>* prices,
                             QWidget* owner)
    : QDialog(owner), m_pForm(std::make_unique<Ui::CAlertListDlgForm>()), m_pAlerts(alerts),
      m_pPrices(prices)
{
    m_pForm->setupUi(this);
    // A template of fixed rectangles: the controls would not follow a resized window.
    setFixedSize(size());
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    SetupList();
    m_newRowsTimer.setSingleShot(true);
    m_newRowsTimer.setInterval(kNewRowsDelayMs);
    connect(&m_newRowsTimer, &QTimer::timeout, m_pModel, &CAlertListModel::FlushNewRows);
    for (CXPButton* button : {m_pForm->m_btnClose, m_pForm->m_btnSettings, m_pForm->m_btnAnalyse})
        button->setFont(m_pForm->m_listAlert->font());
    LoadAlertFile();
    SizeListToRows();

    connect(m_pForm->m_btnClose, &QPushButton::clicked, this, &CAlertListDlg::reject);
    connect(m_pForm->m_btnSettings, &QPushButton::clicked, this, &CAlertListDlg::OnSettings);
    connect(m_pForm->m_btnAnalyse, &QPushButton::clicked, this, &CAlertListDlg::OnAnalyse);
    connect(m_pForm->m_listAlert, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { AnalyseRow(index.row()); });

    // No key acts in this window: every key reaching it or one of its controls stops here.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

CAlertListDlg::~CAlertListDlg()
{
    SaveAlertFile();
}

void CAlertListDlg::SetupList()
{
    QTableView* list = m_pForm->m_listAlert;
    m_pModel = new CAlertListModel(this);
    m_pModel->SetAlerts(m_pAlerts);
    list->setModel(m_pModel);

    // The rows carry no image; the 16-pixel strip only decides how tall a row is.
    const QPixmap strip = LoadImageStrip();
    const int imageHeight = strip.isNull() ? 16 : strip.height();
    const int rowHeight = std::max(imageHeight, list->fontMetrics().height()) + 2;
    QHeaderView* rows = list->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(rowHeight);

    QHeaderView* columns = list->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    for (int c = 0; c < CAlertListModel::kColumnCount; ++c)
        list->setColumnWidth(c, kColumnWidths[c]);

    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setItemDelegate(new CRowFocusDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTabKeyNavigation(false);

    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::AlternateBase, Qt::black);
    palette.setColor(QPalette::Text, QColor(255, 0, 0));
    list->setPalette(palette);
    // The selection stays visible when the list loses the focus.
    VelkKeepSelectionVisible(*list);
}

void CAlertListDlg::SizeListToRows()
{
    QTableView* list = m_pForm->m_listAlert;
    const int h = m_pModel->rowCount() > 0 ? list->rowHeight(0)
                                           : list->verticalHeader()->defaultSectionSize();
    if (h <= 0)
        return;
    list->resize(list->width(), 9 * h + h / 4);
}

QPixmap CAlertListDlg::LoadImageStrip()
{
    QPixmap strip(QStringLiteral(":/velk/bitmap/134"));
    if (!strip.isNull())
        strip.setMask(strip.createMaskFromColor(kMaskColour, Qt::MaskInColor));
    return strip;
}

QTableView* CAlertListDlg::ListControl() const
{
    return m_pForm->m_listAlert;
}

QWidget* CAlertListDlg::Control(int controlId) const
{
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property("controlId").toInt() == controlId)
            return child;
    }
    return nullptr;
}

std::string CAlertListDlg::DayFilePath()
{
    CMarketStatus status;
    DA_bGetMarketStatus(kDateMarket, status);
    return CAlertDayFile::PathFor(kAlertDir, status.m_nTradeDate);
}

void CAlertListDlg::LoadAlertFile()
{
    // What was read is kept: at the save, what another writer added since is told from it.
    if (m_pAlerts && VelkReadFile(DayFilePath(), m_strLoadedDay))
        CAlertDayFile::AppendRecords(m_strLoadedDay, *m_pAlerts);
}

void CAlertListDlg::SaveAlertFile()
{
    if (!m_pAlerts)
        return;
    const std::string path = DayFilePath();
    std::string reason;
    if (!VelkIsDirectory(kAlertDir) && !VelkCreateDirectories(kAlertDir))
        reason = path + ": the folder " + kAlertDir + " cannot be created";
    else if (!CAlertDayFile::SaveMerged(path, *m_pAlerts, m_strLoadedDay))
        reason = VelkFileError().empty() ? path : VelkFileError();
    if (reason.empty())
        return;
    // The day's alerts are gone with this window: the user hears of it as of the condition
    // files that could not be saved.
    VelkMessageBoxService().Show(
        TextCodec::Utf8ToGbk("以下文件无法保存, 所做的修改只在本次运行中有效:") + "\n" +
            TextCodec::Utf8ToGbk(reason),
        TextCodec::Utf8ToGbk("警告"), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
}

void CAlertListDlg::InsertAlertItem(const Ta_ALERTRECORD&)
{
    m_pModel->NoteFrontRecord();
    if (!m_newRowsTimer.isActive())
        m_newRowsTimer.start();
}

void CAlertListDlg::FillAlertList()
{
    m_newRowsTimer.stop();
    QTableView* list = m_pForm->m_listAlert;
    list->setUpdatesEnabled(false);
    const bool showList = m_pAlerts && m_pPrices;
    m_pModel->ResetRows(showList, [this, showList] {
        if (showList)
            SortLatestFirst(*m_pAlerts);
    });
    list->setUpdatesEnabled(true);
}

void CAlertListDlg::ClearAlertList()
{
    m_newRowsTimer.stop();
    m_pModel->ResetRows(false, [this] {
        if (m_pAlerts)
            m_pAlerts->clear();
    });
}

void CAlertListDlg::reject()
{
    hide();
}

void CAlertListDlg::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FillAlertList();
    QDialog::showEvent(event);
}

bool CAlertListDlg::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepted, so that no shortcut of the host fires either.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void CAlertListDlg::OnAnalyse()
{
    const QModelIndexList rows = m_pForm->m_listAlert->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        VelkMessageBoxService().Show(TextCodec::Utf8ToGbk("请选择一个报警信号!"),
                                     TextCodec::Utf8ToGbk("警告"),
                                     VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        return;
    }
    int first = rows.front().row();
    for (const QModelIndex& index : rows)
        first = std::min(first, index.row());
    AnalyseRow(first);
}

void CAlertListDlg::AnalyseRow(int row)
{
    const Ta_ALERTRECORD* record = m_pModel->RecordAt(row);
    if (!record)
        return;
    CSymbolInfo symbol(record->m_byMarket, VelkFieldText(record->m_szCode));
    VelkSendMessage(VelkMainWindow(), VelkRegisterWindowMessage("MSG_ANALYSE"), 0,
                    reinterpret_cast<std::intptr_t>(&symbol));
}

void CAlertListDlg::OnSettings()
{
    VelkPostMessage(VelkMainWindow(), VelkCommandMessage(), kSettingsCommand, 0);
}
