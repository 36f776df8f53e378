// velk-host's main window over a real engine and the module's windows, replaying a small day.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QValueAxis>
#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "host/gui/CReplayController.h"
#include "platform/qt/QtText.h"
#include "tests/desktop/CRecordingPrompt.h"
#include "tests/host/HostTestSupport.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

void PrintTo(const QString& text, std::ostream* out)
{
    *out << text.toStdString();
}

void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << texts.join(QStringLiteral(" / ")).toStdString();
}

namespace {

constexpr int k0930 = 9 * 3600 + 30 * 60;

const char* const kTrades = "09:30:00,1,600000,10.00,1000\n"
                            "09:30:00,2,000001,12.00,100\n"
                            "09:31:00,1,600000,10.60,500\n"
                            "09:31:30,2,000001,12.50,800\n"
                            "09:33:00,1,600000,10.40,300\n"
                            "09:34:00,2,000001,11.90,100\n"
                            "09:35:00,1,600000,9.40,400\n";
const char* const kSignals = "09:31:00,1,600000,3\n09:33:00,2,000001,3\n";
const char* const kMagic = "3,金叉\n";

// One alert as the alert list window shows it, or as the headless run prints it, reduced to
// what both show: time, name, price, volume in lots and reason.
std::string AlertRow(const QString& time, const QString& name, const QString& price,
                     const QString& lots, const QString& reason)
{
    return (QStringList{time, name, price, lots, reason}.join(QLatin1Char('|'))).toStdString();
}

std::vector<std::string> HeadlessRows(const std::string& out)
{
    std::vector<std::string> rows;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const QStringList f = QString::fromStdString(line).split(QLatin1Char('\t'));
        if (f.size() != 7)
            continue;
        const QString lots = QString::number(f[5].toDouble() * 0.01, 'f', 0);
        rows.push_back(AlertRow(f[0], f[3], f[4], lots, f[6]));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QWidget* AlertListWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == VelkFromUtf8("报警列表"))
            return widget;
    return nullptr;
}

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        WriteConditions(Sys());
        WriteDay(Day(), kTrades, kSignals, kMagic);
        m_pWindow = std::make_unique<CDesktopMainWindow>(Sys(), nullptr, true);
        m_pMainScope = std::make_unique<CScopedMainWindow>(m_pWindow.get());
        m_pWindow->show();
        ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(Day())));
    }

    void TearDown() override
    {
        m_pWindow.reset();
        m_pMainScope.reset();
    }

    static void WriteConditions(const std::string& sys, bool popup = true)
    {
        Ta_OTHERALERT options = QuietOptions();
        options.m_byPopup = popup ? 1 : 0;
        WriteFile(sys + "/alert.cfg",
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, options));
        WriteFile(sys + "/System_alert.cfg",
                  SystemAlertCfg({Stock(2, "000001", "平安银行")}, 1, 1, 1, 2));
        WriteFile(sys + "/Magic.cfg", MagicCfg({Stock(1, "600000", "浦发银行", 0, 0, {3})}));
    }

    std::string Sys() const { return m_work.Temp().File("SYS"); }
    std::string Day() const { return m_work.Temp().File("day"); }
    CReplayController& Controller() const { return *m_pWindow->Controller(); }
    CQuoteBoardModel& Board() const { return *m_pWindow->Board()->Model(); }
    QAction* Action(const char* name) const
    {
        return m_pWindow->findChild<QAction*>(QString::fromLatin1(name));
    }
    QString StatusText(const char* start) const
    {
        for (QLabel* label : m_pWindow->findChildren<QLabel*>())
            if (label->text().startsWith(VelkFromUtf8(start)))
                return label->text();
        return {};
    }

    QString Cell(const char* code, int column) const
    {
        const int row = Board().RowOf(code[0] == '6' ? 1 : 2, code);
        return row < 0 ? QString() : Board().index(row, column).data().toString();
    }

    void PlayToTheEnd()
    {
        Controller().SetSpeed(CReplayController::kFastest);
        Controller().Play();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return Controller().GetState() == CReplayController::State::Finished; },
            10000));
        m_pWindow->RefreshViews();
    }

    // What the headless velk-host prints for the same conditions and day.
    std::vector<std::string> HeadlessAlerts() const
    {
        CTempDir root;
        WriteConditions(root.File("SYS"));
        const HostResult run =
            RunHost({"--headless", "--silent", "--root", root.Path(), "--day", Day()},
                    {"QT_QPA_PLATFORM=offscreen"});
        EXPECT_EQ(run.status, 0) << run.err;
        return HeadlessRows(run.out);
    }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
    CRecordingPrompt m_prompt;
    std::unique_ptr<CDesktopMainWindow> m_pWindow;
    std::unique_ptr<CScopedMainWindow> m_pMainScope;
};

