#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/support/GbkText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CAlertStockDlg.h"
#include "ui/CSelectStockDlg.h"
#include "ui/CSelectStockEvent.h"
#include "ui/CVelkPropertySheet.h"
#include "ui/CVelkWindowing.h"

namespace {

using TA = CVelkAlertTestAccess;

QString Row(QTreeWidget* list, int row)
{
    const QTreeWidgetItem* r = list->topLevelItem(row);
    return r ? QStringList{r->text(0), r->text(1), r->text(2), r->text(3)}.join(QLatin1Char('|'))
             : QString();
}

std::vector<std::string> Codes(const std::vector<Ta_VELKPRICEALERT>& records)
{
    std::vector<std::string> codes;
    for (const Ta_VELKPRICEALERT& r : records)
        codes.push_back(VelkFieldText(r.m_szCode));
    return codes;
}

void ClickRow(QTreeWidget* list, int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                      list->visualItemRect(list->topLevelItem(row)).center());
}

void Click(CVelkPropertyPage& page, int id)
{
    QTest::mouseClick(page.Control(id), Qt::LeftButton);
}

// Queues what the user does in the stock entry dialog once it runs modally.
void WhenStockDialogRuns(std::function<void(CSelectStockDlg&)> user)
{
    QTimer::singleShot(0, [user] {
        auto* dlg = dynamic_cast<CSelectStockDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr) << "no stock entry dialog";
        user(*dlg);
    });
}

// The user picks a stock in the wizard, types the prices and presses OK.
void PickAndConfirm(CSelectStockDlg& dlg, unsigned char market, const std::string& code,
                    const char* upper, const char* lower)
{
    QCoreApplication::postEvent(
        &dlg, new CSelectStockEvent(VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL"),
                                    Ta_SELECTSTOCK{market, code}));
    QCoreApplication::processEvents();
    qobject_cast<QLineEdit*>(dlg.Control(1101))->setText(QString::fromLatin1(upper));
    qobject_cast<QLineEdit*>(dlg.Control(1102))->setText(QString::fromLatin1(lower));
    QTest::mouseClick(dlg.Control(1), Qt::LeftButton);
}

class AlertStockPageTest : public ::testing::Test {
protected:
    AlertStockPageTest()
    {
        m_store.AddMarket(1, "SH", 1);
        m_store.AddMarket(2, "SZ", 2);
        m_store.AddSymbol(1, "600000", Gbk("浦发银行"));
        m_store.AddSymbol(1, "000001", Gbk("上证"));
        m_store.AddSymbol(2, "000001", Gbk("平安银行"));
        m_store.SetItem(2, "000001", X1Format::Price(129, 7.85));
    }

    // A page with its window, as the sheet shows it when its tab is opened.
    std::unique_ptr<CAlertStockDlg> Open(std::vector<Ta_VELKPRICEALERT>& list, std::int32_t& count)
    {
        auto page = std::make_unique<CAlertStockDlg>();
        page->AttachList(&list, &count);
        EXPECT_TRUE(page->CreatePageWindow());
        page->show();
        return page;
    }

    static std::vector<Ta_VELKPRICEALERT> Stocks(int n)
    {
        std::vector<Ta_VELKPRICEALERT> list;
        for (int i = 0; i < n; ++i)
            list.push_back(MakeWatch(1, "60100" + std::to_string(i), "S" + std::to_string(i),
                                     10.0f + i, 5.0f));
        return list;
    }

    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxService{m_boxes};
};

} // namespace

