// The desktop program's alerts away from the alert list, on the offscreen platform: the history
// window over a real SQLite file, the tray's pause menu, the options with the autostart entry,
// the outputs page with its secrets and 测试 against an HTTP server on 127.0.0.1, closing to the
// tray, and the source of the history's rows.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CAutostartEntry.h"
#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopAlertHub.h"
#include "host/gui/CDesktopAlertOutputs.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CHistoryModel.h"
#include "host/gui/CHistoryWindow.h"
#include "host/gui/CHostOptionsDialog.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/COutputsPage.h"
#include "host/gui/CReplayController.h"
#include "host/gui/CTrayIcon.h"
#include "host/gui/HostSettingKeys.h"
#include "host/outputs/CDesktopNotifier.h"
#include "host/outputs/COutputSettings.h"
#include "host/outputs/CSecretStore.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/desktop/CRecordingPrompt.h"
#include "tests/host/HostTestSupport.h"
#include "tests/outputs/CLocalHttpServer.h"
#include "tests/outputs/OutputsTestSupport.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

const char* const kTrades = "09:30:00,1,600000,10.00,1000\n"
                            "09:31:00,1,600000,10.60,500\n"
                            "09:35:00,1,600000,9.40,400\n";

class AlertHubTest : public ::testing::Test {
protected:
    AlertHubTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        WriteFile(Sys() + "/alert.cfg",
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, QuietOptions()));
        WriteDay(Day(), kTrades, "", "");
    }

    std::string Sys() const { return m_work.Temp().File("SYS"); }
    std::string Day() const { return m_work.Temp().File("day"); }
    std::string HistoryPath() const { return m_work.Temp().File("data/history.sqlite"); }
    QString Conf() const { return QString::fromStdString(m_work.Temp().File("velk-host.conf")); }

    // Two replayed days and a live one: rising and falling reasons, two stocks.
    void FillHistory()
    {
        CAlertHistory history;
        ASSERT_TRUE(history.Open(HistoryPath()));
        ASSERT_TRUE(history.BeginRun(false, "/days/20240102"));
        history.Add(outputstest::Event(1, "600103", "青山纸业", 2, 20240102, 34200, 3.04f));
        history.Add(outputstest::Event(2, "000001", "平安银行", 7, 20240102, 36000, 9.87f));
        ASSERT_TRUE(history.BeginRun(true, "/live/20240103"));
        history.Add(outputstest::Event(1, "000001", "平安银行", 6, 20240103, 35000, 10.55f));
        ASSERT_TRUE(history.BeginRun(false, "/days/20240105"));
        history.Add(outputstest::Event(1, "600103", "青山纸业", 3, 20240105, 50000, 2.50f));
        ASSERT_TRUE(history.Commit());
    }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
};

std::vector<std::string> Codes(const std::vector<CAlertHistory::Row>& rows)
{
    std::vector<std::string> codes;
    for (const auto& row : rows)
        codes.push_back(row.code);
    return codes;
}

// A live feed as far as the session can tell: the day's quotes through a source that is not
// the day's replay.
class CForwardingSource final : public IQuoteSource {
public:
    explicit CForwardingSource(const CTradingDay& day) : m_replay(day, CQuoteStore::Instance()) {}
    void FillStore(const std::string& sysDir) override { m_replay.FillStore(sysDir); }
    void BeginReplay() override { m_replay.BeginReplay(); }
    Totals AdvanceTo(CVelkAlert& engine, int time, std::size_t maxEvents) override
    {
        return m_replay.AdvanceTo(engine, time, maxEvents);
    }
    int NextEventTime() const override { return m_replay.NextEventTime(); }
    int FirstEventTime() const override { return m_replay.FirstEventTime(); }
    int LastEventTime() const override { return m_replay.LastEventTime(); }
    void SetAfterEachTrade(
        std::function<void(unsigned char, const std::string&)> afterEachTrade) override
    {
        m_replay.SetAfterEachTrade(std::move(afterEachTrade));
    }

private:
    CDayReplay m_replay;
};