TEST_F(DesktopTest, FullSpeedFillsTheBoardAndTheAlertListAsTheHeadlessRunPrints)
{
    PlayToTheEnd();

    struct Expected {
        const char* code;
        const char *last, *change, *percent, *high, *low, *lots, *time;
    };
    for (const Expected& e :
         {Expected{"600000", "9.40", "-0.60", "-6.00%", "10.60", "9.40", "22", "09:35:00"},
          Expected{"000001", "11.90", "-0.10", "-0.83%", "12.50", "11.90", "10", "09:34:00"}}) {
        SCOPED_TRACE(e.code);
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kLast), VelkFromUtf8(e.last));
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kChange), VelkFromUtf8(e.change));
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kChangePercent), VelkFromUtf8(e.percent));
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kHigh), VelkFromUtf8(e.high));
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kLow), VelkFromUtf8(e.low));
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kVolume), VelkFromUtf8(e.lots));
        EXPECT_EQ(Cell(e.code, CQuoteBoardModel::kTime), VelkFromUtf8(e.time));
    }
    const QModelIndex falling = Board().index(Board().RowOf(1, "600000"), CQuoteBoardModel::kLast);
    EXPECT_EQ(falling.data(Qt::ForegroundRole).value<QColor>(), CQuoteBoardModel::kFalling);

    QWidget* list = AlertListWindow();
    ASSERT_NE(list, nullptr);
    const QAbstractItemModel* rows = list->findChild<QTableView*>()->model();
    const std::vector<std::string> printed = HeadlessAlerts();
    EXPECT_GE(printed.size(), 5u);
    // The window takes new rows once a frame.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return rows->rowCount() == static_cast<int>(printed.size()); }));
    std::vector<std::string> shown;
    for (int r = 0; r < rows->rowCount(); ++r) {
        auto at = [&](int c) { return rows->index(r, c).data().toString(); };
        shown.push_back(AlertRow(at(1), at(0), at(2), at(3), at(4)));
    }
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, printed);
    EXPECT_EQ(m_pWindow->AlertsSoFar(), static_cast<int>(printed.size()));
    EXPECT_EQ(StatusText("报警"), VelkFromUtf8("报警 %1 条").arg(printed.size()));
}

TEST_F(DesktopTest, PauseHoldsTheClockAndEachStepReplaysExactlyOneSecond)
{
    EXPECT_EQ(Controller().Clock(), k0930 - 1);
    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kLast), QStringLiteral("-"));

    // Step by step up to 09:31:00: the 09:31 trade shows only with its own second.
    struct Step {
        int clock;
        const char* last600000;
        const char* last000001;
    };
    const Step steps[] = {
        {k0930, "10.00", "12.00"}, {k0930 + 59, "10.00", "12.00"}, {k0930 + 60, "10.60", "12.00"}};
    for (const Step& step : steps) {
        while (Controller().Clock() < step.clock)
            Controller().StepSecond();
        SCOPED_TRACE(step.clock);
        EXPECT_EQ(Controller().Clock(), step.clock);
        EXPECT_EQ(Controller().GetState(), CReplayController::State::Paused);
        EXPECT_EQ(Cell("600000", CQuoteBoardModel::kLast), VelkFromUtf8(step.last600000));
        EXPECT_EQ(Cell("000001", CQuoteBoardModel::kLast), VelkFromUtf8(step.last000001));
    }

    Controller().SetSpeed(60);
    Controller().Play();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Controller().Clock() > k0930 + 62; }));
    Controller().Pause();
    const int paused = Controller().Clock();
    QTest::qWait(1200);
    EXPECT_EQ(Controller().Clock(), paused);
    Action("actionStep")->trigger();
    EXPECT_EQ(Controller().Clock(), paused + 1);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Paused);
}

