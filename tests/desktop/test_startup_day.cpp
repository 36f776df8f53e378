// The day velk-host opens as it starts, loaded while the window is up; and the failures of the
// start and of saving the settings told to the user with the file and the reason, in folders
// whose names are not ASCII.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "engine/CVelkAlert.h"
#include "engine/VelkServices.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CStartupDay.h"
#include "platform/qt/QtText.h"
#include "tests/desktop/CRecordingPrompt.h"
#include "tests/host/HostTestSupport.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

class StartupDayTest : public ::testing::Test {
protected:
    StartupDayTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        m_pWindow = std::make_unique<CDesktopMainWindow>(Sys(), nullptr, true);
        m_pMainScope = std::make_unique<CScopedMainWindow>(m_pWindow.get());
        m_pWindow->show();
    }

    void TearDown() override
    {
        m_pWindow.reset();
        m_pMainScope.reset();
    }

    std::string Sys() const { return m_work.Temp().File("SYS"); }
    std::string Temp(const std::string& name) const { return m_work.Temp().File(name); }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
    CRecordingPrompt m_prompt;
    std::unique_ptr<CDesktopMainWindow> m_pWindow;
    std::unique_ptr<CScopedMainWindow> m_pMainScope;
};

} // namespace

TEST_F(StartupDayTest, TheWindowIsUpAndAnswersWhileTheStartupDayLoads)
{
    // Enough trades that reading them takes a while, even for the loader's quick path.
    std::string trades;
    trades.reserve(1200000 * 32);
    for (int i = 0; i < 1200000; ++i) {
        const int t = 9 * 3600 + 30 * 60 + i / 400;
        char line[64];
        std::snprintf(line, sizeof line, "%02d:%02d:%02d,1,600000,10.%02d,100\n", t / 3600,
                      t / 60 % 60, t % 60, i % 50);
        trades += line;
    }
    WriteDay(Temp("big"), trades);

    int turns = 0;
    int turnsWhileLoading = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++turns;
        if (m_pWindow->Loader().IsLoading())
            ++turnsWhileLoading;
    });
    ticker.start(1);
    QSignalSpy progress(&m_pWindow->Loader(), &CDayLoader::Progress);
    CStartupDay::Open(*m_pWindow, CStartupDay::Choose(QString::fromStdString(Temp("big")), {}, {}),
                      {}, QString::fromStdString(Sys()), nullptr);
    EXPECT_TRUE(m_pWindow->isVisible());
    EXPECT_TRUE(m_pWindow->Loader().IsLoading());
    EXPECT_FALSE(m_pWindow->Session().HasDay());
    auto* bar = m_pWindow->findChild<QProgressBar*>(QStringLiteral("loadProgress"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());

    ASSERT_TRUE(QTest::qWaitFor([this] { return m_pWindow->Session().HasDay(); }, 60000));
    EXPECT_GT(turnsWhileLoading, 2) << "the event loop turned " << turns << " times in all";
    EXPECT_FALSE(progress.isEmpty());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(m_pWindow->Session().DayFolder(), QString::fromStdString(Temp("big")));
    EXPECT_TRUE(m_prompt.warnings.isEmpty())
        << m_prompt.warnings.join(QLatin1Char('\n')).toStdString();
}

TEST_F(StartupDayTest, TheGivenDayComesFirstThenTheLastOneThenTheDemo)
{
    WriteFile(Temp("last/day.csv"), "trade_date\n20240105\n");
    WriteFile(Temp("demo/day.csv"), "trade_date\n20240105\n");
    const QString last = QString::fromStdString(Temp("last"));
    const QString demo = QString::fromStdString(Temp("demo"));
    const QString given = QString::fromStdString(Temp("given"));

    EXPECT_EQ(CStartupDay::Choose(given, last, demo).folder, given);
    EXPECT_FALSE(CStartupDay::Choose(given, last, demo).demo);
    EXPECT_EQ(CStartupDay::Choose({}, last, demo).folder, last);
    const CStartupDay::Choice gone = CStartupDay::Choose({}, last + QStringLiteral("-gone"), demo);
    EXPECT_EQ(gone.folder, demo);
    EXPECT_TRUE(gone.demo);
    EXPECT_TRUE(CStartupDay::Choose({}, {}, demo + QStringLiteral("-gone")).folder.isEmpty());
}