// Replaces the field's text as typing does: the page hears of it as an edit.
void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // One key event with the whole text, as an input method hands over Chinese.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &typed);
}

void PlayToEnd(CDaySession& session)
{
    session.Controller()->SetSpeed(CReplayController::kFastest);
    session.Controller()->Play();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return session.Controller()->GetState() == CReplayController::State::Finished; },
        10000));
}

} // namespace

TEST_F(AlertHubTest, HistoryWindowFiltersSortsColoursAndExportsTheRowsShown)
{
    FillHistory();
    CAlertHistory history;
    ASSERT_TRUE(history.Open(HistoryPath()));
    CHistoryWindow window(history, nullptr, [] { return QDate(2024, 1, 8); });
    window.show();
    // Newest first, within a day too: 2024-01-02's two alerts were kept in the order of time.
    std::vector<int> times;
    for (const auto& row : window.ShownRows())
        times.push_back(row.time);
    EXPECT_EQ(times, (std::vector<int>{50000, 35000, 36000, 34200}));
    // Held to its newest rows, it says that older ones were left out.
    window.SetRowLimit(2);
    ASSERT_TRUE(window.Reload());
    ASSERT_EQ(window.ShownRows().size(), 2u);
    EXPECT_EQ(window.ShownRows()[0].tradingDate, "2024-01-05");
    EXPECT_EQ(window.ShownRows()[1].tradingDate, "2024-01-03");
    EXPECT_TRUE(window.StatusText().startsWith(QStringLiteral("最新的 2 条报警")))
        << window.StatusText().toStdString();
    window.SetRowLimit(CHistoryWindow::kRowLimit);
    ASSERT_TRUE(window.Reload());
    EXPECT_EQ(window.StatusText(), QStringLiteral("4 条报警"));

    window.SetSource("live");
    ASSERT_EQ(window.ShownRows().size(), 1u);
    EXPECT_EQ(window.ShownRows()[0].reasonCode, 6);
    window.SetSource("replay");
    EXPECT_EQ(window.ShownRows().size(), 3u);
    window.SetSource("");
    window.SetReason(7);
    ASSERT_EQ(window.ShownRows().size(), 1u);
    EXPECT_EQ(window.ShownRows()[0].tradingDate, "2024-01-02");
    window.SetReason(-1);
    window.SetDateRange(QDate(2024, 1, 3), QDate(2024, 1, 5));
    EXPECT_EQ(window.ShownRows().size(), 2u);
    window.ClearDateRange();
    window.SetStock(2, "000001");
    EXPECT_EQ(Codes(window.ShownRows()), (std::vector<std::string>{"000001", "000001"}));

    // Sorted by price both ways; the code column keeps its zeros.
    window.SetStock(0, "");
    window.View()->sortByColumn(CHistoryModel::Price, Qt::AscendingOrder);
    std::vector<double> prices;
    for (const auto& row : window.ShownRows())
        prices.push_back(row.price);
    ASSERT_EQ(prices.size(), 4u);
    EXPECT_TRUE(std::is_sorted(prices.begin(), prices.end()));
    window.View()->sortByColumn(CHistoryModel::Price, Qt::DescendingOrder);
    EXPECT_NEAR(window.ShownRows()[0].price, 10.55, 1e-4);
    QAbstractItemModel* model = window.View()->model();
    EXPECT_EQ(model->index(0, CHistoryModel::Code).data().toString(), QStringLiteral("000001"));
    // 今日最高价 rising (red); the falling 今日最低价 and 达到跌停价 green.
    EXPECT_EQ(model->index(0, CHistoryModel::Reason).data(Qt::ForegroundRole).value<QColor>(),
              QColor(Qt::red));
    const QColor falling =
        model->index(1, CHistoryModel::Reason).data(Qt::ForegroundRole).value<QColor>();
    EXPECT_EQ(falling.green(), 150);
    EXPECT_EQ(falling.red(), 0);

    window.SetStock(2, "000001");
    const QString csv = QString::fromStdString(m_work.Temp().File("out/alerts.csv"));
    std::filesystem::create_directories(m_work.Temp().File("out"));
    QString error;
    ASSERT_TRUE(window.ExportCsv(csv, &error)) << error.toStdString();
    const std::string text = ReadFile(csv.toStdString());
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(text.find("=\"\"000001\"\""), std::string::npos) << text;
    EXPECT_NE(text.find("平安银行"), std::string::npos);
    EXPECT_EQ(text.find("600103"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3); // header and two rows

    const QString json = QString::fromStdString(m_work.Temp().File("out/alerts.json"));
    ASSERT_TRUE(window.ExportJson(json, &error));
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[0].toObject()[QStringLiteral("code")].toString(), QStringLiteral("000001"));
    // Rows in the order shown: highest price first.
    EXPECT_GT(array[0].toObject()[QStringLiteral("price")].toDouble(),
              array[1].toObject()[QStringLiteral("price")].toDouble());

    QSignalSpy chart(&window, &CHistoryWindow::ChartRequested);
    const QRect cell = window.View()->visualRect(model->index(0, CHistoryModel::Name));
    QTest::mouseClick(window.View()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(window.View()->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(chart.count(), 1);
    EXPECT_EQ(chart[0][1].toString(), QStringLiteral("000001"));
    EXPECT_EQ(chart[0][2].toInt(), 20240103);
    EXPECT_EQ(chart[0][3].toInt(), 35000);
    EXPECT_EQ(chart[0][4].toString(), QStringLiteral("/live/20240103"));

    // A watched signal's name, which no reason of the table has, can be chosen once shown.
    CAlertEvent signal = outputstest::Event(1, "600103", "青山纸业", 0, 20240105, 51000);
    VelkCopyText(signal.record.m_szReason, TextCodec::Utf8ToGbk("MACD金叉"));
    signal.reasonCode = -1;
    ASSERT_TRUE(history.BeginRun(false, "/days/20240105"));
    signal.historyRun = history.CurrentRun();
    history.Add(signal);
    // An output's refusal, shown over the row's deliveries.
    history.OnDeliveryAttempt(
        signal, "desk", 1,
        CDeliveryAttempt{CDeliveryAttempt::Outcome::Failed, "HTTP 200, errcode 310000"});
    ASSERT_TRUE(history.Commit());
    window.SetStock(0, "");
    EXPECT_EQ(window.ShownRows().size(), 5u);
    window.SetReason(QStringLiteral("MACD金叉"));
    ASSERT_EQ(window.ShownRows().size(), 1u);
    EXPECT_EQ(window.ShownRows()[0].reason, "MACD金叉");
    const QString tip = model->index(0, CHistoryModel::Deliveries).data(Qt::ToolTipRole).toString();
    EXPECT_NE(tip.indexOf(QStringLiteral("desk 第 1 次")), -1) << tip.toStdString();
    EXPECT_NE(tip.indexOf(QStringLiteral("failed: HTTP 200, errcode 310000")), -1)
        << tip.toStdString();
}

TEST_F(AlertHubTest, HistoryStockFilterIsPickedWithTheKeyboardWizard)
{
    FillHistory();
    {
        CAlertHistory history;
        ASSERT_TRUE(history.Open(HistoryPath()));
        ASSERT_TRUE(history.BeginRun(false, Day()));
        history.Add(outputstest::Event(1, "600000", "浦发银行", 0, 20240108));
        ASSERT_TRUE(history.Commit());
    }
    // The wizard's candidates are the open day's symbols.
    CDaySession session(Sys(), CVelkServices{});
    ASSERT_TRUE(session.OpenDay(QString::fromStdString(Day())));
    CAlertHistory history;
    ASSERT_TRUE(history.Open(HistoryPath()));
    CHistoryWindow window(history);
    window.show();
    QTest::keyClick(window.StockEdit(), '6');
    ASSERT_NE(window.Wizard(), nullptr);
    QTest::keyClicks(window.Wizard(), QStringLiteral("00000"));
    QTest::keyClick(window.Wizard(), Qt::Key_Return);
    EXPECT_EQ(window.CurrentFilter().code, "600000");
    EXPECT_EQ(Codes(window.ShownRows()), std::vector<std::string>{"600000"});
    QTest::keyClick(window.StockEdit(), Qt::Key_Delete);
    EXPECT_EQ(window.ShownRows().size(), 5u);
}

TEST_F(AlertHubTest, RetentionDeletesTheOldRowsWhenTheProgramStarts)
{
    FillHistory();
    QSettings settings(Conf(), QSettings::IniFormat);
    COutputSettings::SetRetentionDays(settings, 3); // 2024-01-03 .. 2024-01-05 stay
    {
        CDaySession session(Sys(), CVelkServices{});
        CDesktopAlertOutputs outputs(session, HistoryPath(), &settings, nullptr,
                                     [] { return QDate(2024, 1, 5); });
        ASSERT_NE(outputs.History(), nullptr);
    }
    CAlertHistory history;
    ASSERT_TRUE(history.Open(HistoryPath()));
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].tradingDate, "2024-01-03");

    // 0 keeps everything.
    COutputSettings::SetRetentionDays(settings, 0);
    CDaySession session(Sys(), CVelkServices{});
    CDesktopAlertOutputs outputs(session, HistoryPath(), &settings, nullptr,
                                 [] { return QDate(2030, 1, 1); });
    ASSERT_TRUE(outputs.History()->Query({}, rows));
    EXPECT_EQ(rows.size(), 2u);
}