TEST_F(DesktopTest, AnalyseOpensAChartWhoseMarkersAreExactlyThatStocksAlerts)
{
    // Opened half-way, the chart follows the replay.
    while (Controller().Clock() < k0930 + 60)
        Controller().StepSecond();
    CSymbolInfo stock(1, "600000");
    VelkSendMessage(m_pWindow.get(), VelkRegisterWindowMessage("MSG_ANALYSE"), 0,
                    reinterpret_cast<std::intptr_t>(&stock));
    ASSERT_EQ(m_pWindow->Charts().size(), 1u);
    CIntradayChart* chart = m_pWindow->Charts().front();
    EXPECT_EQ(chart->TickCount(), 2);
    EXPECT_EQ(chart->MinuteVolume(k0930), 1000.0);
    EXPECT_EQ(chart->Markers().size(), 2u); // 达到上限价 and the signal, both at 09:31:00

    PlayToTheEnd();
    std::vector<std::string> markers;
    for (const CIntradayChart::Marker& m : chart->Markers())
        markers.push_back(AlertRow(QStringLiteral("%1").arg(m.time), QString(),
                                   QString::number(m.price, 'f', 2), QString(), m.reason));
    std::vector<std::string> expected;
    for (const std::string& row : HeadlessAlerts()) {
        const QStringList f = QString::fromStdString(row).split(QLatin1Char('|'));
        if (f[1] != VelkFromUtf8("浦发银行"))
            continue;
        const QTime time = QTime::fromString(f[0], QStringLiteral("HH:mm:ss"));
        expected.push_back(AlertRow(QString::number(time.msecsSinceStartOfDay() / 1000), QString(),
                                    f[2], QString(), f[4]));
    }
    std::sort(markers.begin(), markers.end());
    EXPECT_EQ(markers, expected);
    EXPECT_EQ(chart->TickCount(), 4);
    EXPECT_FLOAT_EQ(chart->LastPrice(), 9.40f);
    EXPECT_FLOAT_EQ(chart->PrevClose(), 10.00f);
    EXPECT_FLOAT_EQ(chart->LimitUp(), 11.00f);
    QStringList tip = chart->MarkerTip(k0930 + 60, 10.60).split(QLatin1Char('\n'));
    tip.sort();
    EXPECT_EQ(tip, QStringList({QStringLiteral("09:31:00 10.60 ") + VelkFromUtf8("达到上限价"),
                                QStringLiteral("09:31:00 10.60 ") + VelkFromUtf8("金叉")}));

    // The board's double click on the same stock brings that chart up again, not a second one.
    QTableView* view = m_pWindow->Board()->View();
    const QModelIndex row =
        m_pWindow->Board()->Proxy()->mapFromSource(Board().index(Board().RowOf(1, "600000"), 0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(row).center());
    EXPECT_EQ(m_pWindow->Charts().size(), 1u);
}

TEST_F(DesktopTest, ChartRangeCentresOnThePreviousCloseAndTakesInTheLimitsWhenAsked)
{
    PlayToTheEnd();
    CIntradayChart* chart = m_pWindow->OpenChart(2, "000001");
    ASSERT_NE(chart, nullptr);
    auto* axis = qobject_cast<QValueAxis*>(chart->Chart()->axes(Qt::Vertical, nullptr).front());
    ASSERT_NE(axis, nullptr);
    // Trades from 11.90 to 12.50 around 12.00: the range holds them, not the limits.
    EXPECT_GT(axis->max(), 12.50);
    EXPECT_LT(axis->max(), 13.20);
    EXPECT_LT(axis->min(), 11.90);
    EXPECT_GT(axis->min(), 10.80);

    chart->findChild<QCheckBox*>()->setChecked(true);
    EXPECT_GE(axis->max(), 13.20);
    EXPECT_LE(axis->min(), 10.80);
    chart->findChild<QCheckBox*>()->setChecked(false);
    EXPECT_LT(axis->max(), 13.20);
}

TEST_F(DesktopTest, TheBoardShowsEachStocksOpenAndMoneyTradedAsTheReplayGoes)
{
    // From the trades of the day: the first price of each stock and its price times shares.
    std::map<std::string, std::pair<double, double>> expected; // code -> open, money
    std::istringstream trades(kTrades);
    for (std::string line; std::getline(trades, line);) {
        const QStringList f = QString::fromStdString(line).split(QLatin1Char(','));
        auto [it, first] = expected.try_emplace(f[2].toStdString(), f[3].toDouble(), 0.0);
        it->second.second += f[3].toDouble() * f[4].toDouble();
    }
    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kOpen), QStringLiteral("-"));
    PlayToTheEnd();
    for (const auto& [code, figures] : expected) {
        SCOPED_TRACE(code);
        const int row = Board().RowOf(code[0] == '6' ? 1 : 2, code);
        const CQuoteBoardModel::Row& quote = Board().RowAt(row);
        EXPECT_NEAR(quote.open, figures.first, 1e-5);
        EXPECT_NEAR(quote.amount, figures.second, 1.0);
        EXPECT_EQ(Cell(code.c_str(), CQuoteBoardModel::kOpen),
                  QString::number(figures.first, 'f', 2));
    }
}