TEST_F(AlertStockPageTest, RowsAndRecordsAgreeWhateverCountTheEngineHandsOver)
{
    const struct {
        std::int32_t count;
        int expectedRows;
    } cases[] = {{3, 3}, {5, 3}, {1, 1}, {0, 0}, {-4, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<Ta_VELKPRICEALERT> list = Stocks(3);
        std::int32_t count = c.count;
        auto page = Open(list, count);
        QTreeWidget* rows = page->ListControl();
        ASSERT_EQ(rows->topLevelItemCount(), c.expectedRows);
        for (int i = 0; i < c.expectedRows; ++i)
            EXPECT_EQ(rows->topLevelItem(i)->text(0).toStdString(), "60100" + std::to_string(i));
        for (int id : {1089, 1088, 1087})
            EXPECT_EQ(page->Control(id)->isEnabled(), c.expectedRows != 0) << id;

        // A new stock lands on the row after the last one and in the record behind it; the
        // same code under another market is refused.
        WhenStockDialogRuns(
            [](CSelectStockDlg& dlg) { PickAndConfirm(dlg, 2, "000001", "12", "11.5"); });
        CModalGuard guard;
        Click(*page, 1090);
        WhenStockDialogRuns(
            [](CSelectStockDlg& dlg) { PickAndConfirm(dlg, 1, "000001", "5", "4"); });
        Click(*page, 1090);
        ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes.m_boxes[0].text, "该股票已经在列表中!");
        EXPECT_EQ(m_boxes.m_boxes[0].caption, "警告");
        EXPECT_EQ(m_boxes.m_boxes[0].flags, VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        m_boxes.m_boxes.clear();
        ASSERT_EQ(rows->topLevelItemCount(), c.expectedRows + 1);
        EXPECT_EQ(Row(rows, c.expectedRows), QString::fromUtf8("000001|平安银行|12.00|11.50"));
        EXPECT_EQ(page->Commit(), c.expectedRows + 1);
        EXPECT_EQ(count, c.expectedRows + 1);
        ASSERT_EQ(list.size(), static_cast<std::size_t>(c.expectedRows + 1));
        for (int i = 0; i <= c.expectedRows; ++i)
            EXPECT_EQ(QString::fromLatin1(list[i].m_szCode), rows->topLevelItem(i)->text(0)) << i;
        EXPECT_EQ(list.back().m_byMarket, 2);
        EXPECT_FLOAT_EQ(list.back().m_fPreClose, 7.85f);
    }
}

TEST_F(AlertStockPageTest, DeleteRemovesExactlyTheSelectedRowsAndModifyNeedsASelection)
{
    std::vector<Ta_VELKPRICEALERT> list = Stocks(7);
    std::int32_t count = 7;
    auto page = Open(list, count);
    QTreeWidget* rows = page->ListControl();
    ClickRow(rows, 1);
    ClickRow(rows, 5, Qt::ControlModifier);
    ClickRow(rows, 3, Qt::ControlModifier);
    Click(*page, 1088);
    EXPECT_EQ(Codes(page->Records()),
              (std::vector<std::string>{"601000", "601002", "601004", "601006"}));
    ASSERT_EQ(rows->topLevelItemCount(), 4);
    EXPECT_EQ(Row(rows, 3), QStringLiteral("601006|S6|16.00|5.00"));
    EXPECT_EQ(list.size(), 7u) << "nothing reaches the engine before OK";

    // Nothing is selected after the refill: modify opens no dialog (the guard would fail it).
    CModalGuard guard(1000);
    Click(*page, 1089);
    page->SendCommand(1089);
    EXPECT_EQ(Codes(page->Records()).size(), 4u);
    EXPECT_EQ(page->Commit(), 4);
    EXPECT_EQ(Codes(list), Codes(page->Records()));
    EXPECT_EQ(count, 4);
}

TEST_F(AlertStockPageTest, ModifyChangesOnlyThePricesOfTheFirstSelectedRow)
{
    std::vector<Ta_VELKPRICEALERT> list = Stocks(3);
    list[1].m_fPreClose = 9.5f;
    list[1].m_fLast = 11.2f;
    list[1].m_nMagic[4] = 1;
    std::int32_t count = 3;
    auto page = Open(list, count);
    QTreeWidget* rows = page->ListControl();
    ClickRow(rows, 2);
    ClickRow(rows, 1, Qt::ControlModifier);
    page->SetModified(false);
    WhenStockDialogRuns([](CSelectStockDlg& dlg) {
        EXPECT_FALSE(dlg.Control(1113)->isEnabled());
        EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.Control(1113))->text(), QStringLiteral("601001"));
        qobject_cast<QLineEdit*>(dlg.Control(1101))->setText(QStringLiteral("12.345"));
        qobject_cast<QLineEdit*>(dlg.Control(1102))->setText(QStringLiteral("8"));
        QTest::mouseClick(dlg.Control(1), Qt::LeftButton);
    });
    CModalGuard guard;
    Click(*page, 1089);
    Ta_VELKPRICEALERT expected = list[1];
    expected.m_fUpper = 12.345f;
    expected.m_fLower = 8.0f;
    EXPECT_EQ(RawBytes(page->Records()[1]), RawBytes(expected));
    EXPECT_EQ(Row(rows, 1), QStringLiteral("601001|S1|12.35|8.00"));
    EXPECT_EQ(RawBytes(page->Records()[2]), RawBytes(list[2]));
    EXPECT_TRUE(page->IsModified());

    // A double click modifies too; Cancel keeps the prices and still marks the page.
    page->SetModified(false);
    bool ran = false;
    WhenStockDialogRuns([&ran](CSelectStockDlg& dlg) {
        ran = true;
        qobject_cast<QLineEdit*>(dlg.Control(1101))->setText(QStringLiteral("99"));
        QTest::mouseClick(dlg.Control(2), Qt::LeftButton);
    });
    const QPoint first = rows->visualItemRect(rows->topLevelItem(0)).center();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, first);
    QTest::mouseDClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, first);
    EXPECT_TRUE(ran);
    EXPECT_EQ(RawBytes(page->Records()[0]), RawBytes(list[0]));
    EXPECT_TRUE(page->IsModified());
}

namespace {

// The engine with the real windows: the settings sheet and its pages as the user sees them.
class AlertStockSheetTest : public AlertStockPageTest {
protected:
    AlertStockSheetTest()
    {
        CVelkServices services{&m_windowing, &VelkMessageBoxDispatcher(), &m_sound, &m_clock};
        m_engine = std::make_unique<CVelkAlert>(services);
        CString dir = m_dir.Path();
        m_engine->SetSYSPath(dir);
        TA::Options(*m_engine).m_byPopup = 0;
    }

