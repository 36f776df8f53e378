// velk-host's keys from every one of its windows: the replay and alert keys from a chart as
// from the board, Ctrl+F to the board's filter, Tab out of the board.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CReplayController.h"
#include "platform/qt/QtText.h"
#include "tests/desktop/CRecordingPrompt.h"
#include "tests/host/HostTestSupport.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

class DesktopKeysTest : public ::testing::Test {
protected:
    DesktopKeysTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        WriteDay(m_work.Temp().File("day"),
                 "09:30:00,1,600000,10.00,1000\n09:31:00,2,000001,12.50,800\n"
                 "09:40:00,1,600000,10.40,300\n");
        m_pWindow = std::make_unique<CDesktopMainWindow>(m_work.Temp().File("SYS"), nullptr, true);
        m_pMainScope = std::make_unique<CScopedMainWindow>(m_pWindow.get());
        m_pWindow->show();
        ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(m_work.Temp().File("day"))));
    }

    void TearDown() override
    {
        m_pWindow.reset();
        m_pMainScope.reset();
    }

    // The window the keys go to, as the window system would make it the active one.
    static void Activate(QWidget* window, QWidget* focus)
    {
        window->raise();
        QApplication::setActiveWindow(window);
        focus->setFocus();
        QCoreApplication::processEvents();
    }

    CReplayController& Controller() const { return *m_pWindow->Controller(); }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
    CRecordingPrompt m_prompt;
    std::unique_ptr<CDesktopMainWindow> m_pWindow;
    std::unique_ptr<CScopedMainWindow> m_pMainScope;
};

QWidget* AlertListWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == VelkFromUtf8("报警列表"))
            return widget;
    return nullptr;
}

} // namespace

TEST_F(DesktopKeysTest, ReplayAndAlertKeysWorkWhileAChartHasTheFocus)
{
    CIntradayChart* chart = m_pWindow->OpenChart(1, "600000");
    ASSERT_NE(chart, nullptr);
    Activate(chart, chart);
    ASSERT_EQ(QApplication::activeWindow(), chart);

    const int start = Controller().Clock();
    QTest::keyClick(chart, Qt::Key_F7);
    EXPECT_EQ(Controller().Clock(), start + 1) << "F7 steps a second";
    QTest::keyClick(chart, Qt::Key_F5);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Playing) << "F5 plays";
    QTest::keyClick(chart, Qt::Key_F6);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Paused) << "F6 pauses";
    QTest::keyClick(chart, Qt::Key_Space);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Playing) << "Space plays";
    QTest::keyClick(chart, Qt::Key_Space);
    EXPECT_EQ(Controller().GetState(), CReplayController::State::Paused) << "and pauses";
    const int speed = Controller().Speed();
    QTest::keyClick(chart, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_GT(Controller().Speed(), speed) << "Ctrl+= speeds up";

    QTest::keyClick(chart, Qt::Key_F9);
    QWidget* list = AlertListWindow();
    ASSERT_NE(list, nullptr) << "F9 shows the alert list";
    EXPECT_TRUE(list->isVisible());
    QTest::keyClick(chart, Qt::Key_F9, Qt::ShiftModifier);
    EXPECT_FALSE(list->isVisible()) << "Shift+F9 hides it";
}

TEST_F(DesktopKeysTest, CtrlFTakesTheKeysToTheFilterFromAnyWindowAndTabLeavesTheBoard)
{
    QLineEdit* filter = m_pWindow->Board()->FilterEdit();
    QTableView* view = m_pWindow->Board()->View();
    filter->setText(QStringLiteral("600"));
    Activate(m_pWindow.get(), view);
    ASSERT_EQ(QApplication::focusWidget(), view);

    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), filter);
    EXPECT_EQ(filter->selectedText(), QStringLiteral("600")) << "typing replaces the filter";

    // From a chart the filter of the main window takes the focus as well.
    CIntradayChart* chart = m_pWindow->OpenChart(2, "000001");
    ASSERT_NE(chart, nullptr);
    Activate(chart, chart);
    QTest::keyClick(chart, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(m_pWindow->focusWidget(), filter);

    // Tab goes from the board's rows to the next control of the window, not the next cell.
    Activate(m_pWindow.get(), view);
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, view);
    EXPECT_FALSE(m_pWindow->Board()->isAncestorOf(next)) << next->metaObject()->className();
}

TEST_F(DesktopKeysTest, TheBoardsWizardOffersTheStocksOfTheDayNowOpen)
{
    CQuoteBoard* board = m_pWindow->Board();
    // The stock the board jumps to after typing on it and Enter; empty when none.
    auto pick = [this, board](const char* typed) {
        Activate(m_pWindow.get(), board->View());
        board->View()->setCurrentIndex(QModelIndex());
        const QString keys = QString::fromLatin1(typed);
        QTest::keyClick(board->View(), keys.at(0).toLatin1());
        EXPECT_TRUE(board->Wizard() && board->Wizard()->isVisible());
        if (!board->Wizard())
            return std::string();
        QTest::keyClicks(board->Wizard(), keys.mid(1));
        QTest::keyClick(board->Wizard(), Qt::Key_Return);
        if (board->Wizard()->isVisible())
            QTest::keyClick(board->Wizard(), Qt::Key_Escape);
        unsigned char market = 0;
        std::string code;
        return board->CurrentStock(market, code) ? code : std::string();
    };
    EXPECT_EQ(pick("600000"), "600000");

    // Another day with other stocks.
    const std::string other = m_work.Temp().File("other");
    WriteDay(other, "09:30:00,2,000003,8.00,100\n");
    WriteFile(other + "/symbols.csv", "market,code,name,prev_close,limit_up,limit_down\n"
                                      "1,601111,中国国航,7.00,7.70,6.30\n"
                                      "2,000003,测试三号,8.00,8.80,7.20\n");
    ASSERT_TRUE(m_pWindow->OpenDay(QString::fromStdString(other)));
    EXPECT_EQ(pick("000003"), "000003");
    EXPECT_EQ(pick("6011"), "601111");
    EXPECT_EQ(pick("600000"), "") << "the first day's stock is no candidate";
}