TEST_F(DesktopTest, SettingsHoldTheReplayAndNewDayClearsTheEnginesDay)
{
    Controller().SetSpeed(CReplayController::kFastest);
    VelkPostMessage(m_pWindow.get(), VelkCommandMessage(), 668, 0);
    Controller().Play();
    bool sheetSeen = false;
    int clockWhileOpen = -2;
    QTimer::singleShot(0, [&] {
        QWidget* sheet = QApplication::activeModalWidget();
        sheetSeen = sheet && sheet->windowTitle() == VelkFromUtf8("报警参数设置");
        clockWhileOpen = Controller().Clock();
        QTest::qWait(300);
        EXPECT_EQ(Controller().Clock(), clockWhileOpen);
        if (auto* dialog = qobject_cast<QDialog*>(sheet))
            dialog->reject();
    });
    CModalGuard guard;
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheetSeen; }));
    EXPECT_EQ(clockWhileOpen, k0930 - 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Controller().GetState() == CReplayController::State::Finished; }, 10000));
    m_pWindow->RefreshViews();

    std::vector<Ta_VELKPRICEALERT>* monitored = nullptr;
    m_pWindow->Engine()->GetSystemAlert(&monitored);
    ASSERT_EQ(monitored->size(), 1u);
    EXPECT_FLOAT_EQ(+monitored->front().m_fUpper, 12.50f);
    ASSERT_FALSE(m_pWindow->Engine()->GetAlertRecords().empty());
    CIntradayChart* chart = m_pWindow->OpenChart(2, "000001");
    ASSERT_NE(chart, nullptr);
    EXPECT_FALSE(chart->Markers().empty());

    // Ctrl+N asks first; No (the default) changes nothing.
    const std::size_t alerts = m_pWindow->Engine()->GetAlertRecords().size();
    QTest::keyClick(m_pWindow.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(m_prompt.questions.size(), 1);
    EXPECT_EQ(m_pWindow->Engine()->GetAlertRecords().size(), alerts);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Finished);

    m_prompt.answers = {true};
    Action("actionNewDay")->trigger();

    EXPECT_EQ(m_prompt.questions.size(), 2);
    m_pWindow->Engine()->GetSystemAlert(&monitored);
    ASSERT_EQ(monitored->size(), 1u);
    EXPECT_EQ(+monitored->front().m_fUpper, 0.0f);
    EXPECT_EQ(+monitored->front().m_fLower, 0.0f);
    EXPECT_TRUE(m_pWindow->Engine()->GetAlertRecords().empty());
    EXPECT_EQ(m_pWindow->AlertsSoFar(), 0);
    EXPECT_TRUE(chart->Markers().empty());
    // The replay starts again from the open, and the first run's alerts are kept.
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Paused);
    EXPECT_EQ(Controller().Clock(), k0930 - 1);
    EXPECT_EQ(ReadFile(m_work.DayFile("20240105") + ".1").size(), alerts * sizeof(Ta_ALERTRECORD));
    EXPECT_EQ(m_prompt.notes.size(), 1);
}

TEST_F(DesktopTest, RatioSettingsAreSavedWithTheConditionsWhenTheBuildHasThePage)
{
    QAction* ratio = Action("actionRatioSettings");
    const bool hasPage = VelkRegisteredServices().pWindowing->HasAlertSettingPage();
    ASSERT_EQ(ratio->isEnabled(), hasPage);
    if (!hasPage)
        GTEST_SKIP() << "this build has no alert setting page";

    QTimer::singleShot(0, [] {
        QWidget* sheet = QApplication::activeModalWidget();
        ASSERT_NE(sheet, nullptr);
        for (QAbstractButton* button : sheet->findChildren<QAbstractButton*>())
            if (button->property("controlId").toInt() == 1107)
                button->click();
        for (QAbstractButton* button : sheet->findChildren<QAbstractButton*>())
            if (button->property("controlId").toInt() == 1)
                button->click();
    });
    CModalGuard guard;
    ratio->trigger();

    const std::string saved = ReadFile(Sys() + "/alert.cfg").substr(0, sizeof(Ta_ALERTSETTING));
    const Ta_ALERTSETTING defaults{1, 1, 1, 1, 1, 4.0f, 4.0f, 50.0f, 2.0f, 100.0f, 0.1f};
    EXPECT_EQ(saved, Bytes(defaults));
}