TEST_F(AlertHubTest, RowsOfAFeedAreLiveAndRowsOfTheDaysReplayAreReplay)
{
    {
        CDaySession session(Sys(), CVelkServices{});
        CDesktopAlertOutputs outputs(session, HistoryPath(), nullptr);
        ASSERT_TRUE(session.OpenDay(QString::fromStdString(Day())));
        PlayToEnd(session);
        auto day = std::make_unique<CTradingDay>();
        std::string error;
        ASSERT_TRUE(day->Load(Day(), error)) << error;
        auto feed = std::make_unique<CForwardingSource>(*day);
        session.OpenDayWithSource(std::move(day), std::move(feed), QString::fromStdString(Day()),
                                  CDaySession::DayFileUse::FreshReplay);
        PlayToEnd(session);
        // The caller's word goes before the guess.
        outputs.SetLiveSource([] { return false; });
        session.Restart();
        PlayToEnd(session);
    }
    CAlertHistory history;
    ASSERT_TRUE(history.Open(HistoryPath()));
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows));
    ASSERT_EQ(rows.size(), 6u);
    std::map<std::string, int> bySource;
    for (const auto& row : rows)
        ++bySource[row.source];
    EXPECT_EQ(bySource["replay"], 4);
    EXPECT_EQ(bySource["live"], 2);
}

