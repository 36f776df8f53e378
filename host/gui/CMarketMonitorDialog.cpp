#include "host/gui/CMarketMonitorDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/CMarketMonitor.h"
#include "engine/CVelkAlert.h"
#include "host/core/CMonitorDryRun.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CAlertListMuteHook.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CSystemErrorText.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"

namespace {

// The alert reasons as the alert list names them.
constexpr const char* kReasonLabels[CMarketMonitorSettings::kReasonCount] = {
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "达到上限价"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "达到下限价"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "达到涨停价"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "达到跌停价"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "涨停板打开"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "跌停板打开"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "今日最高价"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "今日最低价"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "达到涨幅比率"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "达到跌幅比率"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "单比涨跌报警"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "量比达到限制"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "大金额成交"),
    QT_TRANSLATE_NOOP("CMarketMonitorDialog", "大笔成交")};

void Warn(const QString& text)
{
    VelkMessageBoxService().Show(
        VelkToGbk(text), VelkToGbk(QCoreApplication::translate("CMarketMonitorDialog", "警告")),
        VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
}

} // namespace

CMarketMonitorDialog::CMarketMonitorDialog(CDaySession& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("MarketMonitorDialog"));
    setWindowTitle(tr("盘中异动设置"));
    auto* layout = new QVBoxLayout(this);

    m_pEnabled = new QCheckBox(tr("启用盘中异动报警（系统预警股票）"), this);
    m_pEnabled->setObjectName(QStringLiteral("enabled"));
    layout->addWidget(m_pEnabled);

    // The thresholds are the alert setting page's own controls, filled from the stored record.
    auto* ratios = new QGroupBox(tr("报警比率（alert.cfg）"), this);
    auto* ratioLayout = new QVBoxLayout(ratios);
    m_stored = StoredRatios();
    if (IVelkWindowing* windowing = m_session.Services().pWindowing)
        m_pRatioPane = windowing->CreateAlertSettingPane(m_stored);
    if (m_pRatioPane) {
        auto* page = static_cast<QWidget*>(m_pRatioPane->Widget());
        page->setObjectName(QStringLiteral("ratioPage"));
        ratioLayout->addWidget(page);
    } else {
        ratioLayout->addWidget(
            new QLabel(tr("本程序未带报警比率设置页：比率保持 alert.cfg 中的值。"), ratios));
    }
    layout->addWidget(ratios);

    m_pData = new QLabel(this);
    m_pData->setObjectName(QStringLiteral("dataAvailability"));
    m_pData->setWordWrap(true);
    layout->addWidget(m_pData);

    auto* noise = new QGroupBox(tr("重复报警控制"), this);
    auto* noiseGrid = new QGridLayout(noise);
    for (int reason = 0; reason < CMarketMonitorSettings::kReasonCount; ++reason) {
        auto* label = new QLabel(tr(kReasonLabels[reason]), noise);
        m_repeat[reason] = new QComboBox(noise);
        m_repeat[reason]->setObjectName(QStringLiteral("repeat%1").arg(reason));
        m_repeat[reason]->addItems({tr("每次穿越"), tr("每股每日一次"), tr("间隔至少")});
        m_cooldown[reason] = new QSpinBox(noise);
        m_cooldown[reason]->setObjectName(QStringLiteral("cooldown%1").arg(reason));
        m_cooldown[reason]->setRange(1, 86400);
        m_cooldown[reason]->setSuffix(tr(" 秒"));
        QSpinBox* cooldown = m_cooldown[reason];
        connect(m_repeat[reason], &QComboBox::currentIndexChanged, cooldown,
                [cooldown](int index) { cooldown->setEnabled(index == 2); });
        const int row = reason % 7;
        const int column = reason / 7 * 3;
        noiseGrid->addWidget(label, row, column);
        noiseGrid->addWidget(m_repeat[reason], row, column + 1);
        noiseGrid->addWidget(m_cooldown[reason], row, column + 2);
    }
    auto* steps = new QFormLayout;
    m_pHighStep = new QDoubleSpinBox(noise);
    m_pHighStep->setObjectName(QStringLiteral("newHighStep"));
    m_pLowStep = new QDoubleSpinBox(noise);
    m_pLowStep->setObjectName(QStringLiteral("newLowStep"));
    for (QDoubleSpinBox* step : {m_pHighStep, m_pLowStep}) {
        step->setRange(0, 1000);
        step->setDecimals(2);
        step->setSuffix(tr(" %"));
    }
    steps->addRow(tr("新高须超过上次报警的最高价"), m_pHighStep);
    steps->addRow(tr("新低须低于上次报警的最低价"), m_pLowStep);
    noiseGrid->addLayout(steps, 7, 0, 1, 6);
    layout->addWidget(noise);

    auto* dryRun = new QPushButton(tr("试运行"), this);
    dryRun->setObjectName(QStringLiteral("dryRun"));
    dryRun->setEnabled(m_session.Day() != nullptr);
    connect(dryRun, &QPushButton::clicked, this, &CMarketMonitorDialog::RunDryRun);
    layout->addWidget(dryRun);
    m_pReport = new QPlainTextEdit(this);
    m_pReport->setObjectName(QStringLiteral("dryRunReport"));
    m_pReport->setReadOnly(true);
    layout->addWidget(m_pReport);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    Fill();
}