TEST_F(DesktopTest, RatioSettingsOpenOnTheStoredRecordAndOkWithoutAChangeKeepsTheFile)
{
    if (!VelkRegisteredServices().pWindowing->HasAlertSettingPage())
        GTEST_SKIP() << "this build has no alert setting page";
    // Some switches on and some off, two ratios off (-1), the others at values of the user's.
    const Ta_ALERTSETTING stored{1, 0, 1, 0, 1, 3.5f, -1.0f, 20.0f, -1.0f, 250.0f, 0.5f};
    std::string cfg = ReadFile(Sys() + "/alert.cfg");
    cfg.replace(0, sizeof(Ta_ALERTSETTING), Bytes(stored));
    WriteFile(Sys() + "/alert.cfg", cfg);
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(Day())));
    const std::string before = ReadFile(Sys() + "/alert.cfg");

    bool riseShown = false;
    QTimer::singleShot(0, [&] {
        QWidget* sheet = QApplication::activeModalWidget();
        ASSERT_NE(sheet, nullptr);
        for (QLineEdit* edit : sheet->findChildren<QLineEdit*>())
            if (edit->property("controlId").toInt() == 1101)
                riseShown = edit->text() == QStringLiteral("3.5") && edit->isEnabled();
        for (QAbstractButton* button : sheet->findChildren<QAbstractButton*>())
            if (button->property("controlId").toInt() == 1)
                button->click();
    });
    CModalGuard guard;
    Action("actionRatioSettings")->trigger();

    EXPECT_TRUE(riseShown);
    EXPECT_EQ(ReadFile(Sys() + "/alert.cfg"), before);
    EXPECT_EQ(Bytes(m_pWindow->Engine()->GetAlertSetting()), Bytes(stored));
}

TEST_F(DesktopTest, ContextMenuAddsTheStockToTheMonitoredList)
{
    QTableView* view = m_pWindow->Board()->View();
    const QModelIndex row =
        m_pWindow->Board()->Proxy()->mapFromSource(Board().index(Board().RowOf(1, "600000"), 0));
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu->actions().front()->trigger();
        menu->close();
    });
    Q_EMIT view->customContextMenuRequested(view->visualRect(row).center());

    std::vector<Ta_VELKPRICEALERT>* monitored = nullptr;
    m_pWindow->Engine()->GetSystemAlert(&monitored);
    ASSERT_EQ(monitored->size(), 2u);
    EXPECT_EQ(VelkFieldText(monitored->back().m_szCode), "600000");
    // Kept with the monitored stocks for the next start.
    EXPECT_EQ(ReadFile(Sys() + "/System_alert.cfg").size(), 7 + 2 * sizeof(Ta_VELKPRICEALERT));
    EXPECT_EQ(m_pWindow->statusBar()->currentMessage(), VelkFromUtf8("已加入系统预警: 600000"));

    // A stock already listed is said to be so, and listed once.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu->actions().front()->trigger();
        menu->close();
    });
    Q_EMIT view->customContextMenuRequested(view->visualRect(row).center());
    m_pWindow->Engine()->GetSystemAlert(&monitored);
    EXPECT_EQ(monitored->size(), 2u);
    EXPECT_EQ(m_pWindow->statusBar()->currentMessage(), VelkFromUtf8("600000 已在系统预警列表中"));
}

TEST_F(DesktopTest, BadgeMarksAnUnseenAlertUntilTheAlertListIsShown)
{
    WriteConditions(Sys(), false);
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(Day())));
    QAction* alertList = Action("actionShowAlerts");
    EXPECT_FALSE(alertList->toolTip().contains(VelkFromUtf8("新报警")));

    while (m_pWindow->AlertsSoFar() == 0 &&
           Controller().GetState() == CReplayController::State::Paused)
        Controller().StepSecond();
    ASSERT_GT(m_pWindow->AlertsSoFar(), 0);
    EXPECT_EQ(m_pWindow->Engine()->GetNewAlertFlag(), 1);
    EXPECT_TRUE(alertList->toolTip().contains(VelkFromUtf8("新报警")));
    EXPECT_TRUE(AlertListWindow() == nullptr || !AlertListWindow()->isVisible());

    alertList->trigger();
    ASSERT_NE(AlertListWindow(), nullptr);
    EXPECT_TRUE(AlertListWindow()->isVisible());
    EXPECT_EQ(m_pWindow->Engine()->GetNewAlertFlag(), 0);
    EXPECT_FALSE(alertList->toolTip().contains(VelkFromUtf8("新报警")));
    Action("actionHideAlerts")->trigger();
    EXPECT_FALSE(AlertListWindow()->isVisible());
}