TEST_F(AlertHubTest, TrayPausesTheNotificationsByTheClock)
{
    QDateTime now(QDate(2024, 1, 5), QTime(14, 50, 0));
    CDesktopNotifier notifier(nullptr, [&] { return now; });
    CTrayIcon tray(notifier, [&] { return now; });
    const CAlertEvent alert = outputstest::Event(1);

    EXPECT_FALSE(tray.ResumeAction()->isEnabled());
    tray.PauseAction(CTrayIcon::Pause::Minutes15)->trigger();
    EXPECT_TRUE(notifier.IsPaused());
    EXPECT_TRUE(tray.ResumeAction()->isEnabled());
    EXPECT_FALSE(notifier.Post(alert));
    now = now.addSecs(15 * 60 - 1);
    EXPECT_TRUE(notifier.IsPaused());
    now = now.addSecs(1);
    EXPECT_FALSE(notifier.IsPaused());

    tray.PauseAction(CTrayIcon::Pause::Hour)->trigger();
    now = now.addSecs(3599);
    EXPECT_TRUE(notifier.IsPaused());
    tray.ResumeAction()->trigger();
    EXPECT_FALSE(notifier.IsPaused());

    tray.PauseAction(CTrayIcon::Pause::UntilTomorrow)->trigger();
    now = QDateTime(QDate(2024, 1, 5), QTime(23, 59, 59));
    EXPECT_TRUE(notifier.IsPaused());
    EXPECT_FALSE(notifier.Post(alert));
    now = QDateTime(QDate(2024, 1, 6), QTime(0, 0, 0));
    EXPECT_FALSE(notifier.IsPaused());
}

