// The desktop program's history and outputs over a real session, engine, SQLite file and HTTP
// server on 127.0.0.1.

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "host/core/CTradingDay.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopAlertOutputs.h"
#include "host/gui/CReplayController.h"
#include "host/outputs/COutputSettings.h"
#include "tests/host/HostTestSupport.h"
#include "tests/outputs/CLocalHttpServer.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

class DesktopOutputsTest : public ::testing::Test {
protected:
    DesktopOutputsTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        WriteFile(Sys() + "/alert.cfg",
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, QuietOptions()));
        WriteDay(Day(),
                 "09:30:00,1,600000,10.00,1000\n09:31:00,1,600000,10.60,500\n"
                 "09:35:00,1,600000,9.40,400\n",
                 "", "");
    }

    void Play(CDaySession& session)
    {
        ASSERT_TRUE(session.OpenDay(QString::fromStdString(Day())));
        session.Controller()->SetSpeed(CReplayController::kFastest);
        session.Controller()->Play();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return session.Controller()->GetState() == CReplayController::State::Finished; },
            10000));
    }

    std::string Sys() const { return m_work.Temp().File("SYS"); }
    std::string Day() const { return m_work.Temp().File("day"); }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
};

} // namespace

TEST_F(DesktopOutputsTest, EachDayIsARunOfTheHistoryAndEveryAlertReachesTheWebhook)
{
    CLocalHttpServer server({});
    QSettings settings(QString::fromStdString(m_work.Temp().File("velk-host.conf")),
                       QSettings::IniFormat);
    COutputSettings::Save(settings, {{true, "generic", "local", server.Url(), "", ""}});
    const std::string path = m_work.Temp().File("data/history.sqlite");
    {
        CDaySession session(Sys(), CVelkServices{});
        CDesktopAlertOutputs outputs(session, path, &settings);
        QSignalSpy committed(&outputs, &CDesktopAlertOutputs::AlertsCommitted);
        ASSERT_NE(outputs.History(), nullptr);
        Play(session);
        ASSERT_TRUE(QTest::qWaitFor([&] { return committed.count() > 0; }, 5000));
        Play(session); // the same day again: a second run
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.Requests().size() == 4; }, 10000));
    }
    CAlertHistory history;
    ASSERT_TRUE(history.Open(path));
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(history.Query({}, rows));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].reasonCode, 0);
    EXPECT_EQ(rows[0].name, "浦发银行");
    EXPECT_EQ(rows[0].dayFolder, Day());
    EXPECT_EQ(rows[0].tradingDate, rows[3].tradingDate);
    // Sequences go on across the days of one program run; each alert was delivered once.
    std::vector<long long> sequences;
    for (const auto& row : rows) {
        sequences.push_back(row.sequence);
        EXPECT_EQ(row.delivered, 1);
    }
    std::sort(sequences.begin(), sequences.end());
    EXPECT_EQ(sequences, (std::vector<long long>{1, 2, 3, 4}));
}

TEST_F(DesktopOutputsTest, AHistoryThatCannotBeOpenedIsToldOnceAndTheDayStillRuns)
{
    std::filesystem::create_directories(m_work.Temp().File("taken/history.sqlite"));
    CDaySession session(Sys(), CVelkServices{});
    CDesktopAlertOutputs outputs(session, m_work.Temp().File("taken/history.sqlite"), nullptr);
    QSignalSpy problems(&outputs, &CDesktopAlertOutputs::Problem);
    EXPECT_EQ(outputs.History(), nullptr);
    Play(session);
    ASSERT_TRUE(QTest::qWaitFor([&] { return problems.count() > 0; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(problems.count(), 1);
    EXPECT_EQ(session.AlertsSoFar(), 2);
}