TEST_F(DesktopTest,
       AnotherDayEndsTheFirstWhoseEngineWritesItsDayFileAndABadFolderKeepsTheDayInPlace)
{
    PlayToTheEnd();
    const int alerts = m_pWindow->AlertsSoFar();
    ASSERT_GT(alerts, 0);
    CVelkAlert* engine = m_pWindow->Engine();

    WriteFile(m_work.Temp().File("bad/day.csv"), "trade_date\n20240105\n");
    WriteFile(m_work.Temp().File("bad/markets.csv"), "market,ext,level1\n1,SH\n");
    QString error;
    EXPECT_FALSE(m_pWindow->OpenDay(QString::fromStdString(m_work.Temp().File("bad")), &error));
    EXPECT_EQ(error, QStringLiteral("markets.csv:2: 2 fields where 3 are expected"));
    EXPECT_EQ(m_pWindow->Engine(), engine);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Finished);
    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kLast), QStringLiteral("9.40"));
    EXPECT_FALSE(std::filesystem::exists(m_work.DayFile("20240105")));

    const std::string second = m_work.Temp().File("second");
    WriteDay(second, "09:40:00,2,000001,12.30,100\n");
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(second)));
    // The second day has the same date: the first one's alerts are kept aside, not loaded.
    EXPECT_EQ(ReadFile(m_work.DayFile("20240105") + ".1").size(), alerts * sizeof(Ta_ALERTRECORD));
    EXPECT_FALSE(std::filesystem::exists(m_work.DayFile("20240105")));
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Paused);
    EXPECT_EQ(Controller().Clock(), 9 * 3600 + 40 * 60 - 1);
    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kLast), QStringLiteral("-"));
    EXPECT_EQ(m_pWindow->AlertsSoFar(), 0);
    Controller().StepSecond();
    EXPECT_EQ(Cell("000001", CQuoteBoardModel::kLast), QStringLiteral("12.30"));
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Finished);
}

TEST_F(DesktopTest, ASecondReplayStartsFromACleanListAndKeepsTheFirstRunsFile)
{
    PlayToTheEnd();
    const int first = m_pWindow->AlertsSoFar();
    ASSERT_GT(first, 0);
    // The end of the day offers a restart.
    auto* offer = m_pWindow->findChild<QAbstractButton*>(QStringLiteral("restartOffer"));
    ASSERT_NE(offer, nullptr);
    EXPECT_TRUE(offer->isVisible());
    EXPECT_TRUE(Action("actionPlay")->isEnabled());

    // Opening the same folder again is a second replay of the date.
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(Day())));
    EXPECT_TRUE(m_pWindow->Engine()->GetAlertRecords().empty());
    PlayToTheEnd();
    EXPECT_EQ(m_pWindow->AlertsSoFar(), first);
    EXPECT_EQ(m_pWindow->Engine()->GetAlertRecords().size(), static_cast<std::size_t>(first));
    QWidget* list = AlertListWindow();
    ASSERT_NE(list, nullptr);
    const QAbstractItemModel* rows = list->findChild<QTableView*>()->model();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows->rowCount() == first; }));
    EXPECT_EQ(rows->rowCount(), first);

    // A third run by restart; each earlier file is kept under a number of its own, unchanged,
    // and the user was told once.
    Action("actionRestart")->trigger();
    PlayToTheEnd();
    m_pWindow.reset();
    const std::string whole(first * sizeof(Ta_ALERTRECORD), 'x');
    for (const char* suffix : {"", ".1", ".2"})
        EXPECT_EQ(ReadFile(m_work.DayFile("20240105") + suffix).size(), whole.size()) << suffix;
    EXPECT_FALSE(std::filesystem::exists(m_work.DayFile("20240105") + ".3"));
    EXPECT_EQ(m_prompt.notes.size(), 1);
}

TEST_F(DesktopTest, SeekingReplaysFromTheOpenAndShowsOnlyTheAlertsUpToTheClock)
{
    PlayToTheEnd();
    const std::size_t all = m_pWindow->Engine()->GetAlertRecords().size();
    CIntradayChart* chart = m_pWindow->OpenChart(1, "600000");
    ASSERT_NE(chart, nullptr);
    const std::size_t allMarkers = chart->Markers().size();
    ASSERT_GT(allMarkers, 1u);

    const int target = k0930 + 90; // 09:31:30
    m_pWindow->Session().SeekTo(target);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Seeking);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Controller().GetState() == CReplayController::State::Paused; }, 10000));
    m_pWindow->RefreshViews();
    EXPECT_EQ(Controller().Clock(), target);
    const CAlertRecordList& alerts = m_pWindow->Engine()->GetAlertRecords();
    EXPECT_FALSE(alerts.empty());
    EXPECT_LT(alerts.size(), all);
    for (const Ta_ALERTRECORD& alert : alerts)
        EXPECT_LE(+alert.m_nTime, target);
    EXPECT_LT(chart->Markers().size(), allMarkers);
    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kLast), QStringLiteral("10.60"));

    // Seeking forward while playing plays on from the target.
    Controller().SetSpeed(1);
    Controller().Play();
    m_pWindow->Session().SeekTo(k0930 + 4 * 60);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Controller().GetState() == CReplayController::State::Playing; }, 10000));
    EXPECT_GE(Controller().Clock(), k0930 + 4 * 60);
}

