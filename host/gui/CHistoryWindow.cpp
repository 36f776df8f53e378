#include "host/gui/CHistoryWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <set>
#include <string_view>

#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CHistoryModel.h"
#include "host/gui/CHistorySortModel.h"
#include "host/gui/CSystemErrorText.h"
#include "host/outputs/CHistoryExport.h"
#include "platform/qt/QtText.h"
#include "res/VelkStringTable.h"

namespace {

constexpr int kReasonCount = 14;

std::string DateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

} // namespace

CHistoryWindow::CHistoryWindow(CAlertHistory& history, QWidget* parent, Clock today)
    : QWidget(parent, Qt::Window), m_history(history), m_today(std::move(today))
{
    setWindowTitle(tr("历史报警"));
    setObjectName(QStringLiteral("historyWindow"));
    const QDate now = m_today ? m_today() : QDate::currentDate();

    m_pDateOn = new QCheckBox(tr("日期"), this);
    m_pFrom = new QDateEdit(now.addDays(-7), this);
    m_pTo = new QDateEdit(now, this);
    for (QDateEdit* edit : {m_pFrom, m_pTo}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
    }
    m_pStock = new QLineEdit(this);
    m_pStock->setObjectName(QStringLiteral("historyStock"));
    m_pStock->setReadOnly(true);
    m_pStock->setPlaceholderText(tr("键入代码或拼音"));
    m_pStock->setToolTip(tr("键入代码或拼音首字母选股票，Delete 清除"));
    m_pStock->installEventFilter(this);
    m_pReason = new QComboBox(this);
    m_pReason->addItem(tr("全部原因"), -1);
    for (int code = 0; code < kReasonCount; ++code)
        m_pReason->addItem(VelkFromGbk(VelkReasonText(code)), code);
    m_pSource = new QComboBox(this);
    m_pSource->addItem(tr("全部来源"), QString());
    m_pSource->addItem(tr("实时"), QStringLiteral("live"));
    m_pSource->addItem(tr("回放"), QStringLiteral("replay"));
    auto* exportCsv = new QPushButton(tr("导出 CSV..."), this);
    auto* exportJson = new QPushButton(tr("导出 JSON..."), this);
    auto* refresh = new QPushButton(tr("刷新"), this);

    auto* filters = new QHBoxLayout;
    filters->addWidget(m_pDateOn);
    filters->addWidget(m_pFrom);
    filters->addWidget(new QLabel(tr("至"), this));
    filters->addWidget(m_pTo);
    filters->addWidget(new QLabel(tr("股票"), this));
    filters->addWidget(m_pStock);
    filters->addWidget(m_pReason);
    filters->addWidget(m_pSource);
    filters->addStretch();
    filters->addWidget(refresh);
    filters->addWidget(exportCsv);
    filters->addWidget(exportJson);

    m_pModel = new CHistoryModel(this);
    m_pSorted = new CHistorySortModel(*m_pModel, this);
    // Why an output did not deliver is the first thing asked of a row that says 0/3.
    m_pModel->SetDeliveriesText([this](const CAlertHistory::Row& row) {
        std::vector<CAlertHistory::Delivery> attempts;
        if (!m_history.Deliveries(row, attempts))
            return tr("无法读取送达记录: %1").arg(CSystemErrorText::Translate(m_history.Error()));
        QStringList lines;
        for (const CAlertHistory::Delivery& attempt : attempts)
            lines << tr("%1 第 %2 次 %3 %4: %5")
                         .arg(QString::fromStdString(attempt.output))
                         .arg(attempt.attempt)
                         .arg(QString::fromStdString(attempt.at),
                              QString::fromStdString(attempt.status),
                              QString::fromStdString(attempt.answer));
        return lines.join(QLatin1Char('\n'));
    });
    m_pView = new QTableView(this);
    m_pView->setObjectName(QStringLiteral("historyTable"));
    m_pView->setModel(m_pSorted);
    m_pView->setSortingEnabled(true);
    m_pView->sortByColumn(CHistoryModel::Date, Qt::DescendingOrder);
    m_pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pView->verticalHeader()->hide();
    // Rows as dense as the quote board's.
    m_pView->verticalHeader()->setDefaultSectionSize(m_pView->fontMetrics().height() + 6);
    m_pView->horizontalHeader()->setStretchLastSection(true);
    m_pStatus = new QLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_pView);
    layout->addWidget(m_pStatus);
    resize(900, 520);

    connect(m_pDateOn, &QCheckBox::toggled, this, [this](bool on) {
        m_pFrom->setEnabled(on);
        m_pTo->setEnabled(on);
        Reload();
    });
    connect(m_pFrom, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(m_pTo, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(m_pReason, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(m_pSource, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(refresh, &QPushButton::clicked, this, [this] { Reload(); });
    connect(exportCsv, &QPushButton::clicked, this, [this] { ChooseExport(true); });
    connect(exportJson, &QPushButton::clicked, this, [this] { ChooseExport(false); });
    connect(m_pView, &QTableView::doubleClicked, this, &CHistoryWindow::OnActivated);
    Reload();
    // Fitted to the rows there are at the start, and left to the user from then on.
    m_pView->resizeColumnsToContents();
}

CHistoryWindow::~CHistoryWindow() = default;

CAlertHistory::Filter CHistoryWindow::CurrentFilter() const
{
    CAlertHistory::Filter filter;
    if (m_pDateOn->isChecked()) {
        filter.from = DateText(m_pFrom->date());
        filter.to = DateText(m_pTo->date());
    }
    filter.code = m_strCode;
    // A reason of the engine's table by its code, any other (a signal's name) by its text.
    const QVariant reason = m_pReason->currentData();
    if (reason.typeId() == QMetaType::QString)
        filter.reason = reason.toString().toStdString();
    else if (reason.toInt() >= 0)
        filter.reason = std::to_string(reason.toInt());
    filter.source = m_pSource->currentData().toString().toStdString();
    return filter;
}

void CHistoryWindow::SetDateRange(const QDate& from, const QDate& to)
{
    const QSignalBlocker fromBlock(m_pFrom);
    const QSignalBlocker toBlock(m_pTo);
    m_pFrom->setDate(from);
    m_pTo->setDate(to);
    if (m_pDateOn->isChecked())
        Reload();
    else
        m_pDateOn->setChecked(true);
}

void CHistoryWindow::ClearDateRange()
{
    m_pDateOn->setChecked(false);
}

void CHistoryWindow::SetStock(unsigned char market, const std::string& code)
{
    m_strCode = code;
    m_pStock->setText(code.empty() ? QString()
                                   : QString::number(market) + QLatin1Char(' ') +
                                         QString::fromLatin1(code.c_str()));
    Reload();
}

void CHistoryWindow::SetReason(int reasonCode)
{
    m_pReason->setCurrentIndex(std::max(0, m_pReason->findData(reasonCode)));
}

void CHistoryWindow::SetReason(const QString& text)
{
    m_pReason->setCurrentIndex(std::max(0, m_pReason->findData(text)));
}

void CHistoryWindow::SetSource(const std::string& source)
{
    m_pSource->setCurrentIndex(std::max(0, m_pSource->findData(QString::fromStdString(source))));
}

bool CHistoryWindow::Reload()
{
    std::vector<CAlertHistory::Row> rows;
    CAlertHistory::Filter filter = CurrentFilter();
    filter.limit = m_nRowLimit;
    bool more = false;
    // What the engine raised this frame is written before it is read.
    if (!m_history.Commit() || !m_history.Query(filter, rows, &more)) {
        m_pModel->SetRows({});
        m_pStatus->setText(
            tr("无法读取报警历史: %1").arg(CSystemErrorText::Translate(m_history.Error())));
        return false;
    }
    // The reasons outside the engine's table (the signals watched) join the choice as the
    // rows of any reason bring them.
    if (m_pReason->currentIndex() == 0) {
        std::set<std::string_view> seen;
        for (const CAlertHistory::Row& row : rows) {
            if (row.reasonCode >= 0 || row.reason.empty() || !seen.insert(row.reason).second)
                continue;
            const QString text = QString::fromStdString(row.reason);
            if (m_pReason->findData(text) < 0)
                m_pReason->addItem(text, text);
        }
    }
    m_pModel->SetRows(std::move(rows));
    m_pStatus->setText(
        more ? tr("最新的 %1 条报警；更早的请以日期等条件筛选，或用 velk-host history 导出全部")
                   .arg(m_pModel->rowCount())
             : tr("%1 条报警").arg(m_pModel->rowCount()));
    return true;
}

QString CHistoryWindow::StatusText() const
{
    return m_pStatus->text();
}

std::vector<CAlertHistory::Row> CHistoryWindow::ShownRows() const
{
    std::vector<CAlertHistory::Row> rows;
    rows.reserve(static_cast<std::size_t>(m_pSorted->rowCount()));
    for (int row = 0; row < m_pSorted->rowCount(); ++row)
        rows.push_back(m_pModel->RowAt(m_pSorted->mapToSource(m_pSorted->index(row, 0)).row()));
    return rows;
}

bool CHistoryWindow::WriteFile(const QString& path, const std::string& content,
                               QString* error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(content.data(), static_cast<qint64>(content.size())) !=
            static_cast<qint64>(content.size()) ||
        !file.commit()) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(path, CSystemErrorText::Translate(file.errorString()));
        return false;
    }
    return true;
}

bool CHistoryWindow::ExportCsv(const QString& path, QString* error) const
{
    return WriteFile(path, CHistoryExport::Csv(ShownRows()), error);
}

bool CHistoryWindow::ExportJson(const QString& path, QString* error) const
{
    return WriteFile(path, CHistoryExport::Json(ShownRows()), error);
}

void CHistoryWindow::ChooseExport(bool csv)
{
    const QString path = QFileDialog::getSaveFileName(
        this, csv ? tr("导出 CSV") : tr("导出 JSON"),
        csv ? QStringLiteral("alerts.csv") : QStringLiteral("alerts.json"),
        csv ? tr("CSV 文件 (*.csv)") : tr("JSON 文件 (*.json)"));
    if (path.isEmpty())
        return;
    QString error;
    const bool written = csv ? ExportCsv(path, &error) : ExportJson(path, &error);
    m_pStatus->setText(written ? tr("已导出 %1 条到 %2").arg(m_pSorted->rowCount()).arg(path)
                               : tr("导出失败: %1").arg(error));
}

void CHistoryWindow::OnActivated(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const CAlertHistory::Row& row = m_pModel->RowAt(m_pSorted->mapToSource(index).row());
    const QDate date =
        QDate::fromString(QString::fromStdString(row.tradingDate), QStringLiteral("yyyy-MM-dd"));
    const int ymd = date.isValid() ? date.year() * 10000 + date.month() * 100 + date.day() : 0;
    Q_EMIT ChartRequested(static_cast<unsigned char>(row.market), QString::fromStdString(row.code),
                          ymd, row.time, QString::fromStdString(row.dayFolder));
}

bool CHistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pStock && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            SetStock(0, {});
            return true;
        }
        if (CBoardKeyWizzard::OpensWizard(*key)) {
            if (!m_pWizard)
                m_pWizard = std::make_unique<CBoardKeyWizzard>(
                    m_pStock, [this](unsigned char market, const std::string& code) {
                        SetStock(market, code);
                    });
            m_pWizard->Open(*key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
