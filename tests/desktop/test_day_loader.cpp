// Days opened on a loading thread: the day arrives on the event loop's thread ready to open,
// a bad folder is told with its reason, and a load can be cancelled.

#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <string>

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CDayLoader.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CReplayController.h"
#include "tests/desktop/CRecordingPrompt.h"
#include "tests/host/HostTestSupport.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

// n trades of one stock, one a second from 09:30.
std::string Trades(int n)
{
    std::string lines;
    for (int i = 0; i < n; ++i) {
        const int t = 9 * 3600 + 30 * 60 + i % 7200;
        char line[64];
        std::snprintf(line, sizeof line, "%02d:%02d:%02d,1,600000,10.%02d,100\n", t / 3600,
                      t / 60 % 60, t % 60, i % 100);
        lines += line;
    }
    return lines;
}

TEST(DayLoading, ProgressIsToldWhileTheTradesLoadAndFalseCancelsTheLoad)
{
    CTempDir dir;
    WriteDay(dir.Path(), Trades(40000));
    CTradingDay day;
    std::vector<int> seen;
    day.SetProgress([&seen](int permille) {
        seen.push_back(permille);
        return true;
    });
    std::string error;
    ASSERT_TRUE(day.Load(dir.Path(), error)) << error;
    EXPECT_EQ(day.Trades().size(), 40000u);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.back(), 0);
    EXPECT_LE(seen.back(), 1000);

    int looks = 0;
    day.SetProgress([&looks](int) { return ++looks < 2; });
    EXPECT_FALSE(day.Load(dir.Path(), error));
    EXPECT_TRUE(day.Cancelled());
    EXPECT_EQ(error, "trades.csv: loading cancelled");
    EXPECT_LT(day.Trades().size(), 40000u);
}

TEST(DayLoading, TheLoaderHandsOverADayAndItsReplayOrTheReasonItFailed)
{
    CTempDir dir;
    WriteDay(dir.File("good"), Trades(100));
    WriteDay(dir.File("bad"), "09:30:00,1,600000,10.00\n");
    CDayLoader loader;
    QSignalSpy loaded(&loader, &CDayLoader::Loaded);
    QSignalSpy failed(&loader, &CDayLoader::Failed);

    // Taken while the signal is delivered, as the window does.
    std::unique_ptr<CTradingDay> day;
    std::unique_ptr<CDayReplay> replay;
    QObject::connect(&loader, &CDayLoader::Loaded, [&] {
        day = loader.TakeDay();
        replay = loader.TakeReplay();
    });
    loader.Start(QString::fromStdString(dir.File("good")));
    ASSERT_TRUE(loaded.wait(10000));
    ASSERT_NE(day, nullptr);
    ASSERT_NE(replay, nullptr);
    EXPECT_EQ(day->Trades().size(), 100u);
    EXPECT_EQ(replay->FirstEventTime(), 9 * 3600 + 30 * 60);
    EXPECT_FALSE(loader.IsLoading());

    loader.Start(QString::fromStdString(dir.File("bad")));
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(failed.front().at(1).toString(),
              QStringLiteral("trades.csv:2: 4 fields where 5 are expected"));
    EXPECT_EQ(loader.TakeDay(), nullptr);
}

TEST(DayLoading, TheWindowOpensTheDayWhenItIsReadyAndTellsAFailureNamingTheFolder)
{
    CScopedWorkDir work;
    CRecordingPrompt prompt;
    WriteDay(work.Temp().File("day"), Trades(50));
    CDesktopMainWindow window(work.Temp().File("SYS"), nullptr, true);
    window.show();
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("loadProgress"));
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("loadCancel"));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(cancel, nullptr);

    window.OpenDayInBackground(QString::fromStdString(work.Temp().File("day")));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Engine() != nullptr; }, 10000));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(window.Controller()->GetState(), CReplayController::State::Paused);
    EXPECT_EQ(window.Session().DayFolder(), QString::fromStdString(work.Temp().File("day")));

    const QString missing = QString::fromStdString(work.Temp().File("nowhere"));
    CVelkAlert* engine = window.Engine();
    window.OpenDayInBackground(missing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompt.warnings.isEmpty(); }, 10000));
    EXPECT_TRUE(prompt.warnings.front().contains(missing)) << prompt.warnings.front().toStdString();
    EXPECT_EQ(window.Engine(), engine);
}

} // namespace