TEST_F(DesktopTest, DraggingTheProgressBarSeeksAndTheSpeedKeysStepThroughTheSpeeds)
{
    auto* bar = m_pWindow->findChild<QProgressBar*>(QStringLiteral("replayProgress"));
    ASSERT_NE(bar, nullptr);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(2, bar->height() / 2));
    QTest::mouseMove(bar, QPoint(bar->width() / 2, bar->height() / 2));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() - 1, bar->height() / 2));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Controller().GetState() == CReplayController::State::Finished; }, 10000));
    EXPECT_EQ(Controller().Clock(), Controller().DayEnd());

    Controller().SetSpeed(1);
    QTest::keyClick(m_pWindow.get(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(Controller().Speed(), 2);
    QTest::keyClick(m_pWindow.get(), Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(m_pWindow.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(Controller().Speed(), 1);
    Controller().SetSpeed(CReplayController::kFastest);
    Controller().Faster();
    EXPECT_EQ(Controller().Speed(), CReplayController::kFastest);
}

TEST_F(DesktopTest, ADayWithoutTradesListsItsStocksAndOffersNothingToPlay)
{
    const std::string empty = m_work.Temp().File("empty");
    WriteDay(empty, "");
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(empty)));

    EXPECT_EQ(Board().rowCount(), 2);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Finished);
    for (const char* name : {"actionPlay", "actionPause", "actionStep", "actionPlayPause"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    EXPECT_TRUE(Action("actionNewDay")->isEnabled());
    Controller().StepSecond();
    Controller().Play();
    EXPECT_EQ(Controller().Clock(), -1);
    EXPECT_EQ(Controller().Progress(), 1000);
}

TEST_F(DesktopTest, ASecondOfThousandsOfTradesStillLetsTheEventLoopTurn)
{
    // Far more trades than one turn's time slice replays, however fast the engine gets.
    std::string trades;
    for (int i = 0; i < 100000; ++i)
        trades += "09:30:00,1,600000," + std::to_string(10.00 + (i % 7) * 0.01) + ",100\n";
    trades += "09:30:00,1,600000,10.50,100\n";
    const std::string busy = m_work.Temp().File("busy");
    WriteDay(busy, trades);
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(busy)));

    // Between two turns of the loop the replay stands somewhere inside the second.
    std::vector<long long> seen;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout,
                     [&] { seen.push_back(Controller().TradesReplayed()); });
    watcher.start(0);
    PlayToTheEnd();
    watcher.stop();

    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kLast), QStringLiteral("10.50"));
    EXPECT_EQ(Cell("600000", CQuoteBoardModel::kVolume), QStringLiteral("100001"));
    EXPECT_EQ(Controller().TradesReplayed(), 100001);
    EXPECT_TRUE(
        std::any_of(seen.begin(), seen.end(), [](long long n) { return n > 0 && n < 100001; }))
        << seen.size() << " turns";
}

struct BoardCase {
    const char* code;
    double prevClose, last;
    const char *lastText, *change, *percent;
    QColor colour;
};

TEST(DesktopBoard, ColoursChangesAndSortOrderFollowThePreviousClose)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.Reset();
    store.AddMarket(1, "SH", 1);
    const BoardCase cases[] = {
        {"600001", 10.00, 10.50, "10.50", "+0.50", "+5.00%", CQuoteBoardModel::kRising},
        {"600002", 10.00, 10.00, "10.00", "0.00", "0.00%", CQuoteBoardModel::kUnchanged},
        {"600003", 20.00, 19.00, "19.00", "-1.00", "-5.00%", CQuoteBoardModel::kFalling},
        {"600004", 8.00, 0, "-", "-", "-", CQuoteBoardModel::kUnchanged},
        {"600005", 0, 5.00, "5.00", "-", "-", CQuoteBoardModel::kUnchanged},
    };
    for (const BoardCase& c : cases) {
        store.AddSymbol(1, c.code, "x");
        store.SetItem(1, c.code, X1Format::Price(129, c.prevClose));
        if (c.last > 0) {
            store.SetItem(1, c.code, X1Format::Price(125, c.last));
            store.SetItem(1, c.code, X1Format::Volume(413, 250));
        }
    }
    CQuoteBoardModel model;
    model.Reload();
    ASSERT_EQ(model.rowCount(), 5);
    for (const BoardCase& c : cases) {
        SCOPED_TRACE(c.code);
        const int row = model.RowOf(1, c.code);
        EXPECT_EQ(model.index(row, CQuoteBoardModel::kLast).data().toString(),
                  QString::fromLatin1(c.lastText));
        EXPECT_EQ(model.index(row, CQuoteBoardModel::kChange).data().toString(),
                  QString::fromLatin1(c.change));
        EXPECT_EQ(model.index(row, CQuoteBoardModel::kChangePercent).data().toString(),
                  QString::fromLatin1(c.percent));
        EXPECT_EQ(
            model.index(row, CQuoteBoardModel::kLast).data(Qt::ForegroundRole).value<QColor>(),
            c.colour);
    }

    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setSortRole(CQuoteBoardModel::kSortRole);
    proxy.sort(CQuoteBoardModel::kChangePercent, Qt::DescendingOrder);
    QStringList order;
    for (int r = 0; r < 3; ++r)
        order << proxy.index(r, CQuoteBoardModel::kCode).data().toString();
    EXPECT_EQ(order, QStringList({QStringLiteral("600001"), QStringLiteral("600002"),
                                  QStringLiteral("600003")}));

    // A trade shows at the next flush, on its row alone; a stock the board does not list is
    // passed over.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    store.SetItem(1, "600004", X1Format::Price(125, 8.80));
    model.MarkTraded(1, "600004");
    model.MarkTraded(1, "600004");
    model.MarkTraded(1, "688999");
    EXPECT_EQ(model.index(model.RowOf(1, "600004"), CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("-"));
    model.Flush();
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.front().front().value<QModelIndex>().row(), model.RowOf(1, "600004"));
    EXPECT_EQ(
        model.index(model.RowOf(1, "600004"), CQuoteBoardModel::kChangePercent).data().toString(),
        QStringLiteral("+10.00%"));
    store.Reset();
}

