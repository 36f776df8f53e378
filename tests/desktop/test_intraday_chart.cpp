// The intraday chart as a trader reads it: the time marks, the average price, the percent scale
// and the volume pane, the crosshair on the keyboard, the keys that close it and where it opens.

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QValueAxis>
#include <gtest/gtest.h>

#include "host/gui/CIntradayChart.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/qt/QtText.h"

namespace {

constexpr int kDate = 20240105;
constexpr int k0930 = 9 * 3600 + 30 * 60;

struct Tick {
    int time;
    double price;
    double volume;
};

// Two trades in the first minute, none in the second, one each in the third and fourth.
const Tick kTicks[] = {{k0930 + 5, 10.00, 1000},
                       {k0930 + 40, 10.60, 500},
                       {k0930 + 150, 10.40, 300},
                       {k0930 + 200, 9.40, 400}};

class IntradayChartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CQuoteStore& store = CQuoteStore::Instance();
        store.Reset();
        store.AddMarket(1, "SH", 1);
        store.SetTradeDate(kDate);
        store.AddSymbol(1, "600000", VelkToGbk(VelkFromUtf8("浦发银行")));
        store.SetItem(1, "600000", X1Format::Price(QuoteItem::kPrevClose, 10.00));
        store.SetItem(1, "600000", X1Format::Price(QuoteItem::kLimitUp, 11.00));
        store.SetItem(1, "600000", X1Format::Price(QuoteItem::kLimitDown, 9.00));
        for (const Tick& t : kTicks)
            store.AddTick(
                1, "600000", "20240105",
                {X1Format::Price(QuoteItem::kLastPrice, t.price),
                 X1Format::Time(QuoteItem::kTime, t.time / 3600, t.time / 60 % 60, t.time % 60),
                 X1Format::Volume(QuoteItem::kVolume, t.volume)});
    }
    void TearDown() override { CQuoteStore::Instance().Reset(); }

    static std::unique_ptr<CIntradayChart> Chart(int start = k0930, int end = 15 * 3600)
    {
        auto chart = std::make_unique<CIntradayChart>(1, "600000", kDate, start, end);
        chart->Refresh({});
        return chart;
    }
    static void ShowActive(QWidget& window)
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST_F(IntradayChartTest, TimeIsMarkedAtRoundMinutesInsideTheDay)
{
    struct Case {
        int start, end;
        int step; // minutes between marks
    } cases[] = {{k0930, 15 * 3600, 30},
                 {9 * 3600 + 25 * 60, 10 * 3600 + 30 * 60, 10},
                 {9 * 3600 + 25 * 60 + 7, 10 * 3600 + 31 * 60 + 40, 10},
                 {k0930 + 17, k0930 + 20 * 60, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        auto chart = Chart(c.start, c.end);
        const std::vector<int> ticks = chart->TimeTicks();
        const QStringList labels = chart->TimeTickLabels();
        ASSERT_FALSE(ticks.empty());
        ASSERT_EQ(labels.size(), static_cast<qsizetype>(ticks.size()));
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_EQ(ticks[i] % (c.step * 60), 0) << ticks[i];
            EXPECT_GE(ticks[i], c.start);
            EXPECT_LE(ticks[i], c.end);
            const QTime time =
                QTime::fromString(labels[static_cast<qsizetype>(i)], QStringLiteral("HH:mm"));
            ASSERT_TRUE(time.isValid()) << labels[static_cast<qsizetype>(i)].toStdString();
            EXPECT_EQ(time.msecsSinceStartOfDay() / 1000, ticks[i]);
        }
        // Nothing round is left out at either end.
        EXPECT_LT(ticks.front() - c.start, c.step * 60);
        EXPECT_LT(c.end - ticks.back(), c.step * 60);
        // Both panes carry the marks.
        for (QChart* pane : {chart->Chart(), chart->VolumeChart()}) {
            auto* axis = qobject_cast<QCategoryAxis*>(pane->axes(Qt::Horizontal).front());
            ASSERT_NE(axis, nullptr);
            EXPECT_EQ(axis->categoriesLabels(), labels);
        }
    }
    // A whole day shows the open.
    EXPECT_EQ(Chart()->TimeTickLabels().front(), QStringLiteral("09:30"));
    EXPECT_TRUE(Chart()->TimeTickLabels().contains(QStringLiteral("10:00")));
}

TEST_F(IntradayChartTest, AveragePriceIsTheMoneyOverTheSharesSoFar)
{
    auto chart = Chart();
    const std::vector<double>& averages = chart->AveragePrices();
    ASSERT_EQ(averages.size(), std::size(kTicks));
    double money = 0, shares = 0;
    for (std::size_t i = 0; i < std::size(kTicks); ++i) {
        money += kTicks[i].price * kTicks[i].volume;
        shares += kTicks[i].volume;
        EXPECT_NEAR(averages[i], money / shares, 1e-5) << i;
    }
    // Not the mean of the prices: the big first trade weighs more.
    EXPECT_LT(averages[1], (10.00 + 10.60) / 2);

    // Trades that arrive later continue the same sums.
    CQuoteStore::Instance().AddTick(1, "600000", "20240105",
                                    {X1Format::Price(QuoteItem::kLastPrice, 10.00),
                                     X1Format::Time(QuoteItem::kTime, 9, 35, 0),
                                     X1Format::Volume(QuoteItem::kVolume, 800)});
    chart->Refresh({});
    ASSERT_EQ(chart->AveragePrices().size(), std::size(kTicks) + 1);
    EXPECT_NEAR(chart->AveragePrices().back(), (money + 8000) / (shares + 800), 1e-5);
}