TEST_F(AlertHubTest, TrayCountsTheAlertsNotSeenUntilTheWindowIsShown)
{
    CDesktopMainWindow window(Sys(), nullptr, true);
    CScopedMainWindow mainScope(&window);
    CDesktopAlertHub hub(window, nullptr, nullptr);
    ASSERT_TRUE(window.OpenDay(QString::fromStdString(Day())));
    // The window is not on screen: both alerts wait unseen.
    PlayToEnd(window.Session());
    EXPECT_EQ(hub.Tray().Unseen(), 2);
    EXPECT_NE(hub.Tray().ToolTip().indexOf(QStringLiteral("2 条报警未查看")), -1);
    // A seek raises the day's alerts again on its way: nothing new to count.
    window.Session().SeekTo(9 * 3600 + 35 * 60);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.Controller()->GetState() != CReplayController::State::Seeking; },
        10000));
    EXPECT_EQ(window.Session().AlertsSoFar(), 2);
    EXPECT_EQ(hub.Tray().Unseen(), 2);
    hub.ShowWindow();
    EXPECT_EQ(hub.Tray().Unseen(), 0);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(AlertHubTest, ClosingGoesToTheTrayWhenAskedAndQuitClosesForGood)
{
    QSettings settings(Conf(), QSettings::IniFormat);
    HostSettings::kStartMinimised.Write(&settings, true);
    CDesktopMainWindow window(Sys(), &settings, true);
    CScopedMainWindow mainScope(&window);
    CDesktopAlertHub hub(window, nullptr, &settings);

    hub.UseTray(false);
    hub.ShowWindowAtStart();
    EXPECT_TRUE(window.isMinimized());
    window.close();
    EXPECT_FALSE(window.isVisible()); // without the option the window closes

    hub.UseTray(true);
    window.hide();
    hub.ShowWindowAtStart();
    EXPECT_FALSE(window.isVisible()); // started in the tray
    hub.ShowWindow();
    ASSERT_TRUE(window.isVisible());

    HostSettings::kCloseToTray.Write(&settings, true);
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    hub.ShowWindow();
    hub.Tray().Menu()->actions().back()->trigger(); // 退出
    EXPECT_FALSE(window.isVisible());
    hub.UseTray(false);
}