    // Runs the settings sheet; the user opens the specified stocks tab, acts, and ends with OK
    // (1) or Cancel (2).
    void RunSheet(std::function<void(CAlertStockDlg&)> user, int button)
    {
        QTimer::singleShot(0, [user, button] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            int tab = 0;
            while (tab < sheet->GetPageCount() &&
                   sheet->TabControl()->tabText(tab) != QString::fromUtf8("指定股票"))
                ++tab;
            sheet->TabControl()->setCurrentIndex(tab);
            auto* page = dynamic_cast<CAlertStockDlg*>(sheet->GetPage(tab));
            ASSERT_NE(page, nullptr);
            user(*page);
            for (QPushButton* b : sheet->findChildren<QPushButton*>()) {
                if (b->property("controlId").toInt() == button)
                    QTest::mouseClick(b, Qt::LeftButton);
            }
        });
        CModalGuard guard;
        m_engine->SetAlertCondition();
        m_engine->WaitForRegistration();
    }

    CTempDir m_dir;
    CVelkWindowing m_windowing;
    CRecordingSound m_sound;
    CFixedClock m_clock;
    std::unique_ptr<CVelkAlert> m_engine;
};

} // namespace

TEST_F(AlertStockSheetTest, OkCommitsTheEditedListAndCancelLeavesTheEngineAlone)
{
    for (int button : {2, 1}) {
        SCOPED_TRACE(button);
        TA::SetPriceList(*m_engine, Stocks(3));
        m_boxes.m_answers = {VelkMsgBox::kIdYes};
        RunSheet(
            [](CAlertStockDlg& page) {
                ClickRow(page.ListControl(), 0);
                Click(page, 1088);
                Click(page, 1087);
                for (int id : {1089, 1088, 1087})
                    EXPECT_FALSE(page.Control(id)->isEnabled()) << id;
                EXPECT_TRUE(page.Control(1090)->isEnabled());
            },
            button);
        const bool ok = button == 1;
        EXPECT_EQ(TA::PriceList(*m_engine).size(), ok ? 0u : 3u);
        EXPECT_EQ(m_engine->GetPriceAlertCount(), ok ? 0 : 3);
        EXPECT_EQ(VelkFileExists(m_dir.File("alert.cfg")), ok);
    }
    std::string bytes;
    ASSERT_TRUE(VelkReadFile(m_dir.File("alert.cfg"), bytes));
    EXPECT_EQ(bytes.size(), 309u);
}

TEST_F(AlertStockSheetTest, ClearingTheListAsksAndNoTheDefaultKeepsEveryStock)
{
    TA::SetPriceList(*m_engine, Stocks(3));
    RunSheet(
        [](CAlertStockDlg& page) {
            Click(page, 1087);
            // Enter on the question, or No: the list stays.
            EXPECT_EQ(page.ListControl()->topLevelItemCount(), 3);
        },
        1);
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].caption, "警告");
    EXPECT_EQ(m_boxes.m_boxes[0].flags,
              VelkMsgBox::kYesNo | VelkMsgBox::kIconExclamation | VelkMsgBox::kDefaultSecond);
    EXPECT_EQ(TA::PriceList(*m_engine).size(), 3u);
}

TEST_F(AlertStockSheetTest, AStockAddedWithAnUpperLimitAlertsWhenTheQuoteCrossesIt)
{
    RunSheet(
        [](CAlertStockDlg& page) {
            WhenStockDialogRuns(
                [](CSelectStockDlg& dlg) { PickAndConfirm(dlg, 1, "600000", "8", "0"); });
            Click(page, 1090);
        },
        1);
    ASSERT_EQ(m_engine->GetPriceAlertCount(), 1);

    auto quote = [this](double price) {
        for (const X1Format& v : {X1Format::Price(125, price), X1Format::Price(182, price),
                                  X1Format::Text(1019, Gbk("浦发银行")),
                                  X1Format::Volume(413, 1000), X1Format::Price(132, 8.64),
                                  X1Format::Price(133, 7.07), X1Format::Time(143, 10, 30, 0),
                                  X1Format::Price(130, price), X1Format::Price(131, 7.5)})
            m_store.SetItem(1, "600000", v);
        CMemoryInfo info(1, "600000");
        m_engine->vRecvNewMemory(&info);
    };
    quote(7.95);
    EXPECT_TRUE(m_engine->GetAlertRecords().empty());
    quote(8.02);
    quote(8.05);
    ASSERT_EQ(m_engine->GetAlertRecords().size(), 1u);
    const Ta_ALERTRECORD& alert = m_engine->GetAlertRecords()[0];
    EXPECT_EQ(VelkFieldText(alert.m_szReason), Gbk("达到上限价"));
    EXPECT_EQ(VelkFieldText(alert.m_szCode), "600000");
    EXPECT_FLOAT_EQ(alert.m_fPrice, 8.02f);
    EXPECT_EQ(std::int32_t{alert.m_nTime}, 10 * 3600 + 30 * 60);
}