void CMarketMonitorDialog::Fill()
{
    if (CVelkAlert* engine = m_session.Engine()) {
        m_settings = engine->GetMarketMonitor().Settings();
    } else {
        std::string error;
        m_settings.Load(m_session.SysDir(), error);
    }
    m_pEnabled->setChecked(m_settings.enabled);
    for (int reason = 0; reason < CMarketMonitorSettings::kReasonCount; ++reason) {
        const CMarketMonitorSettings::ReasonRule& rule = m_settings.rules[reason];
        m_repeat[reason]->setCurrentIndex(static_cast<int>(rule.repeat));
        m_cooldown[reason]->setValue(std::max(rule.cooldownSeconds, 60));
        m_cooldown[reason]->setEnabled(rule.repeat == CMarketMonitorSettings::Repeat::Cooldown);
    }
    m_pHighStep->setValue(m_settings.newHighStep);
    m_pLowStep->setValue(m_settings.newLowStep);

    // What the open day holds for the stocks the rules apply to.
    const CTradingDay* day = m_session.Day();
    CVelkAlert* engine = m_session.Engine();
    if (!day || !engine) {
        m_pData->setText(tr("未打开交易日：无法检查数据。"));
        return;
    }
    std::vector<Ta_VELKPRICEALERT>* list = nullptr;
    engine->GetSystemAlert(&list);
    int stocks = 0, close = 0, perMinute = 0, shares = 0;
    for (const Ta_VELKPRICEALERT& record : *list) {
        const int index = day->FindSymbol(record.m_byMarket, VelkFieldText(record.m_szCode));
        ++stocks;
        if (index < 0)
            continue;
        const CTradingDay::Symbol& symbol = day->Symbols()[static_cast<std::size_t>(index)];
        close += symbol.prevClose > 0;
        perMinute += symbol.fiveDayVolumePerMinute > 0;
        shares += symbol.circulatingShares > 0;
    }
    m_pData->setText(tr("本日数据（系统预警股票 %1 只）：昨收 %2 只（涨跌幅比率）；"
                        "五日每分钟均量 %3 只（量比）；流通股本 %4 只（大笔成交）。"
                        "涨跌停价、单比涨跌、大金额来自成交本身。缺数据的股票不报该项。")
                         .arg(stocks)
                         .arg(close)
                         .arg(perMinute)
                         .arg(shares));
}

Ta_ALERTSETTING CMarketMonitorDialog::StoredRatios() const
{
    // The thresholds as the engine holds them (read from alert.cfg at its start); without a day
    // the defaults the engine would start with.
    if (CVelkAlert* engine = m_session.Engine())
        return engine->GetAlertSetting();
    return Ta_ALERTSETTING{1, 1, 1, 1, 1, -1.0f, -1.0f, 50.0f, 2.0f, 100.0f, 0.1f};
}

bool CMarketMonitorDialog::DraftRatios(Ta_ALERTSETTING& draft) const
{
    if (!m_pRatioPane) {
        draft = m_stored;
        return true;
    }
    return m_pRatioPane->Draft(draft);
}

CMarketMonitorSettings CMarketMonitorDialog::DraftSettings() const
{
    CMarketMonitorSettings settings = m_settings;
    settings.enabled = m_pEnabled->isChecked();
    for (int reason = 0; reason < CMarketMonitorSettings::kReasonCount; ++reason) {
        CMarketMonitorSettings::ReasonRule rule;
        rule.repeat = static_cast<CMarketMonitorSettings::Repeat>(m_repeat[reason]->currentIndex());
        rule.cooldownSeconds = rule.repeat == CMarketMonitorSettings::Repeat::Cooldown
                                   ? m_cooldown[reason]->value()
                                   : 0;
        settings.rules[reason] = rule;
    }
    settings.newHighStep = m_pHighStep->value();
    settings.newLowStep = m_pLowStep->value();
    return settings;
}