struct WizardCase {
    const char* name;
    const char* filter;
    const char* typed;
    unsigned char market;
    const char* code;
};

void PrintTo(const WizardCase& c, std::ostream* out)
{
    *out << c.name;
}

class DesktopWizardTest : public DesktopTest, public ::testing::WithParamInterface<WizardCase> {};

TEST_P(DesktopWizardTest, TypingOnTheBoardJumpsToThePickedStock)
{
    CQuoteBoard* board = m_pWindow->Board();
    board->FilterEdit()->setText(VelkFromUtf8(GetParam().filter));
    if (*GetParam().filter) {
        EXPECT_EQ(board->Proxy()->rowCount(), 1);
    }

    const QString typed = QString::fromLatin1(GetParam().typed);
    QTest::keyClick(board->View(), typed.at(0).toLatin1());
    ASSERT_NE(board->Wizard(), nullptr);
    EXPECT_TRUE(board->Wizard()->isVisible());
    QTest::keyClicks(board->Wizard(), typed.mid(1));
    QTest::keyClick(board->Wizard(), Qt::Key_Return);

    unsigned char market = 0;
    std::string code;
    ASSERT_TRUE(board->CurrentStock(market, code));
    EXPECT_EQ(code, GetParam().code);
    EXPECT_EQ(market, GetParam().market);
    EXPECT_FALSE(board->Wizard()->isVisible());
    EXPECT_EQ(board->Proxy()->rowCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    CodesAndInitials, DesktopWizardTest,
    ::testing::Values(WizardCase{"Code", "", "600000", 1, "600000"},
                      WizardCase{"Initials", "", "pfyh", 1, "600000"},
                      WizardCase{"CapitalInitials", "", "PAYH", 2, "000001"},
                      WizardCase{"StockHiddenByTheFilter", "平安", "600000", 1, "600000"}),
    [](const ::testing::TestParamInfo<WizardCase>& info) { return std::string(info.param.name); });

TEST(DesktopSettings, SpeedGeometryAndSoundAreKeptForTheNextRun)
{
    CTempDir dir;
    QSettings settings(QString::fromStdString(dir.File("velk-host.conf")), QSettings::IniFormat);
    {
        CDesktopMainWindow window(dir.File("SYS"), &settings, false);
        window.Controller()->SetSpeed(60);
        window.findChild<QAction*>(QStringLiteral("actionSound"))->setChecked(false);
        window.resize(900, 640);
        window.show();
        window.close();
    }
    CDesktopMainWindow again(dir.File("SYS"), &settings, false);
    EXPECT_EQ(again.Controller()->Speed(), 60);
    EXPECT_EQ(again.size(), QSize(900, 640));
    EXPECT_FALSE(again.findChild<QAction*>(QStringLiteral("actionSound"))->isChecked());

    // A silent run does not switch the sound of later runs.
    {
        CDesktopMainWindow silent(dir.File("SYS"), &settings, true);
        silent.findChild<QAction*>(QStringLiteral("actionSound"))->setChecked(true);
        silent.close();
    }
    CDesktopMainWindow third(dir.File("SYS"), &settings, false);
    EXPECT_FALSE(third.findChild<QAction*>(QStringLiteral("actionSound"))->isChecked());
}

} // namespace
