#include "host/gui/CQuoteBoard.h"

#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CQuoteBoardDelegate.h"
#include "host/gui/CQuoteBoardModel.h"
#include "host/gui/CQuoteBoardProxy.h"
#include "host/gui/CTextWidthBound.h"
#include "host/gui/HostSettingKeys.h"
#include "platform/qt/QtText.h"

namespace {

// Rows measured in one turn of the event loop: a few milliseconds' work on a loaded machine.
constexpr int kFitSliceRows = 256;

} // namespace

CQuoteBoard::CQuoteBoard(QWidget* parent) : QWidget(parent)
{
    m_pModel = new CQuoteBoardModel(this);
    m_pProxy = new CQuoteBoardProxy(this);
    m_pProxy->setSourceModel(m_pModel);
    m_fitTimer.setInterval(0);
    connect(&m_fitTimer, &QTimer::timeout, this, &CQuoteBoard::FitNextSlice);

    m_pFilter = new QLineEdit(this);
    m_pFilter->setPlaceholderText(tr("按代码或名称筛选"));
    m_pFilter->setClearButtonEnabled(true);
    connect(m_pFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_pProxy->setFilterFixedString(text);
        if (!m_bRestoring)
            HostSettings::kBoardFilter.Write(m_pSettings, text);
    });

    m_pGroups = new QTabBar(this);
    m_pGroups->setObjectName(QStringLiteral("boardGroups"));
    m_pGroups->setDrawBase(false);
    m_pGroups->setExpanding(false);
    m_pGroups->addTab(tr("全部"));
    connect(m_pGroups, &QTabBar::currentChanged, this, [this](int index) {
        if (index < 0)
            return;
        const std::vector<CQuoteBoardModel::Group>& groups = m_pModel->Groups();
        if (index == 0 || static_cast<std::size_t>(index) > groups.size())
            m_pProxy->ShowAll();
        else
            m_pProxy->ShowOnly(groups[static_cast<std::size_t>(index - 1)].rows);
        if (!m_bRestoring)
            HostSettings::kBoardGroup.Write(m_pSettings,
                                            index == 0 ? QString() : m_pGroups->tabText(index));
    });

    m_pView = new QTableView(this);
    m_pView->setModel(m_pProxy);
    m_pView->setItemDelegate(new CQuoteBoardDelegate(m_pView));
    m_pView->setSortingEnabled(true);
    m_pView->sortByColumn(CQuoteBoardModel::kCode, Qt::AscendingOrder);
    m_pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pView->setWordWrap(false);
    // Columns are sized to their widest text (FitRows); should one fall short all the same, the
    // figure is cut at the edge rather than turned into "6...", which reads as another number.
    m_pView->setTextElideMode(Qt::ElideNone);
    m_pView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pView->setShowGrid(false);
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pView->verticalHeader()->hide();
    m_pView->verticalHeader()->setDefaultSectionSize(m_pView->fontMetrics().height() + 6);
    m_pView->horizontalHeader()->setHighlightSections(false);
    m_pView->horizontalHeader()->setStretchLastSection(false);
    m_pView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_pView->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    FitAllColumns();
    connect(m_pView->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this] { SaveSort(); });
    connect(m_pModel, &QAbstractItemModel::modelReset, this, [this] {
        FitAllColumns();
        RebuildGroupTabs();
    });
    // Rows come only at the end; slices that are still running reach them anyway.
    connect(m_pModel, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int) {
                if (m_fitTimer.isActive())
                    return;
                m_nFitNext = first;
                FitNextSlice();
            });
    connect(m_pModel, &CQuoteBoardModel::GroupsChanged, this, &CQuoteBoard::RebuildGroupTabs);
    // Only the rows a flush read again: its dataChanged ranges also span the unchanged rows
    // between, which on a whole market trading at once are most of the board.
    connect(m_pModel, &CQuoteBoardModel::RowsFlushed, this,
            [this](const std::vector<int>& rows, int firstColumn) {
                FitRowList(rows, firstColumn, CQuoteBoardModel::kColumnCount - 1);
            });
    QPalette palette = m_pView->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, CQuoteBoardModel::kUnchanged);
    palette.setColor(QPalette::Highlight, QColor(40, 60, 120));
    palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(40, 60, 120));
    m_pView->setPalette(palette);
    m_pView->installEventFilter(this);
    connect(m_pView, &QWidget::customContextMenuRequested, this, &CQuoteBoard::ShowContextMenu);
    connect(m_pView, &QAbstractItemView::doubleClicked, this, [this] { RequestChartOfCurrent(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_pFilter);
    layout->addWidget(m_pGroups);
    layout->addWidget(m_pView);
}

void CQuoteBoard::UseSettings(QSettings* settings)
{
    m_pSettings = settings;
    if (!m_pSettings)
        return;
    m_bRestoring = true;
    const int column = HostSettings::kBoardSortColumn.Read(m_pSettings);
    const int order = HostSettings::kBoardSortOrder.Read(m_pSettings);
    if (column >= 0 && column < CQuoteBoardModel::kColumnCount)
        m_pView->sortByColumn(column, order == Qt::DescendingOrder ? Qt::DescendingOrder
                                                                   : Qt::AscendingOrder);
    m_pFilter->setText(HostSettings::kBoardFilter.Read(m_pSettings));
    m_bRestoring = false;
    RebuildGroupTabs();
}

void CQuoteBoard::SaveSort() const
{
    if (m_bRestoring)
        return;
    const QHeaderView* header = m_pView->horizontalHeader();
    HostSettings::kBoardSortColumn.Write(m_pSettings, header->sortIndicatorSection());
    HostSettings::kBoardSortOrder.Write(m_pSettings,
                                        static_cast<int>(header->sortIndicatorOrder()));
}

void CQuoteBoard::RebuildGroupTabs()
{
    // The tab remembered, or the one shown before the day changed.
    const QString wanted =
        m_pSettings ? HostSettings::kBoardGroup.Read(m_pSettings)
                    : (m_pGroups->currentIndex() > 0 ? m_pGroups->tabText(m_pGroups->currentIndex())
                                                     : QString());
    m_bRestoring = true;
    while (m_pGroups->count() > 1)
        m_pGroups->removeTab(m_pGroups->count() - 1);
    int current = 0;
    for (const CQuoteBoardModel::Group& group : m_pModel->Groups()) {
        const int tab = m_pGroups->addTab(group.name);
        if (!wanted.isEmpty() && group.name == wanted && current == 0)
            current = tab;
    }
    m_pGroups->setVisible(m_pGroups->count() > 1);
    m_pGroups->setCurrentIndex(current);
    // The tab may have kept its index while the rows of its group changed with the day.
    if (current == 0)
        m_pProxy->ShowAll();
    else
        m_pProxy->ShowOnly(m_pModel->Groups()[static_cast<std::size_t>(current - 1)].rows);
    m_bRestoring = false;
}

void CQuoteBoard::ShowGroup(int index)
{
    if (index >= 0 && index < m_pGroups->count())
        m_pGroups->setCurrentIndex(index);
}

void CQuoteBoard::FitAllColumns()
{
    QHeaderView* header = m_pView->horizontalHeader();
    for (int c = 0; c < CQuoteBoardModel::kColumnCount; ++c)
        header->resizeSection(c, header->sectionSizeHint(c));
    m_nFitNext = 0;
    FitNextSlice();
}

void CQuoteBoard::FitNextSlice()
{
    // The model may have lost rows since the last slice (a day closed): only those left count.
    const int rows = m_pModel->rowCount();
    const int end = std::min(rows, m_nFitNext + kFitSliceRows);
    FitRows(m_nFitNext, end - 1, 0, CQuoteBoardModel::kColumnCount - 1);
    m_nFitNext = end;
    if (m_nFitNext < rows)
        m_fitTimer.start();
    else
        m_fitTimer.stop();
}

void CQuoteBoard::FitRows(int first, int last, int firstColumn, int lastColumn)
{
    if (first > last)
        return;
    std::vector<int> rows(static_cast<std::size_t>(last - first + 1));
    std::iota(rows.begin(), rows.end(), first);
    FitRowList(rows, firstColumn, lastColumn);
}

void CQuoteBoard::FitRowList(const std::vector<int>& rows, int firstColumn, int lastColumn)
{
    if (rows.empty())
        return;
    // What the item delegate takes around a text: the focus frame's margin and a pixel on each
    // side, and a few pixels so that neighbouring figures do not touch.
    const int margin =
        2 * (m_pView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_pView) + 1) + 8;
    const QFontMetrics metrics(m_pView->font());
    if (!m_pWidthBound || m_pWidthBound->Font() != m_pView->font())
        m_pWidthBound = std::make_unique<CTextWidthBound>(m_pView->font());
    QHeaderView* header = m_pView->horizontalHeader();
    // Most texts of a whole board repeat ("-" on every stock without a trade): each is measured
    // once.
    QHash<QString, int> measured;
    for (int c = std::max(firstColumn, 0);
         c <= std::min(lastColumn, CQuoteBoardModel::kColumnCount - 1); ++c) {
        // A figure counts with the bound of its width, so the next figure of as many digits
        // finds its room without being shaped; only other texts are measured.
        const int room = header->sectionSize(c) - margin;
        int widest = 0;
        for (int r : rows) {
            const QString text = m_pModel->index(r, c).data().toString();
            const int bound = m_pWidthBound->Of(text);
            if (bound >= 0) {
                if (bound > room)
                    widest = std::max(widest, bound);
                continue;
            }
            auto it = measured.constFind(text);
            if (it == measured.constEnd())
                it = measured.insert(text, metrics.horizontalAdvance(text));
            widest = std::max(widest, it.value());
        }
        if (widest + margin > header->sectionSize(c))
            header->resizeSection(c, widest + margin);
    }
}