void CMarketMonitorDialog::RunDryRun()
{
    const CTradingDay* day = m_session.Day();
    if (!day)
        return;
    // A value the page refuses is told there and has the focus; nothing is run with it.
    Ta_ALERTSETTING ratios{};
    if (!DraftRatios(ratios))
        return;
    const CMonitorDryRun::Result result =
        CMonitorDryRun::Run(*day, m_session.SysDir(), ratios, DraftSettings());
    if (!result.ok) {
        m_pReport->setPlainText(
            tr("试运行失败：%1").arg(CSystemErrorText::Translate(result.error)));
        return;
    }
    QString text =
        tr("试运行 %1：共 %2 条报警\n\n按原因：\n").arg(m_session.DayFolder()).arg(result.total);
    for (const auto& [reason, count] : result.perReason)
        text += QStringLiteral("  %1  %2\n").arg(QString::fromStdString(reason)).arg(count);
    std::vector<std::pair<std::string, int>> stocks(result.perStock.begin(), result.perStock.end());
    std::stable_sort(stocks.begin(), stocks.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    text += tr("\n按股票：\n");
    for (const auto& [stock, count] : stocks)
        text += QStringLiteral("  %1  %2\n").arg(QString::fromStdString(stock)).arg(count);
    text += tr("\n最先的报警：\n");
    for (const std::string& line : result.first)
        text += QString::fromStdString(line) + QLatin1Char('\n');
    m_pReport->setPlainText(text);
}

QString CMarketMonitorDialog::DryRunReport() const
{
    return m_pReport->toPlainText();
}

bool CMarketMonitorDialog::Save()
{
    // The page checks its values first: a refused one keeps the dialog open on its field.
    Ta_ALERTSETTING draft{};
    if (!DraftRatios(draft))
        return false;
    CVelkAlert* engine = m_session.Engine();
    CMarketMonitorSettings settings = DraftSettings();
    // The mutes stay the engine's: one made while the dialog was open is kept.
    if (engine)
        settings.mutes = engine->GetMarketMonitor().Settings().mutes;
    if (!settings.Save(m_session.SysDir())) {
        Warn(tr("无法保存盘中异动设置 MarketMonitor.cfg。") + QStringLiteral("\n") +
             CSystemErrorText::Translate(VelkFromGbk(VelkFileError())));
        return false;
    }
    if (!engine)
        return true;
    engine->GetMarketMonitor().ApplySettings(settings);
    const CSettingsResult ratios = engine->TakeRatioSetting(draft);
    if (!ratios.bTaken) {
        Warn(VelkFromGbk(ratios.strReasonGbk));
        return false;
    }
    if (!ratios.unsavedFiles.empty()) {
        Warn(tr("无法保存报警比率 alert.cfg。"));
        return false;
    }
    return true;
}

void CMarketMonitorDialog::accept()
{
    if (Save())
        QDialog::accept();
}

void CMarketMonitorDialog::Install(CDesktopMainWindow& window)
{
    QMenu* alerts = window.Menu(CDesktopMainWindow::MenuId::Alerts);
    if (alerts) {
        QAction* open = alerts->addAction(tr("盘中异动设置(&M)..."));
        open->setObjectName(QStringLiteral("actionMarketMonitor"));
        QObject::connect(open, &QAction::triggered, &window, [&window] {
            CMarketMonitorDialog dialog(window.Session(), &window);
            dialog.exec();
        });
    }
    // The module's alert list window gets 今日静音 on its rows from the host's side.
    new CAlertListMuteHook(&window, [&window] { return window.Engine(); });
    if (CQuoteBoard* board = window.Board())
        QObject::connect(board, &CQuoteBoard::MuteRequested, &window,
                         [&window](unsigned char market, const QByteArray& code) {
                             CVelkAlert* engine = window.Engine();
                             if (engine && !engine->MuteStockForDay(market, code.toStdString()))
                                 Warn(tr("静音已生效，但无法保存到 MarketMonitor.cfg。") +
                                      QStringLiteral("\n") +
                                      CSystemErrorText::Translate(VelkFromGbk(VelkFileError())));
                         });
}