TEST_F(AlertHubTest, DoubleClickedHistoryRowOpensTheChartOfItsDayAtItsMoment)
{
    {
        CDaySession session(Sys(), CVelkServices{});
        CDesktopAlertOutputs outputs(session, HistoryPath(), nullptr);
        ASSERT_TRUE(session.OpenDay(QString::fromStdString(Day())));
        PlayToEnd(session);
    }
    CRecordingPrompt prompt;
    CDesktopMainWindow window(Sys(), nullptr, true);
    CScopedMainWindow mainScope(&window);
    CDaySession& session = window.Session();
    CDesktopAlertOutputs outputs(session, HistoryPath(), nullptr);
    CDesktopAlertHub hub(window, &outputs, nullptr);
    CHistoryWindow* history = hub.OpenHistory();
    ASSERT_NE(history, nullptr);
    ASSERT_EQ(history->ShownRows().size(), 2u);
    history->View()->sortByColumn(CHistoryModel::Time, Qt::AscendingOrder);

    // No day open: the row's day is opened from its folder and played to 09:31.
    const QRect cell = history->View()->visualRect(history->View()->model()->index(0, 0));
    QTest::mouseClick(history->View()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(history->View()->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Charts().empty(); }, 10000));
    EXPECT_EQ(window.Charts()[0]->Code(), "600000");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return session.Controller()->Clock() >= 9 * 3600 + 1860; }, 10000));
    EXPECT_TRUE(prompt.warnings.isEmpty());

    // A day whose data is gone is told, not guessed at.
    hub.OpenChartAt(1, "600000", 20200101, 34200, QStringLiteral("/nowhere/20200101"));
    ASSERT_EQ(prompt.warnings.size(), 1);
    EXPECT_NE(prompt.warnings[0].indexOf(QStringLiteral("/nowhere/20200101")), -1);
}

TEST_F(AlertHubTest, AutostartEntryIsWrittenAndRemovedByTheOption)
{
    const QString path = QString::fromStdString(m_work.Temp().File("config/autostart/v.desktop"));
    const CAutostartEntry entry(path);
    QSettings settings(Conf(), QSettings::IniFormat);
    CSecretStore secrets(m_work.Temp().File("secrets"));
    secrets.SetUseKeyring(false);
    {
        CHostOptionsDialog dialog(settings, secrets, entry);
        EXPECT_FALSE(dialog.StartAtLoginBox()->isChecked());
        dialog.StartAtLoginBox()->setChecked(true);
        dialog.CloseToTrayBox()->setChecked(true);
        dialog.RetentionBox()->setValue(30);
        QString error;
        ASSERT_TRUE(dialog.Save(&error)) << error.toStdString();
    }
    ASSERT_TRUE(entry.IsInstalled());
    const std::string text = ReadFile(path.toStdString());
    EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos);
    EXPECT_NE(text.find("Exec=" + QCoreApplication::applicationFilePath().toStdString()),
              std::string::npos)
        << text;
    EXPECT_TRUE(HostSettings::kCloseToTray.Read(&settings));
    EXPECT_EQ(COutputSettings::RetentionDays(settings), 30);
    {
        CHostOptionsDialog dialog(settings, secrets, entry);
        EXPECT_TRUE(dialog.StartAtLoginBox()->isChecked());
        EXPECT_EQ(dialog.RetentionBox()->value(), 30);
        dialog.StartAtLoginBox()->setChecked(false);
        ASSERT_TRUE(dialog.Save());
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(HostSettings::kStartAtLogin.Read(&settings));

    // A program path with a space and a dollar is quoted and escaped as the format asks.
    EXPECT_NE(CAutostartEntry::Contents(QStringLiteral("/opt/my apps/velk$host"))
                  .indexOf(QStringLiteral("Exec=\"/opt/my apps/velk\\\\$host\"")),
              -1);
}

