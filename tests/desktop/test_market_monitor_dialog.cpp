// 盘中异动设置 in the desktop program: the dialog filled from the stored settings, its dry run on
// the open day, OK putting the draft in force, and the board's 今日静音.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <filesystem>
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
    // A control of the alert setting page inside the dialog, by its id in the page's template.
    template <typename T> static T* PageControl(QWidget* dialog, int controlId)
    {
        QWidget* page = dialog->findChild<QWidget*>(QStringLiteral("ratioPage"));
        if (!page)
            return nullptr;
        for (T* control : page->findChildren<T*>())
            if (control->property("controlId").toInt() == controlId)
                return control;
        return nullptr;
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
    // Filled from what is stored, on the alert setting page's own controls: the rise ratio on
    // at 5, the fall ratio off, the cooldown.
    ASSERT_NE(PageControl<QCheckBox>(&dialog, 1095), nullptr) << "the page's rise ratio box";
    EXPECT_TRUE(PageControl<QCheckBox>(&dialog, 1095)->isChecked());
    EXPECT_EQ(PageControl<QLineEdit>(&dialog, 1101)->text(), QStringLiteral("5"));
    EXPECT_TRUE(PageControl<QLineEdit>(&dialog, 1101)->isEnabled());
    EXPECT_FALSE(PageControl<QCheckBox>(&dialog, 1096)->isChecked());
    EXPECT_FALSE(PageControl<QLineEdit>(&dialog, 1102)->isEnabled());
    // The six ratios and their boxes are shown, which the page's template hides.
    for (int id = 1095; id <= 1106; ++id)
        EXPECT_FALSE(PageControl<QWidget>(&dialog, id)->isHidden()) << id;
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

    // The page's own enable rule: ticking the fall ratio opens its edit.
    dialog.show();
    QTest::mouseClick(PageControl<QCheckBox>(&dialog, 1096), Qt::LeftButton);
    EXPECT_TRUE(PageControl<QLineEdit>(&dialog, 1102)->isEnabled());
    PageControl<QLineEdit>(&dialog, 1102)->setText(QStringLiteral("3"));
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

TEST_F(MarketMonitorDialogTest, ARatioThePageRefusesKeepsTheDialogOpenAndStoresNothing)
{
    CMarketMonitorDialog dialog(m_pWindow->Session(), m_pWindow.get());
    dialog.show();
    QLineEdit* rise = PageControl<QLineEdit>(&dialog, 1101);
    ASSERT_NE(rise, nullptr);
    const std::string alertBefore = ReadFile(Sys() + "/alert.cfg");
    rise->setText(QStringLiteral("1500"));

    // The dry run is not run on a value the page refuses.
    QTest::mouseClick(Child<QPushButton>(&dialog, "dryRun"), Qt::LeftButton);
    EXPECT_TRUE(dialog.DryRunReport().isEmpty()) << dialog.DryRunReport().toStdString();
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, "请输入一个介于 0 和 999 之间的数。");

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << "still open";
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(rise->selectedText(), QStringLiteral("1500")) << "the refused field is chosen";
    EXPECT_TRUE(rise->hasFocus() || QApplication::focusWidget() == nullptr);
    EXPECT_EQ(ReadFile(Sys() + "/alert.cfg"), alertBefore);
    EXPECT_FALSE(ReadFile(Sys() + "/MarketMonitor.cfg").find("enabled=1") != std::string::npos);
    EXPECT_FLOAT_EQ(m_pWindow->Engine()->GetAlertSetting().m_fRiseRatio, 5.0f);

    // Corrected, the draft is tried and then stored through the engine's save.
    rise->setText(QStringLiteral("8.5"));
    QTest::mouseClick(Child<QPushButton>(&dialog, "dryRun"), Qt::LeftButton);
    EXPECT_FALSE(dialog.DryRunReport().isEmpty());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(m_pWindow->Engine()->GetAlertSetting().m_fRiseRatio, 8.5f);
    Ta_ALERTSETTING saved{};
    const std::string alert = ReadFile(Sys() + "/alert.cfg");
    ASSERT_GE(alert.size(), sizeof saved);
    std::memcpy(&saved, alert.data(), sizeof saved);
    EXPECT_FLOAT_EQ(saved.m_fRiseRatio, 8.5f);
    EXPECT_FLOAT_EQ(saved.m_fFallRatio, -1.0f) << "a cleared box is stored as off";
    EXPECT_FLOAT_EQ(saved.m_fVolumeRatio, 50.0f) << "the rest as stored";
}

TEST_F(MarketMonitorDialogTest, ARatioThatCannotBeSavedIsToldAndTheDialogStaysOpen)
{
    CMarketMonitorDialog dialog(m_pWindow->Session(), m_pWindow.get());
    PageControl<QLineEdit>(&dialog, 1101)->setText(QStringLiteral("6"));
    // alert.cfg cannot be replaced: a directory stands in its place.
    std::filesystem::remove(Sys() + "/alert.cfg");
    std::filesystem::create_directory(Sys() + "/alert.cfg");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_FALSE(m_boxes.m_boxes.empty());
    bool told = false;
    for (const auto& box : m_boxes.m_boxes)
        told = told || box.text.find("alert.cfg") != std::string::npos;
    EXPECT_TRUE(told);
}

