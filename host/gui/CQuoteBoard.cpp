#include "host/gui/CQuoteBoard.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "platform/qt/QtText.h"

namespace {

constexpr int kColumnWidths[CQuoteBoardModel::kColumnCount] = {80, 110, 80,  80, 80,
                                                               80, 80,  110, 80};

} // namespace

CQuoteBoard::CQuoteBoard(QWidget* parent) : QWidget(parent)
{
    m_pModel = new CQuoteBoardModel(this);
    m_pProxy = new QSortFilterProxyModel(this);
    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setSortRole(CQuoteBoardModel::kSortRole);
    m_pProxy->setFilterRole(CQuoteBoardModel::kSearchRole);
    m_pProxy->setFilterKeyColumn(CQuoteBoardModel::kCode);
    m_pProxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_pProxy->setDynamicSortFilter(true);

    m_pFilter = new QLineEdit(this);
    m_pFilter->setPlaceholderText(VelkFromUtf8("按代码或名称筛选"));
    m_pFilter->setClearButtonEnabled(true);
    connect(m_pFilter, &QLineEdit::textChanged, m_pProxy,
            &QSortFilterProxyModel::setFilterFixedString);

    m_pView = new QTableView(this);
    m_pView->setModel(m_pProxy);
    m_pView->setSortingEnabled(true);
    m_pView->sortByColumn(CQuoteBoardModel::kCode, Qt::AscendingOrder);
    m_pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pView->setWordWrap(false);
    m_pView->setShowGrid(false);
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pView->verticalHeader()->hide();
    m_pView->verticalHeader()->setDefaultSectionSize(m_pView->fontMetrics().height() + 6);
    m_pView->horizontalHeader()->setHighlightSections(false);
    // Code and name keep their widths; the figures share what the window has left.
    for (int c = 0; c < CQuoteBoardModel::kColumnCount; ++c) {
        m_pView->setColumnWidth(c, kColumnWidths[c]);
        if (c != CQuoteBoardModel::kCode && c != CQuoteBoardModel::kName)
            m_pView->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
    }
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
    layout->addWidget(m_pView);
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
    connect(menu.addAction(VelkFromUtf8("加入系统预警")), &QAction::triggered, this,
            [this, market, bytes] { Q_EMIT AddToMonitorRequested(market, bytes); });
    connect(menu.addAction(VelkFromUtf8("分时走势图")), &QAction::triggered, this,
            [this, market, bytes] { Q_EMIT ChartRequested(market, bytes); });
    connect(menu.addAction(VelkFromUtf8("今日静音")), &QAction::triggered, this,
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