CQuoteBoard::~CQuoteBoard() = default;

bool CQuoteBoard::JumpTo(unsigned char market, const std::string& code)
{
    const int row = m_pModel->RowOf(market, code);
    if (row < 0)
        return false;
    QModelIndex index = m_pProxy->mapFromSource(m_pModel->index(row, CQuoteBoardModel::kCode));
    if (!index.isValid()) {
        m_pFilter->clear();
        index = m_pProxy->mapFromSource(m_pModel->index(row, CQuoteBoardModel::kCode));
    }
    if (!index.isValid()) {
        // Hidden by the group shown: the whole board shows it.
        ShowGroup(0);
        index = m_pProxy->mapFromSource(m_pModel->index(row, CQuoteBoardModel::kCode));
    }
    m_pView->setCurrentIndex(index);
    m_pView->scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_pView->setFocus();
    return true;
}

bool CQuoteBoard::CurrentStock(unsigned char& market, std::string& code) const
{
    const QModelIndex index = m_pProxy->mapToSource(m_pView->currentIndex());
    if (!index.isValid())
        return false;
    const CQuoteBoardModel::Row& row = m_pModel->RowAt(index.row());
    market = row.market;
    code = row.code;
    return true;
}

void CQuoteBoard::RequestChartOfCurrent()
{
    unsigned char market = 0;
    std::string code;
    if (CurrentStock(market, code))
        Q_EMIT ChartRequested(market, QByteArray::fromStdString(code));
}