TEST_F(StartupDayTest, ConditionsOfTheDemoSeedOnlyADirectoryWithoutAnyAndAFailedCopyIsTold)
{
    const std::string demoSys = Temp("demo-root/SYS");
    WriteFile(demoSys + "/alert.cfg", "A");
    WriteFile(demoSys + "/Magic.cfg", "M");
    WriteDay(Temp("demo-day"), "09:30:00,1,600000,10.00,1000\n");

    // The user's own conditions are never touched.
    WriteFile(Temp("own/Magic.cfg"), "own");
    EXPECT_TRUE(CStartupDay::SeedDemoConditions(QString::fromStdString(demoSys),
                                                QString::fromStdString(Temp("own")))
                    .isEmpty());
    EXPECT_EQ(ReadFile(Temp("own/Magic.cfg")), "own");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Temp("own/alert.cfg"))));

    // A data directory that cannot take the files: its folder is a file, in a folder named in
    // letters of other scripts.
    const QString trader = QString::fromStdString(Temp("")) + VelkFromUtf8("ø-trader");
    ASSERT_TRUE(QDir().mkpath(trader));
    WriteFile((trader + VelkFromUtf8("/😀day")).toStdString(), "a file, not a folder");
    const QString sys = trader + VelkFromUtf8("/😀day/SYS");
    CStartupDay::Open(*m_pWindow,
                      CStartupDay::Choose({}, {}, QString::fromStdString(Temp("demo-day"))),
                      QString::fromStdString(demoSys), sys, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_prompt.warnings.isEmpty(); }, 5000));
    const QString told = m_prompt.warnings.join(QLatin1Char('\n'));
    for (const char* name : {"/alert.cfg: ", "/Magic.cfg: "}) {
        const QString path = sys + QString::fromLatin1(name);
        ASSERT_TRUE(told.contains(path)) << told.toStdString();
        // The reason follows the file.
        const int at = told.indexOf(path) + path.size();
        EXPECT_GT(told.indexOf(QLatin1Char('\n'), at) == -1
                      ? told.size() - at
                      : told.indexOf(QLatin1Char('\n'), at) - at,
                  3);
    }
    EXPECT_FALSE(told.contains(QLatin1Char('?')));
    // The demo day opens all the same.
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_pWindow->Session().HasDay(); }, 10000));
}

TEST_F(StartupDayTest, ADayThatCannotBeOpenedIsToldWithItsFolderAsTheFileSystemNamesIt)
{
    const QString folder = QString::fromStdString(Temp("")) + VelkFromUtf8("ø-trader/😀day");
    WriteDay(folder.toStdString(), "09:30:00,1,600000,10.00\n");
    QSignalSpy failed(&m_pWindow->Loader(), &CDayLoader::Failed);
    CStartupDay::Open(*m_pWindow, CStartupDay::Choose(folder, {}, {}), {},
                      QString::fromStdString(Sys()), nullptr);
    ASSERT_TRUE(failed.wait(10000));
    ASSERT_EQ(m_prompt.warnings.size(), 1);
    EXPECT_TRUE(m_prompt.warnings[0].contains(folder)) << m_prompt.warnings[0].toStdString();
    EXPECT_TRUE(m_prompt.warnings[0].contains(QStringLiteral("trades.csv")));
    EXPECT_FALSE(m_prompt.warnings[0].contains(QLatin1Char('?')));
    EXPECT_FALSE(m_pWindow->Session().HasDay());
}

TEST_F(StartupDayTest, AFailedSaveOfTheRatioSettingsIsToldWithTheFileAndTheReason)
{
    if (!VelkRegisteredServices().pWindowing->HasAlertSettingPage())
        GTEST_SKIP() << "this build has no alert setting page";
    WriteDay(Temp("day"), "09:30:00,1,600000,10.00,1000\n");
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(Temp("day"))));
    // The ratio page saves both condition files; the warning names the one that failed.
    for (const char* name : {"alert.cfg", "Magic.cfg"}) {
        SCOPED_TRACE(name);
        const QString path = QString::fromStdString(Sys() + "/" + name);
        QFile::remove(path);
        // A folder where the file goes: nothing can replace it.
        ASSERT_TRUE(QDir().mkpath(path));
        m_prompt.warnings.clear();

        QTimer::singleShot(0, [] {
            QWidget* sheet = QApplication::activeModalWidget();
            ASSERT_NE(sheet, nullptr);
            for (QAbstractButton* button : sheet->findChildren<QAbstractButton*>())
                if (button->property("controlId").toInt() == 1)
                    button->click();
        });
        CModalGuard guard;
        m_pWindow->OpenRatioSettings();

        ASSERT_EQ(m_prompt.warnings.size(), 1)
            << m_prompt.warnings.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(
            m_prompt.warnings[0].contains(path + VelkFromUtf8("：同名的文件夹占用了它的位置")))
            << m_prompt.warnings[0].toStdString();
        const char* other = std::string(name) == "alert.cfg" ? "Magic.cfg" : "alert.cfg";
        EXPECT_FALSE(m_prompt.warnings[0].contains(QLatin1String(other)))
            << m_prompt.warnings[0].toStdString();
        ASSERT_TRUE(QDir(path).removeRecursively());
    }
}