TEST_F(AlertHubTest, OutputsPageKeepsSecretsOutOfTheSettingsAndTestsTheEntryAsEdited)
{
    CLocalHttpServer server({});
    QSettings settings(Conf(), QSettings::IniFormat);
    CSecretStore secrets(m_work.Temp().File("secrets"));
    secrets.SetUseKeyring(false);
    const std::string token = "tok-SECRET-42";
    {
        COutputsPage page(settings, secrets);
        page.AddEntry();
        Type(page.NameEdit(), QStringLiteral("desk"));
        Type(page.UrlEdit(), QString::fromStdString(server.Url("/hook/{{secret}}")));
        Type(page.SecretEdit(), QString::fromStdString(token));

        QSignalSpy finished(&page, &COutputsPage::TestFinished);
        page.TestButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 10000));
        EXPECT_TRUE(page.AnswerText().startsWith(QStringLiteral("已送达")))
            << page.AnswerText().toStdString();
        EXPECT_EQ(page.AnswerText().indexOf(QString::fromStdString(token)), -1);
        ASSERT_EQ(server.Requests().size(), 1u);
        EXPECT_EQ(server.Requests()[0].target, "/hook/" + token);
        EXPECT_NE(server.Requests()[0].body.find("青山纸业"), std::string::npos);

        QString error;
        ASSERT_TRUE(page.Save(&error)) << error.toStdString();
    }
    settings.sync();
    EXPECT_EQ(ReadFile(Conf().toStdString()).find(token), std::string::npos);
    std::string kept;
    std::string error;
    ASSERT_TRUE(secrets.Lookup(COutputSettings::SecretKey("desk"), kept, error)) << error;
    EXPECT_EQ(kept, token);

    {
        // Opened again: the secret is not put back in the field; a rename takes it along.
        COutputsPage page(settings, secrets);
        ASSERT_EQ(page.List()->count(), 1);
        EXPECT_TRUE(page.SecretEdit()->text().isEmpty());
        EXPECT_NE(page.SecretEdit()->placeholderText().indexOf(QStringLiteral("已保存")), -1);
        Type(page.NameEdit(), QStringLiteral("phone"));
        ASSERT_TRUE(page.Save());
    }
    EXPECT_FALSE(secrets.Lookup(COutputSettings::SecretKey("desk"), kept, error));
    ASSERT_TRUE(secrets.Lookup(COutputSettings::SecretKey("phone"), kept, error));
    EXPECT_EQ(kept, token);
    {
        COutputsPage page(settings, secrets);
        page.RemoveCurrent();
        ASSERT_TRUE(page.Save());
    }
    EXPECT_FALSE(secrets.Lookup(COutputSettings::SecretKey("phone"), kept, error));
    EXPECT_TRUE(COutputSettings::Load(settings).empty());
}

TEST_F(AlertHubTest, OutputsPageShowsTheFieldsOfTheChosenKindAndKeepsItsSettingsName)
{
    QSettings settings(Conf(), QSettings::IniFormat);
    CSecretStore secrets(m_work.Temp().File("secrets"));
    secrets.SetUseKeyring(false);
    COutputsPage page(settings, secrets);
    page.show();
    page.AddEntry();
    auto* form = qobject_cast<QFormLayout*>(page.UrlEdit()->parentWidget()->layout());
    ASSERT_NE(form, nullptr);
    auto choose = [&](const char* kind) {
        page.KindBox()->setCurrentIndex(page.KindBox()->findData(QString::fromLatin1(kind)));
    };
    EXPECT_TRUE(form->isRowVisible(page.TemplateEdit()));
    EXPECT_FALSE(form->isRowVisible(page.ChatIdEdit()));

    choose("telegram");
    EXPECT_EQ(page.KindBox()->currentText(), QStringLiteral("Telegram 机器人"));
    EXPECT_FALSE(form->isRowVisible(page.TemplateEdit()));
    EXPECT_TRUE(form->isRowVisible(page.ChatIdEdit()));
    EXPECT_TRUE(form->isRowVisible(page.SecretEdit()));
    EXPECT_NE(page.UrlEdit()->placeholderText().indexOf(QStringLiteral("api.telegram.org")), -1);
    EXPECT_NE(page.KindBox()->toolTip().indexOf(QStringLiteral("每分钟只收 20 条")), -1);

    choose("nats");
    EXPECT_FALSE(form->isRowVisible(page.SecretEdit()));
    EXPECT_FALSE(form->isRowVisible(page.ChatIdEdit()));
    EXPECT_NE(page.UrlEdit()->placeholderText().indexOf(QStringLiteral("nats://")), -1);
    EXPECT_TRUE(page.KindBox()->toolTip().isEmpty());

    choose("dingtalk");
    ASSERT_TRUE(page.Save());
    ASSERT_EQ(COutputSettings::Load(settings).size(), 1u);
    EXPECT_EQ(COutputSettings::Load(settings)[0].kind, "dingtalk");
    EXPECT_NE(page.List()->item(0)->text().indexOf(QStringLiteral("钉钉群机器人")), -1);
}

