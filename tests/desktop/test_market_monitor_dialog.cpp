// 盘中异动设置 in the desktop program: the dialog filled from the stored settings, its dry run on
// the open day, OK putting the draft in force, and the board's 今日静音.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <memory>

#include "engine/CMarketMonitor.h"
#include "engine/CVelkAlert.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CMarketMonitorDialog.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "tests/host/HostTestSupport.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

class MarketMonitorDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Ta_ALERTSETTING ratios = DefaultSetting();
        ratios.m_fRiseRatio = 5;
        WriteFile(Sys() + "/alert.cfg", Bytes(ratios) + Bytes(QuietOptions()));
        // The engine takes alert.cfg's ratios only when Magic.cfg is there too.
        WriteFile(Sys() + "/Magic.cfg", "");
        WriteFile(Sys() + "/System_alert.cfg",
                  SystemAlertCfg({Stock(1, "600000", "浦发银行")}, 0, 0, 1, 2));
        WriteFile(Sys() + "/MarketMonitor.cfg", "large_amount=90s\n");
        // 600000 seals its limit-up at 11.00 and opens it again.
        WriteDay(Day(), "09:30:00,1,600000,10.90,100\n09:30:03,1,600000,11.00,100\n"
                        "09:30:06,1,600000,10.95,100\n");
        m_pWindow = std::make_unique<CDesktopMainWindow>(Sys(), nullptr, true);
        m_pMainScope = std::make_unique<CScopedMainWindow>(m_pWindow.get());
        CMarketMonitorDialog::Install(*m_pWindow);
        ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(Day())));
    }
    void TearDown() override
    {
        m_pWindow.reset();
        m_pMainScope.reset();
    }
    std::string Sys() const { return m_work.Temp().File("SYS"); }
    std::string Day() const { return m_work.Temp().File("day"); }
    template <typename T> static T* Child(QWidget* parent, const char* name)
    {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope{m_boxes};
    std::unique_ptr<CDesktopMainWindow> m_pWindow;
    std::unique_ptr<CScopedMainWindow> m_pMainScope;
};

TEST_F(MarketMonitorDialogTest, DraftIsTriedOnTheOpenDayBeforeOKPutsItInForce)
{
    CMarketMonitorDialog dialog(m_pWindow->Session(), m_pWindow.get());
    // Filled from what is stored: the rise ratio on at 5, the fall ratio off, the cooldown.
    EXPECT_TRUE(Child<QCheckBox>(&dialog, "ratioOn0")->isChecked());
    EXPECT_DOUBLE_EQ(Child<QDoubleSpinBox>(&dialog, "ratio0")->value(), 5.0);
    EXPECT_FALSE(Child<QCheckBox>(&dialog, "ratioOn1")->isChecked());
    EXPECT_EQ(Child<QComboBox>(&dialog, "repeat12")->currentIndex(), 2);
    EXPECT_FALSE(Child<QCheckBox>(&dialog, "enabled")->isChecked());
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("dataAvailability"))
                    ->text()
                    .contains(VelkFromUtf8("昨收 1 只")));

    Child<QCheckBox>(&dialog, "enabled")->setChecked(true);
    Child<QComboBox>(&dialog, "repeat2")->setCurrentIndex(1);
    QTest::mouseClick(Child<QPushButton>(&dialog, "dryRun"), Qt::LeftButton);
    const QString report = dialog.DryRunReport();
    EXPECT_TRUE(report.contains(VelkFromUtf8("共 3 条报警"))) << report.toStdString();
    EXPECT_TRUE(report.contains(VelkFromUtf8("涨停板打开  1"))) << report.toStdString();
    // 10.90 is 9 % above the previous close 10.00: the rise ratio of 5 % is reached at once.
    EXPECT_TRUE(report.contains(VelkFromUtf8("达到涨幅比率  1"))) << report.toStdString();
    EXPECT_TRUE(report.contains(VelkFromUtf8("600000 浦发银行  3"))) << report.toStdString();
    // Nothing is stored or in force before OK.
    EXPECT_FALSE(m_pWindow->Engine()->GetMarketMonitor().RulesOn());
    EXPECT_EQ(ReadFile(Sys() + "/MarketMonitor.cfg"), "large_amount=90s\n");

    Child<QCheckBox>(&dialog, "ratioOn1")->setChecked(true);
    Child<QDoubleSpinBox>(&dialog, "ratio1")->setValue(3);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(m_pWindow->Engine()->GetMarketMonitor().RulesOn());
    EXPECT_EQ(m_pWindow->Engine()->GetMarketMonitor().Settings().rules[2].repeat,
              CMarketMonitorSettings::Repeat::OncePerDay);
    EXPECT_FLOAT_EQ(m_pWindow->Engine()->GetAlertSetting().m_fFallRatio, 3.0f);
    const std::string stored = ReadFile(Sys() + "/MarketMonitor.cfg");
    EXPECT_NE(stored.find("enabled=1\n"), std::string::npos);
    EXPECT_NE(stored.find("limit_up=once\n"), std::string::npos);
    EXPECT_NE(stored.find("large_amount=90s\n"), std::string::npos);
    Ta_ALERTSETTING saved{};
    const std::string alert = ReadFile(Sys() + "/alert.cfg");
    ASSERT_GE(alert.size(), sizeof saved);
    std::memcpy(&saved, alert.data(), sizeof saved);
    EXPECT_FLOAT_EQ(saved.m_fFallRatio, 3.0f);
    EXPECT_FLOAT_EQ(saved.m_fRiseRatio, 5.0f);
}

TEST_F(MarketMonitorDialogTest, BoardContextMenuMutesTheStockForTheDay)
{
    CQuoteBoard* board = m_pWindow->Board();
    QTableView* view = board->View();
    const QModelIndex row =
        board->Proxy()->mapFromSource(board->Model()->index(board->Model()->RowOf(1, "600000"), 0));
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == VelkFromUtf8("今日静音"))
                action->trigger();
        menu->close();
    });
    Q_EMIT view->customContextMenuRequested(view->visualRect(row).center());
    EXPECT_TRUE(m_pWindow->Engine()->GetMarketMonitor().IsMutedToday(1, "600000"));
    EXPECT_NE(ReadFile(Sys() + "/MarketMonitor.cfg").find("mute.1.600000=20240105\n"),
              std::string::npos);
}

} // namespace