void CQuoteBoard::ShowContextMenu(const QPoint& pos)
{
    const QModelIndex index = m_pView->indexAt(pos);
    if (!index.isValid())
        return;
    m_pView->setCurrentIndex(index);
    unsigned char market = 0;
    std::string code;
    if (!CurrentStock(market, code))
        return;
    const QByteArray bytes = QByteArray::fromStdString(code);
    QMenu menu(this);
    connect(menu.addAction(tr("加入系统预警")), &QAction::triggered, this,
            [this, market, bytes] { Q_EMIT AddToMonitorRequested(market, bytes); });
    connect(menu.addAction(tr("分时走势图")), &QAction::triggered, this,
            [this, market, bytes] { Q_EMIT ChartRequested(market, bytes); });
    connect(menu.addAction(tr("今日静音")), &QAction::triggered, this,
            [this, market, bytes] { Q_EMIT MuteRequested(market, bytes); });
    menu.exec(m_pView->viewport()->mapToGlobal(pos));
}

bool CQuoteBoard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            RequestChartOfCurrent();
            return true;
        }
        if (CBoardKeyWizzard::OpensWizard(*key)) {
            if (!m_pWizard) {
                m_pWizard = std::make_unique<CBoardKeyWizzard>(
                    this, [this](unsigned char market, const std::string& code) {
                        JumpTo(market, code);
                    });
            }
            m_pWizard->Open(*key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