TEST_F(AlertHubTest, OutputsPageTellsARefusalAndAnEntryThatCannotBeSent)
{
    CLocalHttpServer server({400}, R"({"error":"bad"})");
    QSettings settings(Conf(), QSettings::IniFormat);
    CSecretStore secrets(m_work.Temp().File("secrets"));
    secrets.SetUseKeyring(false);
    COutputsPage page(settings, secrets);
    page.AddEntry();
    QSignalSpy finished(&page, &COutputsPage::TestFinished);

    Type(page.UrlEdit(), QStringLiteral("https://example.invalid/{{secret}}"));
    page.TestButton()->click();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_NE(page.AnswerText().indexOf(QStringLiteral("secret is not set")), -1);

    Type(page.UrlEdit(), QString::fromStdString(server.Url()));
    page.TestButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 2; }, 10000));
    EXPECT_TRUE(page.AnswerText().startsWith(QStringLiteral("被拒绝")))
        << page.AnswerText().toStdString();
    EXPECT_NE(page.AnswerText().indexOf(QStringLiteral("HTTP 400")), -1);

    // Two entries may not share a name: their secrets would be one.
    page.AddEntry();
    Type(page.NameEdit(), QStringLiteral("输出1"));
    QString error;
    EXPECT_FALSE(page.Save(&error));
    EXPECT_NE(error.indexOf(QStringLiteral("输出1")), -1);
}

// A trader who never sees standard error learns that an output was left out, or a damaged
// history set aside, and sees in the status bar what the outputs delivered and failed to.
TEST_F(AlertHubTest, StatusBarTellsWhatWasLeftOutOrSetAsideAndWhatTheOutputsFailedToDeliver)
{
    std::filesystem::create_directories(std::filesystem::path(HistoryPath()).parent_path());
    std::ofstream(HistoryPath(), std::ios::binary) << std::string(4096, 'Z');
    CLocalHttpServer server({400, 400, 400, 400});
    QSettings settings(Conf(), QSettings::IniFormat);
    std::vector<COutputSettings::Entry> entries(2);
    entries[0] = {true, "generic", "refusing", server.Url("/hook"), "", ""};
    entries[1] = {true, "ntfy", "topicless", "", "", ""};
    COutputSettings::Save(settings, entries);

    CRecordingPrompt prompt;
    CDesktopMainWindow window(Sys(), nullptr, true);
    CScopedMainWindow mainScope(&window);
    CDesktopAlertOutputs outputs(window.Session(), HistoryPath(), &settings);
    QSignalSpy problems(&outputs, &CDesktopAlertOutputs::Problem);
    CDesktopAlertHub hub(window, &outputs, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return problems.size() >= 2; }, 5000));
    const QString aside = problems[0][0].toString();
    EXPECT_NE(aside.indexOf(
                  QStringLiteral("已移到 %1.damaged-").arg(QString::fromStdString(HistoryPath()))),
              -1)
        << aside.toStdString();
    const QString problem = problems[1][0].toString();
    EXPECT_NE(problem.indexOf(QStringLiteral("topicless: no URL")), -1) << problem.toStdString();

    auto* label = window.findChild<QLabel*>(QStringLiteral("outputsStatus"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("推送 0"));
    ASSERT_TRUE(window.Session().OpenDay(QString::fromStdString(Day())));
    PlayToEnd(window.Session());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return label->text().contains(QStringLiteral("失败 2")); }, 10000))
        << label->text().toStdString();
    EXPECT_TRUE(label->styleSheet().contains(QStringLiteral("color")));
    EXPECT_EQ(label->toolTip(), QStringLiteral("refusing: 送达 0, 失败 2, 丢弃 0, 等待 0"));
}