// An alert as the engine records it, for a stock at a time of day.
void RecordAlert(CVelkAlert& engine, unsigned char market, const char* code, const char* nameUtf8,
                 float price, long time)
{
    Ta_VELKPRICETABLE quote{};
    quote.m_byMarket = market;
    std::strncpy(quote.m_szCode, code, sizeof quote.m_szCode - 1);
    const std::string name = VelkToGbk(VelkFromUtf8(nameUtf8));
    std::strncpy(quote.m_szName, name.c_str(), sizeof quote.m_szName - 1);
    quote.m_fPrice = price;
    engine.AddAlertRecord(2, &quote, time);
}

// The module's alert list window and its list, found as the host finds them.
QTableView* AlertList(QWidget* mainWindow)
{
    for (QDialog* window : mainWindow->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        if (window->property("controlId").toInt() == 213)
            for (QTableView* list : window->findChildren<QTableView*>())
                if (list->property("controlId").toInt() == 1108)
                    return list;
    return nullptr;
}

// Right-clicks the list at pos; the menu that opens, if any, is answered by choosing the
// action with the text (or closed when text is empty). Returns whether a menu opened and
// whether that action was enabled.
struct MenuSeen {
    bool opened = false;
    bool enabled = false;
};
MenuSeen RightClick(QTableView* list, const QPoint& pos, const QString& choose)
{
    auto seen = std::make_shared<MenuSeen>();
    QTimer::singleShot(0, [seen, choose] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        seen->opened = true;
        for (QAction* action : menu->actions())
            if (action->text() == choose) {
                seen->enabled = action->isEnabled();
                if (action->isEnabled())
                    action->trigger();
            }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list->viewport(), &event);
    // A menu that did not open leaves the timer to run here.
    QApplication::processEvents();
    return *seen;
}

} // namespace

TEST_F(MarketMonitorDialogTest, AlertListRowMutesItsStockForTheDayFromTheHostsSide)
{
    CVelkAlert& engine = *m_pWindow->Engine();
    RecordAlert(engine, 1, "600000", "浦发银行", 11.0f, 34300);
    RecordAlert(engine, 2, "000001", "平安银行", 13.2f, 34500);
    RecordAlert(engine, 1, "600000", "浦发银行", 11.0f, 34600);
    m_pWindow->Session().ShowAlertList();
    QTest::qWait(50);
    QTableView* list = AlertList(m_pWindow.get());
    ASSERT_NE(list, nullptr) << "the module's alert list window";
    ASSERT_EQ(list->model()->rowCount(), 3);
    // Newest first: 平安银行 is the middle row.
    const QModelIndex middle = list->model()->index(1, 0);
    ASSERT_EQ(middle.data().toString(), VelkFromUtf8("平安银行"));

    MenuSeen seen = RightClick(list, list->visualRect(middle).center(), VelkFromUtf8("今日静音"));
    EXPECT_TRUE(seen.opened);
    EXPECT_TRUE(seen.enabled);
    EXPECT_EQ(list->selectionModel()->selectedRows().value(0).row(), 1)
        << "the row clicked is the row chosen";
    EXPECT_TRUE(engine.GetMarketMonitor().IsMutedToday(2, "000001"));
    EXPECT_FALSE(engine.GetMarketMonitor().IsMutedToday(1, "600000"));
    EXPECT_NE(ReadFile(Sys() + "/MarketMonitor.cfg").find("mute.2.000001=20240105\n"),
              std::string::npos);
    EXPECT_TRUE(m_boxes.m_boxes.empty());

    // Muted already: the entry is there but cannot be chosen again.
    seen = RightClick(list, list->visualRect(middle).center(), VelkFromUtf8("今日静音"));
    EXPECT_TRUE(seen.opened);
    EXPECT_FALSE(seen.enabled);

    // Below the rows there is no alert to mute and no menu.
    const QPoint below(5, list->viewport()->height() - 2);
    ASSERT_FALSE(list->indexAt(below).isValid());
    EXPECT_FALSE(RightClick(list, below, VelkFromUtf8("今日静音")).opened);

    // The module's window is unchanged: no menu entry of its own, its buttons as they were.
    EXPECT_EQ(list->contextMenuPolicy(), Qt::DefaultContextMenu);
}

TEST_F(MarketMonitorDialogTest, AlertListMuteThatCannotBeStoredIsToldAndHoldsForTheRun)
{
    CVelkAlert& engine = *m_pWindow->Engine();
    RecordAlert(engine, 1, "600000", "浦发银行", 11.0f, 34300);
    m_pWindow->Session().ShowAlertList();
    QTest::qWait(50);
    QTableView* list = AlertList(m_pWindow.get());
    ASSERT_NE(list, nullptr);
    // MarketMonitor.cfg cannot be replaced: a directory stands in its place.
    std::filesystem::remove(Sys() + "/MarketMonitor.cfg");
    std::filesystem::create_directory(Sys() + "/MarketMonitor.cfg");
    const MenuSeen seen = RightClick(list, list->visualRect(list->model()->index(0, 0)).center(),
                                     VelkFromUtf8("今日静音"));
    EXPECT_TRUE(seen.opened && seen.enabled);
    EXPECT_TRUE(engine.GetMarketMonitor().IsMutedToday(1, "600000"));
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_NE(m_boxes.m_boxes[0].text.find("MarketMonitor.cfg"), std::string::npos);
}