TEST_F(IntradayChartTest, PercentScaleAndVolumePaneFollowThePrices)
{
    auto chart = Chart();
    chart->resize(900, 600);
    chart->show();
    QApplication::processEvents();
    const QList<QAbstractAxis*> vertical = chart->Chart()->axes(Qt::Vertical);
    ASSERT_EQ(vertical.size(), 2);
    auto* price = qobject_cast<QValueAxis*>(vertical[0]);
    auto* percent = qobject_cast<QValueAxis*>(vertical[1]);
    ASSERT_TRUE(price && percent);
    EXPECT_EQ(chart->Chart()->axes(Qt::Vertical)[1]->alignment(), Qt::AlignRight);
    EXPECT_NEAR(percent->max(), (price->max() - 10.00) / 10.00 * 100.0, 1e-6);
    EXPECT_NEAR(percent->min(), (price->min() - 10.00) / 10.00 * 100.0, 1e-6);
    EXPECT_GT(price->max(), 10.60);
    EXPECT_LT(price->min(), 9.40);

    auto* volume = qobject_cast<QValueAxis*>(chart->VolumeChart()->axes(Qt::Vertical).front());
    ASSERT_NE(volume, nullptr);
    EXPECT_TRUE(volume->isVisible());
    EXPECT_GE(volume->max(), chart->MinuteVolume(k0930) / 100.0);
    EXPECT_EQ(chart->MinuteVolume(k0930), 1500.0);
    // The panes' plots stand one above the other; the checks below tell it if they never do.
    (void)QTest::qWaitFor(
        [&] {
            return std::abs(chart->VolumeChart()->plotArea().left() -
                            chart->Chart()->plotArea().left()) < 0.5;
        },
        2000);
    EXPECT_NEAR(chart->VolumeChart()->plotArea().left(), chart->Chart()->plotArea().left(), 0.5);
    EXPECT_NEAR(chart->VolumeChart()->plotArea().width(), chart->Chart()->plotArea().width(), 0.5);
}

TEST_F(IntradayChartTest, ArrowKeysMoveTheCrosshairMinuteByMinute)
{
    auto chart = Chart();
    ShowActive(*chart);
    EXPECT_EQ(chart->CrosshairMinute(), -1);

    // The first key puts it on the last minute that traded; minutes without trades are passed.
    struct Step {
        Qt::Key key;
        int minute;
        double price, lots;
        const char* time;
    } steps[] = {{Qt::Key_Left, k0930 + 180, 9.40, 4, "09:33"},
                 {Qt::Key_Left, k0930 + 120, 10.40, 3, "09:32"},
                 {Qt::Key_Left, k0930, 10.60, 15, "09:30"},
                 {Qt::Key_Left, k0930, 10.60, 15, "09:30"},
                 {Qt::Key_Right, k0930 + 120, 10.40, 3, "09:32"}};
    auto* info = chart->findChild<QLabel*>(QStringLiteral("crosshairInfo"));
    ASSERT_NE(info, nullptr);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.time);
        QTest::keyClick(chart.get(), step.key);
        EXPECT_EQ(chart->CrosshairMinute(), step.minute);
        EXPECT_NEAR(chart->CrosshairPrice(), step.price, 1e-5);
        EXPECT_DOUBLE_EQ(chart->CrosshairVolume(), step.lots * 100);
        EXPECT_EQ(info->text(), chart->CrosshairText());
        EXPECT_TRUE(info->text().startsWith(QString::fromLatin1(step.time)));
        EXPECT_TRUE(info->text().contains(QString::number(step.price, 'f', 2)));
        EXPECT_TRUE(info->text().contains(QString::number(step.lots) + VelkFromUtf8("手")));
    }
}

TEST_F(IntradayChartTest, EscapeAndControlWCloseTheChart)
{
    for (QKeyCombination keys :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        auto chart = Chart();
        ShowActive(*chart);
        QTest::keyClick(chart.get(), keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(chart->isVisible());
    }
}

TEST_F(IntradayChartTest, OpensWhollyOnTheScreen)
{
    QWidget owner;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    owner.setGeometry(available.right() - 60, available.bottom() - 60, 50, 50);
    owner.show();
    for (QSize size : {QSize(900, 600), available.size() * 2}) {
        auto* chart = new CIntradayChart(1, "600000", kDate, k0930, 15 * 3600, &owner);
        chart->resize(size);
        chart->show();
        QApplication::processEvents();
        EXPECT_TRUE(available.contains(chart->frameGeometry()))
            << chart->frameGeometry().x() << "," << chart->frameGeometry().y() << " "
            << chart->frameGeometry().width() << "x" << chart->frameGeometry().height();
        EXPECT_TRUE(available.contains(chart->geometry()));
        delete chart;
    }
}

} // namespace
